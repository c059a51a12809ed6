# Run by CPack on the finished zip: the times that the staging could not fix (see zip_times.py).
foreach(package ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/zip_times.py ${package}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
