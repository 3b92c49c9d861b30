// ROM information blocks for the simulated board's /dev/mtd2 and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct RomBlockContent {
    std::string distro = "Vellan";
    std::string distro_version = "4.2";
    std::string board = "nv7400";
    std::string hostname = "nv7400-recovery";
    std::string uboot_version = "2021.04";
    std::string kernel_version = "5.10.120";
    std::string gcc_version = "10.3.0";
    std::string features = "fit signed-boot";
    std::string build_date = "20190305140203";
    std::uint32_t flash_addr = 0x1c000000, flash_size = 16777216;
    std::uint32_t boot_offset = 0, boot_size = 1536;
    std::uint32_t env_offset = 0x000e0000, env_size = 65536;
    std::uint32_t info_offset = 0x000f0000, info_size = 65536;
    std::uint32_t fit_offset = 0x00100000, fit_size = 15728640;
    std::uint8_t fit_signed = 1;
    std::uint32_t vmlinuz_addr = 0x80100000, vmlinux_addr = 0x80200000;
    std::uint32_t fdt_addr = 0x81000000, initrd_addr = 0x82000000;
    std::string system_utils = "busybox dropbear mtd-utils";
    std::string extra_utils = "i2c-tools ethtool";
    std::string test_benches = "memtest spi-bench";
    std::string extra_linguas = "de fr";
};

// The 2133-byte block with a correct identifier and CRC.
std::vector<std::uint8_t> make_rom_block(const RomBlockContent &layout = {});

// The CRC a block's first 2129 bytes call for, and that CRC written into
// bytes 2129..2132 (big-endian) after a test has changed the block.
std::uint32_t rom_block_crc(const std::vector<std::uint8_t> &block);
void fix_rom_block_crc(std::vector<std::uint8_t> &block);

}  // namespace sim
