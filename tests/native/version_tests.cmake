# vektool --version: the version of the project's CMakeLists.txt, nothing else on the line.
string(REPLACE "." "\\." version_pattern ${PROJECT_VERSION})
add_test(NAME vektool_version COMMAND vektool --version)
set_tests_properties(vektool_version PROPERTIES PASS_REGULAR_EXPRESSION "^vektool ${version_pattern}\n$")
