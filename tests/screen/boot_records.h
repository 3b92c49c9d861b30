// Reads the board's records back out of a saved EEPROM image, so screen
// tests can check what an F10 save wrote.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace boot_test {

// Record type -> data, in image order (a later record of a type wins).
inline std::map<int, std::vector<std::uint8_t>> eeprom_records(const std::vector<std::uint8_t> &img) {
    std::map<int, std::vector<std::uint8_t>> out;
    if (img.size() < 8 || img[5] == 0) return out;
    std::size_t at = static_cast<std::size_t>(img[5]) * 8;
    while (at + 5 <= img.size()) {
        const int type = img[at];
        const bool last = (img[at + 1] & 0x80) != 0;
        const std::size_t len = img[at + 2];
        if (at + 5 + len > img.size()) break;
        out[type].assign(img.begin() + static_cast<long>(at + 5),
                         img.begin() + static_cast<long>(at + 5 + len));
        at += 5 + len;
        if (last) break;
    }
    return out;
}

}  // namespace boot_test
