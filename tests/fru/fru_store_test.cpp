// Load and save of the EEPROM on a simulated board.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "fru/board_info.h"
#include "fru/fru_format.h"
#include "fru/fru_store.h"
#include "sim/board_tree.h"
#include "tests/fru/fru_test_util.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr const char *kEeprom = "/sys/bus/i2c/devices/1-0053/eeprom";

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        board_info = BoardInfo{};
    }
    sim::BoardTree tree(const sim::FruImageContent &layout = {}) {
        sim::TreeOptions o;
        o.fru = layout;
        o.sample_markers = false;
        return sim::build_board_tree(root_, o);
    }
    void put(const Bytes &img) { sim::BoardTree(root_).write_bytes(kEeprom, img); }
    Bytes eeprom() const {
        std::string s = sim::BoardTree(root_).read(kEeprom);
        return Bytes(s.begin(), s.end());
    }
    std::string host() const { return root_ + kEeprom; }
    // A save that is refused: -1 and the EEPROM as it was; what it logged.
    std::string refused_save() {
        const Bytes before = eeprom();
        LogCapture log;
        EXPECT_EQ(fru_save(), -1);
        EXPECT_EQ(eeprom(), before);
        return log.text();
    }
    test_support::TempDir tmp_{"/tmp/fru-store-XXXXXX", test_support::Root::board};
    const std::string &root_ = tmp_.path();
};

TEST_F(Store, LoadFillsBoardInfo) {
    tree();
    LogCapture log(true);
    ASSERT_EQ(fru_load(), 0);
    EXPECT_EQ(board_info.mac_list[0], board_info.mac);
    EXPECT_EQ(board_info.mac_list[2], board_info.mac3);
    EXPECT_EQ(board_info.mac[2], 0x5e);
    EXPECT_STREQ(board_info.bootdevice, "sata0:0");
    EXPECT_EQ(board_info.test_ok, 1);
    EXPECT_STREQ(board_info.p_product_name.text, "NV-7400");
    EXPECT_TRUE(log.has("Reading eeprom\nRead 4096 bytes\n"));
    EXPECT_TRUE(log.has("FRU: found MAC mrec [02 00 5e 10 20 30]\n"));
    EXPECT_TRUE(log.has("FRU: found SATA boot device [sata0:0]\n"));
}

TEST_F(Store, MissingOrErasedEepromFailsTheLoad) {
    // The loaded image starts zeroed; a failed open parses what it holds.
    tree();
    put(Bytes(4096, 0));
    EXPECT_EQ(fru_load(), -2);
    board_info = BoardInfo{};
    sim::BoardTree(root_).remove(kEeprom);
    LogCapture log;
    EXPECT_EQ(fru_load(), -2);
    EXPECT_EQ(fru_load(), -2);
    EXPECT_EQ(log.text(), "E[FRU]: FRU: failed to open eeprom\n"
                          "W[FRU]: FRU: Header version is not valid\n"
                          "E[FRU]: FRU: failed to open eeprom\n"
                          "W[FRU]: FRU: Header version is not valid\n");
    EXPECT_EQ(board_info.b_mfg_name.text[0], '\0');
    put(Bytes(4096, 0xFF));
    EXPECT_EQ(fru_load(), -2);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Empty EEPROM detected\n"));
    // One that opens but cannot be read is said so, and nothing is parsed.
    sim::BoardTree(root_).remove(kEeprom);
    std::filesystem::create_directory(host());
    EXPECT_EQ(fru_load(), FRU_LOAD_UNREADABLE);
    EXPECT_TRUE(log.text().ends_with("W[FRU]: FRU: Empty EEPROM detected\n"
                                     "E[FRU]: FRU: failed to read eeprom: Is a directory\n"));
    // A zero-length EEPROM after a good load is no image, not the old one.
    std::filesystem::remove(host());
    tree();
    ASSERT_EQ(fru_load(), 0);
    put(Bytes{});
    EXPECT_EQ(fru_load(), -2);
}

