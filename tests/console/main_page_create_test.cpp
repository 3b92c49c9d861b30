// The status page on simulated boards of its own, drawn on a screen over
// /dev/null: what each cell shows, in which colour, and what the log says.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curses.h>
#include <filesystem>
#include <panel.h>
#include <string>

#include "console/log.h"
#include "console/pages/main_page.h"
#include "console/top_menu.h"
#include "fru/board_info.h"
#include "fru/fru_store.h"
#include "sim/board_tree.h"
#include "tests/console/boot_curses.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const char *kDriver = "/sys/bus/i2c/drivers/vellan-bmc";
constexpr const char *kTemp = "/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/temp1_input";

void set_fru(FruString &s, const char *text) {
    s = {};
    s.length = static_cast<std::int32_t>(std::strlen(text));
    std::strncpy(s.text, text, sizeof s.text - 1);
}

class MainPage : public boot_test::PageTest<main_page_create, main_page_destroy, main_page_handle_key,
                                            main_page_panel> {
protected:
    static void SetUpTestSuite() {
        setenv("LINES", "30", 1);
        setenv("COLUMNS", "120", 1);
        setenv("TZ", "UTC", 1);
        tzset();
        screen.open();
    }
    static void TearDownTestSuite() {
        screen.close();
    }
    void SetUp() override {
        PageTest::SetUp();
        board_info = {};
        board_info.test_ok = 1;
        board_info.b_mfg_date[0] = 0x20;
        board_info.b_mfg_date[1] = 0xD4;
        board_info.b_mfg_date[2] = 0xA1;
        set_fru(board_info.b_mfg_name, "Norvane Systems");
        set_fru(board_info.b_serial_number, "NV74-000123");
        set_fru(board_info.p_product_version, "rev B");
    }
    // The panel library's own record for stdscr is let go (see null_screen.h);
    // the page's panel must be released.
    void TearDown() override {
        PageTest::TearDown();
        EXPECT_EQ(panel_above(nullptr), nullptr) << "a page panel was not released";
    }
    sim::BoardTree build(const sim::TreeOptions &opt = {}) {
        return sim::build_board_tree(root_, opt);
    }
    // A cell's text, by its form row and column (the form sits at row 2,
    // column 2 of the page window).
    static std::string cell(int row, int col, int width) {
        char buf[128] = {};
        mvwinnstr(win(), row + 2, col + 2, buf, width);
        std::string s = buf;
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }
    static int pair_at(int row, int col) {
        return static_cast<int>(PAIR_NUMBER(mvwinch(win(), row + 2, col + 2) & A_COLOR));
    }
    // A value of the left column and its colour pair.
    static testing::AssertionResult value_is(int row, const std::string &text, int pair) {
        const std::string got = cell(row, 23, 22);
        const int got_pair = pair_at(row, 23);
        if (got == text && got_pair == pair) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "row " << row << ": \"" << got << "\" in pair " << got_pair;
    }

    test_support::TempDir tmp_{"/tmp/main-page-test-XXXXXX", test_support::Root::board};
    const std::string &root_ = tmp_.path();
    static inline test_screen::NullScreen screen;
};

