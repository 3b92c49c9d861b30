// Screen harness: runs a program in a pseudo-terminal and reads back what an
// operator would see, through libvterm.
//
// Usage in a console test (see ConsoleTest at the bottom):
//
//   class BootPageTest : public screen::ConsoleTest {};
//   TEST_F(BootPageTest, EnterStepsThePort) {
//       opts.bmc_version = "2.1.0\n";            // TreeOptions, before the tree is built
//       board().write("/etc/x", "y\n");          // builds the tree now, then changes a file
//       ASSERT_TRUE(start(24, 100));             // tolvane on a 24x100 terminal, first frame drawn
//       term().key(screen::Key::Right);
//       ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 1\n"));
//       term().key(screen::Key::Down);
//       term().key(screen::Key::Enter);
//       ASSERT_TRUE(term().wait_text("sata0:1"));
//       EXPECT_EQ(term().cell(4, 25).bg, 7);     // palette index; -1 is the default colour
//       ASSERT_TRUE(term().wait_idle());         // before asserting that nothing changed
//       term().fkey(6);
//       ASSERT_TRUE(wait_exit());                // the stand-in poweroff exits 0
//       EXPECT_NE(effects().find("exec /sbin/poweroff \"poweroff\""), std::string::npos);
//   }
//
// Waits return a testing::AssertionResult that carries the screen, with its
// attributes marked, when they time out; a failed test also prints the last
// screen at its end. Never sleep in a test: wait for a condition.
// Network tests run the console in a namespace: start(24, 80, {"ip", "netns", "exec", ns}).
// A serial line: serial.sizeless = true before start() (the pseudo-terminal
// reports 0x0 while the screen keeps its size; serial.answers = false drops
// libvterm's replies such as the cursor position report); another terminal
// type: env {"TERM=vt100"}.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "sim/board_tree.h"

struct VTerm;
struct VTermScreen;

namespace screen {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

inline constexpr Millis kDefaultTimeout = 5000ms;

enum class Key {
    Enter, Tab, Backspace, Escape,
    Up, Down, Left, Right,
    Insert, Delete, Home, End, PageUp, PageDown,
};

enum Mod : unsigned { kNoMod = 0, kShift = 1, kAlt = 2, kCtrl = 4 };

struct Cell {
    std::string text;   // UTF-8; " " for an empty cell
    int fg = -1;        // palette index, -1 default colour, -2 direct RGB
    int bg = -1;
    bool reverse = false;
    bool bold = false;
    bool underline = false;
    bool blink = false;
};

struct Pos {
    int row = 0;
    int col = 0;
};

// One chunk of program output and when it arrived.
struct Chunk {
    std::chrono::steady_clock::time_point at;
    std::string bytes;
};

class Terminal {
public:
    Terminal(int rows, int cols);
    ~Terminal();  // kills a program still running
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    // Before start(): the pseudo-terminal reports 0 rows and 0 columns, as a
    // serial line does, while the emulated screen keeps its size; with
    // answers false, what libvterm says back on its own (the reply to a
    // cursor position request, ESC[6n) never reaches the program; keys do.
    void set_sizeless(bool answers = true);
    // The size the pseudo-terminal reports now (rows, cols).
    std::pair<int, int> pty_size() const;

    // Start argv (argv[0] a path or a name found on PATH) with exactly this
    // environment: TERM=xterm-256color, LANG=C.UTF-8, TZ=UTC, ESCDELAY=25,
    // PATH, HOME, the sanitizer options of the caller, then env (NAME=value,
    // later entries win). LINES and COLUMNS are never set.
    bool start(const std::vector<std::string> &argv,
               const std::vector<std::string> &env = {});

    // Keys, sent through libvterm's own keyboard encoder (what xterm sends).
    // Enter and Tab (Shift-Tab too) come as a person's would: only once the
    // program has read the keys before them, and a moment later.
    void key(Key k, unsigned mods = kNoMod);
    void fkey(int n, unsigned mods = kNoMod);   // F1..F12
    void keypad(int digit);                     // the numeric keypad's 0..9
    void text(std::string_view utf8);           // typed characters
    void ctrl(char c);                          // Ctrl+letter
    // Straight to the program in one write; one that starts with Enter or
    // Tab is paced as key() paces them.
    void send_raw(std::string_view bytes);
    // Bytes that reach the screen past the program, as a kernel message or
    // line noise on a serial console does.
    void noise(std::string_view bytes);

    // Read what is available now, or wait at most `wait` for output.
    void pump(Millis wait = 0ms);

    // Wait until pred holds, pumping output; the screen is checked after
    // every read.
    testing::AssertionResult wait_for(const std::function<bool()> &pred,
                                      Millis timeout = kDefaultTimeout,
                                      std::string_view what = "condition");
    testing::AssertionResult wait_text(std::string_view s, Millis timeout = kDefaultTimeout);
    testing::AssertionResult wait_row(int row, std::string_view s, Millis timeout = kDefaultTimeout);
    testing::AssertionResult wait_gone(std::string_view s, Millis timeout = kDefaultTimeout);
    // Wait until no output has arrived for `quiet`.
    testing::AssertionResult wait_quiet(Millis quiet = 100ms, Millis timeout = kDefaultTimeout);
    // Wait until the program waits for its next key with everything sent
    // read and its output taken in; where that cannot be told (another
    // program, or one busy without a word), until no output for `quiet`.
    testing::AssertionResult wait_idle(Millis quiet = 100ms, Millis timeout = kDefaultTimeout);
    // Whether the program sits in its key wait (a poll of the line longer
    // than an escape sequence's tail) with nothing unread on the line.
    bool waits_for_key() const;
    // A descriptor that also ends a pump when readable (drained by it), such
    // as an inotify on the folders of the files a test waits on; -1 for none.
    void wake_on(int fd) { wake_fd_ = fd; }
    // Wait for the program to end (its output drained); then exit_status()
    // and term_signal() tell how.
    testing::AssertionResult wait_exit(Millis timeout = kDefaultTimeout);

