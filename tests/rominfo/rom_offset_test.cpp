#include "tools/rominfo/rom_offset.h"

#include <gtest/gtest.h>

namespace {

TEST(RomOffset, NumberForms) {
    EXPECT_EQ(rom_parse_offset("0"), 0);
    EXPECT_EQ(rom_parse_offset("4096"), 4096);
    EXPECT_EQ(rom_parse_offset("0x1000"), 4096);
    EXPECT_EQ(rom_parse_offset("0X1000"), 4096);
    EXPECT_EQ(rom_parse_offset("010"), 8);  // leading zero: octal
    EXPECT_EQ(rom_parse_offset("-1"), -1);
    EXPECT_EQ(rom_parse_offset(" +7"), 7);
    EXPECT_EQ(rom_parse_offset("0"), 0);
}

TEST(RomOffset, TrailingCharactersIgnored) {
    EXPECT_EQ(rom_parse_offset("12k"), 12);
    EXPECT_EQ(rom_parse_offset("16abc"), 16);
    EXPECT_EQ(rom_parse_offset("0x1g"), 1);
    EXPECT_EQ(rom_parse_offset("09"), 0);  // 9 is no octal digit
    EXPECT_EQ(rom_parse_offset("00x5"), 0);  // octal zero, then junk
}

TEST(RomOffset, NoNumberRefused) {
    EXPECT_FALSE(rom_parse_offset(""));
    EXPECT_FALSE(rom_parse_offset("k12"));
    EXPECT_FALSE(rom_parse_offset("-"));
    EXPECT_FALSE(rom_parse_offset("0x"));
    EXPECT_FALSE(rom_parse_offset("0X"));
    EXPECT_FALSE(rom_parse_offset("-0x"));
    EXPECT_FALSE(rom_parse_offset("0xg"));
    EXPECT_FALSE(rom_parse_offset(nullptr));
}

TEST(RomOffset, OnlySigned32BitValues) {
    EXPECT_EQ(rom_parse_offset("2147483647"), 2147483647);
    EXPECT_EQ(rom_parse_offset("0x7fffffff"), 2147483647);
    EXPECT_EQ(rom_parse_offset("-2147483648"), INT32_MIN);
    // these are not cut to 32 bits (0x100000000 must not read offset 0)
    EXPECT_FALSE(rom_parse_offset("2147483648"));
    EXPECT_FALSE(rom_parse_offset("0x80000000"));
    EXPECT_FALSE(rom_parse_offset("0xffffffff"));
    EXPECT_FALSE(rom_parse_offset("0x100000000"));
    EXPECT_FALSE(rom_parse_offset("0x100001000"));
    EXPECT_FALSE(rom_parse_offset("-2147483649"));
    EXPECT_FALSE(rom_parse_offset("99999999999999999999999"));
}

}  // namespace
