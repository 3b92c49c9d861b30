// The status page and the clock cells as the operator sees them: the console
// in a pseudo-terminal on a board tree of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>

#include "tests/screen/harness.h"
#include "tests/support/dates.h"

namespace {

using screen::ConsoleTest;
using screen::Key;
using namespace std::chrono_literals;

constexpr const char *kDriver = "/sys/bus/i2c/drivers/vellan-bmc";
constexpr const char *kTemp = "/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/temp1_input";

// Terminal palette indices of the console's colours.
constexpr int kRed = 1, kGreen = 2, kBlue = 4, kWhite = 7;

// The form sits at row 2, column 2 of the page window, which starts at
// screen row 2.
constexpr int row_of(int form_row) { return form_row + 4; }
constexpr int col_of(int form_col) { return form_col + 2; }
constexpr int kHour = col_of(23), kMinute = col_of(26), kSecond = col_of(29);
constexpr int kTimeRow = row_of(6), kDateRow = row_of(8);
constexpr int kYear = col_of(23), kMonth = col_of(28), kDay = col_of(31);

using test_support::utc;

class MainScreen : public ConsoleTest {
protected:
    // A cell's text by its form position, trailing blanks cut.
    std::string cell_text(int form_row, int form_col, int width) {
        std::string s;
        for (int c = 0; c < width; ++c) s += term().cell(row_of(form_row), col_of(form_col) + c).text;
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }
    testing::AssertionResult shows(int form_row, int form_col, int width, const std::string &s) {
        return term().wait_for([&] { return cell_text(form_row, form_col, width) == s; },
                               screen::kDefaultTimeout, s);
    }
    // The same for the one column of a small terminal, a row higher.
    std::string one_column_text(int form_row, int form_col, int width) {
        return cell_text(form_row - 1, form_col, width);
    }
    testing::AssertionResult one_column_shows(int form_row, int form_col, int width,
                                              const std::string &s) {
        return shows(form_row - 1, form_col, width, s);
    }
    // A frame arrives in several reads: wait for the colours before judging.
    void expect_colours(int row, int col, int fg, int bg) {
        (void)term().wait_for([&] {
            screen::Cell w = term().cell(row, col);
            return w.fg == fg && w.bg == bg;
        });
        screen::Cell c = term().cell(row, col);
        EXPECT_EQ(c.fg, fg) << "at " << row << "," << col << "\n" << term().dump();
        EXPECT_EQ(c.bg, bg) << "at " << row << "," << col;
    }
    testing::AssertionResult cursor_at(int row, int col, screen::Millis within = screen::kDefaultTimeout) {
        return term().wait_for(
            [&] {
                return term().cursor_visible() && term().cursor().row == row &&
                       term().cursor().col == col;
            },
            within, "cursor at " + std::to_string(row) + "," + std::to_string(col));
    }
    // Down from the tab bar: the hour cell gets the keyboard.
    testing::AssertionResult down_to_clock() {
        term().key(Key::Down);
        return cursor_at(kTimeRow, kHour);
    }
    // Started at 100x30, the hour cell holding the keyboard.
    testing::AssertionResult start_in_clock() {
        testing::AssertionResult started = start(30, 100);
        return started ? down_to_clock() : started;
    }
    int clock_settings() const {
        int n = 0;
        for (const std::string &l : effect_lines())
            if (l.rfind("clock_settime ", 0) == 0) ++n;
        return n;
    }
};

TEST_F(MainScreen, BootStatusAndBmcVersion) {
    opts.bmc_version = "2.0.0\n";
    opts.bmc_bootreason = "769\n";
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(shows(0, 23, 22, "NORMAL"));
    expect_colours(row_of(0), col_of(23), kGreen, kWhite);
    expect_colours(row_of(0), col_of(0), kBlue, kWhite);
    EXPECT_EQ(cell_text(16, 23, 22), "2.0.0");
    EXPECT_EQ(log_count("L[MAIN_PAGE]: Bootreason: 1/3"), 1);
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, OldBmcHasNoBootReason) {
    opts.bmc_version = "1.9.9\n";
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(shows(16, 23, 22, "1.9.9"));
    EXPECT_EQ(cell_text(0, 23, 22), "UNKNOWN");
    expect_colours(row_of(0), col_of(23), kRed, kWhite);
    EXPECT_EQ(log().find("ootreason"), std::string::npos) << log();
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, NoBmcDriverFallsBack) {
    board().remove(kDriver);
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(shows(16, 23, 22, "0.0.0"));
    EXPECT_EQ(cell_text(0, 23, 22), "UNKNOWN");
    EXPECT_EQ(log_count("E[MAIN_PAGE]: Failed to glob /sys/bus/i2c/drivers/*-bmc/version"), 1);
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, SensorsShredAndVersions) {
    opts.shred = 0x05;
    board().remove("/etc/recovery-version");
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(shows(10, 23, 22, "45.123 Deg.C"));
    EXPECT_EQ(cell_text(12, 23, 22), "1.012 V");
    EXPECT_EQ(cell_text(14, 23, 22), "5");
    EXPECT_EQ(log_count("L[MAIN_PAGE]: shred: 0x00000005"), 1);
    EXPECT_EQ(cell_text(18, 23, 22), "UNKNOWN");
    expect_colours(row_of(18), col_of(23), kRed, kWhite);
    EXPECT_EQ(cell_text(20, 23, 22), "5.10.120-nv7400");
    expect_colours(row_of(20), col_of(23), kBlue, kWhite);
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, MissingTemperatureIsOpenedAtMostEveryTwoSeconds) {
    board().remove(kTemp);
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(shows(10, 23, 22, "0.000"));
    EXPECT_EQ(cell_text(12, 23, 22), "");
    const std::string miss = std::string("E[MAIN_PAGE]: Failed to open ") + kTemp;
    // One open at creation, one at the first tick; two seconds of the board
    // clock bring one more, and the next second on the page none.
    ASSERT_TRUE(term().wait_for([&] { return log_count(miss) >= 2; }, screen::kDefaultTimeout, "two opens"));
    const int before = log_count(miss);
    pass_clock(2);
    ASSERT_TRUE(term().wait_for([&] { return log_count(miss) > before; }, screen::kDefaultTimeout, "an open"));
    ASSERT_TRUE(term().wait_quiet(50ms));
    const std::string time_before = cell_text(6, 23, 8);
    ASSERT_TRUE(term().wait_for([&] { return cell_text(6, 23, 8) != time_before; }, 3000ms,
                                "the time cells following the clock"));
    EXPECT_EQ(log_count(miss), before + 1);
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, BoardClockIn1970FailsTheRtc) {
    board().set_clock_offset(-(static_cast<long long>(std::time(nullptr)) - 3600));
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(shows(4, 23, 22, "FAIL"));
    expect_colours(row_of(4), col_of(23), kRed, kWhite);
    EXPECT_EQ(cell_text(8, 23, 10), "1970-01-01");
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, FruIdentityAndManufacturingDate) {
    opts.fru.mfg_minutes = 0xA1D420;  // stored 0x20 0xD4 0xA1
    opts.fru.records = {{0xC3, {0x02}}};
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(cell_text(2, 72, 25), "Norvane Systems");
    EXPECT_EQ(cell_text(0, 72, 25), "2016-03-01");
    EXPECT_EQ(log_count("L[MAIN_PAGE]: offset: 0x00a1d420"), 1);
    EXPECT_EQ(cell_text(2, 23, 22), "FAILED");
    expect_colours(row_of(2), col_of(23), kRed, kWhite);
    EXPECT_EQ(cell_text(16, 72, 25), "rev B");
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, UnknownTestResultIsBlue) {
    opts.fru.records = {{0xC3, {0x07}}};
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(log_count("L[MAIN_PAGE]: Test ok: 7"), 1);
    EXPECT_EQ(cell_text(2, 23, 22), "UNKNOWN");
    expect_colours(row_of(2), col_of(23), kBlue, kWhite);
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, DownAndUpHandTheKeyboardOver) {
    ASSERT_TRUE(start(30, 100));
    EXPECT_FALSE(term().cursor_visible());
    // The cursor comes and goes in the key's own turn: the next half-second
    // timeout is too late for an operator watching it.
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kTimeRow, kHour, 400ms));
    expect_colours(kTimeRow, kHour, kWhite, kBlue);
    // Down walks the cells and stops at the day.
    for (int col : {kMinute, kSecond}) {
        term().key(Key::Down);
        ASSERT_TRUE(cursor_at(kTimeRow, col));
    }
    for (int col : {kYear, kMonth, kDay, kDay}) {
        term().key(Key::Down);
        ASSERT_TRUE(cursor_at(kDateRow, col));
    }
    for (int i = 0; i < 5; ++i) term().key(Key::Up);
    ASSERT_TRUE(cursor_at(kTimeRow, kHour));
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_for([&] { return !term().cursor_visible(); }, 400ms, "cursor hidden"));
    // The tab bar has the keyboard again.
    term().key(Key::Right);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 1"));
    EXPECT_EQ(clock_settings(), 0);
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, HourTwentyFiveIsRejectedInWhiteOnRed) {
    ASSERT_TRUE(start_in_clock());
    term().text("25");
    ASSERT_TRUE(cursor_at(kTimeRow, kMinute));  // auto-skip
    // The edited cells stand out: the current one white on black.
    expect_colours(kTimeRow, kMinute, kWhite, kBlue);
    term().key(Key::Up);
    ASSERT_TRUE(wait_log("W[MAIN_PAGE]: Bad hour value: 25 not in 0-23 range"));
    ASSERT_TRUE(cursor_at(kTimeRow, kHour));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(kTimeRow, kHour).bg == kRed; }));
    expect_colours(kTimeRow, kHour, kWhite, kRed);
    expect_colours(kTimeRow, kMinute, kWhite, kBlue);
    EXPECT_EQ(clock_settings(), 0);
    EXPECT_EQ(effects().find("rtc_set_time"), std::string::npos);
    ASSERT_TRUE(leave());
}

