# quellet: value parsing at function level everywhere; the command line on a
# simulated board where there is one.
add_executable(quellet_values_tests ${CMAKE_CURRENT_LIST_DIR}/quellet_values_test.cpp)
target_link_libraries(quellet_values_tests PRIVATE frutool GTest::gtest_main)
gtest_discover_tests(quellet_values_tests)

if(BOARD_SIM)
  add_executable(quellet_cli_tests ${CMAKE_CURRENT_LIST_DIR}/quellet_cli_test.cpp)
  target_link_libraries(quellet_cli_tests PRIVATE fru sim GTest::gtest_main)
  target_compile_definitions(quellet_cli_tests PRIVATE
    QUELLET_PATH="$<TARGET_FILE:quellet>"
    QUELLET_INTEROP="${CMAKE_CURRENT_LIST_DIR}/quellet_interop.py")
  add_dependencies(quellet_cli_tests quellet)
  gtest_discover_tests(quellet_cli_tests PROPERTIES TIMEOUT 120)
endif()
