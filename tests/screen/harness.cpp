#include "tests/screen/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include <vterm.h>

namespace screen {

namespace {

using Clock = std::chrono::steady_clock;

std::string utf8(uint32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

std::vector<uint32_t> decode_utf8(std::string_view s) {
    std::vector<uint32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < n && i + k < s.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(c);
        i += static_cast<std::size_t>(n);
    }
    return out;
}

int colour_index(const VTermColor &c, bool fg) {
    if (fg ? VTERM_COLOR_IS_DEFAULT_FG(&c) : VTERM_COLOR_IS_DEFAULT_BG(&c)) return -1;
    if (VTERM_COLOR_IS_INDEXED(&c)) return c.indexed.idx;
    return -2;
}

VTermKey vterm_key(Key k) {
    switch (k) {
    case Key::Enter: return VTERM_KEY_ENTER;
    case Key::Tab: return VTERM_KEY_TAB;
    case Key::Backspace: return VTERM_KEY_BACKSPACE;
    case Key::Escape: return VTERM_KEY_ESCAPE;
    case Key::Up: return VTERM_KEY_UP;
    case Key::Down: return VTERM_KEY_DOWN;
    case Key::Left: return VTERM_KEY_LEFT;
    case Key::Right: return VTERM_KEY_RIGHT;
    case Key::Insert: return VTERM_KEY_INS;
    case Key::Delete: return VTERM_KEY_DEL;
    case Key::Home: return VTERM_KEY_HOME;
    case Key::End: return VTERM_KEY_END;
    case Key::PageUp: return VTERM_KEY_PAGEUP;
    case Key::PageDown: return VTERM_KEY_PAGEDOWN;
    }
    return VTERM_KEY_NONE;
}

}  // namespace

struct Callbacks {
    static int settermprop(VTermProp prop, VTermValue *val, void *user) {
        auto *t = static_cast<Terminal *>(user);
        if (prop == VTERM_PROP_CURSORVISIBLE) t->cursor_visible_ = val->boolean != 0;
        if (prop == VTERM_PROP_ALTSCREEN) t->alt_screen_ = val->boolean != 0;
        return 1;
    }
    static void output(const char *s, std::size_t len, void *user) {
        auto *t = static_cast<Terminal *>(user);
        // While program output is fed in, libvterm's output is a reply.
        if (t->feeding_ && !t->answers_) return;
        t->write_out(s, len);
    }
};

namespace {
const VTermScreenCallbacks kScreenCallbacks = {
    .damage = nullptr,
    .moverect = nullptr,
    .movecursor = nullptr,
    .settermprop = Callbacks::settermprop,
    .bell = nullptr,
    .resize = nullptr,
    .sb_pushline = nullptr,
    .sb_popline = nullptr,
};
}  // namespace

Terminal::Terminal(int rows, int cols) : rows_(rows), cols_(cols) {
    vt_ = vterm_new(rows, cols);
    vterm_set_utf8(vt_, 1);
    vs_ = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(vs_, &kScreenCallbacks, this);
    vterm_screen_enable_altscreen(vs_, 1);
    vterm_screen_reset(vs_, 1);
    vterm_output_set_callback(vt_, Callbacks::output, this);
    last_output_ = Clock::now();
}

Terminal::~Terminal() {
    if (running()) {
        // The child is a session leader (forkpty): end its group, then reap.
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        int st = 0;
        while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
        }
    }
    if (master_ >= 0) ::close(master_);
    vterm_free(vt_);
}

