# sarvik as a script sees it: the real binary on image files the tests write.
# The block writer is plain C++, so these run in cross builds (under the
# emulator) as well.
add_executable(sarvik_cli_tests ${CMAKE_CURRENT_LIST_DIR}/sarvik_cli_test.cpp
  ${PROJECT_SOURCE_DIR}/sim/rom_image.cpp)
target_include_directories(sarvik_cli_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(sarvik_cli_tests PRIVATE GTest::gtest_main)
target_compile_definitions(sarvik_cli_tests PRIVATE SARVIK_PATH="$<TARGET_FILE:sarvik>")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 _sarvik_emulator)
  target_compile_definitions(sarvik_cli_tests PRIVATE SARVIK_EMULATOR="${_sarvik_emulator}")
endif()
add_dependencies(sarvik_cli_tests sarvik)
gtest_discover_tests(sarvik_cli_tests DISCOVERY_TIMEOUT 30)

# The default device on the simulated board.
if(BOARD_SIM)
  add_executable(sarvik_board_tests ${CMAKE_CURRENT_LIST_DIR}/sarvik_board_test.cpp)
  target_link_libraries(sarvik_board_tests PRIVATE sim GTest::gtest_main)
  target_compile_definitions(sarvik_board_tests PRIVATE SARVIK_PATH="$<TARGET_FILE:sarvik>")
  add_dependencies(sarvik_board_tests sarvik)
  gtest_discover_tests(sarvik_board_tests DISCOVERY_TIMEOUT 30)
endif()

# The manual page the usage text points to renders without groff warnings.
find_program(SARVIK_MAN man)
if(SARVIK_MAN AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME sarvik_manual_page
    COMMAND sh -c "out=$(MANWIDTH=80 '${SARVIK_MAN}' --warnings -l '${PROJECT_SOURCE_DIR}/man/sarvik.1' 2>&1 >/dev/null); [ -z \"$out\" ] || { echo \"$out\"; exit 1; }")
endif()
