// The harness itself, on small shell programs whose output and input are
// known byte for byte: if it misreads a colour or sends the wrong key, every
// console test above it is wrong.
#include <signal.h>

#include <gtest/gtest.h>

#include "tests/screen/harness.h"

namespace {

using namespace std::chrono_literals;
using screen::Key;
using screen::Terminal;

std::vector<std::string> sh(const std::string &script) { return {"/bin/sh", "-c", script}; }

TEST(Harness, ReadsTextColoursAttributesAndTheCursor) {
    Terminal t(6, 20);
    ASSERT_TRUE(t.start(sh("printf 'hello\\r\\n  \\033[37;44mAB\\033[7mC\\033[0m\\033[1mD\\033[0m'; "
                           "printf '\\033[?25l'; exec sleep 5")));
    ASSERT_TRUE(t.wait_text("ABCD"));
    ASSERT_TRUE(t.wait_for([&] { return !t.cursor_visible(); }, 2000ms, "hidden cursor"));
    EXPECT_EQ(t.row_trimmed(0), "hello");
    EXPECT_EQ(t.row_text(0).size(), 20u);
    auto at = t.find("ABCD");
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(at->row, 1);
    EXPECT_EQ(at->col, 2);
    auto a = t.cell(1, 2), c = t.cell(1, 4), d = t.cell(1, 5), plain = t.cell(0, 0);
    EXPECT_EQ(a.text, "A");
    EXPECT_EQ(a.fg, 7);
    EXPECT_EQ(a.bg, 4);
    EXPECT_FALSE(a.reverse);
    // Reverse is a flag; the colours stay as the program set them.
    EXPECT_TRUE(c.reverse);
    EXPECT_EQ(c.fg, 7);
    EXPECT_EQ(c.bg, 4);
    EXPECT_TRUE(d.bold);
    EXPECT_EQ(d.fg, -1);
    EXPECT_EQ(plain.fg, -1);
    EXPECT_EQ(plain.bg, -1);
    EXPECT_EQ(t.cursor().row, 1);
    EXPECT_EQ(t.cursor().col, 6);
    EXPECT_EQ(t.cell(9, 9).text, "");  // off the screen

    // The dump marks each look with a letter and explains it.
    std::string dump = t.dump();
    EXPECT_NE(dump.find(" 1 |  ABCD"), std::string::npos) << dump;
    EXPECT_NE(dump.find("   |..aab"), std::string::npos) << dump;
    EXPECT_NE(dump.find("fg 7 bg 4 reverse"), std::string::npos) << dump;
    EXPECT_NE(dump.find("cursor 1,6 hidden"), std::string::npos) << dump;
}

// What the keys put on the wire: the program echoes the bytes it reads.
TEST(Harness, KeysReachTheProgramAsXtermSequences) {
    struct Case {
        const char *name;
        void (*send)(Terminal &);
        const char *hex;
    };
    const Case cases[] = {
        {"Up", [](Terminal &t) { t.key(Key::Up); }, "1b4f41"},
        {"Right", [](Terminal &t) { t.key(Key::Right); }, "1b4f43"},
        {"Enter", [](Terminal &t) { t.key(Key::Enter); }, "0d"},
        {"Escape", [](Terminal &t) { t.key(Key::Escape); }, "1b"},
        {"Backspace", [](Terminal &t) { t.key(Key::Backspace); }, "7f"},
        {"Delete", [](Terminal &t) { t.key(Key::Delete); }, "1b5b337e"},
        {"F1", [](Terminal &t) { t.fkey(1); }, "1b4f50"},
        {"F6", [](Terminal &t) { t.fkey(6); }, "1b5b31377e"},
        {"F10", [](Terminal &t) { t.fkey(10); }, "1b5b32317e"},
        {"text", [](Terminal &t) { t.text("aé"); }, "61c3a9"},
        {"Ctrl+C", [](Terminal &t) { t.ctrl('c'); }, "03"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t n = std::string(c.hex).size() / 2;
        Terminal t(5, 40);
        ASSERT_TRUE(t.start(sh("stty raw -echo; printf '\\033[?1hready'; dd bs=1 count=" + std::to_string(n) +
                               " 2>/dev/null | od -An -tx1 | tr -d ' \\n'; printf '|'")));
        ASSERT_TRUE(t.wait_text("ready"));
        c.send(t);
        ASSERT_TRUE(t.wait_text("|"));
        EXPECT_EQ(t.row_trimmed(0), std::string("ready") + c.hex + "|");
        ASSERT_TRUE(t.wait_exit());
        EXPECT_EQ(t.exit_status(), 0);
    }
}

TEST(Harness, ExitStatusQuietOutputAndByteCount) {
    Terminal t(5, 40);
    ASSERT_TRUE(t.start(sh("printf 12345; exit 3")));
    ASSERT_TRUE(t.wait_exit());
    EXPECT_FALSE(t.running());
    EXPECT_EQ(t.exit_status(), 3);
    EXPECT_EQ(t.bytes_read(), 5u);
    EXPECT_EQ(t.output(), "12345");
    EXPECT_TRUE(t.wait_quiet(50ms));
    // Nothing can change any more: a wait fails at once, not at its deadline.
    auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(t.wait_text("never", 5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1000ms);
}

TEST(Harness, EnvironmentIsTheConsolesOwn) {
    Terminal t(5, 80);
    ASSERT_TRUE(t.start(sh("printf '%s|%s|%s|%s|%s|%s|' \"$TERM\" \"$LANG\" \"$TZ\" \"$ESCDELAY\" "
                           "\"${LINES-unset}\" \"$EXTRA\""),
                        {"EXTRA=yes"}));
    ASSERT_TRUE(t.wait_exit());
    EXPECT_EQ(t.row_trimmed(0), "xterm-256color|C.UTF-8|UTC|25|unset|yes|");
}

TEST(Harness, ResizeReachesTheProgram) {
    Terminal t(24, 80);
    ASSERT_TRUE(t.start(sh("trap 'stty size; exit 0' WINCH; printf 'ready\\r\\n'; while :; do sleep 0.02; done")));
    ASSERT_TRUE(t.wait_text("ready"));
    t.resize(12, 40);
    EXPECT_EQ(t.rows(), 12);
    EXPECT_EQ(t.cols(), 40);
    ASSERT_TRUE(t.wait_text("12 40"));
    ASSERT_TRUE(t.wait_exit());
}

// A serial line: the pseudo-terminal knows no size; the emulator answers a
// cursor position request with where the cursor is, or stays silent.
TEST(Harness, SizelessLineAnswersThePositionRequestOrNot) {
    const std::string script =
        "stty size; stty raw -echo; printf '\\033[999;999H\\033[6n'; "
        "r=$(timeout --foreground 0.5 dd bs=1 count=9 2>/dev/null | tr '\\033' E); printf '\\033[2;1H<%s>' \"$r\"";
    for (bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "answers" : "silent");
        Terminal t(30, 100);
        t.set_sizeless(answers);
        ASSERT_TRUE(t.start(sh(script)));
        ASSERT_TRUE(t.wait_exit(3000ms));
        EXPECT_EQ(t.row_trimmed(0), "0 0");
        EXPECT_EQ(t.row_trimmed(1), answers ? "<E[30;100R>" : "<>");
    }
    // The window grows: the screen does, the line still reports nothing.
    Terminal t(24, 80);
    t.set_sizeless();
    ASSERT_TRUE(t.start(sh("printf ready; exec sleep 5")));
    ASSERT_TRUE(t.wait_text("ready"));
    t.resize(30, 100);
    EXPECT_EQ(t.cols(), 100);
    EXPECT_EQ(t.pty_size(), std::make_pair(0, 0));
}

// The end of a frame is told by the key wait: the console between keys is
// in it; a program that sleeps never is, and a wait for it to be idle falls
// back on silence.
class HarnessOnTheConsole : public screen::ConsoleTest {};
TEST_F(HarnessOnTheConsole, TellsTheKeyWaitFromSleep) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(term().waits_for_key());
    Terminal t(5, 40);
    ASSERT_TRUE(t.start(sh("printf ready; exec sleep 5")));
    ASSERT_TRUE(t.wait_text("ready"));
    EXPECT_FALSE(t.waits_for_key());
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(t.wait_idle(50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 50ms);
}

TEST(Harness, AProgramStillRunningIsEndedWithItsTerminal) {
    pid_t pid;
    {
        Terminal t(5, 40);
        ASSERT_TRUE(t.start(sh("printf ready; exec sleep 30")));
        ASSERT_TRUE(t.wait_text("ready"));
        pid = t.pid();
        EXPECT_TRUE(t.running());
    }
    EXPECT_NE(::kill(pid, 0), 0);  // reaped, gone
}

}  // namespace