bool Terminal::start(const std::vector<std::string> &argv, const std::vector<std::string> &env) {
    if (pid_ > 0 || argv.empty()) return false;
    std::map<std::string, std::string> vars;
    auto inherit = [&](const char *name, const char *fallback) {
        const char *v = std::getenv(name);
        if (v != nullptr) vars[name] = v;
        else if (fallback != nullptr) vars[name] = fallback;
    };
    inherit("PATH", "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin");
    inherit("HOME", "/");
    for (const char *n : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TMPDIR"}) inherit(n, nullptr);
    vars["TERM"] = "xterm-256color";
    vars["LANG"] = "C.UTF-8";
    vars["TZ"] = "UTC";
    vars["ESCDELAY"] = "25";
    for (const std::string &e : env) {
        auto eq = e.find('=');
        if (eq == std::string::npos) vars.erase(e);
        else vars[e.substr(0, eq)] = e.substr(eq + 1);
    }
    vars.erase("LINES");
    vars.erase("COLUMNS");

    std::vector<std::string> env_strings;
    for (auto &[k, v] : vars) env_strings.push_back(k + "=" + v);
    std::vector<char *> envp;
    for (auto &s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char *> argp;
    for (auto &s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    struct winsize ws {};
    ws.ws_row = static_cast<unsigned short>(sizeless_ ? 0 : rows_);
    ws.ws_col = static_cast<unsigned short>(sizeless_ ? 0 : cols_);
    pid_t pid = ::forkpty(&master_, nullptr, nullptr, &ws);
    if (pid < 0) return false;
    if (pid == 0) {
        ::execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    pid_ = pid;
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    last_output_ = Clock::now();
    return true;
}

void Terminal::write_out(const char *p, std::size_t n) {
    while (n > 0 && master_ >= 0) {
        ssize_t w = ::write(master_, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
        } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            // The program is not reading; let it catch up.
            pump(5ms);
        } else {
            return;
        }
    }
}

void Terminal::feed(const char *p, std::size_t n) {
    total_bytes_ += n;
    output_.append(p, n);
    last_output_ = Clock::now();
    chunks_.push_back({last_output_, std::string(p, n)});
    feeding_ = true;
    vterm_input_write(vt_, p, n);
    feeding_ = false;
}

void Terminal::reap(bool block) {
    if (pid_ <= 0 || exited_) return;
    int st = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &st, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid_) {
        exited_ = true;
        wstatus_ = st;
    }
}

void Terminal::pump(Millis wait) {
    if (master_ < 0) return;
    if (!eof_) {
        struct pollfd pfd[2] = {{master_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        int r = ::poll(pfd, wake_fd_ >= 0 ? 2 : 1, static_cast<int>(wait.count()));
        if (r > 0 && wake_fd_ >= 0 && (pfd[1].revents & POLLIN) != 0) {
            char events[4096];
            while (::read(wake_fd_, events, sizeof events) > 0) {
            }
        }
        if (r > 0 && pfd[0].revents != 0) {
            char buf[65536];
            for (;;) {
                ssize_t n = ::read(master_, buf, sizeof buf);
                if (n > 0) {
                    feed(buf, static_cast<std::size_t>(n));
                    continue;
                }
                if (n < 0 && errno == EINTR) continue;
                // EIO: every holder of the slave side is gone.
                if (n == 0 || (n < 0 && errno != EAGAIN)) eof_ = true;
                break;
            }
        }
    } else if (!exited_ && wait.count() > 0) {
        ::usleep(static_cast<useconds_t>(std::min<long>(wait.count(), 5) * 1000));
    }
    reap(false);
}

testing::AssertionResult Terminal::wait_for(const std::function<bool()> &pred, Millis timeout,
                                             std::string_view what) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pump(0ms);
        if (pred()) {
            // A frame arrives in several reads: once the condition holds,
            // take in the rest, so the checks after a wait see whole frames.
            (void)wait_idle(10ms, 200ms);
            return testing::AssertionSuccess();
        }
        auto now = Clock::now();
        // Nothing can change once the program is gone and its output read.
        if (now >= deadline || (exited_ && eof_)) break;
        auto left = std::chrono::duration_cast<Millis>(deadline - now);
        pump(std::min<Millis>(left + 1ms, 5ms));
    }
    if (pred()) return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "timed out after " << timeout.count() << " ms waiting for " << what
           << (exited_ ? " (the program has ended)" : "") << "\n"
           << dump();
}

testing::AssertionResult Terminal::wait_text(std::string_view s, Millis timeout) {
    std::string what = "text \"" + std::string(s) + "\" on screen";
    return wait_for([&] { return contains(s); }, timeout, what);
}

testing::AssertionResult Terminal::wait_row(int row, std::string_view s, Millis timeout) {
    std::string what = "text \"" + std::string(s) + "\" on row " + std::to_string(row);
    return wait_for([&] { return row_text(row).find(s) != std::string::npos; }, timeout, what);
}

testing::AssertionResult Terminal::wait_gone(std::string_view s, Millis timeout) {
    std::string what = "text \"" + std::string(s) + "\" to leave the screen";
    return wait_for([&] { return !contains(s); }, timeout, what);
}

testing::AssertionResult Terminal::wait_quiet(Millis quiet, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pump(0ms);
        auto now = Clock::now();
        auto silent = std::chrono::duration_cast<Millis>(now - last_output_);
        if (silent >= quiet || (exited_ && eof_)) return testing::AssertionSuccess();
        if (now >= deadline) break;
        auto left = std::chrono::duration_cast<Millis>(deadline - now);
        pump(std::max<Millis>(1ms, std::min(left, quiet - silent)));
    }
    return testing::AssertionFailure() << "output never quiet for " << quiet.count() << " ms within "
                                       << timeout.count() << " ms\n"
                                       << dump();
}

bool Terminal::waits_for_key() const {
    if (!running() || master_ < 0) return false;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/syscall", static_cast<int>(pid_));
    FILE *f = std::fopen(path, "r");
    if (f == nullptr) return false;
    long nr = -1;
    unsigned long fds = 0, nfds = 0, timeout = 0;
    int got = std::fscanf(f, "%ld %lx %lx %lx", &nr, &fds, &nfds, &timeout);
    std::fclose(f);
#ifdef SYS_poll
    const bool in_poll = nr == SYS_poll;
#else
    const bool in_poll = false;
#endif
    // ncurses waits for a key in poll(); 500 ms in the console, an escape
    // sequence's tail only ESCDELAY (25 ms), a look-ahead 0.
    const int ms = static_cast<int>(static_cast<unsigned int>(timeout));
    return got == 4 && in_poll && nfds == 1 && (ms < 0 || ms >= 100) && unread() == 0;
}

int Terminal::unread() const {
    const char *slave = master_ >= 0 ? ::ptsname(master_) : nullptr;
    int fd = slave != nullptr ? ::open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (fd < 0) return 0;
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) != 0) n = 0;
    ::close(fd);
    return n;
}

