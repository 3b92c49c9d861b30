// The console on a serial line: a line that reports no size, a TERM that
// names another terminal than the emulator, noise on the screen, and the
// bytes a quiet console costs the line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/screen/harness.h"

namespace {

using screen::ConsoleTest;
using screen::Key;
using namespace std::chrono_literals;

// ncurses key codes as the key loop logs them.
constexpr int kDown = 0x102, kUp = 0x103, kBackspace = 0x107, kF6 = 0x10e, kF10 = 0x112,
              kF27 = 0x123, kDelete = 0x14a, kB2 = 0x15e, kBackTab = 0x161, kAnyKey = -1;

// The hour cell of the Main page's clock on the full layout.
constexpr int kTimeRow = 10, kHour = 25;

std::string ch_line(int code) {
    char b[40];
    std::snprintf(b, sizeof b, "L[MAIN]: CH: 0x%08x", static_cast<unsigned>(code));
    return b;
}

class SerialLine : public ConsoleTest {
protected:
    int clock_settings() const {
        int n = 0;
        for (const std::string &l : effect_lines()) n += l.rfind("clock_settime ", 0) == 0;
        return n;
    }
    long query_ms() const {
        for (const std::string &l : log_lines()) {
            long ms = -1;
            if (std::sscanf(l.c_str(), "L[TERMINAL]: Size query took %ld ms", &ms) == 1) return ms;
        }
        return -1;
    }
};

TEST_F(SerialLine, SizelessLineTakesTheTerminalsAnswer) {
    serial.sizeless = true;
    ASSERT_TRUE(start(30, 100));
    EXPECT_EQ(log_count("L[TERMINAL]: Size 100x30 from the terminal's answer"), 1) << log();
    EXPECT_EQ(log_count("L[MAIN]: Available screen space: 100x30"), 1);
    // Set on the line, for ncurses and for the scripts the console starts.
    EXPECT_EQ(term().pty_size(), std::make_pair(30, 100));
    ASSERT_TRUE(term().wait_text("Board MFG date"));
    EXPECT_FALSE(term().contains("too small"));
    EXPECT_NE(term().row_text(29).find("F10: save and exit"), std::string::npos);
    long ms = query_ms();
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 500);
    ASSERT_TRUE(leave());
}

TEST_F(SerialLine, ALineThatReportsItsSizeIsNeverAsked) {
    ASSERT_TRUE(start(30, 100));
    EXPECT_EQ(log_count("L[TERMINAL]: Size 100x30 from the line"), 1) << log();
    EXPECT_EQ(term().output().find("\033[6n"), std::string::npos);
    EXPECT_EQ(query_ms(), -1);
    ASSERT_TRUE(leave());
}

TEST_F(SerialLine, SilentTerminalStartsAtTheTerminfoSizeWithinASecond) {
    serial.sizeless = true;
    serial.answers = false;
    ASSERT_TRUE(start(30, 100, {}, {"TERM=vt100"}));
    EXPECT_EQ(log_count("L[TERMINAL]: Size 80x24 from terminfo (no answer)"), 1) << log();
    EXPECT_EQ(log_count("L[MAIN]: Available screen space: 80x24"), 1);
    EXPECT_EQ(term().pty_size(), std::make_pair(0, 0));
    long ms = query_ms();
    EXPECT_GE(ms, 500);
    EXPECT_LT(ms, 1000);
    ASSERT_TRUE(leave());
}

