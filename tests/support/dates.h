// Dates as the tests write them: year, month and day from 1, the time of day.
#pragma once

#include <ctime>

namespace test_support {

// The broken-down time, not normalised, not in summer time.
inline std::tm civil(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d;
    tm.tm_hour = h, tm.tm_min = mi, tm.tm_sec = s;
    return tm;
}

// Seconds since the epoch of that date in UTC.
inline long long utc(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm = civil(y, mo, d, h, mi, s);
    return static_cast<long long>(timegm(&tm));
}

}  // namespace test_support
