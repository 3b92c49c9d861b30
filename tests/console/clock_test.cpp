// The clock cells: display, the checks in their order with their colours and
// warnings, and the setting through the board seam on a simulated board.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <curses.h>
#include <filesystem>
#include <form.h>
#include <string>

#include "board/board.h"
#include "console/field_utils.h"
#include "console/log.h"
#include "console/pages/clock.h"
#include "sim/board_tree.h"
#include "tests/console/boot_curses.h"
#include "tests/support/temp_dir.h"

namespace {

const auto kBlue = static_cast<chtype>(COLOR_PAIR(3));
const auto kRed = static_cast<chtype>(COLOR_PAIR(7));
const auto kUntouched = static_cast<chtype>(COLOR_PAIR(8));

testing::Environment *const curses_env = testing::AddGlobalTestEnvironment(new boot_test::Curses);

class Clock : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void SetUp() override {
        tree_ = sim::build_board_tree(root_);
        hour_ = cell(2, "[0-2][0-9]");
        minute_ = cell(2, "[0-6][0-9]");
        second_ = cell(2, "[0-6][0-9]");
        year_ = cell(4, "[0-2][0-9][0-9][0-9]");
        month_ = cell(2, "[0-1][0-9]");
        day_ = cell(2, "[0-3][0-9]");
        clock_use_cells({hour_, minute_, second_, year_, month_, day_});
    }
    void TearDown() override {
        clock_use_cells({});
        for (FIELD *f : {hour_, minute_, second_, year_, month_, day_}) free_field(f);
    }
    static FIELD *cell(int width, const char *re) {
        FIELD *f = mk_input(width, 0, 0, "", re, COLOR_PAIR(3), true, true, 0, true);
        // A colour no step of the check uses, to see which cells it touched.
        set_field_fore(f, kUntouched);
        set_field_back(f, kUntouched);
        return f;
    }
    void type(const char *y, const char *mo, const char *d, const char *h, const char *mi,
              const char *s) {
        set_field_buffer(year_, 0, y);
        set_field_buffer(month_, 0, mo);
        set_field_buffer(day_, 0, d);
        set_field_buffer(hour_, 0, h);
        set_field_buffer(minute_, 0, mi);
        set_field_buffer(second_, 0, s);
    }
    std::string log() const { return log_.text(); }
    static std::string text(FIELD *f) { return field_buffer(f, 0); }
    static chtype colour(FIELD *f) {
        EXPECT_EQ(field_fore(f), field_back(f));
        return field_fore(f);
    }
    test_support::TempDir tmp_{"/tmp/clock-test-XXXXXX", test_support::Root::board};
    boot_test::LogCapture log_;
    const std::string &root_ = tmp_.path();
    sim::BoardTree tree_{""};
    FIELD *hour_, *minute_, *second_, *year_, *month_, *day_;
};

TEST_F(Clock, ShowWritesTheLocalTimeIntoTheCells) {
    clock_show_at(1456808829);  // 2016-03-01 05:07:09 UTC
    EXPECT_EQ(text(year_), "2016");
    EXPECT_EQ(text(month_), "03");
    EXPECT_EQ(text(day_), "01");
    EXPECT_EQ(text(hour_), "05");
    EXPECT_EQ(text(minute_), "07");
    EXPECT_EQ(text(second_), "09");

    // clock_show reads the board's clock, not the host's.
    tree_.set_clock_offset(-(static_cast<std::int64_t>(std::time(nullptr)) - 86400 * 3));
    clock_show();
    EXPECT_EQ(text(year_), "1970");
    EXPECT_EQ(text(day_), "04");
}

