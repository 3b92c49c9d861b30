#include "tools/frutool/quellet_values.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "fru/board_info.h"

unsigned long quellet_parse_id(const char *text) { return std::strtoul(text, nullptr, 16); }

bool quellet_id_known(unsigned long id) {
    // The power state is the console's own.
    const FruRecord *r = fru_record(id);
    return r != nullptr && r->kind != FRU_VALUE_FLAG;
}

bool quellet_parse_mac(const char *text, std::uint8_t mac[6]) {
    unsigned int b[6];
    if (std::sscanf(text, "%02x:%02x:%02x:%02x:%02x:%02x", &b[0], &b[1], &b[2], &b[3], &b[4],
                    &b[5]) != 6)
        return false;
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(b[i]);
    return true;
}

bool quellet_parse_number(const char *text, std::uint8_t *value) {
    // What "%i" reads, without its undefined overflow: a value beyond an
    // int is refused on every CPU.
    char *end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 0);
    if (end == text || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *value = static_cast<std::uint8_t>(static_cast<unsigned long long>(v) & 0xFF);
    return true;
}