// Second 60 is carried into the next minute; a day the month does not have
// is refused on the message line, not carried into March.
TEST_F(MainScreen, SecondSixtyIsNormalisedThirtyFirstOfFebruaryRefused) {
    ASSERT_TRUE(start_in_clock());
    term().text("102060202302");
    ASSERT_TRUE(cursor_at(kDateRow, kDay));
    term().text("28");
    // No auto-skip from the day: the cursor stays in it.
    ASSERT_TRUE(cursor_at(kDateRow, kDay + 1));
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_for([&] { return clock_settings() == 1; }));
    EXPECT_NE(effects().find("clock_settime " + std::to_string(utc(2023, 2, 28, 10, 21, 0))),
              std::string::npos)
        << effects();
    EXPECT_NE(effects().find("rtc_set_time 2023-02-28 10:21:00"), std::string::npos) << effects();
    // The cells follow the board's new clock.
    ASSERT_TRUE(shows(8, 23, 10, "2023-02-28"));

    // The day is the last cell: Down left the cursor in it, after its first digit.
    term().key(Key::Left);
    term().text("31");
    term().key(Key::Down);
    ASSERT_TRUE(wait_log("W[MAIN_PAGE]: Bad day value: 31 not in 1-28 range of 2023-02"));
    ASSERT_TRUE(term().wait_row(29, "Day must be 01-28 in February 2023"));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(kDateRow, kDay).bg == kRed; }));
    EXPECT_EQ(clock_settings(), 1);
    EXPECT_EQ(effects().find("2023-03-0"), std::string::npos) << effects();
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, OnlyTheFirstBadCellIsReported) {
    ASSERT_TRUE(start_in_clock());
    term().text("1065002020");
    ASSERT_TRUE(cursor_at(kDateRow, kMonth));
    term().text("13");
    ASSERT_TRUE(cursor_at(kDateRow, kDay));
    term().key(Key::Down);
    ASSERT_TRUE(wait_log("W[MAIN_PAGE]: Bad min value: 65 not in 0-59 range"));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(kTimeRow, kMinute).bg == kRed; }));
    EXPECT_EQ(log_count_prefix("W[MAIN_PAGE]: Bad month"), 0);
    expect_colours(kDateRow, kMonth, kWhite, kBlue);
    EXPECT_EQ(clock_settings(), 0);
    ASSERT_TRUE(leave());
}

