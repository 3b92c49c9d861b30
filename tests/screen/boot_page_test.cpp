// The Boot page as the operator sees it: the console started on a board
// tree, keys sent through a terminal, the screen, the log and the EEPROM
// read back.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/screen/boot_records.h"
#include "tests/screen/harness.h"

namespace {

using screen::Key;
using Bytes = std::vector<std::uint8_t>;

// Screen cells of the page's form: window at row 2, form 2 rows and 2
// columns into it.
constexpr int kPortRow = 6, kPolicyRow = 8, kValueCol = 25;

class BootScreen : public screen::ConsoleTest {
protected:
    void records(std::vector<sim::FruRecord> r) { opts.fru.records = std::move(r); }
    testing::AssertionResult to_boot_tab() {
        term().key(Key::Right);
        return wait_log("L[TOP_MENU]: Show panel 1\n");
    }
    std::string cell_text(int row, int col, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += term().cell(row, col + i).text;
        return s;
    }
    std::map<int, Bytes> saved() { return boot_test::eeprom_records(eeprom()); }
    testing::AssertionResult save_and_wait() {
        term().fkey(10);
        return wait_exit(screen::Millis(25000));
    }
};

TEST_F(BootScreen, OldBmcShowsNoPolicyAndTheCursorStaysOnThePort) {
    opts.bmc_version = "2.0.1\n";
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(to_boot_tab());
    ASSERT_TRUE(term().wait_row(kPolicyRow, "N/A"));
    EXPECT_EQ(cell_text(kPolicyRow, kValueCol, 3), "N/A");
    EXPECT_EQ(term().cell(kPolicyRow, kValueCol).fg, 4);  // blue on white
    EXPECT_EQ(term().cell(kPolicyRow, kValueCol).bg, 7);
    term().key(Key::Down);
    term().key(Key::Down);
    term().key(Key::Down);
    term().key(Key::Enter);
    ASSERT_TRUE(term().wait_row(kPortRow, "sata0:1"));
    EXPECT_EQ(term().cursor().row, kPortRow);
    EXPECT_EQ(log_count_prefix("L[BOOT_PAGE]: Save power policy"), 0);
    ASSERT_TRUE(leave());
    // F6: nothing saved.
    EXPECT_EQ(saved()[0xC1], (Bytes{'s', 'a', 't', 'a', '0', ':', '0'}));
}

TEST_F(BootScreen, PolicyOneStepsOffAndOnAndTheSaveStoresItWithThePort) {
    records({{0xC0, {0x02, 0x00, 0x5e, 0x10, 0x20, 0x30}}, {0xC1, {'s', 'a', 't', 'a', '0', ':', '0'}},
             {0xC4, {0x01}}});
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(to_boot_tab());
    ASSERT_TRUE(term().wait_row(kPolicyRow, "always on"));
    EXPECT_EQ(term().cell(kPolicyRow, kValueCol).fg, 7);  // white on blue
    EXPECT_EQ(term().cell(kPolicyRow, kValueCol).bg, 4);
    term().key(Key::Down);
    term().key(Key::Enter);
    ASSERT_TRUE(term().wait_row(kPortRow, "sata0:1"));
    ASSERT_TRUE(wait_log("L[BOOT_PAGE]: Save boot device\nPTR:\n73 61 74 61 30 3a 31 20 \n"
                         "L[BOOT_PAGE]: Obtained buffer: [sata0:1]\n"));
    term().key(Key::Down);
    term().key(Key::Enter);
    ASSERT_TRUE(term().wait_row(kPolicyRow, "always off"));
    term().key(Key::Enter);
    ASSERT_TRUE(term().wait_row(kPolicyRow, "always on"));
    ASSERT_TRUE(wait_log("W[BOOT_PAGE]: PP_KEEP support is disabled\n"));
    EXPECT_EQ(log_count("L[BOOT_PAGE]: Save power policy"), 2);
    ASSERT_TRUE(save_and_wait());
    auto r = saved();
    EXPECT_EQ(r[0xC1], (Bytes{'s', 'a', 't', 'a', '0', ':', '1'}));
    EXPECT_EQ(r[0xC4], (Bytes{0x02}));
    EXPECT_EQ(r[0xC5], (Bytes{0x01}));
    EXPECT_EQ(r[0xC0], (Bytes{0x02, 0x00, 0x5e, 0x10, 0x20, 0x30}));
}

TEST_F(BootScreen, PolicyNineShowsOffAndASaveLeavesItsRecord) {
    records({{0xC1, {'s', 'a', 't', 'a', '0', ':', '1'}}, {0xC4, {0x09}}});
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(to_boot_tab());
    ASSERT_TRUE(term().wait_row(kPolicyRow, "always off"));
    EXPECT_EQ(cell_text(kPortRow, kValueCol, 7), "sata0:1");
    // F10 would write the record back as loaded: nothing is unsaved.
    ASSERT_TRUE(term().wait_idle());
    EXPECT_FALSE(term().contains("unsaved changes")) << term().dump();
    ASSERT_TRUE(save_and_wait());
    auto r = saved();
    EXPECT_EQ(r[0xC4], (Bytes{0x09}));
    EXPECT_EQ(r.count(0xC5), 0u);
    EXPECT_EQ(r[0xC1], (Bytes{'s', 'a', 't', 'a', '0', ':', '1'}));
}

TEST_F(BootScreen, AnotherStoredDeviceShowsTheFirstPort) {
    records({{0xC1, {'s', 'a', 't', 'a', '1', ':', '0'}}});
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(to_boot_tab());
    ASSERT_TRUE(term().wait_row(kPortRow, "sata0:0"));
    ASSERT_TRUE(leave());
}

TEST_F(BootScreen, NoStoredDeviceShowsTheFirstPort) {
    records({{0xC0, {0x02, 0x00, 0x5e, 0x10, 0x20, 0x30}}});
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(to_boot_tab());
    ASSERT_TRUE(term().wait_row(kPortRow, "sata0:0"));
    ASSERT_TRUE(wait_log("L[BOOT_PAGE]: fru.bootdevice: \n"));
    ASSERT_TRUE(leave());
}

TEST_F(BootScreen, KeysWhileHiddenOrWithoutTheKeyboardChangeNothing) {
    ASSERT_TRUE(start(24, 80));
    // On the Main tab: Down and Enter belong to the Main page.
    term().key(Key::Down);
    term().key(Key::Enter);
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_idle());
    ASSERT_TRUE(to_boot_tab());
    ASSERT_TRUE(term().wait_row(kPortRow, "sata0:0"));
    // The tab bar holds the keyboard: Enter does nothing here.
    term().key(Key::Enter);
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(cell_text(kPortRow, kValueCol, 7), "sata0:0");
    // Down gives the page the keyboard; Left and Right then change no tab.
    term().key(Key::Down);
    term().key(Key::Left);
    term().key(Key::Right);
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(log_count_prefix("L[TOP_MENU]: Show panel"), 2);
    EXPECT_EQ(cell_text(kPortRow, kValueCol, 7), "sata0:0");
    // Up on the port gives the keyboard back: Right moves to Network.
    term().key(Key::Up);
    term().key(Key::Right);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 2\n"));
    EXPECT_EQ(log_count_prefix("L[BOOT_PAGE]: Save"), 0);
    ASSERT_TRUE(leave());
}

}  // namespace
