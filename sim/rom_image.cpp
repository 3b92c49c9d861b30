#include "sim/rom_image.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

constexpr std::size_t kBlockSize = 2133;
constexpr std::size_t kCrcOffset = 2129;

void put_be32(std::vector<std::uint8_t> &b, std::size_t off, std::uint32_t v) {
    b[off] = static_cast<std::uint8_t>(v >> 24);
    b[off + 1] = static_cast<std::uint8_t>(v >> 16);
    b[off + 2] = static_cast<std::uint8_t>(v >> 8);
    b[off + 3] = static_cast<std::uint8_t>(v);
}

// Texts longer than their field are cut to it (and then carry no NUL).
void put_text(std::vector<std::uint8_t> &b, std::size_t off, std::size_t size,
              const std::string &s) {
    std::copy_n(s.begin(), std::min(size, s.size()), b.begin() + static_cast<long>(off));
}

// Written out bit by bit, apart from the tool's table-driven code, so the
// two can check each other.
std::uint32_t cksum(const std::uint8_t *p, std::size_t n) {
    std::uint32_t crc = 0;
    auto feed = [&crc](std::uint8_t byte) {
        for (int bit = 7; bit >= 0; --bit) {
            bool top = ((crc >> 31) ^ ((byte >> bit) & 1u)) != 0;
            crc <<= 1;
            if (top) crc ^= 0x04C11DB7u;
        }
    };
    for (std::size_t i = 0; i < n; ++i) feed(p[i]);
    for (std::size_t len = n; len != 0; len >>= 8) feed(static_cast<std::uint8_t>(len));
    return ~crc;
}

}  // namespace

std::uint32_t rom_block_crc(const std::vector<std::uint8_t> &block) {
    return cksum(block.data(), std::min(block.size(), kCrcOffset));
}

void fix_rom_block_crc(std::vector<std::uint8_t> &block) {
    if (block.size() < kBlockSize) return;
    put_be32(block, kCrcOffset, rom_block_crc(block));
}

std::vector<std::uint8_t> make_rom_block(const RomBlockContent &s) {
    std::vector<std::uint8_t> b(kBlockSize, 0);
    put_be32(b, 0, 0xDEADBEEFu);
    put_be32(b, 4, 0xBAADF00Du);
    put_text(b, 8, 64, s.distro);
    put_text(b, 72, 16, s.distro_version);
    put_text(b, 88, 64, s.board);
    put_text(b, 152, 64, s.hostname);
    put_text(b, 216, 16, s.uboot_version);
    put_text(b, 232, 16, s.kernel_version);
    put_text(b, 248, 16, s.gcc_version);
    put_text(b, 264, 128, s.features);
    put_text(b, 392, 16, s.build_date);
    put_be32(b, 408, s.flash_addr);
    put_be32(b, 412, s.flash_size);
    put_be32(b, 416, s.boot_offset);
    put_be32(b, 420, s.boot_size);
    put_be32(b, 424, s.env_offset);
    put_be32(b, 428, s.env_size);
    put_be32(b, 432, s.info_offset);
    put_be32(b, 436, s.info_size);
    put_be32(b, 440, s.fit_offset);
    put_be32(b, 444, s.fit_size);
    b[448] = s.fit_signed;
    put_be32(b, 449, s.vmlinuz_addr);
    put_be32(b, 453, s.vmlinux_addr);
    put_be32(b, 457, s.fdt_addr);
    put_be32(b, 461, s.initrd_addr);
    put_text(b, 465, 512, s.system_utils);
    put_text(b, 977, 512, s.extra_utils);
    put_text(b, 1489, 512, s.test_benches);
    put_text(b, 2001, 128, s.extra_linguas);
    fix_rom_block_crc(b);
    return b;
}

}  // namespace sim
