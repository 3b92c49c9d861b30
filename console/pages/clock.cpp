#include "console/pages/clock.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <curses.h>
#include <linux/rtc.h>

#include "board/board.h"
#include "console/field_utils.h"
#include "console/log.h"
#include "console/top_menu.h"

namespace {

ClockCells cells;
// Typed into since the last apply, in the order of ClockCells.
bool typed_cells[6];

void paint(FIELD *f, int pair) { field_paint(f, pair); }

void put(FIELD *f, const char *fmt, int value) {
    char buf[12];  // room for any int; the cells hold two or four digits
    std::snprintf(buf, sizeof buf, fmt, value);
    set_field_buffer(f, 0, buf);
}

// Cell buffers come padded with blanks; strtol stops at the first non-digit
// and a blank cell reads 0.
int cell_value(const char *text) { return static_cast<int>(std::strtol(text, nullptr, 10)); }

constexpr const char *kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};

// Days in `month` (1-12) of `year`: February has 29 only in leap years.
constexpr int days_in_month(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}
static_assert(days_in_month(2024, 2) == 29 && days_in_month(2100, 2) == 28 && days_in_month(2000, 2) == 29);

// The time into the cells, those typed into left alone when `untyped_only`.
void show(std::int64_t t, bool untyped_only) {
    if (cells.hour == nullptr) return;
    time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    if (localtime_r(&tt, &tm) == nullptr) return;
    const struct {
        FIELD *f;
        const char *fmt;
        int value;
    } out[] = {{cells.hour, "%02i", tm.tm_hour},  {cells.minute, "%02i", tm.tm_min},
               {cells.second, "%02i", tm.tm_sec}, {cells.year, "%04i", tm.tm_year + 1900},
               {cells.month, "%02i", tm.tm_mon + 1}, {cells.day, "%02i", tm.tm_mday}};
    for (std::size_t i = 0; i < std::size(out); ++i)
        if (!untyped_only || !typed_cells[i]) put(out[i].f, out[i].fmt, out[i].value);
}

}  // namespace

void clock_use_cells(const ClockCells &c) {
    cells = c;
    clock_forget_typed();
}

void clock_show_at(std::int64_t t) { show(t, false); }

void clock_note_typed(FIELD *cell) {
    FIELD *const order[] = {cells.hour, cells.minute, cells.second,
                            cells.year, cells.month,  cells.day};
    for (std::size_t i = 0; i < std::size(order); ++i)
        if (cell != nullptr && order[i] == cell) typed_cells[i] = true;
}

void clock_forget_typed() {
    for (bool &t : typed_cells) t = false;
}

void clock_show_untyped_at(std::int64_t t) { show(t, true); }

void clock_show() { clock_show_at(board::now()); }

