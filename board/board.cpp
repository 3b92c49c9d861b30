#include "board/board.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/rtc.h>
#include <time.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "board/files.h"

namespace board {
namespace {

#if BOARD_SIM
const char *sim_root() {
    const char *r = std::getenv("BOARD_ROOT");
    return r ? r : "";
}

// The simulated board keeps its clock as an offset from the host's clock,
// so setting it never touches the host.
constexpr const char *kClockOffset = "/sim/clock-offset";
constexpr const char *kEffectsLog = "/sim/effects.log";

std::int64_t clock_offset() {
    char buf[32] = {};
    long n = read_bytes(kClockOffset, buf, sizeof buf - 1);
    if (n <= 0) return 0;
    return std::strtoll(buf, nullptr, 10);
}
#endif

}  // namespace

const char *root() {
#if BOARD_SIM
    return sim_root();
#else
    return "";
#endif
}

Path path(const char *board_path) {
    Path p{};
    // An empty path names nothing on the board (stat("") fails), so it must
    // not turn into the root folder here.
    if (board_path == nullptr || board_path[0] == '\0') return p;
    const char *r = root();
    // A relative path is taken against the board's root folder; without the
    // slash it would run into the root's own last name.
    const char *sep = (r[0] != '\0' && board_path[0] != '/') ? "/" : "";
    int n = std::snprintf(p.s, sizeof p.s, "%s%s%s", r, sep, board_path);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof p.s) p.s[0] = '\0';
    return p;
}

bool require_root(const char *program) {
#if BOARD_SIM
    const char *r = std::getenv("BOARD_ROOT");
    if (r == nullptr || r[0] == '\0') {
        std::fprintf(stderr,
                     "%s: this is a simulation build; set BOARD_ROOT to a board tree "
                     "(see README.md)\n",
                     program);
        return false;
    }
#else
    (void)program;
#endif
    return true;
}

void fill_standard_fds() {
    // Lower descriptors are open by the time a higher one is looked at, so
    // open() hands out the closed one itself.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (::open("/dev/null", O_RDWR) != fd) std::abort();
    }
}

Glob::Glob(const char *board_pattern) {
    Path p = path(board_pattern);
    result_ = p.ok() ? ::glob(p.s, 0, nullptr, &g_) : GLOB_NOMATCH;
}

Glob::~Glob() {
    if (result_ == 0) globfree(&g_);
}

std::size_t Glob::count() const { return result_ == 0 ? g_.gl_pathc : 0; }

const char *Glob::board_path(std::size_t i) const {
    if (i >= count()) return nullptr;
    return g_.gl_pathv[i] + std::strlen(root());
}

int exec(const char *board_program, const char *const argv[]) {
    Path p = path(board_program);
    if (!p.ok()) return -1;
#if BOARD_SIM
    // The stand-ins record the board path they were started as.
    setenv("BOARD_PROGRAM", board_program, 1);
#endif
    return execv(p.s, const_cast<char *const *>(argv));
}

std::int64_t now() {
    std::int64_t t = static_cast<std::int64_t>(::time(nullptr));
#if BOARD_SIM
    t += clock_offset();
#endif
    return t;
}

int set_system_time(std::int64_t t) {
#if BOARD_SIM
    std::int64_t host = static_cast<std::int64_t>(::time(nullptr));
    Path p = path(kClockOffset);
    File f(std::fopen(p.s, "w"));
    if (!f) return -1;
    std::fprintf(f.get(), "%lld\n", static_cast<long long>(t - host));
    if (f.close() != 0) return -1;
    char line[64];
    std::snprintf(line, sizeof line, "clock_settime %lld", static_cast<long long>(t));
    effect(line);
    return 0;
#else
    struct timespec ts{};
    ts.tv_sec = static_cast<time_t>(t);
    return clock_settime(CLOCK_REALTIME, &ts);
#endif
}

int set_rtc(const struct rtc_time &tm) {
    Fd fd(open_board("/dev/rtc0", O_RDONLY));
#if BOARD_SIM
    char line[128];
    std::snprintf(line, sizeof line, "rtc_set_time %04d-%02d-%02d %02d:%02d:%02d%s",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                  tm.tm_sec, fd ? "" : " (no /dev/rtc0)");
    effect(line);
    return fd ? 0 : -1;
#else
    if (!fd) return -1;
    return ioctl(fd.get(), RTC_SET_TIME, &tm) == 0 ? 0 : -1;
#endif
}

void countdown_second() {
#if BOARD_SIM
    char none;
    static const bool fast = read_bytes("/sim/fast-countdown", &none, 0) >= 0;
    if (fast) return;
    // A second of the board's clock, which a test may move on instead of
    // waiting; left alone it is a second of the host's.
    auto board_ns = [] {
        struct timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return (static_cast<std::int64_t>(ts.tv_sec) + clock_offset()) * 1000000000 + ts.tv_nsec;
    };
    const std::int64_t until = board_ns() + 1000000000;
    const struct timespec step = {0, 10 * 1000 * 1000};
    while (board_ns() < until) nanosleep(&step, nullptr);
#else
    sleep(1);
#endif
}

void effect(const char *line) {
#if BOARD_SIM
    Path p = path(kEffectsLog);
    int fd = ::open(p.s, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    char buf[4096];
    int n = std::snprintf(buf, sizeof buf, "%s\n", line);
    if (n > 0) {
        std::size_t len = static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n)
                                                                   : sizeof buf - 1;
        ssize_t w = ::write(fd, buf, len);
        (void)w;
    }
    ::close(fd);
#else
    (void)line;
#endif
}

std::size_t quote_arg(const char *arg, char *out, std::size_t out_size) {
    std::size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 < out_size) out[n] = c;
        ++n;
    };
    put('"');
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(arg); *c; ++c) {
        switch (*c) {
        case '"': put('\\'); put('"'); break;
        case '\\': put('\\'); put('\\'); break;
        case '\n': put('\\'); put('n'); break;
        case '\t': put('\\'); put('t'); break;
        case '\r': put('\\'); put('r'); break;
        default:
            if (*c < 0x20 || *c == 0x7f) {
                constexpr char hex[] = "0123456789abcdef";
                put('\\'); put('x'); put(hex[*c >> 4]); put(hex[*c & 15]);
            } else {
                put(static_cast<char>(*c));
            }
        }
    }
    put('"');
    if (out_size > 0) out[n < out_size ? n : out_size - 1] = '\0';
    return n;
}

std::size_t show_text(std::string_view text, char *out, std::size_t out_size) {
    std::size_t n = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        char shown[5] = {ch};
        if (c < 0x20 || c > 0x7e) std::snprintf(shown, sizeof shown, "\\x%02x", c);
        for (const char *p = shown; *p != '\0'; ++p, ++n)
            if (n + 1 < out_size) out[n] = *p;
    }
    if (out_size > 0) out[n < out_size ? n : out_size - 1] = '\0';
    return n;
}

}  // namespace board