    bool running() const { return pid_ > 0 && !exited_; }
    pid_t pid() const { return pid_; }
    // Exit status, or -1 while running or when a signal ended it.
    int exit_status() const;
    int term_signal() const;

    // The screen.
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    Cell cell(int row, int col) const;
    std::string row_text(int row) const;       // full width, blanks kept
    std::string row_trimmed(int row) const;    // trailing blanks cut
    std::string screen_text() const;           // rows joined with '\n'
    bool contains(std::string_view s) const;
    // Row and column of the first occurrence of s, if on screen.
    std::optional<Pos> find(std::string_view s) const;
    Pos cursor() const;
    bool cursor_visible() const { return cursor_visible_; }
    bool alt_screen() const { return alt_screen_; }

    // Output accounting.
    std::size_t bytes_read() const { return total_bytes_; }
    const std::string &output() const { return output_; }
    const std::vector<Chunk> &chunks() const { return chunks_; }

    // Resize the terminal: the program gets SIGWINCH. On a sizeless terminal
    // only the screen changes, as when the window of a serial line grows.
    void resize(int rows, int cols);

    // The screen with attributes marked: under each row a line of letters,
    // one per cell ('.' = default), and a legend of what each letter means.
    std::string dump() const;

private:
    void pace();
    int unread() const;  // bytes sent the program has not read yet
    void feed(const char *p, std::size_t n);
    void write_out(const char *p, std::size_t n);
    void reap(bool block);
    friend struct Callbacks;

    int rows_;
    int cols_;
    VTerm *vt_ = nullptr;
    VTermScreen *vs_ = nullptr;
    int master_ = -1;
    int wake_fd_ = -1;
    pid_t pid_ = -1;
    bool exited_ = false;
    bool eof_ = false;
    int wstatus_ = 0;
    bool cursor_visible_ = true;
    bool alt_screen_ = false;
    bool sizeless_ = false;
    bool answers_ = true;
    bool feeding_ = false;
    std::size_t total_bytes_ = 0;
    std::string output_;
    std::vector<Chunk> chunks_;
    std::chrono::steady_clock::time_point last_output_;
};

// A fresh board tree for each test and the console started on it.
class ConsoleTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Tree options: change them before board() or start() builds the tree.
    sim::TreeOptions opts;
    // The line the console runs on: change before start() or spawn().
    struct Line {
        bool sizeless = false;   // the pseudo-terminal reports 0x0
        bool answers = true;     // libvterm answers ESC[6n
    } serial;

    // The tree, built on first use with opts.
    sim::BoardTree &board();
    const std::string &root() const { return root_; }

    // Start tolvane on a rows x cols terminal (prefix: e.g. ip netns exec NS)
    // with BOARD_ROOT set and env added; waits until the first frame is up
    // (the tab bar drawn and the output quiet).
    testing::AssertionResult start(int rows = 24, int cols = 80,
                                   const std::vector<std::string> &prefix = {},
                                   const std::vector<std::string> &env = {});
    // Only spawn; wait for nothing.
    bool spawn(int rows = 24, int cols = 80, const std::vector<std::string> &prefix = {},
               const std::vector<std::string> &env = {});
    Terminal &term() { return *term_; }
    bool started() const { return term_ != nullptr; }

    // F6 and wait for the console to end with the stand-in's status 0.
    testing::AssertionResult leave();
    testing::AssertionResult wait_exit(Millis timeout = kDefaultTimeout);

    // The board clock `seconds` past the host's, or that much further on: the
    // console's next tick sees the time gone, with no real wait.
    void jump_clock(long long seconds) { board().set_clock_offset(clock_offset_ = seconds); }
    void pass_clock(long long seconds) { jump_clock(clock_offset_ + seconds); }

    // Files of the board.
    std::string log() const;                 // /var/log/tolvane.log
    std::vector<std::string> log_lines() const;
    int log_count(std::string_view line) const;   // lines equal to line (with or without "\n")
    int log_count_prefix(std::string_view prefix) const;
    // Wait until the log contains s (pumping the terminal meanwhile).
    testing::AssertionResult wait_log(std::string_view s, Millis timeout = kDefaultTimeout);
    std::string effects() const;             // /sim/effects.log
    std::vector<std::string> effect_lines() const;
    std::string state_file() const;          // /var/run/tolvane/recovery.state
    bool state_exists() const;
    void write_state(std::string_view content);
    std::vector<std::uint8_t> eeprom() const;
    // What quellet -q prints on this board ("-g c0": the MAC, as a script
    // reads it back).
    std::string quellet(const std::string &args) const;

    static const char *tolvane_path();

private:
    std::string root_;
    long long clock_offset_ = 0;
    std::optional<sim::BoardTree> tree_;
    std::optional<Terminal> term_storage_;
    Terminal *term_ = nullptr;
    int watch_fd_ = -1;   // inotify on the log's and the effects' folders
};

}  // namespace screen
