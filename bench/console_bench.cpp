// tolvane-bench: what the console costs a serial line, measured in a
// pseudo-terminal on a simulated board. One measurement per run, printed as
// "key value" lines for bench/run to put in its table.
//
//   tolvane-bench idle console PAGE HOLD SECONDS   bytes per second while idle
//   tolvane-bench idle dialog SECONDS              the same for the dialog console
//   tolvane-bench startup console|floor|dialog RUNS   median time to the first frame
//   tolvane-bench startup pipeline|logwrites RUNS    median time of the work the
//                                                   console's start must do: the
//                                                   gateway pipeline alone, and its
//                                                   log lines written and flushed alone
//   tolvane-bench syscalls PAGE SECONDS OUT        strace -f -C of an idle page
//
// PAGE is the tab index (0 Main .. 3 Maintenance); HOLD 1 gives the page the
// keyboard (Down) before measuring.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/strace_report.h"
#include "console/pages/net_page_gateway.h"
#include "sim/board_tree.h"
#include "tests/screen/harness.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kRows = 30;
constexpr int kCols = 100;

struct TempDir {
    std::string path;
    TempDir() {
        const char *base = std::getenv("TMPDIR");
        std::string templ = std::string(base != nullptr ? base : "/tmp") + "/tolvane-bench-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        path = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

std::string board_root(const TempDir &dir) {
    std::string root = dir.path + "/board";
    sim::build_board_tree(root);
    return root;
}

std::vector<std::string> console_argv() { return {TOLVANE_PATH}; }
std::vector<std::string> dialog_argv() { return {"/bin/bash", DIALOG_CONSOLE}; }
std::vector<std::string> dialog_env(const std::string &root) {
    return {"BOARD_ROOT=" + root, std::string("QUELLET=") + QUELLET_PATH};
}

// The first frame: title, four tabs and the Main page's last value cell.
bool first_frame(const screen::Terminal &t) {
    for (const char *s : {"Norvane Service Mode", "Main", "Boot", "Network", "Maintenance", "rev B"})
        if (!t.contains(s)) return false;
    return true;
}

[[noreturn]] void fail(const char *what, const screen::Terminal *t = nullptr) {
    std::fprintf(stderr, "tolvane-bench: %s\n", what);
    if (t != nullptr) std::fprintf(stderr, "%s\n", t->dump().c_str());
    std::exit(1);
}

// Resident set of every process in the session led by pid, in KiB.
long session_rss_kib(pid_t sid) {
    long sum = 0;
    DIR *d = ::opendir("/proc");
    if (d == nullptr) return 0;
    while (dirent *e = ::readdir(d)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::ifstream st(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        if (!std::getline(st, line)) continue;
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        long ppid = 0, pgrp = 0, session = 0;
        rest >> state >> ppid >> pgrp >> session;
        if (session != sid) continue;
        std::ifstream status(std::string("/proc/") + e->d_name + "/status");
        while (std::getline(status, line))
            if (line.starts_with("VmRSS:")) sum += std::strtol(line.c_str() + 6, nullptr, 10);
    }
    ::closedir(d);
    return sum;
}

// Pump output for the whole of `span`, sampling the session's memory.
void pump_for(screen::Terminal &t, Clock::duration span, long *peak_rss) {
    const auto end = Clock::now() + span;
    auto next_sample = Clock::now();
    while (Clock::now() < end) {
        auto left = std::chrono::duration_cast<screen::Millis>(end - Clock::now());
        t.pump(std::min(left, screen::Millis(20)));
        if (peak_rss != nullptr && Clock::now() >= next_sample) {
            *peak_rss = std::max(*peak_rss, session_rss_kib(t.pid()));
            next_sample = Clock::now() + 50ms;
        }
    }
}

// Start the console on its page, the output quiet before measuring.
void console_on_page(screen::Terminal &t, const std::string &root, int page, bool hold) {
    if (!t.start(console_argv(), {"BOARD_ROOT=" + root})) fail("cannot start tolvane");
    if (!t.wait_for([&] { return first_frame(t); }, 10s, "first frame")) fail("no first frame", &t);
    for (int i = 0; i < page; ++i) t.key(screen::Key::Right);
    if (hold) t.key(screen::Key::Down);
    // Let the page switch and one clock tick pass before counting.
    pump_for(t, 1500ms, nullptr);
}

double seconds_of(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Escape the bytes of one idle update so a reader can see what it is made of.
std::string escaped(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == 0x1b) out += "\\e";
        else if (c < 0x20 || c >= 0x7f) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            out += b;
        } else out += static_cast<char>(c);
    }
    return out;
}

int idle(bool dialog, int page, bool hold, int secs) {
    TempDir dir;
    std::string root = board_root(dir);
    long peak = 0;
    std::size_t bytes = 0;
    double span = 0;
    std::string sample;
    {
        screen::Terminal t(kRows, kCols);
        if (dialog) {
            if (!t.start(dialog_argv(), dialog_env(root))) fail("cannot start the dialog console");
            if (!t.wait_for([&] { return t.contains("rev B"); }, 10s, "first frame")) fail("no dialog frame", &t);
            pump_for(t, 1500ms, nullptr);
        } else {
            console_on_page(t, root, page, hold);
        }
        const std::size_t before = t.bytes_read();
        const std::size_t chunks_before = t.chunks().size();
        const auto t0 = Clock::now();
        pump_for(t, std::chrono::seconds(secs), &peak);
        span = seconds_of(Clock::now() - t0);
        bytes = t.bytes_read() - before;
        if (!t.running()) fail("the program ended while idle", &t);
        // One idle update, for the record.
        for (std::size_t i = chunks_before; i < t.chunks().size() && sample.size() < 200; ++i)
            sample += t.chunks()[i].bytes;
    }
    rusage ru{};
    ::getrusage(RUSAGE_CHILDREN, &ru);
    std::printf("bytes %zu\nseconds %.2f\nrate %.2f\npeak_rss_kib %ld\nmax_process_rss_kib %ld\n", bytes, span,
                static_cast<double>(bytes) / span, peak, ru.ru_maxrss);
    std::printf("sample %s\n", escaped(sample.substr(0, 200)).c_str());
    return 0;
}

// The gateway pipeline as the Network page runs it at start: sh -c with
// its exact command line, output read to the end.
double pipeline_ms() {
    const auto t0 = Clock::now();
    std::FILE *p = ::popen(net_page_gateway_command, "r");
    if (p == nullptr) fail("popen");
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr) {
    }
    ::pclose(p);
    return seconds_of(Clock::now() - t0) * 1000;
}