TEST_F(MainPage, DefaultBoardShowsEveryValue) {
    build();
    // Loaded as at console start (the page shows only what was read), then
    // this fixture's values in the records.
    const BoardInfo mine = board_info;
    ASSERT_EQ(fru_load(), 0);
    board_info = mine;
    create();
    EXPECT_EQ(cell(0, 0, 23), "Boot status");
    EXPECT_TRUE(value_is(0, "NORMAL", 5));
    EXPECT_EQ(pair_at(0, 0), 2);
    EXPECT_TRUE(value_is(2, "PASSED", 5));
    EXPECT_TRUE(value_is(4, "OK", 5));
    EXPECT_EQ(cell(10, 23, 22), "45.123 Deg.C");
    EXPECT_EQ(cell(12, 23, 22), "1.012 V");
    EXPECT_EQ(cell(14, 23, 22), "0");
    EXPECT_EQ(cell(16, 23, 22), "2.0.2");
    EXPECT_TRUE(value_is(18, "SM-2.4.1", 2));
    EXPECT_EQ(cell(20, 23, 22), "5.10.120-nv7400");
    EXPECT_EQ(cell(0, 72, 25), "2016-03-01");
    EXPECT_EQ(cell(2, 72, 25), "Norvane Systems");
    EXPECT_EQ(cell(6, 72, 25), "NV74-000123");
    EXPECT_EQ(cell(16, 45, 27), "Product version");
    EXPECT_EQ(cell(16, 72, 25), "rev B");
    EXPECT_EQ(cell(4, 72, 25), "");  // an empty FRU text
    // Clock cells and their separators, white on blue.
    EXPECT_EQ(cell(6, 25, 1), ":");
    EXPECT_EQ(cell(8, 27, 1), "-");
    EXPECT_EQ(pair_at(6, 23), 3);
    EXPECT_EQ(pair_at(6, 25), 3);
    EXPECT_EQ(pair_at(8, 31), 3);
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: BMC version read returned 3, value: 2.0.2\n"));
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: offset: 0x00a1d420\n"));
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: Test ok: 1\n"));
    EXPECT_EQ(bmc_info.major, 2);
    EXPECT_EQ(bmc_info.patch, 2);
    EXPECT_EQ(bmc_info.boot_reason, 1);
}

