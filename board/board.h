// The seam between the programs and the board.
//
// Every fixed path of the board (sysfs, procfs, /etc, /dev, /var) and every
// program the console starts is reached through here. On the board a path is
// itself; in a simulation build it lives under $BOARD_ROOT, so the programs
// run unchanged on a laptop against a board tree. Log lines always show the
// board's own path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <glob.h>
#include <string_view>

struct rtc_time;

namespace board {

// Longest host path we resolve: a board path of up to 1023 characters under
// a root of up to 1023.
inline constexpr std::size_t kPathMax = 2048;

// A resolved path, held by value so no allocation is needed.
struct Path {
    char s[kPathMax];
    const char *c_str() const { return s; }
    bool ok() const { return s[0] != '\0'; }
};

// Where the board path really is (under BOARD_ROOT in a simulation build).
// A path that does not fit, and an empty path, resolve to "" so that opening
// it fails; a relative path is taken against the board's root folder.
Path path(const char *board_path);

// The board root in front of every path: "" on the board.
const char *root();

// Simulation builds refuse to start without BOARD_ROOT, so a laptop is never
// powered off and its files are never touched by mistake. Prints the reason
// on stderr and returns false when the program must not go on.
bool require_root(const char *program);

// The first thing each program does: opens /dev/null (the host's own, never
// a board path) on any of descriptors 0, 1 and 2 that is closed, so no file
// the program opens later (the EEPROM, a log, a backup) can become a
// standard stream and take its lines. Without /dev/null the program cannot
// keep that promise and ends at once with abort(), as the C library ends a
// set-user-ID program in the same case.
void fill_standard_fds();

// Glob a board pattern; matches are handed back as board paths.
class Glob {
public:
    explicit Glob(const char *board_pattern);
    ~Glob();
    Glob(const Glob &) = delete;
    Glob &operator=(const Glob &) = delete;
    // 0 on success, the glob() error otherwise (GLOB_NOMATCH included).
    int result() const { return result_; }
    std::size_t count() const;
    // The i-th match as a board path (the root in front of it stripped).
    const char *board_path(std::size_t i) const;

private:
    int result_;
    glob_t g_{};
};

// Replace the process with a board program. argv is the board's own
// argument list (argument 0 first, null-terminated); only the program's
// path is resolved under the root. Returns only if the exec failed.
int exec(const char *board_program, const char *const argv[]);

// The board's clock, in seconds since the epoch.
std::int64_t now();

// Set the system clock. 0 or -1 (errno set).
int set_system_time(std::int64_t t);

// RTC_SET_TIME on /dev/rtc0. 0 or -1.
int set_rtc(const struct rtc_time &tm);

// One second of a countdown: the EEPROM driver's and the disks' time to
// settle before a power-off. The simulated board counts a second of its
// own clock (a test moves it on), and skips the wait when its tree holds
// /sim/fast-countdown (tests that do not look at the countdown).
void countdown_second();

// Append one line to the simulated board's effects log (no-op on the board).
// The text is written as given, followed by a line end.
void effect(const char *line);

// Quote one argument for the effects log: blanks, quotes, backslashes and
// control characters survive as C-style escapes inside double quotes.
// Writes at most out_size bytes (always terminated); returns the length the
// full quoting needs.
std::size_t quote_arg(const char *arg, char *out, std::size_t out_size);

// Text from outside (an image's, an EEPROM's) as it may be shown on a
// terminal: control bytes (0x00-0x1f, 0x7f) and bytes 0x80-0xff become
// "\xNN" (two lower-case hex digits), printable ASCII stays as it is.
// Writes at most out_size bytes (always terminated); returns the length the
// whole text needs. 4 * text.size() + 1 bytes always suffice.
std::size_t show_text(std::string_view text, char *out, std::size_t out_size);

}  // namespace board
