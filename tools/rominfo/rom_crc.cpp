#include "tools/rominfo/rom_crc.h"

#include <array>

namespace {

constexpr std::uint32_t kPoly = 0x04C11DB7u;

constexpr std::array<std::uint32_t, 256> make_table() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i << 24;
        for (int b = 0; b < 8; ++b) c = (c & 0x80000000u) ? (c << 1) ^ kPoly : c << 1;
        t[i] = c;
    }
    return t;
}

constexpr std::array<std::uint32_t, 256> kTable = make_table();

constexpr std::uint32_t step(std::uint32_t crc, std::uint8_t byte) {
    return (crc << 8) ^ kTable[((crc >> 24) ^ byte) & 0xFFu];
}

}  // namespace

std::uint32_t rom_crc(std::span<const std::uint8_t> data) {
    std::uint32_t crc = 0;
    for (std::uint8_t b : data) crc = step(crc, b);
    // cksum folds in the length after the data, low byte first, stopping
    // when the remaining length is zero (so an empty input adds nothing).
    for (std::uint64_t n = data.size(); n != 0; n >>= 8)
        crc = step(crc, static_cast<std::uint8_t>(n & 0xFFu));
    return ~crc;
}