TEST_F(MainPage, BootStatusFollowsTheBmc) {
    struct Case {
        const char *version, *reason, *text;
        int pair;
        const char *line;
    } cases[] = {
        {"2.0.0\n", "769\n", "NORMAL", 5, "L[MAIN_PAGE]: Bootreason: 1/3\n"},
        {"2.1.0\n", "0x0202\n", "BOOTCONF FAIL", 6, "L[MAIN_PAGE]: Bootreason: 2/2\n"},
        {"2.0.0\n", "3\n", "NOT TESTED", 6, "L[MAIN_PAGE]: Bootreason: 3/0\n"},
        {"2.0.0\n", "4\n", "HW TEST FAIL", 6, "L[MAIN_PAGE]: Bootreason: 4/0\n"},
        {"3.0.0\n", "9\n", "UNKNOWN", 6, "L[MAIN_PAGE]: Bootreason: 9/0\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        sim::TreeOptions o;
        o.bmc_version = c.version;
        o.bmc_bootreason = c.reason;
        build(o);
        create();
        EXPECT_TRUE(value_is(0, c.text, c.pair));
        EXPECT_TRUE(log.has(c.line)) << log.text();
        destroy();
    }
}

TEST_F(MainPage, OldOrMissingBmcLeavesTheBootStatusUnknown) {
    sim::TreeOptions o;
    o.bmc_version = "1.9.9\n";
    sim::BoardTree t = build(o);
    t.remove(std::string(kDriver) + "/bootreason");
    create();
    EXPECT_EQ(cell(16, 23, 22), "1.9.9");
    EXPECT_TRUE(value_is(0, "UNKNOWN", 6));
    // Below version 2 the boot reason is not even looked for.
    EXPECT_FALSE(log.has("bootreason")) << log.text();
    EXPECT_FALSE(log.has("Bootreason")) << log.text();
    destroy();

    t.remove(kDriver);
    create();
    EXPECT_TRUE(log.has("E[MAIN_PAGE]: Failed to glob /sys/bus/i2c/drivers/*-bmc/version\n"));
    EXPECT_EQ(cell(16, 23, 22), "0.0.0");
    EXPECT_EQ(cell(0, 23, 22), "UNKNOWN");
    EXPECT_EQ(bmc_info.major, 0);
    EXPECT_EQ(bmc_info.boot_reason, 0);
}

TEST_F(MainPage, ShredAndSensors) {
    sim::TreeOptions o;
    o.shred = 0x05;
    sim::BoardTree t = build(o);
    t.remove(kTemp);
    create();
    EXPECT_EQ(cell(14, 23, 22), "5");
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: shred: 0x00000005\n"));
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: Exporting pin 504[len: 3]\n"));
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: gpio[506] read returned 1, value: 1\n"));
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: Opening /sys/class/gpio/gpio511/value\n"));
    // A missing temperature: 0.000 without unit, the voltage never read.
    EXPECT_EQ(cell(10, 23, 22), "0.000");
    EXPECT_EQ(cell(12, 23, 22), "");
    EXPECT_TRUE(log.has("E[MAIN_PAGE]: Failed to open " + std::string(kTemp) + "\n"));
    // Board paths in the log, never the root.
    EXPECT_FALSE(log.has(root_)) << log.text();
}

TEST_F(MainPage, ShredStopsAtTheFirstPinThatCannotBeRead) {
    sim::TreeOptions o;
    o.shred = 0xff;
    sim::BoardTree t = build(o);
    t.remove("/sys/class/gpio/gpio507");
    create();
    EXPECT_EQ(cell(14, 23, 22), "7");
    EXPECT_TRUE(log.has("E[MAIN_PAGE]: Failed to open /sys/class/gpio/gpio507/value\n"));
}

TEST_F(MainPage, TestStatusRtcAndVersionFallbacks) {
    sim::BoardTree t = build();
    t.remove("/etc/recovery-version");
    // The board's clock in 1970: ten days after the epoch.
    t.set_clock_offset(-(static_cast<std::int64_t>(std::time(nullptr)) - 864000));
    board_info.test_ok = 2;
    create();
    EXPECT_TRUE(value_is(2, "FAILED", 6));
    EXPECT_TRUE(value_is(4, "FAIL", 6));
    EXPECT_EQ(cell(8, 23, 4), "1970");
    EXPECT_EQ(cell(8, 31, 2), "11");
    EXPECT_TRUE(value_is(18, "UNKNOWN", 6));
    destroy();

    board_info.test_ok = 7;
    create();
    EXPECT_TRUE(value_is(2, "UNKNOWN", 2));
    EXPECT_TRUE(log.has("L[MAIN_PAGE]: Test ok: 7\n"));
}

TEST_F(MainPage, SensorsAreReadAtMostEveryTwoSecondsAndAtOnceAfterTheClockWentBack) {
    sim::BoardTree t = build();
    t.remove(kTemp);
    create();
    const std::string miss = "Failed to open " + std::string(kTemp);
    EXPECT_EQ(log.count(miss), 1u);
    main_page_handle_key(ERR);  // the first refresh always reads
    EXPECT_EQ(log.count(miss), 2u);
    for (int i = 0; i < 20; ++i) main_page_handle_key(ERR);
    EXPECT_LE(log.count(miss), 3u);  // a second boundary may pass meanwhile
    std::size_t before = log.count(miss);
    t.set_clock_offset(5);
    main_page_handle_key(ERR);
    EXPECT_EQ(log.count(miss), before + 1);
    main_page_handle_key(ERR);
    EXPECT_EQ(log.count(miss), before + 1);
    t.set_clock_offset(-100);
    main_page_handle_key(ERR);
    EXPECT_EQ(log.count(miss), before + 2);
    // The sensors come back: the cells follow.
    t.write(kTemp, "51000\n");
    t.set_clock_offset(10);
    main_page_handle_key(ERR);
    EXPECT_EQ(cell(10, 23, 22), "51.000 Deg.C");
    EXPECT_EQ(cell(12, 23, 22), "1.012 V");
}

TEST_F(MainPage, TooSmallTerminalShowsTheSizeAndKeepsTheKeyboardOnTheTabs) {
    build();
    resizeterm(20, 60);
    create();
    EXPECT_EQ(cell(0, 0, 54), "Screen too small for this page: needs 73x24, has 60x20");
    EXPECT_EQ(log.count("W[MAIN_PAGE]: Screen too small"), 1u);
    for (int key : {KEY_DOWN, int{'1'}, KEY_UP, ERR, KEY_RESIZE}) main_page_handle_key(key);
    EXPECT_TRUE(tab_focus());
    EXPECT_EQ(log.count("W[MAIN_PAGE]: Screen too small"), 1u);
    destroy();
    resizeterm(30, 120);
}

}  // namespace
