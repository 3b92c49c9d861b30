#include "tools/rominfo/rom_offset.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace {

struct Row {
    const char *text;
    std::optional<std::int32_t> offset;  // none: refused
};

void expect_offsets(std::initializer_list<Row> rows) {
    for (const Row &r : rows)
        EXPECT_EQ(rom_parse_offset(r.text), r.offset) << (r.text != nullptr ? r.text : "(null)");
}

TEST(RomOffset, NumberForms) {
    expect_offsets({{"0", 0}, {"4096", 4096}, {"0x1000", 4096}, {"0X1000", 4096}, {"-1", -1}, {" +7", 7},
                    {"010", 8}});  // leading zero: octal
}

TEST(RomOffset, TrailingCharactersIgnored) {
    expect_offsets({{"12k", 12}, {"16abc", 16}, {"0x1g", 1},
                    {"09", 0},     // 9 is no octal digit
                    {"00x5", 0}});  // octal zero, then junk
}

TEST(RomOffset, NoNumberRefused) {
    expect_offsets({{"", {}}, {"k12", {}}, {"-", {}}, {"0x", {}}, {"0X", {}}, {"-0x", {}}, {"0xg", {}},
                    {nullptr, {}}});
}

TEST(RomOffset, OnlySigned32BitValues) {
    expect_offsets({{"2147483647", 2147483647}, {"0x7fffffff", 2147483647}, {"-2147483648", INT32_MIN}});
    // these are not cut to 32 bits (0x100000000 must not read offset 0)
    expect_offsets({{"2147483648", {}}, {"0x80000000", {}}, {"0xffffffff", {}}, {"0x100000000", {}},
                    {"0x100001000", {}}, {"-2147483649", {}}, {"99999999999999999999999", {}}});
}

}  // namespace
