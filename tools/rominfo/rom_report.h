// sarvik's one output routine: error messages, the version line and the
// usage text all go through it, on the stream given (stdout in the program).
#pragma once

#include <cstdio>

enum ReportMode {
    REPORT_WITH_USAGE = 0,  // message, line end, then the usage text
    REPORT_MESSAGE = 1,     // message and line end only
    REPORT_USAGE = 2,       // the usage text only
};

inline constexpr const char *kSarvikVersion = "1.0.0";
inline constexpr const char *kDefaultRom = "/dev/mtd2";

[[gnu::format(printf, 3, 4)]] void report(std::FILE *out, int mode, const char *fmt, ...);

// The usage text on its own.
void report_usage(std::FILE *out);
