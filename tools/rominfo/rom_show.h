// Read the information block of an image, check it and print the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Results: 0, or the program's failure codes.
enum RomShowResult {
    ROM_SHOW_OK = 0,
    ROM_SHOW_OPEN = -3,
    ROM_SHOW_SEEK = -4,
    ROM_SHOW_NO_MEMORY = -5,
    ROM_SHOW_SHORT = -6,
    ROM_SHOW_INVALID = -7,
};

using RomAlloc = void *(*)(std::size_t);

// open_path is what is opened ("-": standard input); shown_path is what messages name (the board
// path when open_path was resolved under the board root). Every message and
// the report go to out. alloc gets the block's buffer (released with free).
int rom_show(const char *open_path, const char *shown_path, std::int32_t offset,
             std::FILE *out, RomAlloc alloc = nullptr);