TEST_F(MainScreen, UpInTheHourAppliesBeforeGivingTheKeyboardBack) {
    const long long now = static_cast<long long>(std::time(nullptr));
    board().set_clock_offset(utc(2030, 1, 2, 13, 20, 0) - now);
    ASSERT_TRUE(start_in_clock());
    // "01" (a lone "1" reads "1 ", which fails the hour's pattern), on to
    // the minute; Up applies and comes back to the hour. The cells not typed
    // into take the time of that moment: the minutes are not set back.
    term().text("01");
    ASSERT_TRUE(cursor_at(kTimeRow, kMinute));
    board().set_clock_offset(utc(2030, 1, 2, 13, 45, 0) - now);
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_for([&] { return clock_settings() == 1; }));
    EXPECT_NE(effects().find("rtc_set_time 2030-01-02 01:45:"), std::string::npos) << effects();
    ASSERT_TRUE(cursor_at(kTimeRow, kHour));
    // An edit that stays in the hour ("2", Left, "1"), then Up: applied
    // first, then the tab bar has the keyboard.
    term().text("2");
    term().key(Key::Left);
    term().text("1");
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_for([&] { return clock_settings() == 2; }));
    ASSERT_TRUE(term().wait_for([&] { return !term().cursor_visible(); }));
    EXPECT_NE(effects().find("rtc_set_time 2030-01-02 12:45:"), std::string::npos) << effects();
    ASSERT_TRUE(shows(6, 23, 2, "12"));
    ASSERT_TRUE(leave());
}