testing::AssertionResult Terminal::wait_idle(Millis quiet, Millis timeout) {
    // Bytes written just before the wait, or keys just sent, may still be
    // passing through the pseudo-terminal: the wait must hold that long with
    // nothing arriving.
    constexpr Millis kInFlight = 3ms;
    const auto since = Clock::now();
    const auto deadline = since + timeout;
    auto pump_until = [&](Clock::time_point t) {
        for (auto now = Clock::now(); now < t && !(exited_ && eof_); now = Clock::now())
            pump(std::chrono::duration_cast<Millis>(t - now) + 1ms);
    };
    for (auto now = since; now < deadline; now = Clock::now()) {
        pump(0ms);
        if (exited_ && eof_) return testing::AssertionSuccess();
        if (waits_for_key()) {
            const std::size_t before = total_bytes_;
            pump_until(Clock::now() + kInFlight);
            if (total_bytes_ == before && waits_for_key()) return testing::AssertionSuccess();
            continue;
        }
        if (Clock::now() - std::max(last_output_, since) >= quiet) return testing::AssertionSuccess();
        pump(1ms);
    }
    return testing::AssertionFailure() << "the program never waited for a key within " << timeout.count()
                                       << " ms\n"
                                       << dump();
}

testing::AssertionResult Terminal::wait_exit(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!exited_ || !eof_) {
        if (exited_) {
            // Ended: read what is left; a slave held by nobody reads as EIO.
            pump(0ms);
            struct pollfd pfd = {master_, POLLIN, 0};
            if (!eof_ && ::poll(&pfd, 1, 0) <= 0) break;
            continue;
        }
        auto now = Clock::now();
        if (now >= deadline) {
            return testing::AssertionFailure() << "program still running after " << timeout.count()
                                               << " ms\n"
                                               << dump();
        }
        pump(std::min<Millis>(std::chrono::duration_cast<Millis>(deadline - now) + 1ms, 20ms));
    }
    return testing::AssertionSuccess();
}

int Terminal::exit_status() const {
    if (!exited_ || !WIFEXITED(wstatus_)) return -1;
    return WEXITSTATUS(wstatus_);
}

int Terminal::term_signal() const {
    if (!exited_ || !WIFSIGNALED(wstatus_)) return 0;
    return WTERMSIG(wstatus_);
}

