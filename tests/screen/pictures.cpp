// tolvane-pictures: the README's pictures of the console, rendered from the
// screen harness's cells on a simulated board built as the demo builds it.
//
//   tolvane-pictures OUTDIR [PREFIX...]
//
// PREFIX runs the console under a command (scripts/pictures passes
// "ip netns exec NS" so the Network page shows a documented eth0, not the
// host's interfaces). The board clock is set to a fixed date, so the
// pictures differ from run to run only in the seconds the clock shows.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/board_tree.h"
#include "tests/screen/harness.h"
#include "tests/screen/svg.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

// 2026-03-02 09:41:00 UTC
constexpr std::time_t kBoardTime = 1772444460;

[[noreturn]] void fail(const char *what, const screen::Terminal *t = nullptr) {
    std::fprintf(stderr, "tolvane-pictures: %s\n", what);
    if (t != nullptr) std::fprintf(stderr, "%s\n", t->dump().c_str());
    std::exit(1);
}

void save(const std::string &dir, const char *name, const screen::Terminal &t, const char *title) {
    const std::string path = dir + "/" + name;
    std::ofstream f(path);
    f << screen::to_svg(t, title);
    f.close();
    if (!f) fail(("cannot write " + path).c_str());
    std::printf("%s\n", path.c_str());
}

bool log_has(const std::string &root, const std::string &line) {
    std::ifstream f(root + "/var/log/tolvane.log");
    std::string l;
    while (std::getline(f, l))
        if (l == line) return true;
    return false;
}

// The console on a rows x cols terminal, its first frame up.
void start(screen::Terminal &t, const sim::BoardTree &tree, const std::vector<std::string> &prefix,
           const std::string &term_type = "xterm-256color") {
    tree.set_clock_offset(static_cast<std::int64_t>(kBoardTime - std::time(nullptr)));
    std::vector<std::string> argv = prefix;
    argv.push_back(TOLVANE_PATH);
    if (!t.start(argv, {"BOARD_ROOT=" + tree.root(), "TERM=" + term_type})) fail("cannot start tolvane");
    if (!t.wait_text("Maintenance", 10s)) fail("no first frame", &t);
    if (!t.wait_quiet(300ms)) fail("the console never went quiet", &t);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tolvane-pictures OUTDIR [PREFIX...]\n");
        return 2;
    }
    const std::string out = argv[1];
    const std::vector<std::string> prefix(argv + 2, argv + argc);
    std::filesystem::create_directories(out);

    test_support::TempDir dir("/tmp/tolvane-pictures-XXXXXX");
    if (dir.path().empty()) fail("no folder for the board");
    const std::string root = dir.path() + "/board";
    const sim::BoardTree tree = sim::build_board_tree(root);

    struct Page {
        const char *file, *title, *wait;
    };
    constexpr Page kPages[] = {
        {"main.svg", "tolvane: Main page (100x30)", "Boot status"},
        {"boot.svg", "tolvane: Boot page (100x30)", "SATA boot priority"},
        {"network.svg", "tolvane: Network page (100x30)", "MAC address"},
        {"maintenance.svg", "tolvane: Maintenance page (100x30)", "Update OS"},
    };
    {
        screen::Terminal t(30, 100);
        start(t, tree, prefix);
        for (int i = 0; i < 4; ++i) {
            if (i > 0) {
                t.key(screen::Key::Right);
                const std::string shown = "L[TOP_MENU]: Show panel " + std::to_string(i);
                if (!t.wait_for([&] { return log_has(root, shown); }, 5s, "page switch")) fail("no page switch", &t);
            }
            if (!t.wait_text(kPages[i].wait)) fail("page text missing", &t);
            if (!t.wait_quiet(300ms)) fail("the page never went quiet", &t);
            save(out, kPages[i].file, t, kPages[i].title);
        }
    }
    {
        screen::Terminal t(24, 80);
        start(t, tree, prefix);
        save(out, "main-80x24.svg", t, "tolvane: Main page on an 80x24 serial line");
    }
    {
        // No colours on a vt100 line: attributes, and the short legend.
        screen::Terminal t(24, 80);
        start(t, tree, prefix, "vt100");
        save(out, "main-vt100.svg", t, "tolvane: Main page on an 80x24 vt100 line");
        t.key(screen::Key::Down);
        t.text("25");
        t.key(screen::Key::Up);
        if (!t.wait_text("Hour must be 00-23")) fail("no message for the refused hour", &t);
        if (!t.wait_quiet(300ms)) fail("the page never went quiet", &t);
        save(out, "clock-refused.svg", t, "tolvane: a refused hour on a vt100 line");
    }
    return 0;
}
