# quellet's JSON documents: arbitrary text through the strict reader and the
# document checks; a document they accept must build an image that loads.
add_executable(fuzz_quellet_document ${CMAKE_CURRENT_LIST_DIR}/quellet_document_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/tools/frutool/quellet_json.cpp
  ${PROJECT_SOURCE_DIR}/tools/frutool/quellet_document.cpp
  ${PROJECT_SOURCE_DIR}/tools/frutool/quellet_build.cpp)
target_link_libraries(fuzz_quellet_document PRIVATE fru)
target_compile_options(fuzz_quellet_document PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_quellet_document PRIVATE -fsanitize=fuzzer,address,undefined)
