// How quellet reads ids, MAC addresses and numbers.
#include <gtest/gtest.h>

#include "tools/frutool/quellet_values.h"

namespace {

TEST(QuelletValues, IdsAreHexAndOnlyTheBoardsOwnAreKnown) {
    EXPECT_EQ(quellet_parse_id("c0"), 0xC0u);
    EXPECT_EQ(quellet_parse_id("C0"), 0xC0u);
    EXPECT_EQ(quellet_parse_id("0xc7"), 0xC7u);
    EXPECT_EQ(quellet_parse_id("zz"), 0u);
    for (unsigned long id : {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC6, 0xC7}) EXPECT_TRUE(quellet_id_known(id));
    for (unsigned long id : {0xC5, 0xBF, 0xC8, 0x99, 0x1C0, 0}) EXPECT_FALSE(quellet_id_known(id));
}

TEST(QuelletValues, MacNeedsSixColonSeparatedHexBytes) {
    std::uint8_t m[6] = {};
    EXPECT_TRUE(quellet_parse_mac("1:2:3:4:5:6", m));
    EXPECT_EQ(m[0], 1);
    EXPECT_EQ(m[5], 6);
    EXPECT_TRUE(quellet_parse_mac("DE:ad:be:EF:00:ff trailing", m));
    EXPECT_EQ(m[0], 0xDE);
    EXPECT_EQ(m[5], 0xFF);
    EXPECT_FALSE(quellet_parse_mac("01-02-03-04-05-06", m));
    EXPECT_FALSE(quellet_parse_mac("01:02:03:04:05", m));
    EXPECT_FALSE(quellet_parse_mac("", m));
    // At most two digits a byte: a third breaks the colon sequence.
    EXPECT_FALSE(quellet_parse_mac("123:2:3:4:5:6", m));
}

TEST(QuelletValues, NumbersTakeAnyIntegerBaseAndKeepTheLow8BitsOfAnInt) {
    std::uint8_t v = 0;
    EXPECT_TRUE(quellet_parse_number("0x102", &v));
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(quellet_parse_number("010", &v));
    EXPECT_EQ(v, 8);
    EXPECT_TRUE(quellet_parse_number("-1", &v));
    EXPECT_EQ(v, 255);
    EXPECT_TRUE(quellet_parse_number("7x", &v));
    EXPECT_EQ(v, 7);
    EXPECT_FALSE(quellet_parse_number("abc", &v));
    EXPECT_FALSE(quellet_parse_number("", &v));
    // The ends of an int are numbers; beyond them nothing is, on every CPU.
    EXPECT_TRUE(quellet_parse_number("2147483647", &v) && quellet_parse_number("-2147483648", &v));
    for (const char *big : {"4294967298", "2147483648", "-2147483649", "99999999999999999999"})
        EXPECT_FALSE(quellet_parse_number(big, &v)) << big;
}

}  // namespace
