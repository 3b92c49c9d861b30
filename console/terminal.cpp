#include "console/terminal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <ncurses.h>
#include <poll.h>
#include <string_view>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "console/log.h"

namespace {

constexpr int kAnswerWaitMs = 500;
// Save the cursor, go to the far corner (the terminal stops at its last
// row and column), ask where the cursor is, put it back.
constexpr std::string_view kSizeRequest = "\0337\033[999;999H\033[6n\0338";

// Set when the line reported no size at start, or one a console set there:
// only such a terminal is asked.
bool sizeless;
// A size the console sets on a line carries one pixel by one in the pixel
// fields. No terminal is one pixel wide, and a program that divides pixels
// by cells gets 0, the usual "unknown". A pseudo-terminal's owner or the
// kernel setting a size writes all four fields, so the mark goes with it;
// stty rows/cols keeps it, and that line is asked again too.
constexpr unsigned short kOurPixels = 1;
// No person types two keys within this: an Enter, Tab or Shift-Tab that
// follows the byte before it sooner came in a paste or a terminal's answer.
constexpr long long kBurstMs = 10;
// When the last byte was read, and whether more were waiting then.
long long last_byte_ms = -1000;
bool more_waiting;
// Between "\E[200~" and "\E[201~": a bracketed paste, which is only text.
bool in_paste;
// Set while a size request went unanswered: a report that comes late is
// still the answer, never a key.
bool query_outstanding;
// One key read past the end of an escape sequence, to be read next.
int pending = ERR;
// What the size came from, for the log once ncurses knows the size.
const char *size_source = "the line";

// Bytes read while waiting for an answer that were not the answer: typed
// keys, to be read before anything else.
std::array<unsigned char, 128> kept;
std::size_t kept_len;
std::size_t kept_at;

void keep(const unsigned char *p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (kept_len < kept.size()) {
            kept[kept_len++] = p[i];
        } else {
            console_log("E[TERMINAL]: Input buffer full, key dropped\n");
        }
    }
}

long long now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000LL + ts.tv_nsec / 1000000L;
}

