#include "tools/rominfo/rom_print.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/rom_image.h"
#include "tests/rominfo/rom_capture.h"
#include "tests/rominfo/rom_expected.h"
#include "tools/rominfo/rom_report.h"

namespace {

std::string print(const std::vector<std::uint8_t> &b) {
    return capture([&](std::FILE *f) { rom_print_info(f, RomBlock(b.data(), kRomInfoSize)); });
}

std::string date_of(const std::string &field) {
    sim::RomBlockContent layout;
    layout.build_date = field;
    auto b = sim::make_rom_block(layout);
    char out[kRomDateMax];
    rom_build_date(RomBlock(b.data(), kRomInfoSize), out);
    return out;
}

TEST(RomPrint, DefaultBlockReport) { EXPECT_EQ(print(sim::make_rom_block()), kDefaultReport); }

TEST(RomPrint, FitSignedAndSizes) {
    sim::RomBlockContent layout;
    layout.fit_signed = 0;
    EXPECT_EQ(report_line(print(sim::make_rom_block(layout)), "Fitimage"),
              "Fitimage section:    offset 0x00100000, size 15360KB (15728640), unsigned");
    layout.fit_signed = 0x80;  // any value but 0 is signed
    layout.fit_size = 1023;
    layout.fit_offset = 0xFFFFFFFF;
    EXPECT_EQ(report_line(print(sim::make_rom_block(layout)), "Fitimage"),
              "Fitimage section:    offset 0xffffffff, size 0KB (1023), signed");

    layout.env_size = 1536;
    layout.info_size = 0xFFFFFFFF;  // unsigned, not -1
    layout.flash_size = 2047;
    auto r = print(sim::make_rom_block(layout));
    EXPECT_EQ(report_line(r, "Environment"), "Environment section: offset 0x000e0000, size 1KB (1536)");
    EXPECT_EQ(report_line(r, "Information"),
              "Information section: offset 0x000f0000, size 4194303KB (4294967295)");
    EXPECT_EQ(report_line(r, "SPI-flash"), "SPI-flash info:      address 0x1c000000, size 1KB (2047)");
}

TEST(RomPrint, TextsAreBoundedByTheirFields) {
    sim::RomBlockContent layout;
    layout.hostname = std::string(64, 'h');  // fills the field, no NUL
    layout.uboot_version = std::string(16, 'u');
    layout.kernel_version = "";
    layout.distro_version = std::string(40, 'v');  // longer than its field of 16
    layout.extra_linguas = std::string(128, 'l');  // runs up to the CRC
    auto r = print(sim::make_rom_block(layout));
    EXPECT_EQ(report_line(r, "Hostname"), "Hostname:            " + std::string(64, 'h'));
    EXPECT_EQ(report_line(r, "Core"), "Core systems:        u-boot " + std::string(16, 'u') + ", kernel ");
    EXPECT_EQ(report_line(r, "Distribution"),
              "Distribution:        Vellan " + std::string(16, 'v') + " for board nv7400");
    EXPECT_EQ(report_line(r, "Extra linguas"), "Extra linguas:       " + std::string(128, 'l'));
}

TEST(RomPrint, BuildDate) {
    EXPECT_EQ(date_of("20190305140203"), "Tue Mar  5 14:02:03 2019");
    EXPECT_EQ(date_of("20001231235959"), "Sun Dec 31 23:59:59 2000");
    // a field filled up to its end, digits beyond the 14 are not read
    EXPECT_EQ(date_of("2019030514020399"), "Tue Mar  5 14:02:03 2019");
    // what does not parse stays zero: 0 January 1900
    EXPECT_EQ(date_of(""), "Sun Jan  0 00:00:00 1900");
    EXPECT_EQ(date_of("garbage"), "Sun Jan  0 00:00:00 1900");
    EXPECT_EQ(date_of("2019"), date_of("2019xx"));
    EXPECT_NE(date_of("2019").find("2019"), std::string::npos);
}

TEST(RomReport, Modes) {
    EXPECT_EQ(capture([](std::FILE *f) { report(f, REPORT_MESSAGE, "sarvik v%s", kSarvikVersion); }),
              "sarvik v1.0.0\n");
    EXPECT_EQ(capture([](std::FILE *f) { report(f, REPORT_USAGE, "%s", "ignored"); }), kUsage);
    EXPECT_EQ(capture([](std::FILE *f) { report(f, REPORT_WITH_USAGE, "Error: %c\n", 'x'); }),
              std::string("Error: x\n\n") + kUsage);
}

}  // namespace
