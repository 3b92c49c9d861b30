// The report of the default simulated block, as the board prints it, and
// the usage text.
#pragma once

#include <string>

inline constexpr const char *kDefaultReport =
    "Distribution:        Vellan 4.2 for board nv7400\n"
    "Hostname:            nv7400-recovery\n"
    "Core systems:        u-boot 2021.04, kernel 5.10.120\n"
    "Built by:            gcc 10.3.0 with features fit signed-boot\n"
    "Build date:          Tue Mar  5 14:02:03 2019\n"
    "SPI-flash info:      address 0x1c000000, size 16384KB (16777216)\n"
    "Bootloader section:  offset 0x00000000, size 1KB (1536)\n"
    "Environment section: offset 0x000e0000, size 64KB (65536)\n"
    "Information section: offset 0x000f0000, size 64KB (65536)\n"
    "Fitimage section:    offset 0x00100000, size 15360KB (15728640), signed\n"
    "Kernel load address: vmlinuz 0x80100000, vmlinux 0x80200000\n"
    "FDT load address:    0x81000000\n"
    "Initrd load address: 0x82000000\n"
    "System utils:        busybox dropbear mtd-utils\n"
    "Extra utils:         i2c-tools ethtool\n"
    "Test benches:        memtest spi-bench\n"
    "Extra linguas:       de fr\n";

inline constexpr const char *kUsage =
    "Usage: sarvik [OPTIONS]\n"
    "Extract information from Vellan Recovery ROM-image.\n"
    "\n"
    "Options:\n"
    " -r, --rom=name        ROM-image file name (default /dev/mtd2)\n"
    " -o, --offset=address  Info-section address (default 0x00000000)\n"
    " -h, --help            Print this help message and exit\n"
    " -v, --version         Output version information and exit\n"
    "\n"
    "For mor information see sarvik(1)\n";

// The report's line that holds label, from the label on, without its line end.
inline std::string report_line(const std::string &report, const std::string &label) {
    auto at = report.find(label);
    if (at == std::string::npos) return "<no " + label + ">";
    return report.substr(at, report.find('\n', at) - at);
}
