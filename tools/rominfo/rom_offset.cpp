#include "tools/rominfo/rom_offset.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// strtol takes the "0" of a bare "0x" as the number zero; an offset
// written as "0x" names no address, so it is refused.
bool bare_hex_prefix(const char *arg, const char *end) {
    if (*end != 'x' && *end != 'X') return false;
    if (end == arg || end[-1] != '0') return false;
    return end - 1 == arg || !is_digit(end[-2]);
}

}  // namespace

std::optional<std::int32_t> rom_parse_offset(const char *arg) {
    if (arg == nullptr) return std::nullopt;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(arg, &end, 0);
    if (errno != 0 || end == arg || bare_hex_prefix(arg, end)) return std::nullopt;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}
