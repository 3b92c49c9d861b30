// The information block of a recovery ROM image: its layout and the reading
// of its fields. Numbers are big-endian and partly unaligned, so every number
// is read byte by byte through rom_be32; the result is the same on big- and
// little-endian MIPS.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

inline constexpr std::size_t kRomInfoSize = 2133;

using RomBlock = std::span<const std::uint8_t, kRomInfoSize>;

struct RomField {
    std::uint16_t offset;
    std::uint16_t size;
};

namespace rom_field {
inline constexpr RomField magic1{0, 4};
inline constexpr RomField magic2{4, 4};
inline constexpr RomField distro{8, 64};
inline constexpr RomField distro_version{72, 16};
inline constexpr RomField board{88, 64};
inline constexpr RomField hostname{152, 64};
inline constexpr RomField uboot_version{216, 16};
inline constexpr RomField kernel_version{232, 16};
inline constexpr RomField gcc_version{248, 16};
inline constexpr RomField features{264, 128};
inline constexpr RomField build_date{392, 16};
inline constexpr RomField flash_addr{408, 4};
inline constexpr RomField flash_size{412, 4};
inline constexpr RomField boot_offset{416, 4};
inline constexpr RomField boot_size{420, 4};
inline constexpr RomField env_offset{424, 4};
inline constexpr RomField env_size{428, 4};
inline constexpr RomField info_offset{432, 4};
inline constexpr RomField info_size{436, 4};
inline constexpr RomField fit_offset{440, 4};
inline constexpr RomField fit_size{444, 4};
inline constexpr RomField fit_signed{448, 1};
inline constexpr RomField vmlinuz_addr{449, 4};
inline constexpr RomField vmlinux_addr{453, 4};
inline constexpr RomField fdt_addr{457, 4};
inline constexpr RomField initrd_addr{461, 4};
inline constexpr RomField system_utils{465, 512};
inline constexpr RomField extra_utils{977, 512};
inline constexpr RomField test_benches{1489, 512};
inline constexpr RomField extra_linguas{2001, 128};
inline constexpr RomField crc{2129, 4};

// Every field in block order, for layout checks.
inline constexpr std::array kAll = {
    magic1,       magic2,       distro,       distro_version, board,        hostname,
    uboot_version, kernel_version, gcc_version, features,      build_date,   flash_addr,
    flash_size,   boot_offset,  boot_size,    env_offset,     env_size,     info_offset,
    info_size,    fit_offset,   fit_size,     fit_signed,     vmlinuz_addr, vmlinux_addr,
    fdt_addr,     initrd_addr,  system_utils, extra_utils,    test_benches, extra_linguas,
    crc};
}  // namespace rom_field

inline constexpr std::uint32_t kRomMagic1 = 0xDEADBEEFu;
inline constexpr std::uint32_t kRomMagic2 = 0xBAADF00Du;

// Big-endian 32-bit number at any offset of a byte span, byte by byte.
// Yields 0 when the four bytes do not lie inside the span.
std::uint32_t rom_be32(std::span<const std::uint8_t> bytes, std::size_t offset);

// A 4-byte number field of the block.
std::uint32_t rom_number(RomBlock b, RomField f);

// A text field: up to its first NUL, never past its end.
std::string_view rom_text(RomBlock b, RomField f);

// The checksum the block should carry: the CRC of every byte before the
// CRC field.
std::uint32_t rom_expected_crc(RomBlock b);

enum class RomCheck { ok, bad_identifier, bad_crc };

// Identifier first, then the CRC.
RomCheck rom_check(RomBlock b);