TEST_F(Store, SaveWithoutChangesRewritesRecordsAndZerosTheRest) {
    sim::FruImageContent layout;
    layout.extra_flag_bits = 0x78;
    tree(layout);
    Bytes img = eeprom();
    std::size_t m = mrec_at(img);
    // Junk behind the end of list: a longer old area.
    for (std::size_t i = 4000; i < 4096; ++i) img[i] = 0x5A;
    put(img);
    ASSERT_EQ(fru_load(), 0);
    ASSERT_EQ(fru_save(), 0);
    Bytes after = eeprom();
    ASSERT_EQ(after.size(), 4096u);
    sim::FruImageContent clean;
    Bytes want = sim::make_fru_image(clean);  // same records, flag bits 3..6 cleared
    EXPECT_EQ(after, want);
    EXPECT_EQ(std::memcmp(after.data(), img.data(), m), 0);
    EXPECT_EQ(after[4095], 0);
}

TEST_F(Store, EightRecordsWithTheEndBitStillSave) {
    tree(filler_records(8));
    Bytes img = eeprom();
    ASSERT_EQ(fru_load(), 0);
    ASSERT_EQ(fru_save(), 0);
    EXPECT_EQ(eeprom(), img);
}

// Images whose rewrite would drop bytes the load read: the save refuses,
// names the reason, and the EEPROM keeps every byte.
TEST_F(Store, SaveRefusesToDropWhatItDidNotRead) {
    sim::FruImageContent chassis, internal;
    chassis.chassis_at = internal.internal_at = 1024;
    const struct {
        const char *what;
        sim::FruImageContent layout;
        const char *line;
    } cases[] = {
        {"board area reaching into the records", overlapping(),
         "E[FRU]: FRU: board area reaches into multirecord area, refusing to save\n"},
        {"product area reaching into the records", overlapping(true),
         "E[FRU]: FRU: product area reaches into multirecord area, refusing to save\n"},
        {"chassis area behind the records", chassis, "E[FRU]: FRU: chassis area would be overwritten, refusing to save\n"},
        {"internal use area behind the records", internal,
         "E[FRU]: FRU: internal use area behind multirecord area, refusing to save\n"},
        {"ten records", filler_records(10), "E[FRU]: FRU: more than 8 multirecords, refusing to save\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        tree(c.layout);
        board_info = BoardInfo{};
        ASSERT_EQ(fru_load(), 0);
        EXPECT_EQ(fru_set_bootdev(&board_info, "sata0:1"), c.layout.records.size() == 10 ? -2 : 0);
        EXPECT_EQ(refused_save(), c.line);
    }
}

// Areas in front of the records go back byte for byte, whatever they are.
TEST_F(Store, ChassisAndInternalAreasInFrontAreKept) {
    sim::FruImageContent l;
    l.internal_at = 256;
    l.chassis_at = 384;
    l.mrec_at = 512;
    tree(l);
    Bytes before = eeprom();
    ASSERT_EQ(fru_load(), 0);
    EXPECT_EQ(fru_set_bootdev(&board_info, "sata0:1"), 0);
    ASSERT_EQ(fru_save(), 0);
    Bytes after = eeprom();
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 512, after.begin()));
    board_info = BoardInfo{};
    ASSERT_EQ(fru_load(), 0);
    EXPECT_STREQ(board_info.bootdevice, "sata0:1");
}

