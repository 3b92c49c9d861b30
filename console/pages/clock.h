// The clock setting on the status page: six date and time cells that follow
// the board's clock, are checked when the operator leaves them, and set the
// system clock and the RTC.
#pragma once

#include <cstdint>
#include <ctime>
#include <form.h>

// The six input cells, owned by the status page and handed over once it has
// built them. Until then every operation here leaves the cells alone.
struct ClockCells {
    FIELD *hour, *minute, *second, *year, *month, *day;
};
void clock_use_cells(const ClockCells &cells);

// The board's current local time into the six cells.
void clock_show();
// The same for a given time in seconds (the page fills the cells at start
// from the one reading it takes then).
void clock_show_at(std::int64_t t);

// The cells the operator typed into since the last apply. The others take
// the time of the moment of setting (clock_show_untyped_at), so typing the
// hour alone never sets the minutes and seconds back to when it was typed.
void clock_note_typed(FIELD *cell);
void clock_forget_typed();
void clock_show_untyped_at(std::int64_t t);

// Checks the six cells into *tm (fields not checked are left alone). 0 when
// all pass, else -1 second, -2 minute, -3 hour, -4 day, -5 month, -6 year;
// checked cells turn white on blue, the failing one white on red. A day
// that its month does not have (31 April, 29 February of a common year) is
// the day's failure, found once month and year passed.
[[nodiscard]] int clock_parse(struct tm *tm);

// Normalises the local time *tm and sets the system clock and the RTC from
// it. -1 when the time cannot be represented: nothing is set, the year cell
// turns white on red and a warning is logged.
int clock_set(struct tm *tm);

// A cell whose text fails its pattern: nothing is set, the cell turns white
// on red and a warning naming it is logged. Not one of the six: no-op.
void clock_reject(FIELD *cell);

// clock_parse then clock_set; 0 when the clock was set, -1 when rejected.
int clock_apply();
