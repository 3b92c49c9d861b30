// Value extraction and the setters of the board's own records.
#include <gtest/gtest.h>

#include <cstring>

#include "fru/board_info.h"
#include "fru/fru_format.h"
#include "sim/fru_image.h"
#include "tests/fru/fru_test_util.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Parses into the program's board_info; the image must outlive the test.
class Records : public ::testing::Test {
protected:
    void SetUp() override { board_info = BoardInfo{}; }
    void load(const sim::FruImageContent &layout) { load(sim::make_fru_image(layout)); }
    void load(Bytes img) {
        img_ = std::move(img);
        ASSERT_EQ(fru_parse(&board_info, img_.data(), img_.size()), 0);
        fru_extract_values();
    }
    void load_records(const Bytes &recs) {
        Bytes img = sim::make_fru_image();
        put_records(img, recs);
        load(img);
    }
    Bytes img_;
    BoardInfo &b = board_info;
};

TEST_F(Records, ExtractsEveryValueAndSkipsPowerState) {
    sim::FruImageContent layout;
    layout.records = {{0xC0, {1, 2, 3, 4, 5, 6}},      {0xC6, {7, 8, 9, 10, 11, 12}},
                    {0xC7, {13, 14, 15, 16, 17, 18}}, {0xC1, {'s', 'a', 't', 'a', '0', ':', '1'}},
                    {0xC2, {'r', 'o', 'o', 't'}},     {0xC3, {2}},
                    {0xC4, {3}},                      {0xC5, {1}}};
    load(layout);
    EXPECT_EQ(b.mac[5], 6);
    EXPECT_EQ(b.mac2[0], 7);
    EXPECT_EQ(b.mac3[5], 18);
    EXPECT_STREQ(b.bootdevice, "sata0:1");
    EXPECT_STREQ(b.passwd_line, "root");
    EXPECT_EQ(b.test_ok, 2);
    EXPECT_EQ(b.power_policy, 3);
    EXPECT_EQ(b.power_state, 0);
}

TEST_F(Records, LaterRecordWinsAndLongTextsAreCapped) {
    sim::FruImageContent layout;
    std::string dev(40, 'd');
    layout.records = {{0xC1, {'a'}}, {0xC1, Bytes(dev.begin(), dev.end())},
                    {0xC2, Bytes(200, 'p')}};
    load(layout);
    EXPECT_EQ(std::memcmp(b.bootdevice, dev.data(), 32), 0);  // all 32, no terminator
    EXPECT_EQ(b.passwd_line[127], 'p');
}

TEST_F(Records, ShortValueRecordsNeverReadTheirNeighbour) {
    // A 3-byte MAC followed by a record; a 0-byte test ok at the image end
    // of the list: missing bytes read as 0.
    load_records(cat({raw_mrec(0xC0, 0x02, {0xAA, 0xBB, 0xCC}), raw_mrec(0xC4, 0x02, {}),
                      raw_mrec(0xC3, 0x82, {})}));
    const std::uint8_t want[6] = {0xAA, 0xBB, 0xCC, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.mac, want, 6), 0);
    EXPECT_EQ(b.power_policy, 0);
    EXPECT_EQ(b.test_ok, 0);
}

TEST_F(Records, SetMacUpdatesOnlyAnExistingRecord) {
    load(sim::FruImageContent{});  // has 0xC0 but no 0xC6
    const std::uint8_t v[6] = {0xde, 0xad, 0xbe, 0xef, 0, 1};
    std::uint32_t count = b.mrec_count;
    EXPECT_EQ(fru_set_mac(&b, v, 1), -1);
    EXPECT_EQ(std::memcmp(b.mac2, v, 6), 0);  // value kept, no record made
    EXPECT_EQ(b.mrec_count, count);
    EXPECT_EQ(fru_set_mac(&b, v, 3), -1);
    EXPECT_EQ(fru_set_mac(&b, v, -1), -1);

    EXPECT_EQ(fru_set_mac(&b, v, 0), 0);
    EXPECT_EQ(b.mrecs[0].data, b.mac);
    EXPECT_EQ(b.mrecs[0].length, 6);

    BoardInfo empty{};
    EXPECT_EQ(fru_set_mac(&empty, v, 0), -1);
}