int clock_parse(struct tm *tm) {
    if (cells.hour == nullptr) return -1;
    const char *sc = field_buffer(cells.second, 0);
    const char *mn = field_buffer(cells.minute, 0);
    const char *hr = field_buffer(cells.hour, 0);
    const char *y = field_buffer(cells.year, 0);
    const char *m = field_buffer(cells.month, 0);
    const char *d = field_buffer(cells.day, 0);
    const int v_sc = cell_value(sc), v_mn = cell_value(mn), v_hr = cell_value(hr);
    const int v_y = cell_value(y), v_m = cell_value(m), v_d = cell_value(d);
    console_log("L[MAIN_PAGE]: sc: %s, mn: %s, hr: %s, y: %s, m: %s, d: %s\n"
                "parsed sc: %i, mn: %i, hr: %i, y: %i, m: %i, d: %i\n",
                sc, mn, hr, y, m, d, v_sc, v_mn, v_hr, v_y, v_m, v_d);

    // Checked in this order; the first failure ends the check, and the cells
    // after it keep their colours.
    const struct {
        FIELD *cell;
        int value, low, high;  // high < 0: no upper bound
        int *store, bias;
        const char *warning;
        const char *message;  // for the operator, on the help line
    } checks[] = {
        {cells.second, v_sc, 0, 60, &tm->tm_sec, 0,
         "W[MAIN_PAGE]: Bad sec value: %i not in 0-60 range\n", "Seconds must be 00-60"},
        {cells.minute, v_mn, 0, 59, &tm->tm_min, 0,
         "W[MAIN_PAGE]: Bad min value: %i not in 0-59 range\n", "Minutes must be 00-59"},
        {cells.hour, v_hr, 0, 23, &tm->tm_hour, 0,
         "W[MAIN_PAGE]: Bad hour value: %i not in 0-23 range\n", "Hour must be 00-23"},
        {cells.day, v_d, 1, 31, &tm->tm_mday, 0,
         "W[MAIN_PAGE]: Bad day value: %i not in 1-31 range\n", "Day must be 01-31"},
        {cells.month, v_m, 1, 12, &tm->tm_mon, 1,
         "W[MAIN_PAGE]: Bad month value: %i not in 1-12 range\n", "Month must be 01-12"},
        {cells.year, v_y, 1970, -1, &tm->tm_year, 1900,
         "W[MAIN_PAGE]: Bad year value: %i not >=1970\n", "Year must be 1970 or later"},
    };
    int result = -1;
    for (const auto &c : checks) {
        if (c.value < c.low || (c.high >= 0 && c.value > c.high)) {
            paint(c.cell, 7);
            console_log(c.warning, c.value);
            top_menu_message(c.message);
            return result;
        }
        *c.store = c.value - c.bias;
        paint(c.cell, 3);
        --result;
    }
    // The day must exist in that month: mktime would carry 31 February into
    // March and set a date nobody typed.
    const int last_day = days_in_month(v_y, v_m);
    if (v_d > last_day) {
        paint(cells.day, 7);
        console_log("W[MAIN_PAGE]: Bad day value: %i not in 1-%i range of %04i-%02i\n", v_d, last_day, v_y, v_m);
        char message[64];
        std::snprintf(message, sizeof message, "Day must be 01-%02i in %s %04i", last_day, kMonthNames[v_m - 1],
                      v_y);
        top_menu_message(message);
        return -4;
    }
    return 0;
}

int clock_set(struct tm *tm) {
    const struct tm typed = *tm;
    const time_t t = mktime(tm);
    // mktime's -1 is its error: handing it on would set the clock to 1969.
    // A time before the epoch cannot be set either.
    if (t < 0) {
        if (cells.year != nullptr) paint(cells.year, 7);
        top_menu_message("Invalid date");
        console_log("W[MAIN_PAGE]: Bad time: %04lld-%02lld-%02i %02i:%02i:%02i cannot be set\n",
                    typed.tm_year + 1900LL, typed.tm_mon + 1LL, typed.tm_mday, typed.tm_hour,
                    typed.tm_min, typed.tm_sec);
        return -1;
    }
    // Neither result is looked at: without privilege the cells simply show
    // the unchanged clock at the next refresh, and a missing RTC leaves the
    // system clock set all the same.
    (void)board::set_system_time(static_cast<std::int64_t>(t));
    struct rtc_time rtc {};
    rtc.tm_sec = tm->tm_sec;
    rtc.tm_min = tm->tm_min;
    rtc.tm_hour = tm->tm_hour;
    rtc.tm_mday = tm->tm_mday;
    rtc.tm_mon = tm->tm_mon;
    rtc.tm_year = tm->tm_year;
    (void)board::set_rtc(rtc);
    return 0;
}

void clock_reject(FIELD *cell) {
    if (cell == nullptr || cells.hour == nullptr) return;
    const struct {
        FIELD *f;
        const char *name;
    } names[] = {{cells.hour, "hour"}, {cells.minute, "min"},  {cells.second, "sec"},
                 {cells.year, "year"}, {cells.month, "month"}, {cells.day, "day"}};
    for (const auto &n : names) {
        if (n.f != cell) continue;
        const char *text = field_buffer(cell, 0);
        paint(cell, 7);
        console_log("W[MAIN_PAGE]: Bad %s value: \"%s\" does not match the cell's pattern\n",
                    n.name, text != nullptr ? text : "");
        top_menu_message("Clock cells take digits only");
        return;
    }
}

int clock_apply() {
    struct tm tm {};
    tm.tm_isdst = -1;  // the C library decides whether daylight saving applies
    if (clock_parse(&tm) != 0) return -1;
    return clock_set(&tm);
}
