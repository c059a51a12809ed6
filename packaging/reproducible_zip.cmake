# Run by CPack on the finished zip: what the staged files' times cannot fix (reproducible_zip.py).
foreach(package ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/reproducible_zip.py ${package}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