// A short record grows to the address; a long one keeps its length and the
// bytes behind the address, also when set twice; duplicates all change.
TEST_F(Records, SetMacGrowsShortRecordsAndKeepsLongTails) {
    load_records(cat({raw_mrec(0xC0, 0x02, {1, 2}), raw_mrec(0xC7, 0x02, {3, 3, 3, 3, 3, 3, 7, 8, 9}),
                      raw_mrec(0xC7, 0x82, {4, 4, 4, 4, 4, 4, 4})}));
    const std::uint8_t v[6] = {9, 8, 7, 6, 5, 4};
    EXPECT_EQ(fru_set_mac(&b, v, 0), 0);
    EXPECT_EQ(fru_set_mac(&b, v, 2), 0);
    const std::uint8_t w[6] = {1, 1, 1, 1, 1, 1};
    EXPECT_EQ(fru_set_mac(&b, w, 2), 0);
    EXPECT_EQ(b.mrecs[0].length, 6);
    ASSERT_EQ(b.mrecs[1].length, 9);
    EXPECT_EQ(Bytes(b.mrecs[1].data, b.mrecs[1].data + 9), (Bytes{1, 1, 1, 1, 1, 1, 7, 8, 9}));
    ASSERT_EQ(b.mrecs[2].length, 7);
    EXPECT_EQ(Bytes(b.mrecs[2].data, b.mrecs[2].data + 7), (Bytes{1, 1, 1, 1, 1, 1, 4}));
    // The loaded image is never changed.
    EXPECT_EQ(img_[mrec_at(img_) + 5 + 2 + 5], 3);
    fru_extract_values();
    EXPECT_EQ(Bytes(b.mac3, b.mac3 + 6), Bytes(w, w + 6));
}

TEST_F(Records, BootdevUpdatesEveryEntryOrAppends) {
    LogCapture log;
    load_records(cat({raw_mrec(0xC1, 0x02, {'x'}), raw_mrec(0xC1, 0x82, {'y', 'y'})}));
    EXPECT_STREQ(b.bootdevice, "yy");  // the second shows
    EXPECT_EQ(fru_set_bootdev(&b, "sata0:1"), 0);
    EXPECT_EQ(fru_set_bootdev(&b, "s1"), 0);
    EXPECT_EQ(b.mrec_count, 2u);
    EXPECT_EQ(b.mrecs[0].length, 2);
    EXPECT_EQ(b.mrecs[0].data, reinterpret_cast<const std::uint8_t *>(b.bootdevice));
    EXPECT_EQ(b.mrecs[1].length, 2);  // the second too: it is the one read back
    EXPECT_EQ(b.mrecs[1].data, b.mrecs[0].data);
    fru_extract_values();
    EXPECT_STREQ(b.bootdevice, "s1");
    EXPECT_EQ(log.text(), "L[FRU]: Checking if bootdev mrec already exists\n"
                          "L[FRU]: Found bootdev mrec, updating\n"
                          "L[FRU]: Checking if bootdev mrec already exists\n"
                          "L[FRU]: Found bootdev mrec, updating\n");

    BoardInfo fresh{};
    std::string forty(40, 'z');
    EXPECT_EQ(fru_set_bootdev(&fresh, forty.c_str()), -1);
    EXPECT_EQ(fresh.mrec_count, 1u);
    EXPECT_EQ(fresh.mrecs[0].type, MREC_BOOTDEV);
    EXPECT_EQ(fresh.mrecs[0].length, 32);
    EXPECT_EQ(fresh.mrecs[0].format, 2);
    EXPECT_EQ(fresh.mrecs[0].end_of_list, 1);
    EXPECT_EQ(std::memcmp(fresh.bootdevice, forty.data(), 32), 0);
    EXPECT_TRUE(log.has("L[FRU]: Bootdev mrec not found, creating mrec 0\n"));
    EXPECT_EQ(fru_set_bootdev(&fresh, ""), 0);
    EXPECT_EQ(fresh.mrecs[0].length, 0);
    EXPECT_EQ(fresh.bootdevice[0], '\0');
}

