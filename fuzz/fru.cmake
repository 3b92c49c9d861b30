# FRU images: arbitrary 4096-byte images through the parse, the extraction
# and a pack of the parsed table.
add_executable(fuzz_fru ${CMAKE_CURRENT_LIST_DIR}/fru_fuzz.cpp)
target_link_libraries(fuzz_fru PRIVATE fru)
target_compile_options(fuzz_fru PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_fru PRIVATE -fsanitize=fuzzer,address,undefined)