// Leaving while editing: F6 leaves the clock alone, F10 sets it first.
TEST_F(MainScreen, LeavingWhileEditingLeavesTheClockAloneOnlyWithF6) {
    ASSERT_TRUE(start_in_clock());
    term().text("05");
    ASSERT_TRUE(cursor_at(kTimeRow, kMinute));
    ASSERT_TRUE(leave());
    EXPECT_EQ(clock_settings(), 0);
    EXPECT_NE(effects().find("exec /sbin/poweroff"), std::string::npos);
    ASSERT_TRUE(start_in_clock());
    term().text("05");
    term().fkey(10);
    ASSERT_TRUE(term().wait_for([&] { return clock_settings() == 1; }));
    EXPECT_NE(effects().find(" 05:"), std::string::npos) << effects();
}

// A clock F10 cannot set keeps the console up: nothing set, the keyboard on
// the refused cell; with nothing pending F10 leaves.
TEST_F(MainScreen, RefusedClockKeepsF10InTheConsole) {
    ASSERT_TRUE(start_in_clock());
    term().text("25");
    ASSERT_TRUE(cursor_at(kTimeRow, kMinute));
    term().fkey(10);
    ASSERT_TRUE(wait_log("W[MAIN]: F10 refused: a typed value was not accepted\n"));
    ASSERT_TRUE(term().wait_row(29, "Hour must be 00-23"));
    ASSERT_TRUE(cursor_at(kTimeRow, kHour));
    EXPECT_EQ(clock_settings(), 0);
    EXPECT_EQ(effects().find("/sbin/poweroff"), std::string::npos) << effects();
    term().fkey(10);
    ASSERT_TRUE(wait_exit(25000ms));
    EXPECT_NE(effects().find("exec /sbin/poweroff"), std::string::npos);
}

