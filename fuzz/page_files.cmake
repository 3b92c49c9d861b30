# The page-state file and the Maintenance page's marker files: any bytes, a
# file or a folder each, through restore_state, the page's build, refresh and
# keys, and save_state. The console's sources are built into the target, so
# the fuzzer sees their branches.
add_executable(fuzz_page_files ${CMAKE_CURRENT_LIST_DIR}/page_files_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/console/page_state.cpp
  ${PROJECT_SOURCE_DIR}/console/pages/recovery_page.cpp
  ${PROJECT_SOURCE_DIR}/console/top_menu.cpp
  ${PROJECT_SOURCE_DIR}/console/page_form.cpp
  ${PROJECT_SOURCE_DIR}/console/page_panel.cpp
  ${PROJECT_SOURCE_DIR}/console/field_utils.cpp
  ${PROJECT_SOURCE_DIR}/console/exit_action.cpp
  ${PROJECT_SOURCE_DIR}/console/log.cpp
  ${PROJECT_SOURCE_DIR}/console/terminal.cpp
  ${PROJECT_SOURCE_DIR}/board/board.cpp
  ${PROJECT_SOURCE_DIR}/board/files.cpp)
target_include_directories(fuzz_page_files PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(fuzz_page_files PRIVATE PkgConfig::NCURSESW norvane_board_flags)
target_compile_options(fuzz_page_files PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_page_files PRIVATE -fsanitize=fuzzer,address,undefined)