// The log lines a start writes up to its first frame, read off one start.
std::vector<std::string> first_frame_log(const std::string &root) {
    {
        screen::Terminal t(kRows, kCols);
        if (!t.start(console_argv(), {"BOARD_ROOT=" + root})) fail("cannot start tolvane");
        if (!t.wait_for([&] { return first_frame(t); }, 10s, "first frame")) fail("no first frame", &t);
    }
    std::ifstream f(root + "/var/log/tolvane.log");
    std::vector<std::string> lines;
    for (std::string l; std::getline(f, l);) lines.push_back(l + "\n");
    if (lines.empty()) fail("the console wrote no log");
    return lines;
}

// Those lines written as the console writes them: one formatted write and
// one flush each, into a fresh file on the same file system.
double logwrites_ms(const std::string &root, const std::vector<std::string> &lines) {
    const std::string path = root + "/var/log/bench.log";
    const auto t0 = Clock::now();
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (f == nullptr) fail("cannot open the log");
    for (const std::string &l : lines) {
        std::fprintf(f, "%s", l.c_str());
        std::fflush(f);
    }
    std::fclose(f);
    return seconds_of(Clock::now() - t0) * 1000;
}

int startup_work(const std::string &kind, int runs) {
    TempDir dir;
    std::string root = board_root(dir);
    std::vector<std::string> lines;
    if (kind == "logwrites") lines = first_frame_log(root);
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) ms.push_back(kind == "pipeline" ? pipeline_ms() : logwrites_ms(root, lines));
    std::printf("median_ms %.3f\nmin_ms %.3f\nmax_ms %.3f\nruns %d\n", bench::median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), runs);
    if (kind == "logwrites") std::printf("lines %zu\n", lines.size());
    return 0;
}