Cell Terminal::cell(int row, int col) const {
    Cell out;
    VTermScreenCell c{};
    if (row < 0 || col < 0 || row >= rows_ || col >= cols_ ||
        !vterm_screen_get_cell(vs_, VTermPos{row, col}, &c)) {
        out.text = "";
        return out;
    }
    if (c.chars[0] == 0) {
        out.text = " ";
    } else if (c.chars[0] != static_cast<uint32_t>(-1)) {
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && c.chars[i] != 0; ++i) out.text += utf8(c.chars[i]);
    }
    out.fg = colour_index(c.fg, true);
    out.bg = colour_index(c.bg, false);
    out.reverse = c.attrs.reverse != 0;
    out.bold = c.attrs.bold != 0;
    out.underline = c.attrs.underline != 0;
    out.blink = c.attrs.blink != 0;
    return out;
}

std::string Terminal::row_text(int row) const {
    std::string s;
    for (int c = 0; c < cols_; ++c) s += cell(row, c).text;
    return s;
}

std::string Terminal::row_trimmed(int row) const {
    std::string s = row_text(row);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string Terminal::screen_text() const {
    std::string s;
    for (int r = 0; r < rows_; ++r) {
        if (r > 0) s += '\n';
        s += row_text(r);
    }
    return s;
}

bool Terminal::contains(std::string_view s) const { return find(s).has_value(); }

std::optional<Pos> Terminal::find(std::string_view s) const {
    for (int r = 0; r < rows_; ++r) {
        std::vector<std::string> cells;
        std::string line;
        std::vector<int> col_of_byte;
        for (int c = 0; c < cols_; ++c) {
            std::string t = cell(r, c).text;
            for (std::size_t k = 0; k < t.size(); ++k) col_of_byte.push_back(c);
            line += t;
        }
        auto at = line.find(s);
        if (at != std::string::npos) return Pos{r, col_of_byte[at]};
    }
    return std::nullopt;
}

Pos Terminal::cursor() const {
    VTermPos p{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &p);
    return Pos{p.row, p.col};
}

void Terminal::resize(int rows, int cols) {
    rows_ = rows;
    cols_ = cols;
    vterm_set_size(vt_, rows, cols);
    if (sizeless_) return;
    struct winsize ws {};
    ws.ws_row = static_cast<unsigned short>(rows);
    ws.ws_col = static_cast<unsigned short>(cols);
    if (master_ >= 0) ::ioctl(master_, TIOCSWINSZ, &ws);
}

void Terminal::set_sizeless(bool answers) {
    sizeless_ = true;
    answers_ = answers;
}

std::pair<int, int> Terminal::pty_size() const {
    struct winsize ws {};
    if (master_ < 0 || ::ioctl(master_, TIOCGWINSZ, &ws) != 0) return {-1, -1};
    return {ws.ws_row, ws.ws_col};
}

void Terminal::pace() {
    // The console takes an Enter or Tab that follows the byte before it
    // within a few ms for part of a paste: wait until the program has read
    // what was sent, then as long again as a quick hand would.
    const auto give_up = Clock::now() + 2000ms;
    while (unread() > 0 && Clock::now() < give_up) pump(1ms);
    const auto until = Clock::now() + 30ms;
    while (Clock::now() < until) pump(std::chrono::duration_cast<Millis>(until - Clock::now()) + 1ms);
}

void Terminal::key(Key k, unsigned mods) {
    if (k == Key::Enter || k == Key::Tab) pace();
    vterm_keyboard_key(vt_, vterm_key(k), static_cast<VTermModifier>(mods));
}

void Terminal::fkey(int n, unsigned mods) {
    vterm_keyboard_key(vt_, static_cast<VTermKey>(VTERM_KEY_FUNCTION(n)), static_cast<VTermModifier>(mods));
}

void Terminal::keypad(int digit) {
    vterm_keyboard_key(vt_, static_cast<VTermKey>(VTERM_KEY_KP_0 + digit), VTERM_MOD_NONE);
}

void Terminal::text(std::string_view s) {
    for (uint32_t c : decode_utf8(s)) vterm_keyboard_unichar(vt_, c, VTERM_MOD_NONE);
}

void Terminal::ctrl(char c) {
    vterm_keyboard_unichar(vt_, static_cast<uint32_t>(static_cast<unsigned char>(c)), VTERM_MOD_CTRL);
}

void Terminal::send_raw(std::string_view bytes) {
    if (bytes.starts_with('\r') || bytes.starts_with('\n') || bytes.starts_with('\t') ||
        bytes.starts_with("\033[Z"))
        pace();
    write_out(bytes.data(), bytes.size());
}

void Terminal::noise(std::string_view bytes) {
    bool answers = answers_;
    answers_ = false;  // whatever the noise asks goes unanswered
    feeding_ = true;
    vterm_input_write(vt_, bytes.data(), bytes.size());
    feeding_ = false;
    answers_ = answers;
}

std::string Terminal::dump() const {
    struct Look {
        int fg, bg;
        bool rev, bold, ul, blink;
        auto operator<=>(const Look &) const = default;
    };
    static constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::map<Look, char> ids;
    std::ostringstream o;
    o << "screen " << rows_ << "x" << cols_ << ", cursor " << cursor().row << "," << cursor().col
      << (cursor_visible_ ? " visible" : " hidden") << (alt_screen_ ? ", alternate screen" : "")
      << (exited_ ? ", program ended" : "") << ", " << total_bytes_ << " bytes read\n";
    std::string ruler(static_cast<std::size_t>(cols_), ' ');
    for (int c = 0; c < cols_; ++c) ruler[static_cast<std::size_t>(c)] = static_cast<char>('0' + c % 10);
    o << "   +" << ruler << "+\n";
    for (int r = 0; r < rows_; ++r) {
        std::string text, marks;
        for (int c = 0; c < cols_; ++c) {
            Cell x = cell(r, c);
            if (x.text.empty()) continue;  // right half of a wide glyph
            text += x.text;
            // Blank cells: emulators disagree on their foreground; show the background only.
            Look l{x.text == " " ? -1 : x.fg, x.bg, x.reverse, x.bold, x.underline, x.blink};
            if (l == Look{-1, -1, false, false, false, false}) {
                marks += '.';
                continue;
            }
            auto it = ids.find(l);
            if (it == ids.end()) {
                char id = ids.size() < kLetters.size() ? kLetters[ids.size()] : '*';
                it = ids.emplace(l, id).first;
            }
            marks += it->second;
        }
        char num[16];
        std::snprintf(num, sizeof num, "%2d", r);
        o << num << " |" << text << "|\n";
        o << "   |" << marks << "|\n";
    }
    o << "   +" << ruler << "+\n";
    o << "   .: default colours, no attributes\n";
    for (auto &[l, id] : ids) {
        o << "   " << id << ": fg " << l.fg << " bg " << l.bg << (l.rev ? " reverse" : "")
          << (l.bold ? " bold" : "") << (l.ul ? " underline" : "") << (l.blink ? " blink" : "") << "\n";
    }
    return o.str();
}

// ConsoleTest

const char *ConsoleTest::tolvane_path() { return TOLVANE_PATH; }

void ConsoleTest::SetUp() {
    std::string base = testing::TempDir();
    if (base.empty() || base.back() != '/') base += '/';
    std::string templ = base + "tolvane-screen-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    ASSERT_NE(::mkdtemp(buf.data()), nullptr) << "mkdtemp " << templ << ": " << std::strerror(errno);
    root_ = buf.data();
}

void ConsoleTest::TearDown() {
    if (HasFailure()) {
        if (term_) std::printf("Last screen:\n%s", term_->dump().c_str());
        if (!root_.empty()) {
            std::printf("Console log:\n%s", log().c_str());
            std::printf("Effects log:\n%s", effects().c_str());
        }
    }
    term_storage_.reset();
    term_ = nullptr;
    if (watch_fd_ >= 0) ::close(watch_fd_);
    watch_fd_ = -1;
    if (!root_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

sim::BoardTree &ConsoleTest::board() {
    if (!tree_) tree_.emplace(sim::build_board_tree(root_, opts));
    return *tree_;
}

bool ConsoleTest::spawn(int rows, int cols, const std::vector<std::string> &prefix,
                        const std::vector<std::string> &env) {
    board();
    if (watch_fd_ < 0) {
        // A wait on the log or the effects ends the moment they are written.
        watch_fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        for (const char *dir : {"/var/log", "/sim"})
            if (watch_fd_ >= 0)
                ::inotify_add_watch(watch_fd_, (root_ + dir).c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO);
    }
    term_storage_.reset();
    term_storage_.emplace(rows, cols);
    term_ = &*term_storage_;
    term_->wake_on(watch_fd_);
    if (serial.sizeless) term_->set_sizeless(serial.answers);
    std::vector<std::string> argv = prefix;
    argv.push_back(tolvane_path());
    std::vector<std::string> all_env = {"BOARD_ROOT=" + root_};
    all_env.insert(all_env.end(), env.begin(), env.end());
    return term_->start(argv, all_env);
}

testing::AssertionResult ConsoleTest::start(int rows, int cols, const std::vector<std::string> &prefix,
                                            const std::vector<std::string> &env) {
    if (!spawn(rows, cols, prefix, env)) return testing::AssertionFailure() << "could not start tolvane";
    // The first frame: the tab bar drawn, then the console waits for a key.
    auto r = term_->wait_for([&] { return term_->row_text(1).find("Main") != std::string::npos; },
                             kDefaultTimeout, "the tab bar");
    if (!r) return r;
    return term_->wait_idle(50ms);
}

testing::AssertionResult ConsoleTest::wait_exit(Millis timeout) {
    if (!term_) return testing::AssertionFailure() << "nothing started";
    return term_->wait_exit(timeout);
}

testing::AssertionResult ConsoleTest::leave() {
    if (!term_) return testing::AssertionFailure() << "nothing started";
    term_->fkey(6);
    auto r = term_->wait_exit();
    if (!r) return r;
    if (term_->exit_status() != 0)
        return testing::AssertionFailure() << "exit status " << term_->exit_status() << ", signal "
                                           << term_->term_signal() << "\n"
                                           << term_->dump();
    return testing::AssertionSuccess();
}

namespace {
std::string read_file(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return {};
    std::string s;
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

std::vector<std::string> split_lines(const std::string &s) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < s.size()) {
        auto nl = s.find('\n', at);
        if (nl == std::string::npos) nl = s.size();
        out.push_back(s.substr(at, nl - at));
        at = nl + 1;
    }
    return out;
}
}  // namespace

std::string ConsoleTest::log() const { return read_file(root_ + "/var/log/tolvane.log"); }

std::vector<std::string> ConsoleTest::log_lines() const { return split_lines(log()); }

int ConsoleTest::log_count(std::string_view line) const {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    int n = 0;
    for (const auto &l : log_lines()) n += l == line;
    return n;
}

int ConsoleTest::log_count_prefix(std::string_view prefix) const {
    int n = 0;
    for (const auto &l : log_lines()) n += l.rfind(prefix, 0) == 0;
    return n;
}

testing::AssertionResult ConsoleTest::wait_log(std::string_view s, Millis timeout) {
    if (!term_) return testing::AssertionFailure() << "nothing started";
    std::string what = "log text \"" + std::string(s) + "\"";
    auto r = term_->wait_for([&] { return log().find(s) != std::string::npos; }, timeout, what);
    if (!r) r << "Console log:\n" << log();
    return r;
}

std::string ConsoleTest::effects() const { return read_file(root_ + "/sim/effects.log"); }

std::vector<std::string> ConsoleTest::effect_lines() const { return split_lines(effects()); }

std::string ConsoleTest::state_file() const { return read_file(root_ + "/var/run/tolvane/recovery.state"); }

bool ConsoleTest::state_exists() const {
    struct stat st {};
    return ::lstat((root_ + "/var/run/tolvane/recovery.state").c_str(), &st) == 0;
}

void ConsoleTest::write_state(std::string_view content) {
    board().write("/var/run/tolvane/recovery.state", content);
}

std::vector<std::uint8_t> ConsoleTest::eeprom() const {
    std::string s = read_file(root_ + "/sys/bus/i2c/devices/1-0053/eeprom");
    return {s.begin(), s.end()};
}

std::string ConsoleTest::quellet(const std::string &args) const {
    const std::string cmd = "BOARD_ROOT='" + root_ + "' '" + QUELLET_PATH + "' -q " + args;
    std::FILE *p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    for (std::size_t n; p != nullptr && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    if (p != nullptr) ::pclose(p);
    return out;
}

}  // namespace screen
