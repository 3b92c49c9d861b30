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
  # Fails writes to the EEPROM half-way, logs each fsync (tests of failures).
  add_library(eeprom_fault_shim MODULE ${CMAKE_CURRENT_LIST_DIR}/eeprom_fault_shim.cpp)
  target_link_libraries(eeprom_fault_shim PRIVATE ${CMAKE_DL_LIBS})
  target_compile_definitions(quellet_cli_tests PRIVATE EEPROM_FAULT_SHIM="$<TARGET_FILE:eeprom_fault_shim>")
  add_dependencies(quellet_cli_tests eeprom_fault_shim)
  if(TARGET tolvane)  # a closed descriptor is no log of the console either
    target_compile_definitions(quellet_cli_tests PRIVATE TOLVANE_PATH="$<TARGET_FILE:tolvane>")
    add_dependencies(quellet_cli_tests tolvane)
  endif()
  gtest_discover_tests(quellet_cli_tests PROPERTIES TIMEOUT 120)
endif()

# The manual page renders without groff warnings and gives every long option
# that --help lists.
find_program(QUELLET_MAN man)
if(QUELLET_MAN AND BOARD_SIM)
  add_test(NAME quellet_manual_page
    COMMAND sh -c "page=$(MANWIDTH=80 '${QUELLET_MAN}' --warnings -l '${PROJECT_SOURCE_DIR}/man/quellet.1' 2>&1) || exit 1; warn=$(MANWIDTH=80 '${QUELLET_MAN}' --warnings -l '${PROJECT_SOURCE_DIR}/man/quellet.1' 2>&1 >/dev/null); [ -z \"$warn\" ] || { echo \"$warn\"; exit 1; }; opts=$(BOARD_ROOT=/nonexistent '$<TARGET_FILE:quellet>' --help | grep -o -- '--[a-z-]*' | sort -u); [ -n \"$opts\" ] || exit 1; for o in $opts; do printf '%s' \"$page\" | grep -q -e \"^ *$o\" || { echo \"$o missing\"; exit 1; }; done")
endif()
