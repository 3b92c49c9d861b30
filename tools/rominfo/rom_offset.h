// The -o argument: a byte offset as strtol base 0 reads it (decimal, 0x
// hexadecimal, leading-zero octal; characters after the number ignored).
#pragma once

#include <cstdint>
#include <optional>

// Empty when no digit is taken, on overflow, or when the value does not fit
// a signed 32-bit offset; the board's 32-bit long would reject it, so a
// 64-bit host rejects it too instead of cutting it to 32 bits.
std::optional<std::int32_t> rom_parse_offset(const char *arg);
