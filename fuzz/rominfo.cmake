# sarvik's information block: arbitrary bytes as a block, and as an offset.
add_executable(fuzz_rominfo ${CMAKE_CURRENT_LIST_DIR}/rominfo_fuzz.cpp)
target_link_libraries(fuzz_rominfo PRIVATE rominfo)
target_compile_options(fuzz_rominfo PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_rominfo PRIVATE -fsanitize=fuzzer,address,undefined)
