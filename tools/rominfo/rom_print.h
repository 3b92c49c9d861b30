// The report lines of a checked information block.
#pragma once

#include <cstddef>
#include <cstdio>

#include "tools/rominfo/rom_block.h"

inline constexpr std::size_t kRomDateMax = 64;

// The build date field (14 digits YYYYMMDDhhmmss) in the C locale's "%c"
// form; parts that do not parse stay zero. Always terminated.
void rom_build_date(RomBlock b, char (&out)[kRomDateMax]);

// All report lines, in order; control bytes and bytes above 126 of the
// texts shown as "\xNN" (board::show_text), so no text drives the terminal.
void rom_print_info(std::FILE *out, RomBlock b);