int startup(const std::string &kind, int runs) {
    if (kind == "pipeline" || kind == "logwrites") return startup_work(kind, runs);
    TempDir dir;
    std::string root = board_root(dir);
    std::vector<double> ms, first_byte;
    for (int i = 0; i < runs; ++i) {
        screen::Terminal t(kRows, kCols);
        const auto t0 = Clock::now();
        bool ok = kind == "console"  ? t.start(console_argv(), {"BOARD_ROOT=" + root})
                  : kind == "floor"  ? t.start({FLOOR_PATH})
                  : kind == "dialog" ? t.start(dialog_argv(), dialog_env(root))
                                     : false;
        if (!ok) fail("cannot start the program");
        // The frame is complete when the chunk that completed it arrived:
        // check after every read, and take that chunk's arrival time.
        const auto deadline = Clock::now() + 10s;
        while (!first_frame(t)) {
            if (Clock::now() > deadline || !t.running()) fail("no first frame", &t);
            t.pump(1ms);
        }
        ms.push_back(seconds_of(t.chunks().back().at - t0) * 1000);
        if (!t.chunks().empty()) first_byte.push_back(seconds_of(t.chunks().front().at - t0) * 1000);
        if (std::getenv("BENCH_CHUNKS") != nullptr)
            for (const auto &c : t.chunks())
                std::fprintf(stderr, "%8.2f ms %5zu bytes\n", seconds_of(c.at - t0) * 1000, c.bytes.size());
    }
    std::printf("first_byte_ms %.2f\n", bench::median(first_byte));
    std::printf("median_ms %.2f\nmin_ms %.2f\nmax_ms %.2f\nruns %d\n", bench::median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), runs);
    return 0;
}

int syscalls(int page, int secs, const std::string &out) {
    TempDir dir;
    std::string root = board_root(dir);
    screen::Terminal t(kRows, kCols);
    console_on_page(t, root, page, false);

    const std::string pid = std::to_string(t.pid());
    pid_t tracer = ::fork();
    if (tracer < 0) fail("fork");
    if (tracer == 0) {
        ::execlp("strace", "strace", "-qq", "-f", "-C", "-o", out.c_str(), "-p", pid.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    // strace needs a moment to attach; count from when it has.
    pump_for(t, 300ms, nullptr);
    const auto t0 = Clock::now();
    pump_for(t, std::chrono::seconds(secs), nullptr);
    const double span = seconds_of(Clock::now() - t0);
    ::kill(tracer, SIGINT);
    int st = 0;
    while (::waitpid(tracer, &st, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(st) && WEXITSTATUS(st) == 127) fail("strace did not run");

    std::ifstream in(out);
    if (!in) fail("strace left no output");
    std::stringstream text;
    text << in.rdbuf();
    bench::StraceReport r = bench::parse_strace(text.str(), root);
    const double per_min = 60.0 / span;
    std::printf("seconds %.2f\ntotal %.0f\n", span, static_cast<double>(r.total_calls) * per_min);
    for (const auto &c : r.calls) std::printf("call %s %.0f\n", c.name.c_str(), static_cast<double>(c.calls) * per_min);
    for (const auto &[path, n] : r.opens) std::printf("open %s %.0f\n", path.c_str(), static_cast<double>(n) * per_min);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    auto num = [&](std::size_t i) { return i < a.size() ? std::atoi(a[i].c_str()) : -1; };
    if (a.size() == 5 && a[0] == "idle" && a[1] == "console") return idle(false, num(2), num(3) != 0, num(4));
    if (a.size() == 3 && a[0] == "idle" && a[1] == "dialog") return idle(true, 0, false, num(2));
    if (a.size() == 3 && a[0] == "startup") return startup(a[1], num(2));
    if (a.size() == 4 && a[0] == "syscalls") return syscalls(num(1), num(2), a[3]);
    std::fprintf(stderr,
                 "usage: tolvane-bench idle console PAGE HOLD SECONDS | idle dialog SECONDS |\n"
                 "       startup console|floor|dialog|pipeline|logwrites RUNS | syscalls PAGE SECONDS OUT\n");
    return 2;
}