TEST_F(MainScreen, ResizeIsNoEditingKey) {
    ASSERT_TRUE(start_in_clock());
    term().resize(32, 110);
    ASSERT_TRUE(wait_log("L[MAIN]: CH: 0x0000019a"));  // KEY_RESIZE
    // The cells still follow the clock: move the board's clock a day on.
    board().set_clock_offset(86400 * 400);
    const std::string want = [] {
        time_t t = std::time(nullptr) + 86400 * 400;
        char b[16];
        struct tm tm {};
        gmtime_r(&t, &tm);
        std::strftime(b, sizeof b, "%Y-%m-%d", &tm);
        return std::string(b);
    }();
    ASSERT_TRUE(shows(8, 23, 10, want));
    term().key(Key::Down);
    term().key(Key::Up);
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_for([&] { return !term().cursor_visible(); }));
    EXPECT_EQ(clock_settings(), 0);
    EXPECT_TRUE(term().contains("Boot status"));
    ASSERT_TRUE(leave());
}

// Keys the form refuses, and Left and Right, edit nothing: the cells keep
// following the clock (the cursor where Right put it) and Up or Down
// afterwards sets nothing.
TEST_F(MainScreen, RefusedKeysAreNoEdits) {
    ASSERT_TRUE(start_in_clock());
    for (int f : {1, 2, 3, 4, 5, 7, 8, 9}) term().fkey(f);
    for (Key k : {Key::Home, Key::End, Key::PageUp, Key::PageDown, Key::Insert, Key::Right,
                  Key::Left, Key::Right})
        term().key(k);
    for (char c : {'a', 'l', 'g', 'k'}) term().ctrl(c);
    term().send_raw("\xe9\xff\x80");  // bytes above 127: no text on the board's C locale
    ASSERT_TRUE(term().wait_idle());
    board().set_clock_offset(utc(2031, 7, 4, 13, 0, 0) - static_cast<long long>(std::time(nullptr)));
    ASSERT_TRUE(shows(8, 23, 10, "2031-07-04"));
    ASSERT_TRUE(shows(6, 23, 2, "13"));
    ASSERT_TRUE(cursor_at(kTimeRow, kHour + 1));
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kTimeRow, kMinute));
    term().key(Key::Up);
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_for([&] { return !term().cursor_visible(); }));
    EXPECT_EQ(clock_settings(), 0) << effects();
    EXPECT_EQ(effects().find("rtc_set_time"), std::string::npos);
    ASSERT_TRUE(leave());
}

// A cell failing its own pattern ("x", a blank) is a rejected value: nothing
// is set (it would read as 0), the cell turns white on red, the warning names
// it, and the cells show the clock again at the next refresh.
TEST_F(MainScreen, CellFailingItsPatternIsRejected) {
    board().set_clock_offset(utc(2030, 1, 2, 13, 0, 0) - static_cast<long long>(std::time(nullptr)));
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(shows(6, 23, 2, "13"));
    ASSERT_TRUE(down_to_clock());
    term().text("x");
    term().key(Key::Down);
    ASSERT_TRUE(wait_log("W[MAIN_PAGE]: Bad hour value: \"x"));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(kTimeRow, kHour).bg == kRed; }));
    expect_colours(kTimeRow, kHour, kWhite, kRed);
    ASSERT_TRUE(shows(6, 23, 2, "13"));

    // Once the clock is back the cell can be left; a blank minute is refused.
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kTimeRow, kMinute));
    term().key(Key::Delete);
    term().key(Key::Delete);
    ASSERT_TRUE(shows(6, 26, 2, ""));
    term().key(Key::Up);
    ASSERT_TRUE(wait_log("W[MAIN_PAGE]: Bad min value: \"  \" does not match the cell's pattern"));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(kTimeRow, kMinute).bg == kRed; }));
    ASSERT_TRUE(shows(6, 26, 2, "00"));
    EXPECT_EQ(log_count_prefix("W[MAIN_PAGE]: Bad hour value: \"x"), 1);
    EXPECT_EQ(clock_settings(), 0) << effects();
    EXPECT_EQ(effects().find("rtc_set_time"), std::string::npos);
    ASSERT_TRUE(leave());
}

