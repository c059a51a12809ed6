# Checks of the download for Windows users, the zip that scripts/package.sh writes into dist/:
# run by scripts/test.sh after it has packed the zip, in a virtual desktop.
add_executable(version_info_dump version_info_dump_win32.cpp)
target_link_options(version_info_dump PRIVATE -municode)
target_link_libraries(version_info_dump PRIVATE version)

foreach(check contents run again)
  add_test(NAME package_${check}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/package_e2e.sh ${check}
                   ${PROJECT_SOURCE_DIR}/dist/${NOCTIVA_PACKAGE_FILE_NAME}.zip ${PROJECT_VERSION}
                   ${CMAKE_BINARY_DIR})
  set_tests_properties(package_${check} PROPERTIES LABELS package TIMEOUT 120)
endforeach()