// Keys typed while the console waits for the answer are keys, decoded as
// sequences, a report-shaped Ctrl-F3 included; none of them is echoed.
TEST_F(SerialLine, KeysTypedDuringTheQueryAreKeptAsKeys) {
    serial.sizeless = true;
    serial.answers = false;
    ASSERT_TRUE(spawn(30, 100));
    ASSERT_TRUE(term().wait_for([&] { return term().output().find("\033[6n") != std::string::npos; },
                                screen::kDefaultTimeout, "the size request"));
    term().send_raw("\033[1;5R\033[B7\033[30;100R");
    ASSERT_TRUE(wait_log("L[TERMINAL]: Size 100x30 from the terminal's answer"));
    ASSERT_TRUE(wait_log(ch_line('7')));
    std::vector<std::string> keys;
    for (const std::string &l : log_lines())
        if (l.rfind("L[MAIN]: CH: ", 0) == 0) keys.push_back(l);
    EXPECT_EQ(keys, (std::vector<std::string>{ch_line(kF27), ch_line(kDown), ch_line('7')}));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(kTimeRow, kHour).text == "7"; },
                                screen::kDefaultTimeout, "7 typed into the hour"));
    EXPECT_EQ(term().output().find("[B7"), std::string::npos);
    EXPECT_EQ(term().output().find("30;100R"), std::string::npos);
    ASSERT_TRUE(leave());
    EXPECT_EQ(clock_settings(), 0);
}

// Each terminal's own sequences, whatever TERM says; a sequence terminfo
// binds to another key keeps it. The line stays raw: the signal and
// flow-control characters are keys that do nothing, and the screen goes on
// being drawn after Ctrl-S.
TEST_F(SerialLine, KeySequencesOfTheTerminalsInUse) {
    enum Then { kStays, kExits, kSaves, kDraws };
    struct Case {
        const char *term;
        const char *bytes;
        int code;
        Then then;
    };
    const Case cases[] = {
        {"vt100", "\033[17~", kF6, kExits},
        {"vt100", "\033[21~", kF10, kSaves},
        {"linux", "\033Ou", kF6, kExits},
        {"linux", "\033Ox", kF10, kSaves},
        {"xterm-256color", "\033[21~", kF10, kSaves},
        {"xterm-256color", "\033Ox", kAnyKey, kStays},  // the keypad's 8
        {"xterm-256color", "\033Ou", kB2, kStays},      // the keypad's centre key
        {"vt100", "\033[B", kDown, kStays},
        {"linux", "\033OB", kDown, kStays},
        {"vt220", "\033OA", kUp, kStays},
        {"vt100", "\033OM", '\n', kStays},
        {"vt100", "\033[3~", kDelete, kStays},
        {"vt100", "\033[Z", kBackTab, kStays},
        {"xterm-256color", "\b", kBackspace, kStays},
        {"vt100", "\033", 0x1b, kStays},
        {"xterm-256color", "\x03", 0x03, kStays},  // Ctrl-C
        {"xterm-256color", "\x1c", 0x1c, kStays},  // Ctrl-backslash
        {"xterm-256color", "\x1a", 0x1a, kStays},  // Ctrl-Z
        {"xterm-256color", "\x13", 0x13, kDraws},  // Ctrl-S
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.term) + " " + (c.bytes + (c.bytes[0] == '\033')));
        // One board for all cases: the log starts afresh with each console.
        ASSERT_TRUE(start(30, 100, {}, {std::string("TERM=") + c.term}));
        const std::size_t effects_before = effects().size();
        term().send_raw(c.bytes);
        ASSERT_TRUE(wait_log(c.code == kAnyKey ? "L[MAIN]: CH: 0x" : ch_line(c.code) + "\n"));
        if (c.then == kExits) {
            ASSERT_TRUE(wait_exit());
            EXPECT_NE(effects().find("exec /sbin/poweroff", effects_before), std::string::npos);
        } else if (c.then == kSaves) {
            ASSERT_TRUE(term().wait_text("Saving"));
        } else {
            ASSERT_TRUE(term().wait_idle());
            EXPECT_TRUE(term().running());
            if (c.then == kDraws) {
                term().key(Key::Right);
                ASSERT_TRUE(term().wait_text("SATA boot priority"));
            }
            ASSERT_TRUE(leave());
        }
    }
}

