# Which folder may include which (scripts/include_rules.py), and that each break is caught.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME include_rules
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/include_rules_test.py
                 ${PROJECT_SOURCE_DIR})
