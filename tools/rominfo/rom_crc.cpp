#include "tools/rominfo/rom_crc.h"

namespace {

constexpr std::uint32_t kPoly = 0x04C11DB7u;

// Bit by bit: the block is about 2 KiB, and a 1 KiB lookup table would be
// a tenth of the program.
constexpr std::uint32_t step(std::uint32_t crc, std::uint8_t byte) {
    crc ^= static_cast<std::uint32_t>(byte) << 24;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ kPoly : crc << 1;
    return crc;
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