// The keypad is put back into numeric mode under every TERM, also when an
// earlier program left it in application mode: its digits type digits, and
// keypad 5 and 8 are never vt100's or linux's F6 and F10 (nor 8 xterm's F10).
TEST_F(SerialLine, KeypadDigitsTypeDigits) {
    for (const char *type : {"vt100", "linux", "xterm-256color"})
    for (const char *before : {"", "printf '\\033='; "}) {
        SCOPED_TRACE(std::string(type) + " " + before);
        write_state("0\n");  // on Main, the address empty
        ASSERT_TRUE(start(30, 100, {"sh", "-c", std::string(before) + "exec \"$0\""},
                          {std::string("TERM=") + type}));
        for (int tab = 0; tab < 3; ++tab) term().key(Key::Right);
        ASSERT_TRUE(term().wait_text("ROM URL"));
        for (int field = 0; field < 4; ++field) term().key(Key::Down);
        for (int d = 0; d <= 9; ++d) term().keypad(d);
        ASSERT_TRUE(term().wait_text("0123456789"));
        EXPECT_EQ(term().find("0123456789")->row, term().find("ROM URL")->row);
        EXPECT_EQ(log_count(ch_line(kF6)) + log_count(ch_line(kF10)), 0);
        ASSERT_TRUE(leave());
    }
}