// Below 100x27 the page stands in one column: every value, and the clock
// set as on the two columns, with the same checks and colours.
// The one column starts a row higher, at row 1 of the page window.
constexpr int row_of_one(int form_row) { return form_row + 3; }

TEST_F(MainScreen, OneColumnAt80x24ShowsEveryValueAndSetsTheClock) {
    opts.shred = 0x05;
    ASSERT_TRUE(start(24, 80));
    // Values at column 27; the date follows the time on row 3.
    ASSERT_TRUE(one_column_shows(4, 27, 22, "45.123 Deg.C"));
    const struct {
        int row;
        const char *label, *value;
    } rows[] = {
        {0, "Boot status", "NORMAL"},         {1, "MFG HW test status", "PASSED"},
        {2, "RTC status", "OK"},              {5, "Core voltage", "1.012 V"},
        {6, "SHRED", "5"},                    {7, "BMC protocol version", "2.0.2"},
        {9, "Kernel release", "5.10.120-nv7400"}, {11, "Board manufacturer", "Norvane Systems"},
        {13, "Board serial number", "NV74-000123"}, {18, "Product version", "rev B"},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(one_column_text(r.row, 0, 27), r.label) << term().dump();
        EXPECT_EQ(one_column_text(r.row, 27, 25), r.value) << r.label;
    }
    expect_colours(row_of_one(0), col_of(27), kGreen, kWhite);
    EXPECT_EQ(log_count_prefix("W[MAIN_PAGE]: Screen too small"), 0);
    EXPECT_FALSE(term().contains("Screen too small"));

    const int time_row = row_of_one(3);
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(time_row, col_of(27)));
    term().text("25");
    ASSERT_TRUE(cursor_at(time_row, col_of(30)));
    term().key(Key::Up);
    ASSERT_TRUE(wait_log("W[MAIN_PAGE]: Bad hour value: 25 not in 0-23 range"));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(time_row, col_of(27)).bg == kRed; }));
    expect_colours(time_row, col_of(27), kWhite, kRed);
    EXPECT_EQ(clock_settings(), 0);

    term().text("102060202303");
    ASSERT_TRUE(cursor_at(time_row, col_of(44)));
    term().text("03");
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_for([&] { return clock_settings() == 1; }));
    EXPECT_NE(effects().find("rtc_set_time 2023-03-03 10:21:00"), std::string::npos) << effects();
    ASSERT_TRUE(one_column_shows(3, 36, 10, "2023-03-03"));
    ASSERT_TRUE(leave());
}

// Smaller still: the notice names the size the one column needs, and the
// tab bar keeps working.
TEST_F(MainScreen, SmallTerminalShowsTheSizeAndKeepsWorking) {
    ASSERT_TRUE(start(20, 60));
    ASSERT_TRUE(term().wait_text("Screen too small for this page: needs 73x24, has 60x20"));
    EXPECT_EQ(log_count("W[MAIN_PAGE]: Screen too small: the page needs 73x24, the terminal is 60x20"), 1);
    term().key(Key::Down);
    term().key(Key::Right);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 1"));
    term().key(Key::Left);
    ASSERT_TRUE(term().wait_text("Screen too small"));
    EXPECT_EQ(log_count_prefix("W[MAIN_PAGE]: Screen too small"), 1);
    EXPECT_EQ(clock_settings(), 0);
    ASSERT_TRUE(leave());
}

}  // namespace
