// The console's one log stream, "/var/log/tolvane.log".
#pragma once

#include <cstdio>

// Opened by main; null when it could not be opened, and then every line is
// skipped.
extern std::FILE *log_file;

// Write one formatted message to log_file and flush it at once, so the log
// is complete even when the board loses power right after.
[[gnu::format(printf, 1, 2)]] void console_log(const char *fmt, ...);