TEST_F(Store, AppendedPolicyIsWrittenLastWithTheEndBit) {
    sim::FruImageContent layout;
    layout.records = {{0xC0, {1, 2, 3, 4, 5, 6}}, {0xC5, {0}}};
    tree(layout);
    ASSERT_EQ(fru_load(), 0);
    EXPECT_EQ(board_info.power_state, 0);
    EXPECT_EQ(fru_set_power_policy(&board_info, 2), -1);
    ASSERT_EQ(fru_save(), 0);
    Bytes after = eeprom();
    std::size_t m = mrec_at(after);
    EXPECT_EQ(after[m + 1], 0x02);
    EXPECT_EQ(after[m + 11], 0xC5);  // kept unchanged
    EXPECT_EQ(after[m + 11 + 1], 0x02);
    EXPECT_EQ(after[m + 11 + 5], 0);
    EXPECT_EQ(after[m + 17], 0xC4);
    EXPECT_EQ(after[m + 17 + 1], 0x82);
    EXPECT_EQ(after[m + 17 + 5], 2);
    // And it loads back.
    board_info = BoardInfo{};
    ASSERT_EQ(fru_load(), 0);
    EXPECT_EQ(board_info.power_policy, 2);
}

TEST_F(Store, SaveAfterAFailedLoadWritesNothing) {
    tree();
    ASSERT_EQ(fru_load(), 0);
    Bytes img = eeprom();
    img[0] = 0;  // the next load fails
    put(img);
    EXPECT_EQ(fru_load(), -2);
    EXPECT_EQ(eeprom(), img);
    EXPECT_EQ(refused_save(), "E[FRU]: FRU: not loaded, refusing to save\n");
}

TEST_F(Store, WriteFailuresAreReported) {
    tree();
    ASSERT_EQ(fru_load(), 0);
    Bytes img = eeprom();
    LogCapture log;

    // Devices that do not hold the loaded image (zeros, nothing) are never
    // written over.
    for (const char *dev : {"/dev/full", "/dev/null"}) {
        std::filesystem::remove(host());
        std::filesystem::create_symlink(dev, host());
        EXPECT_EQ(fru_save(), -1) << dev;
        EXPECT_TRUE(log.has("L[FRU]: Writing eeprom \n"
                            "E[FRU]: FRU: eeprom changed since it was loaded, refusing to save\n"));
    }

    // A folder where the file should be cannot be opened.
    std::filesystem::remove(host());
    std::filesystem::create_directory(host());
    EXPECT_EQ(fru_save(), -1);
    EXPECT_TRUE(log.has("E[FRU]: FRU: failed to open eeprom\n"));
    std::filesystem::remove(host());

    // A smaller EEPROM cannot take the image: it stays as it was.
    Bytes small(img.begin(), img.begin() + 1024);
    put(small);
    EXPECT_EQ(fru_save(), -1);
    EXPECT_EQ(eeprom(), small);

    put(img);
    EXPECT_EQ(fru_save(), 0);
}

TEST_F(Store, TableThatFillsTheImageExactlyDoesNotPack) {
    // Records ending right at byte 4096 load, but packing needs one byte more.
    const Bytes img = records_to_the_end(sim::make_fru_image(), 231);
    ASSERT_EQ(img[4095], 1);  // the last record's last byte
    tree();
    put(img);
    ASSERT_EQ(fru_load(), 0);
    EXPECT_EQ(eeprom(), img);
    const std::string log = refused_save();
    EXPECT_NE(log.find("W[FRU]: FRU: Failed to pack multirecord\n"), std::string::npos);
    EXPECT_EQ(log.find("Writing eeprom"), std::string::npos);
}

TEST_F(Store, AreaBehindTheRecordsIsNotDropped) {
    // Product area moved behind the multirecord area.
    Bytes img = sim::make_fru_image();
    std::size_t p = img[4] * 8u, m = mrec_at(img);
    Bytes prod(img.begin() + static_cast<long>(p), img.begin() + static_cast<long>(m));
    std::size_t np = 2000;
    std::copy(prod.begin(), prod.end(), img.begin() + static_cast<long>(np));
    img[4] = static_cast<std::uint8_t>(np / 8);
    img[7] = zero_sum(img, 0, 7);
    tree();
    put(img);
    ASSERT_EQ(fru_load(), 0);
    EXPECT_EQ(eeprom(), img);
    EXPECT_NE(refused_save().find("refusing to save"), std::string::npos);
}

}  // namespace