TEST_F(Records, ByteSettersAndTheirLines) {
    load(sim::FruImageContent{});  // C0 C1 C3 C4
    LogCapture log;
    EXPECT_EQ(fru_set_power_policy(&b, 2), 0);
    EXPECT_EQ(log.text(), "L[FRU]: Checking if power policy mrec already exists\n"
                          "L[FRU]: Power policy value: 2\n"
                          "L[FRU]: Found power policy mrec, updating\n"
                          "L[FRU]: Updating data: 02\n");
    EXPECT_EQ(fru_set_test_ok(&b, 2), 0);
    EXPECT_EQ(b.test_ok, 2);
    EXPECT_EQ(fru_set_passwd_line(&b, "root::0:0::/:/bin/sh"), -1);
    EXPECT_TRUE(log.has("L[FRU]: Passwd line mrec not found, creating mrec 4\n"));
    std::string before = log.text();
    EXPECT_EQ(fru_set_power_state(&b), -1);
    EXPECT_EQ(b.power_state, 1);
    EXPECT_EQ(b.mrecs[5].type, MREC_POWER_STATE);
    EXPECT_EQ(b.mrecs[5].data, &b.power_state);
    EXPECT_EQ(log.text().substr(before.size()),
              "L[FRU]: Checking if power state mrec already exists\n");
    EXPECT_EQ(fru_set_power_state(&b), 0);

    BoardInfo fresh{};
    EXPECT_EQ(fru_set_power_policy(&fresh, 0x11), -1);
    EXPECT_TRUE(log.has("L[FRU]: Power policy mrec not found, creating mrec 0\n"
                        "L[FRU]: Setting data: 11\n"));
    EXPECT_EQ(fru_set_test_ok(&fresh, 1), -1);
    EXPECT_TRUE(log.has("L[FRU]: Test ok mrec not found, creating mrec 1\n"));
}

TEST_F(Records, FullTableIsLeftAsItIs) {
    load(filler_records(8));
    BoardInfo before = b;
    LogCapture log;
    EXPECT_EQ(fru_set_power_policy(&b, 1), -2);
    EXPECT_EQ(fru_set_bootdev(&b, "sata0:0"), -2);
    EXPECT_EQ(fru_set_passwd_line(&b, "x"), -2);
    EXPECT_EQ(fru_set_test_ok(&b, 1), -2);
    EXPECT_EQ(fru_set_power_state(&b), -2);
    EXPECT_TRUE(log.has("W[FRU]: FRU: multirecord table is full\n"));
    EXPECT_FALSE(log.has("creating"));
    EXPECT_EQ(b.mrec_count, 8u);
    EXPECT_EQ(std::memcmp(b.mrecs, before.mrecs, sizeof b.mrecs), 0);
    // Each row keeps its own "not stored" flag: a MAC without a record is
    // unstored, and room in the table clears a row's flag and no other's.
    const std::uint8_t mac[6] = {};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fru_set_mac(&b, mac, i), -1);
    BoardInfo room{};
    for (const FruRecord &r : kFruRecords) {
        SCOPED_TRACE(r.id);
        EXPECT_TRUE(fru_record_unstored(r));
        if (r.kind == FRU_VALUE_MAC) continue;
        if (r.kind == FRU_VALUE_TEXT) EXPECT_EQ(fru_set_record_text(&room, r, "v"), -1);
        else EXPECT_EQ(fru_set_record_byte(&room, r, 7), -1);
        EXPECT_FALSE(fru_record_unstored(r));
        EXPECT_EQ(*fru_record_value(&room, r), r.kind == FRU_VALUE_TEXT ? 'v' : 7);
        EXPECT_TRUE(fru_record_unstored(*fru_record(MREC_MAC)));
    }
}

}  // namespace