TEST_F(Clock, ParseChecksInOrderAndColoursOnlyWhatItChecked) {
    struct Case {
        const char *y, *mo, *d, *h, *mi, *s;
        int result;
        const char *warning;
        bool date_checked = false;  // month and year passed before the day failed
    } cases[] = {
        {"2020", "05", "06", "07", "08", "61", -1, "W[MAIN_PAGE]: Bad sec value: 61 not in 0-60 range\n"},
        {"2020", "05", "06", "07", "60", "60", -2, "W[MAIN_PAGE]: Bad min value: 60 not in 0-59 range\n"},
        {"2020", "05", "06", "25", "08", "09", -3, "W[MAIN_PAGE]: Bad hour value: 25 not in 0-23 range\n"},
        {"2020", "05", "00", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 0 not in 1-31 range\n"},
        {"2020", "05", "32", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 32 not in 1-31 range\n"},
        {"2020", "00", "06", "07", "08", "09", -5, "W[MAIN_PAGE]: Bad month value: 0 not in 1-12 range\n"},
        {"2020", "13", "06", "07", "08", "09", -5, "W[MAIN_PAGE]: Bad month value: 13 not in 1-12 range\n"},
        {"1969", "05", "06", "07", "08", "09", -6, "W[MAIN_PAGE]: Bad year value: 1969 not >=1970\n"},
        // Several bad cells: only the first in check order is reported.
        {"2020", "13", "06", "07", "65", "09", -2, "W[MAIN_PAGE]: Bad min value: 65 not in 0-59 range\n"},
        // A blank cell reads 0.
        {"2020", "05", "  ", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 0 not in 1-31 range\n"},
        // Days the month does not have; 29 February only in leap years.
        {"2026", "02", "31", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 31 not in 1-28 range of 2026-02\n", true},
        {"2026", "02", "29", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 29 not in 1-28 range of 2026-02\n", true},
        {"2100", "02", "29", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 29 not in 1-28 range of 2100-02\n", true},
        {"2024", "02", "30", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 30 not in 1-29 range of 2024-02\n", true},
        {"2026", "04", "31", "07", "08", "09", -4, "W[MAIN_PAGE]: Bad day value: 31 not in 1-30 range of 2026-04\n", true},
        // A bad month is reported as the month, not as a day it lacks.
        {"2026", "13", "31", "07", "08", "09", -5, "W[MAIN_PAGE]: Bad month value: 13 not in 1-12 range\n"},
    };
    // Check order: second, minute, hour, day, month, year.
    FIELD *order[] = {second_, minute_, hour_, day_, month_, year_};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.warning));
        for (FIELD *f : order) {
            set_field_fore(f, kUntouched);
            set_field_back(f, kUntouched);
        }
        log_.clear();
        type(c.y, c.mo, c.d, c.h, c.mi, c.s);
        struct tm tm {};
        EXPECT_EQ(clock_parse(&tm), c.result);
        const int failed = -c.result - 1;
        for (int i = 0; i < 6; ++i) {
            const chtype want = i == failed ? kRed : i < failed || c.date_checked ? kBlue : kUntouched;
            EXPECT_EQ(colour(order[i]), want) << "cell " << i;
        }
        std::string l = log();
        EXPECT_NE(l.find(c.warning), std::string::npos) << l;
        EXPECT_EQ(l.find("W[MAIN_PAGE]", l.find(c.warning) + 1), std::string::npos) << l;
    }
}

TEST_F(Clock, ParseStoresAcceptedValuesAndLogsBuffersAndNumbers) {
    // Last days of months, 29 February of leap years included.
    for (const char *ym_d : {"202601 31", "202402 29", "200002 29", "202602 28", "202604 30"}) {
        const std::string d = ym_d;
        type(d.substr(0, 4).c_str(), d.substr(4, 2).c_str(), d.substr(7).c_str(), "12", "00", "00");
        struct tm tm {};
        EXPECT_EQ(clock_parse(&tm), 0) << ym_d;
    }
    log_.clear();
    type("2999", "12", "31", "23", "59", "60");
    struct tm tm {};
    ASSERT_EQ(clock_parse(&tm), 0);
    EXPECT_EQ(tm.tm_year, 1099);
    EXPECT_EQ(tm.tm_mon, 11);
    EXPECT_EQ(tm.tm_mday, 31);
    EXPECT_EQ(tm.tm_hour, 23);
    EXPECT_EQ(tm.tm_min, 59);
    EXPECT_EQ(tm.tm_sec, 60);
    for (FIELD *f : {second_, minute_, hour_, day_, month_, year_}) EXPECT_EQ(colour(f), kBlue);
    EXPECT_EQ(log(), "L[MAIN_PAGE]: sc: 60, mn: 59, hr: 23, y: 2999, m: 12, d: 31\n"
                     "parsed sc: 60, mn: 59, hr: 23, y: 2999, m: 12, d: 31\n");
}

TEST_F(Clock, ApplySetsSystemClockAndRtcWithNormalisedTime) {
    struct Case {
        const char *y, *mo, *d, *h, *mi, *s;
        long long epoch;
        const char *rtc;
    } cases[] = {
        // Second 60 carries into the next minute.
        {"2021", "06", "15", "10", "20", "60", 1623752460LL, "rtc_set_time 2021-06-15 10:21:00"},
        // 29 February of a leap year is set as it is.
        {"2024", "02", "29", "08", "00", "00", 1709193600LL, "rtc_set_time 2024-02-29 08:00:00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rtc);
        tree_.remove("/sim/effects.log");
        type(c.y, c.mo, c.d, c.h, c.mi, c.s);
        ASSERT_EQ(clock_apply(), 0);
        EXPECT_EQ(tree_.effects(),
                  "clock_settime " + std::to_string(c.epoch) + "\n" + c.rtc + "\n");
        // The board's clock now reads the set time (kept as an offset).
        EXPECT_NEAR(static_cast<double>(board::now()), static_cast<double>(c.epoch), 2.0);
    }
}

TEST_F(Clock, RejectedCellsSetNothing) {
    const std::string offset = tree_.read("/sim/clock-offset");
    type("2020", "05", "06", "25", "08", "09");
    EXPECT_EQ(clock_apply(), -1);
    type("2026", "02", "31", "08", "00", "00");  // not moved to 3 March
    EXPECT_EQ(clock_apply(), -1);
    EXPECT_EQ(tree_.effects(), "");
    EXPECT_EQ(tree_.read("/sim/clock-offset"), offset);
}

TEST_F(Clock, UnrepresentableTimeIsRejectedNotSetTo1969) {
    // Month and year so large that the year overflows: mktime gives -1.
    struct tm tm {};
    tm.tm_year = INT_MAX;
    tm.tm_mon = INT_MAX;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    EXPECT_EQ(clock_set(&tm), -1);
    EXPECT_EQ(tree_.effects(), "");
    EXPECT_EQ(colour(year_), kRed);
    EXPECT_NE(log().find("W[MAIN_PAGE]: Bad time: "), std::string::npos) << log();

    // A time before the epoch (valid for mktime) is no clock to set either.
    struct tm early {};
    early.tm_year = 60;
    early.tm_mday = 1;
    early.tm_isdst = -1;
    EXPECT_EQ(clock_set(&early), -1);
    EXPECT_EQ(tree_.effects(), "");
}

TEST_F(Clock, MissingRtcStillSetsTheSystemClock) {
    tree_.remove("/dev/rtc0");
    type("2022", "01", "02", "03", "04", "05");
    EXPECT_EQ(clock_apply(), 0);
    EXPECT_NE(tree_.effects().find("clock_settime 1641092645\n"), std::string::npos);
}

}  // namespace