// An escape sequence no key is bound to is read whole and dropped: in the
// hour cell nothing is typed and the clock is not edited, so Up sets nothing.
TEST_F(SerialLine, UnknownSequencesAreDroppedWhole) {
    const struct {
        const char *type;
        std::vector<const char *> sequences;
    } cases[] = {
        // F5, F7-F9, F11, F12 as xterm sends them; the Linux console's F1, F5
        {"vt100", {"\033[15~", "\033[18~", "\033[19~", "\033[20~", "\033[23~", "\033[24~",
                   "\033[[A", "\033[[E"}},
        // xterm's F1-F5; an X10 mouse report, its bytes past 0x7e too
        {"linux", {"\033OP", "\033OQ", "\033OR", "\033OS", "\033[15~", "\033[M #%", "\033[M\x83\xa0\xff"}},
        // focus reports, an F-key no terminfo has, the Linux console's F3,
        // mouse reports: SGR press and release, X10
        {"xterm-256color", {"\033[I", "\033[O", "\033[99;7~", "\033[[C", "\033[<0;10;5M",
                            "\033[<0;10;5m", "\033[M *%"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_TRUE(start(30, 100, {}, {std::string("TERM=") + c.type}));
        term().key(Key::Down);
        ASSERT_TRUE(wait_log(ch_line(kDown)));
        for (const char *seq : c.sequences) term().send_raw(seq);
        const int n = static_cast<int>(c.sequences.size());
        ASSERT_TRUE(term().wait_for([&] { return log_count_prefix("L[TERMINAL]: Unknown key") == n; },
                                    screen::kDefaultTimeout, "every sequence dropped"))
            << log();
        EXPECT_EQ(log_count(std::string("L[TERMINAL]: Unknown key \\E") + (c.sequences[0] + 1) +
                            " dropped"), 1);
        EXPECT_EQ(log_count_prefix("L[MAIN]: CH: "), 1) << log();  // the Down only
        term().key(Key::Up);
        ASSERT_TRUE(wait_log(ch_line(kUp)));
        ASSERT_TRUE(leave());
        EXPECT_EQ(clock_settings(), 0);
    }
}

// A paste is text, never keys: an Enter, Tab or Shift-Tab in it (one write,
// or between bracketed-paste marks) moves, presses and applies nothing, and
// inside the marks only printable bytes count.
TEST_F(SerialLine, APasteIsTextNeverKeys) {
    const struct {
        int downs;  // on the Maintenance page: 1 Update OS, 4 the ROM URL
        const char *bytes;
        const char *typed;
    } cases[] = {
        {1, "http://10.0.0.1/rom.bin\n", nullptr},
        {4, "url\tx\n", "urlx"},
        {4, "url\r\033[Zx\r\n", "urlx"},
        {4, "\033[200~url\tx\r\n\033[A\033[17~\033[1;5Ry\xc3\xa9\033[201~", "urlxy"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        write_state("3\n");
        ASSERT_TRUE(start(30, 100));
        for (int i = 0; i < c.downs; ++i) term().key(Key::Down);
        ASSERT_TRUE(term().wait_for([&] { return log_count(ch_line(kDown)) == c.downs; }));
        const std::size_t effects_before = effects().size();
        term().send_raw(c.bytes);
        ASSERT_TRUE(wait_log(" dropped\n"));
        ASSERT_TRUE(c.typed == nullptr || term().wait_text(c.typed));
        ASSERT_TRUE(term().wait_idle(300ms));
        EXPECT_EQ(effects().substr(effects_before), "");
        for (int key : {int{'\n'}, int{'\t'}, kBackTab, kUp, kDown, kF6, kF27})
            EXPECT_EQ(log_count(ch_line(key)), key == kDown ? c.downs : 0) << key << "\n" << log();
        ASSERT_TRUE(leave());
    }
}

// A console started again on the same serial line (after udhcpc, after a
// crash) finds there the size the one before set: it asks the terminal
// again and takes the window's size now.
TEST_F(SerialLine, AConsoleStartedAgainOnTheLineAsksAgain) {
    serial.sizeless = true;
    ASSERT_TRUE(start(30, 100, {"sh", "-c", "\"$0\"; exec \"$0\""}));
    EXPECT_EQ(term().pty_size(), std::make_pair(30, 100));
    term().resize(24, 80);  // only the screen: the line keeps what was set
    term().fkey(6);
    ASSERT_TRUE(wait_log("L[TERMINAL]: Size 80x24 from the terminal's answer\n"));
    EXPECT_EQ(term().pty_size(), std::make_pair(24, 80));
    ASSERT_TRUE(term().wait_row(0, "                           Norvane Service Mode"));
    ASSERT_TRUE(leave());
}

// A cursor position report is never typed: late, it is still the answer
// to the size request; with no request outstanding it is dropped.
TEST_F(SerialLine, ALatePositionReportIsTheSizeNeverAKey) {
    serial.sizeless = true;
    serial.answers = false;
    ASSERT_TRUE(start(30, 100, {}, {"TERM=vt100"}));
    EXPECT_EQ(log_count("L[MAIN]: Available screen space: 80x24"), 1);
    term().key(Key::Down);
    term().send_raw("\033[30;100R");
    ASSERT_TRUE(wait_log("L[TERMINAL]: Size 100x30 from the terminal's answer"));
    EXPECT_EQ(term().pty_size(), std::make_pair(30, 100));
    ASSERT_TRUE(term().wait_row(4, "Board MFG date"));  // two columns
    term().send_raw("\033[24;80R");
    ASSERT_TRUE(wait_log("L[TERMINAL]: Position report dropped"));
    EXPECT_EQ(log_count_prefix("L[MAIN]: CH: 0x00000052"), 0);  // no 'R'
    term().key(Key::Up);
    ASSERT_TRUE(leave());
    EXPECT_EQ(clock_settings(), 0);
}

// What an operator on an 80x24 serial line with TERM=vt100 and an xterm-like
// emulator gets: the size from the answer, every page whole (Main in one
// column), and F10 as the emulator sends it saves and leaves.
TEST_F(SerialLine, Vt100LineAt80x24ShowsEveryPageAndLeavesWithF10) {
    serial.sizeless = true;
    ASSERT_TRUE(start(24, 80, {}, {"TERM=vt100"}));
    EXPECT_EQ(log_count("L[TERMINAL]: Size 80x24 from the terminal's answer"), 1) << log();
    const char *shows[] = {"Product version", "SATA boot priority", "MAC address", "Update OS"};
    for (int tab = 0; tab < 4; ++tab) {
        SCOPED_TRACE(shows[tab]);
        if (tab > 0) term().send_raw("\033[C");  // Right, as xterm sends it
        ASSERT_TRUE(term().wait_text(shows[tab]));
        EXPECT_FALSE(term().contains("Screen too small")) << term().dump();
    }
    // Out of curses, into the ten-second countdown before the power-off.
    term().send_raw("\033[21~");
    ASSERT_TRUE(term().wait_text("Saving"));
    EXPECT_EQ(log_count(ch_line(kF10)), 1);
}

TEST_F(SerialLine, CtrlLRepaintsAGarbledScreenAndEditsNothing) {
    ASSERT_TRUE(start(30, 100));
    term().noise("\033[2J\033[5;10Hkernel: eth0 link down");
    // The clock ticks on, but only its own cells are drawn again.
    const std::size_t before = term().bytes_read();
    pass_clock(1);
    ASSERT_TRUE(term().wait_for([&] { return term().bytes_read() > before; }, 3000ms, "a clock tick"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_FALSE(term().contains("Norvane Service Mode"));
    term().ctrl('l');
    ASSERT_TRUE(term().wait_text("Norvane Service Mode"));
    ASSERT_TRUE(term().wait_gone("kernel:"));
    EXPECT_TRUE(term().contains("Board MFG date"));
    EXPECT_NE(term().row_text(29).find("F10: save and exit"), std::string::npos);
    // In the clock, Ctrl-L types nothing: Up gives the keyboard back
    // without setting the clock.
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_for([&] { return term().cursor_visible(); }));
    term().ctrl('l');
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_for([&] { return !term().cursor_visible(); }));
    EXPECT_EQ(log_count(ch_line(0x0c)), 2);
    EXPECT_EQ(clock_settings(), 0);
    ASSERT_TRUE(leave());
}

// The operator enlarged the window of a serial line: Ctrl-L asks again and
// the console takes the new size; a terminal that does not answer is
// repainted at the size it has.
TEST_F(SerialLine, CtrlLOnASizelessLineAsksForTheSizeAgain) {
    serial.sizeless = true;
    ASSERT_TRUE(start(24, 80));
    EXPECT_EQ(log_count("L[TERMINAL]: Size 80x24 from the terminal's answer"), 1) << log();
    term().resize(30, 100);
    term().ctrl('l');
    ASSERT_TRUE(wait_log("L[TERMINAL]: Size 100x30 from the terminal's answer"));
    ASSERT_TRUE(wait_log(ch_line(0x0c) + "\n"));
    EXPECT_EQ(term().pty_size(), std::make_pair(30, 100));
    // The whole two-column Main page and the help line at the new size.
    ASSERT_TRUE(term().wait_row(4, "Board MFG date"));
    ASSERT_TRUE(term().wait_row(29, "F10: save and exit"));
    ASSERT_TRUE(term().wait_row(0, "                                        Norvane Service Mode"));
    // The same size again is only a repaint.
    term().ctrl('l');
    ASSERT_TRUE(term().wait_idle(200ms));
    EXPECT_EQ(log_count_prefix("L[TERMINAL]: Size 100x30"), 1);
    ASSERT_TRUE(leave());
}

TEST_F(SerialLine, CtrlLOnASilentLineRepaintsAtTheTerminfoSize) {
    serial.sizeless = true;
    serial.answers = false;
    ASSERT_TRUE(start(30, 100, {}, {"TERM=vt100"}));
    term().noise("\033[2J");
    term().ctrl('l');
    ASSERT_TRUE(term().wait_text("Norvane Service Mode"));
    EXPECT_EQ(term().pty_size(), std::make_pair(0, 0));
    EXPECT_EQ(log_count_prefix("L[TERMINAL]: Size 80x24 from"), 1);
    EXPECT_EQ(log_count_prefix("L[TERMINAL]: Size 100x30"), 0);
    ASSERT_TRUE(leave());
}

// A serial line at 9600 baud carries under 1000 bytes a second: an idle
// console must cost it little, a tick at a time.
// The three lines run side by side, each on a board of its own, so their
// ticks fall in the same half-seconds; each is pumped as it comes, so a
// tick's bytes are those that follow its first within 50 ms.
TEST_F(SerialLine, AnIdleClockTickSendsAtMost32Bytes) {
    const struct {
        const char *type;
        int rows, cols;
    } lines[] = {{"xterm-256color", 30, 100}, {"vt100", 30, 100}, {"vt100", 24, 80}};
    constexpr std::size_t kLines = std::size(lines);
    // Ticks within one minute: the boards' clocks start at second 5 and are
    // moved a second on for each, so the next timeout draws it.
    long long offset = 65 - std::time(nullptr) % 60;
    std::vector<sim::BoardTree> boards;
    std::vector<std::unique_ptr<screen::Terminal>> terms;
    for (const auto &line : lines) {
        boards.push_back(sim::build_board_tree(root() + "/line" + std::to_string(boards.size()), opts));
        boards.back().set_clock_offset(offset);
        terms.push_back(std::make_unique<screen::Terminal>(line.rows, line.cols));
        ASSERT_TRUE(terms.back()->start({tolvane_path()},
                                        {"BOARD_ROOT=" + boards.back().root(), std::string("TERM=") + line.type}));
    }
    for (auto &t : terms) ASSERT_TRUE(t->wait_text("Board MFG date"));
    // The bytes of the first draw after chunk `from`, once 50 ms of silence ended it.
    const auto tick = [](const screen::Terminal &t, std::size_t from) -> std::optional<std::size_t> {
        const auto &c = t.chunks();
        if (c.size() <= from) return std::nullopt;
        std::size_t bytes = c[from].bytes.size();
        auto last = c[from].at;
        for (std::size_t i = from + 1; i < c.size() && c[i].at - last < 50ms; ++i) {
            bytes += c[i].bytes.size();
            last = c[i].at;
        }
        if (std::chrono::steady_clock::now() - last < 50ms) return std::nullopt;
        return bytes;
    };
    const auto pump_until = [&](const std::function<bool()> &done) {
        for (const auto until = std::chrono::steady_clock::now() + 3000ms;
             !done() && std::chrono::steady_clock::now() < until;) {
            for (auto &t : terms) t->pump(0ms);
            std::this_thread::sleep_for(1ms);
        }
        return done();
    };
    const auto all_quiet = [&] {
        for (auto &t : terms)
            if (std::chrono::steady_clock::now() - t->chunks().back().at < 50ms) return false;
        return true;
    };
    ASSERT_TRUE(pump_until(all_quiet));
    for (int n = 0; n < 3; ++n) {
        std::vector<std::size_t> from;
        for (auto &t : terms) from.push_back(t->chunks().size());
        ++offset;
        for (auto &b : boards) b.set_clock_offset(offset);
        ASSERT_TRUE(pump_until([&] {
            for (std::size_t i = 0; i < kLines; ++i)
                if (!tick(*terms[i], from[i])) return false;
            return true;
        })) << "tick " << n;
        for (std::size_t i = 0; i < kLines; ++i) {
            SCOPED_TRACE(std::string(lines[i].type) + " " + std::to_string(lines[i].cols));
            std::string sent;
            for (std::size_t c = from[i]; c < terms[i]->chunks().size(); ++c) sent += terms[i]->chunks()[c].bytes;
            EXPECT_LE(*tick(*terms[i], from[i]), 32u) << "tick " << n << ": " << testing::PrintToString(sent);
        }
        ASSERT_TRUE(pump_until(all_quiet));
    }
    for (auto &t : terms) {
        t->fkey(6);
        ASSERT_TRUE(t->wait_exit());
        EXPECT_EQ(t->exit_status(), 0);
    }
}

}  // namespace