bool write_all(std::string_view s) {
    while (!s.empty()) {
        ssize_t n = write(STDOUT_FILENO, s.data(), s.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        s.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Send the request and read until the report "ESC [ rows ; cols R" comes,
// or half a second has passed. Anything else read is kept as input, a
// report that does not fit included: xterm sends Ctrl-F3 as ESC[1;5R, and
// no real terminal has a single row.
bool ask_size(int &rows, int &cols) {
    termios saved{};
    bool have_tty = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (have_tty) {
        // Bytes must come one by one and never be echoed onto the screen.
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    bool found = false;
    if (write_all(kSizeRequest)) {
        std::array<unsigned char, 16> held{};  // a report being read
        std::size_t held_len = 0;
        int r = 0, c = 0;
        int state = 0;  // 0 outside a report, 1 after ESC, 2 rows, 3 columns
        const long long deadline = now_ms() + kAnswerWaitMs;
        while (!found) {
            long long left = deadline - now_ms();
            if (left <= 0) break;
            pollfd pfd = {STDIN_FILENO, POLLIN, 0};
            int p = poll(&pfd, 1, static_cast<int>(left));
            if (p < 0 && errno == EINTR) continue;
            if (p <= 0) break;
            unsigned char ch = 0;
            ssize_t n = read(STDIN_FILENO, &ch, 1);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) break;
            bool digit = ch >= '0' && ch <= '9';
            bool taken = true;
            if (state == 1) {
                taken = ch == '[';
                if (taken) { state = 2; r = c = 0; }
            } else if (state == 2) {
                if (digit && r < 10000) r = r * 10 + (ch - '0');
                else if (ch == ';') state = 3;
                else taken = false;
            } else if (state == 3) {
                if (digit && c < 10000) c = c * 10 + (ch - '0');
                else if (ch == 'R' && r > 1 && c > 1 && r <= 999 && c <= 999) found = true;
                else taken = false;
            } else {
                taken = false;
            }
            if (taken && held_len < held.size()) {
                held[held_len++] = ch;
                continue;
            }
            // Not a report after all: what was held is input, and an ESC
            // may start the report itself.
            keep(held.data(), held_len);
            held_len = 0;
            state = 0;
            if (ch == 0x1b) {
                held[held_len++] = ch;
                state = 1;
            } else {
                keep(&ch, 1);
            }
        }
        query_outstanding = !found;
        if (found) {
            rows = r;
            cols = c;
        } else {
            keep(held.data(), held_len);  // a report cut short by the timeout
        }
    }
    if (have_tty) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return found;
}

// Tell the line the size, so ncurses and the programs started later read it
// there. The kernel signals the resize to the console itself: ncurses would
// then report it a second time, so the signal is ignored meanwhile.
void set_line_size(int rows, int cols) {
    winsize ws{};
    ws.ws_row = static_cast<unsigned short>(rows);
    ws.ws_col = static_cast<unsigned short>(cols);
    ws.ws_xpixel = ws.ws_ypixel = kOurPixels;
    struct sigaction ignore{}, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGWINCH, &ignore, &old);
    if (ioctl(STDOUT_FILENO, TIOCSWINSZ, &ws) != 0)
        console_log("E[TERMINAL]: Cannot set the size on the line: %s\n", std::strerror(errno));
    sigaction(SIGWINCH, &old, nullptr);
}

struct ExtraKey {
    const char *seq;
    int code;
};
// Enter, Backspace and Delete as terminals send them besides the plain
// bytes; a plain ^H is mapped in plain_key, and the form reads DEL as
// Backspace (page_form_key).
constexpr std::array<ExtraKey, 25> kExtraKeys = {{
    {"\033[17~", KEY_F(6)},  {"\033[21~", KEY_F(10)},   // xterm, VT220, Linux console
    {"\033Ou", KEY_F(6)},    {"\033Ox", KEY_F(10)},     // VT100's, where terminfo has none
    {"\033[A", KEY_UP},      {"\033[B", KEY_DOWN},      // cursor keys, normal mode
    {"\033[C", KEY_RIGHT},   {"\033[D", KEY_LEFT},
    {"\033OA", KEY_UP},      {"\033OB", KEY_DOWN},      // cursor keys, application mode
    {"\033OC", KEY_RIGHT},   {"\033OD", KEY_LEFT},
    {"\033OM", KEY_ENTER},   {"\033[3~", KEY_DC},       // keypad Enter, Delete
    {"\033[2~", KEY_IC},     {"\033[5~", KEY_PPAGE},
    {"\033[6~", KEY_NPAGE},  {"\033[1~", KEY_HOME},
    {"\033[4~", KEY_END},    {"\033[H", KEY_HOME},
    {"\033[F", KEY_END},     {"\033OH", KEY_HOME},
    {"\033OF", KEY_END},     {"\033[P", KEY_DC},
    {"\033[Z", KEY_BTAB},                              // Shift-Tab
}};

int plain_key(int key) {
    if (key == KEY_ENTER || key == '\r') return '\n';
    if (key == '\b') return KEY_BACKSPACE;
    return key;
}

// The next key from the kept bytes: the sequence ncurses knows that they
// start with, or one byte. key_defined is -1 for the start of a longer
// sequence and 0 for no sequence.
int kept_key() {
    std::size_t left = kept_len - kept_at;
    std::array<char, 16> seq{};
    std::size_t longest = std::min(left, seq.size() - 1);
    for (std::size_t n = 1; n <= longest; ++n) {
        seq[n - 1] = static_cast<char>(kept[kept_at + n - 1]);
        seq[n] = '\0';
        int code = key_defined(seq.data());
        if (code == 0) break;
        if (code > 0) {
            kept_at += n;
            return code;
        }
    }
    return kept[kept_at++];
}

void drop_kept_when_read() {
    if (kept_at == kept_len) kept_at = kept_len = 0;
}

// Set when a read handed out a byte of the line, not a timeout or the
// resize ncurses reports by itself.
bool got_byte;

// A key as ncurses decodes it: the pushed-back one, the kept bytes, the line.
int next_key() {
    if (pending != ERR) {
        int key = pending;
        pending = ERR;
        got_byte = true;
        return key;
    }
    if (kept_at < kept_len) {
        int key = kept_key();
        drop_kept_when_read();
        got_byte = true;
        return key;
    }
    int key = wgetch(stdscr);
    got_byte = key != ERR && key != KEY_RESIZE;
    return key;
}

// Bytes already there: pushed back, kept, or unread on the line.
bool input_waiting() {
    int n = 0;
    return pending != ERR || kept_at < kept_len || (ioctl(STDIN_FILENO, FIONREAD, &n) == 0 && n > 0);
}

// One byte of an escape sequence's tail: kept bytes first, then the line
// for as long as ncurses waits within a sequence. ERR when none came.
int tail_byte() {
    if (kept_at < kept_len) {
        int b = kept[kept_at++];
        drop_kept_when_read();
        return b;
    }
    int delay = wgetdelay(stdscr);
    wtimeout(stdscr, get_escdelay());
    int b = wgetch(stdscr);
    wtimeout(stdscr, delay);
    if (b != ERR && b != KEY_RESIZE) got_byte = true;
    return b;
}

constexpr int kDropped = -2;

// "ESC [ rows ; cols R": a cursor position report, the answer to a size
// request. Only sizes a terminal can have count.
bool position_report(std::string_view seq, int &rows, int &cols) {
    // No substr: it may throw, and the board carries no C++ runtime.
    if (seq.size() < 6 || !seq.starts_with("\033[") || !seq.ends_with('R')) return false;
    rows = cols = 0;
    int *n = &rows;
    for (char ch : std::string_view(seq.data() + 2, seq.size() - 3)) {
        if (ch == ';' && n == &rows) n = &cols;
        else if (ch >= '0' && ch <= '9' && *n < 10000) *n = *n * 10 + (ch - '0');
        else return false;
    }
    return n == &cols && rows > 1 && cols > 1 && rows <= 999 && cols <= 999;
}

void log_unknown(std::string_view seq) {
    // Only bytes 0x20-0x7e follow the ESC, which is shown as terminfo does.
    console_log("L[TERMINAL]: Unknown key \\E%.*s dropped\n", static_cast<int>(seq.size() - 1),
                seq.data() + 1);
}

// A late answer to a size request: the size it gives is taken as an answer
// in time would have been.
int take_late_answer(int rows, int cols) {
    query_outstanding = false;
    if (rows == LINES && cols == COLS) return kDropped;
    console_log("L[TERMINAL]: Size %ix%i from the terminal's answer\n", cols, rows);
    set_line_size(rows, cols);
    resize_term(rows, cols);
    return KEY_RESIZE;
}

// After an ESC that starts no key ncurses knows: a CSI sequence (ESC [,
// parameters and intermediates, one final byte 0x40-0x7e) or an SS3 one
// (ESC O and one byte) is read whole and dropped, so nothing of it is ever
// typed; a late cursor position report may still be the size. Anything else
// leaves the ESC a key of its own.
int escape_tail() {
    std::array<char, 32> seq{};
    std::size_t len = 0;
    seq[len++] = '\033';
    int b = tail_byte();
    if (b != '[' && b != 'O') {
        pending = b;
        return 0x1b;
    }
    seq[len++] = static_cast<char>(b);
    const bool csi = b == '[';
    for (;;) {
        b = tail_byte();
        if (b == ERR) break;
        if (b < 0x20 || b > 0x7e) {
            pending = b;  // not part of it: a key of its own
            break;
        }
        if (len < seq.size()) seq[len++] = static_cast<char>(b);
        // The final byte; the Linux console's F1-F5 are ESC [ [ A to E.
        if (!csi || (b >= 0x40 && !(len == 3 && b == '['))) break;
    }
    std::string_view text(seq.data(), len);
    if (text == "\033[M") {
        // An X10 mouse report: three bytes of button and position follow,
        // any of them above 0x7e. Read, never typed.
        for (int i = 0; i < 3 && tail_byte() != ERR; ++i) {
        }
    }
    if (text == "\033[200~" || text == "\033[201~") {
        in_paste = text[4] == '0';
        console_log("L[TERMINAL]: Paste %s\n", in_paste ? "begins" : "ends");
        return kDropped;
    }
    int rows = 0, cols = 0;
    if (position_report(text, rows, cols)) {
        if (query_outstanding) return take_late_answer(rows, cols);
        console_log("L[TERMINAL]: Position report dropped\n");
        return kDropped;
    }
    log_unknown(text);
    return kDropped;
}

}  // namespace

void terminal_query_size() {
    winsize ws{};
    if (!isatty(STDIN_FILENO) || ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0) return;
    const bool ours = ws.ws_xpixel == kOurPixels && ws.ws_ypixel == kOurPixels;
    // A size the kernel or a pseudo-terminal's owner reports is the window's.
    // One a console set is what the terminal answered then: the window may
    // have changed since, so the terminal is asked again.
    if (ws.ws_row != 0 && ws.ws_col != 0 && !ours) return;
    sizeless = true;
    int rows = 0, cols = 0;
    long long start = now_ms();
    if (ask_size(rows, cols)) {
        set_line_size(rows, cols);
        size_source = "the terminal's answer";
    } else if (ws.ws_row != 0 && ws.ws_col != 0) {
        size_source = "the line, set by an earlier console (no answer)";
    } else {
        size_source = "terminfo (no answer)";
    }
    console_log("L[TERMINAL]: Size query took %lli ms\n", now_ms() - start);
}

void terminal_define_keys() {
    console_log("L[TERMINAL]: Size %ix%i from %s\n", COLS, LINES, size_source);
    // Mouse reports are read whole and dropped, as other sequences no key
    // is bound to: the console asks for none, yet a terminal left in a mouse
    // mode sends them, and a KEY_MOUSE would leave its tail to be typed.
    define_key(nullptr, KEY_MOUSE);
    for (const ExtraKey &k : kExtraKeys) {
        // A sequence terminfo binds to any key, or that starts a longer one,
        // keeps its meaning: xterm's "\EOx" is the keypad's 8, not F10.
        if (key_defined(k.seq) == 0) define_key(k.seq, k.code);
    }
}

int terminal_getch() {
    for (;;) {
        got_byte = false;
        int key = next_key();
        // Within a few ms of the byte before it, or already there when that
        // one was read: the same burst.
        const bool burst = more_waiting || now_ms() - last_byte_ms < kBurstMs;
        if (key == 0x1b) key = escape_tail();
        if (got_byte) {
            last_byte_ms = now_ms();
            more_waiting = input_waiting();
        }
        if (key == ERR) {
            // Half a second of silence: nothing is waiting any more, and a
            // paste whose end mark was lost is over, or no key would ever
            // act again.
            more_waiting = false;
            if (in_paste) console_log("L[TERMINAL]: Paste ends unmarked\n");
            in_paste = false;
            return ERR;
        }
        if (key == kDropped) continue;
        key = plain_key(key);
        // A paste is text: what is no printable byte moves, presses and
        // applies nothing. A resize is no byte of it.
        if (in_paste && key != KEY_RESIZE && !(key >= 0x20 && key < 0x7f)) {
            console_log("L[TERMINAL]: Key 0x%08x in a paste dropped\n", static_cast<unsigned>(key));
            continue;
        }
        if (burst && (key == '\n' || key == '\t' || key == KEY_BTAB)) {
            console_log("L[TERMINAL]: %s in a burst dropped\n",
                        key == '\n' ? "Enter" : key == '\t' ? "Tab" : "Shift-Tab");
            continue;
        }
        return key;
    }
}

void terminal_modes_on() {
    // The keypad-transmit string, or an earlier program, or the emulator's
    // own setting, may leave the numeric keypad in application mode, where
    // its digits send ESC O p ... ESC O y: the Linux console's and vt100's
    // F6 and F10 are among them, so keypad 5 would power the board off.
    // Numeric mode under every TERM; the cursor keys keep theirs. keypad()
    // flushed its string already, so this one follows it on the line.
    // Bracketed paste too: a terminal that knows it marks a paste, and one
    // that does not ignores the private mode.
    (void)write_all("\033>\033[?2004h");
}

void terminal_modes_off() { (void)write_all("\033[?2004l"); }

void terminal_flush_input() {
    flushinp();
    kept_at = kept_len = 0;
    more_waiting = false;  // what was waiting is gone: the next key is typed anew
    pending = ERR;
}

int terminal_refresh() {
    int rows = 0, cols = 0;
    const bool answered = sizeless && ask_size(rows, cols);
    // Whatever reset the terminal meanwhile, the size query included: the
    // keypad and pastes as at start.
    terminal_modes_on();
    if (answered) {
        last_byte_ms = now_ms();  // an Enter right behind the answer is no key
        if (rows != LINES || cols != COLS) {
            console_log("L[TERMINAL]: Size %ix%i from the terminal's answer\n", cols, rows);
            set_line_size(rows, cols);
            resize_term(rows, cols);
            return KEY_RESIZE;
        }
    }
    clearok(curscr, TRUE);
    return ERR;
}
