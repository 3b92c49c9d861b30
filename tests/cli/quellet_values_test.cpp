// How quellet reads ids, MAC addresses and numbers.
#include <gtest/gtest.h>

#include <string>

#include "tools/frutool/quellet_json.h"
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
    const std::pair<const char *, int> numbers[] = {{"0x102", 2}, {"010", 8}, {"-1", 255}, {"7x", 7}};
    for (const auto &[text, value] : numbers) {
        EXPECT_TRUE(quellet_parse_number(text, &v)) << text;
        EXPECT_EQ(v, value) << text;
    }
    // The ends of an int are numbers; beyond them nothing is, on every CPU.
    EXPECT_TRUE(quellet_parse_number("2147483647", &v) && quellet_parse_number("-2147483648", &v));
    for (const char *bad : {"abc", "", "4294967298", "2147483648", "-2147483649", "99999999999999999999"})
        EXPECT_FALSE(quellet_parse_number(bad, &v)) << bad;
}

// What the reader refuses, and where it says the fault is.
TEST(QuelletJson, StrictReaderRefusesWithLineAndColumn) {
    struct Row {
        const char *text;
        int line, column;  // 0: accepted
    };
    const Row rows[] = {
        {"{}", 0, 0},
        {" {\"a\": \"x\\u00e9\\n\\/\", \"b\": -12, \"c\": null,\n \"r\": [{\"id\": \"0xc0\", \"n\": 1}, {}]}\n", 0, 0},
        {"{\"a\": 1,}", 1, 9},
        {"{\"a\": 01}", 1, 7},
        {"{\"a\": 1.5}", 1, 8},
        {"{\"a\": 1e3}", 1, 8},
        {"{\"a\": 1234567890123456789}", 1, 25},
        {"{\n\"a\": \"\\u0100\"}", 2, 12},
        {"{\"a\": \"\t\"}", 1, 8},
        {"{\"a\": \"\\x41\"}", 1, 9},
        {"{\"a\": 1, \"a\": 2}", 1, 15},
        {"{\"a\": 1} {}", 1, 10},
        {"{\"a\": \"open", 1, 12},
        {"{\"a\": {\"b\": 1}}", 1, 7},
        {"{\"r\": [{\"b\": [1]}]}", 1, 14},
        {"{\"r\": [1]}", 1, 8},
        {"{\"a\": nul}", 1, 7},
        {"{\"a\": true}", 1, 7},
        {"[]", 1, 1},
        {"", 1, 1},
    };
    JsonMember members[4];
    char pool[64];
    for (const Row &r : rows) {
        JsonError err{};
        int n = json_read_object(r.text, members, pool, &err);
        EXPECT_EQ(n < 0, r.line != 0) << r.text;
        if (n < 0) {
            EXPECT_EQ(std::to_string(err.line) + ":" + std::to_string(err.column),
                      std::to_string(r.line) + ":" + std::to_string(r.column)) << r.text << " " << err.what;
        }
    }
    JsonError err{};
    ASSERT_EQ(json_read_object(rows[1].text, members, pool, &err), 4);
    EXPECT_EQ(members[0].text, "x\xe9\n/");
    EXPECT_EQ(members[1].number, -12);
    EXPECT_EQ(members[2].kind, JSON_NULL);
    EXPECT_EQ(members[3].kind, JSON_ARRAY);
    // More members than room, strings beyond the pool: refused, never overrun.
    EXPECT_LT(json_read_object("{\"a\":1,\"b\":2,\"c\":3,\"d\":4,\"e\":5}", members, pool, &err), 0);
    EXPECT_LT(json_read_object("{\"a\": \"" + std::string(70, 'x') + "\"}", members, pool, &err), 0);
}

}  // namespace
