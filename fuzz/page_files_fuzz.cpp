// The files an operator or an earlier console leaves in /var/run/tolvane:
// the page-state file that restore_state reads and the Maintenance page's
// marker files. Any bytes, any length, a file or a folder in its place: the
// page is always built, restore_state answers one of its codes with a valid
// tab on show, the buttons agree with what the files name, Enter starts only
// what is there, and a saved state reads back.
//
// Input, in order:
//   3 bytes    two bits a file (kFiles order, first file in the low bits):
//              0 absent, 1 and 3 a file, 2 a folder
//   per file   one length byte, 255 meaning a 2-byte little-endian length
//              follows; then that many bytes (cut to what is left)
//   the rest   keys for the page, at most kMaxKeys; the bytes below
//              std::size(kKeys) stand for kKeys (named keys, a clock tick,
//              a ROM path file coming or going), others are themselves
// The tree holds a few files the markers can name: "/a" (an archive),
// "/rom" (16 MiB), "/short" (one byte less).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curses.h>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "console/exit_action.h"
#include "console/log.h"
#include "console/page_panel.h"
#include "console/page_state.h"
#include "console/pages/recovery_page.h"
#include "console/top_menu.h"

// The panel library keeps one record for stdscr from the first new_panel to
// the end of the program; no call releases it.
extern "C" const char *__lsan_default_suppressions() { return "leak:new_panel\n"; }
// Every input builds the page's windows and fields afresh; a smaller
// quarantine than the default 256 MB keeps those pages warm (three times the
// runs a second) and still holds far more than one run frees.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=32"; }

namespace {

enum FileIndex {
    kState,
    kExtTar, kExtRc, kExtDev, kExtLine,
    kIntTar, kIntRc, kIntDev, kIntLine,
    kUsbRom, kWebRom,
    kFileCount
};

constexpr const char *kFiles[kFileCount] = {
    "/var/run/tolvane/recovery.state",
    "/var/run/tolvane/ext/recovery-tar-path", "/var/run/tolvane/ext/recovery.rc",
    "/var/run/tolvane/ext/recovery-mdev",     "/var/run/tolvane/ext/line",
    "/var/run/tolvane/int/recovery-tar-path", "/var/run/tolvane/int/recovery.rc",
    "/var/run/tolvane/int/recovery-mdev",     "/var/run/tolvane/int/line",
    "/var/run/tolvane/update-rom-path",       "/var/run/tolvane/web-update-rom-path",
};

enum class Kind { absent, file, folder };

// Not keys: the board clock moves on 3 seconds (the page looks again), or a
// ROM path file comes or goes (it holds its bytes, or "/rom" when the input
// left it absent).
constexpr int kTick = -2;
constexpr int kToggleUsb = -3;
constexpr int kToggleWeb = -4;
constexpr int kKeys[] = {KEY_DOWN, KEY_UP, 10, KEY_LEFT, KEY_RIGHT, KEY_BACKSPACE, KEY_DC,
                         ERR, kTick, 27, ' ', 'a', kToggleUsb, kToggleWeb};
constexpr std::size_t kMaxKeys = 64;
constexpr off_t kRomSize = 16777216;

constexpr const char *kNotFound = "        Not found";
constexpr const char *kStart = "          Start";
constexpr const char *kFromUsb = "     Start from USB";
constexpr const char *kFromWeb = "     Start from WEB";

std::string root;
Kind kinds[kFileCount];
long long clock_offset;
char log_buf[1 << 20];
PagePanel other_pages[3];

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "page_files: %s\n", what);
    std::abort();
}

std::string host(std::string_view board_path) { return root + std::string(board_path); }

void put(const std::string &path, const void *data, std::size_t n) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot write a tree file");
    if (n > 0 && ::write(fd, data, n) != static_cast<ssize_t>(n)) fail("short write");
    ::close(fd);
}

void set_kind(int i, Kind k, const std::uint8_t *data, std::size_t n) {
    std::string p = host(kFiles[i]);
    if (kinds[i] != k) {
        if (kinds[i] == Kind::folder) ::rmdir(p.c_str());
        else if (kinds[i] == Kind::file) ::unlink(p.c_str());
        if (k == Kind::folder && ::mkdir(p.c_str(), 0755) != 0) fail("cannot make a folder");
        kinds[i] = k;
    }
    if (k == Kind::file) put(p, data, n);
}

void advance_clock() {
    clock_offset += 3;
    std::string s = std::to_string(clock_offset) + "\n";
    put(host("/sim/clock-offset"), s.data(), s.size());
}

void make_tree() {
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string tmpl = std::string(base) + "/page_files_XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) fail("cannot make the board root");
    root = tmpl;
    for (const char *d : {"/var", "/var/run", "/var/run/tolvane", "/var/run/tolvane/ext",
                          "/var/run/tolvane/int", "/sim"})
        if (::mkdir(host(d).c_str(), 0755) != 0) fail("cannot make the tree");
    put(host("/a"), "archive", 7);
    for (auto [name, size] : {std::pair{"/rom", kRomSize}, std::pair{"/short", kRomSize - 1}}) {
        put(host(name), "", 0);
        if (::truncate(host(name).c_str(), size) != 0) fail("cannot size an image");
    }
    setenv("BOARD_ROOT", root.c_str(), 1);
    advance_clock();
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    });
}

// One marker's bytes as the page reads them; a ROM path file that comes and
// goes keeps what it holds when present.
struct Marker {
    Kind kind = Kind::absent;
    std::string bytes;
    Kind present = Kind::file;
};
Marker markers[kFileCount];

// The ROM source the page should have taken at its last look: the one taken
// before while it stays valid, else USB, else WEB.
enum class Rom { none, usb, web };
Rom rom_taken;
std::time_t run_start;

// Where a board path lives on the host, or "" where the board has nothing:
// empty, or too long for the resolver.
std::string resolve(const std::string &p) {
    if (p.empty()) return "";
    std::string h = root + (p[0] == '/' ? "" : "/") + p;
    return h.size() < 2048 ? h : "";
}

bool exists(const std::string &board_path) {
    std::string h = resolve(board_path);
    struct stat st {};
    return !h.empty() && ::stat(h.c_str(), &st) == 0;
}

bool rom_ok(const std::string &board_path) {
    std::string h = resolve(board_path);
    struct stat st {};
    return !h.empty() && ::stat(h.c_str(), &st) == 0 && st.st_size == kRomSize;
}

// A marker's text up to its first NUL: at most 255 bytes of a file, nothing
// of a folder.
std::string text_of(const Marker &m) {
    std::string t = m.kind == Kind::file ? m.bytes.substr(0, 255) : "";
    return t.substr(0, t.find('\0'));
}

// All four files there as regular files (a folder counts as missing) and
// the archive they name too.
bool recovery_valid(int tar) {
    for (int i = tar; i < tar + 4; ++i)
        if (markers[i].kind != Kind::file) return false;
    return exists(text_of(markers[tar]));
}

// The image a ROM path file names, as fscanf "%s" reads it and strlen ends
// it; "" when there is none or it fails its check.
std::string rom_source(const Marker &m) {
    if (m.kind != Kind::file) return "";
    const std::string &b = m.bytes;
    std::size_t i = 0;
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < b.size() && space(b[i])) ++i;
    std::size_t j = i;
    while (j < b.size() && !space(b[j])) ++j;
    std::string w = b.substr(i, j - i);
    w = w.substr(0, w.find('\0'));
    return w.size() < 1024 && rom_ok(w) ? w : "";
}

std::string button(int row) {
    char buf[64] = {};
    mvwinnstr(recovery_page_panel()->win, 2 + row, 2 + 23, buf, 24);
    std::string s = buf;
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

int selected_tab() {
    char buf[32] = {};
    std::FILE *f = fmemopen(buf, sizeof buf, "w");
    if (f == nullptr) fail("fmemopen");
    top_menu_save_state(f);
    std::fclose(f);
    return std::atoi(buf);
}

PagePanel *tab_panel(int i) { return i == 3 ? recovery_page_panel() : &other_pages[i]; }

// The bar's rows: three stand-in pages, then the Maintenance page.
PagePanel *other_page_0() { return &other_pages[0]; }
PagePanel *other_page_1() { return &other_pages[1]; }
PagePanel *other_page_2() { return &other_pages[2]; }
constexpr PageOps kTabRows[] = {
    {"Main", nullptr, other_page_0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {"Boot", nullptr, other_page_1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {"Network", nullptr, other_page_2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {"Maintenance", nullptr, recovery_page_panel, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// Exactly the tab's page is on show.
void check_shown(int tab) {
    for (int i = 0; i < 4; ++i)
        if (tab_panel(i)->hidden != (i != tab)) fail("the page on show is not the selected tab");
}

bool terminated(const char *buf, std::size_t n) { return std::memchr(buf, 0, n) != nullptr; }

void check_buffers() {
    if (!terminated(ext_recovery_tar, sizeof ext_recovery_tar) ||
        !terminated(ext_recovery_dev, sizeof ext_recovery_dev) ||
        !terminated(int_recovery_tar, sizeof int_recovery_tar) ||
        !terminated(int_recovery_dev, sizeof int_recovery_dev) ||
        !terminated(rom_image_path, sizeof rom_image_path) || !terminated(rom_url, sizeof rom_url))
        fail("an argument buffer is not terminated");
}

// Right after a look at the sources the buttons show what the files name.
// A run that took 3 seconds of real time may have had a look of its own in
// between; the ROM button is not judged then.
// The ROM source a look settles on: the one taken before while it stays
// valid, else USB, else WEB.
void settle_rom(const std::string &usb, const std::string &web) {
    bool keep = (rom_taken == Rom::usb && !usb.empty()) || (rom_taken == Rom::web && !web.empty());
    if (!keep) rom_taken = !usb.empty() ? Rom::usb : !web.empty() ? Rom::web : Rom::none;
}

void check_buttons() {
    std::string want_int = recovery_valid(kIntTar) ? kStart : kNotFound;
    if (button(2) != want_int) fail("the Restore backup button disagrees with the files");
    if (!recovery_valid(kExtTar) && button(0) != kNotFound)
        fail("the Update OS button shows a source that is not there");
    std::string usb = rom_source(markers[kUsbRom]);
    std::string web = rom_source(markers[kWebRom]);
    settle_rom(usb, web);
    if (std::time(nullptr) - run_start >= 2) return;
    const char *want = rom_taken == Rom::usb ? kFromUsb : rom_taken == Rom::web ? kFromWeb : kNotFound;
    if (button(4) != want) fail("the Update ROM button disagrees with the files");
    const std::string &taken = rom_taken == Rom::usb ? usb : web;
    if (rom_taken != Rom::none && taken != rom_image_path)
        fail("rom_image_path is not the image taken");
}

void toggle(int i) {
    Marker &m = markers[i];
    if (m.kind == Kind::absent) {
        if (m.present == Kind::file && m.bytes.empty()) m.bytes = "/rom";
        m.kind = m.present;
    } else {
        m.present = m.kind;
        m.kind = Kind::absent;
    }
    set_kind(i, m.kind, reinterpret_cast<const std::uint8_t *>(m.bytes.data()), m.bytes.size());
}

std::size_t count_in(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Enter on a source's button looks at the sources once more before it
// starts anything; when it then starts nothing, the log says why. That look
// settles the ROM source as any other does.
void follow_enter_look(long log_from) {
    std::fflush(log_file);
    const long end = std::ftell(log_file);
    if (log_from < 0 || end <= log_from) return;
    const std::string_view text(log_buf + log_from, static_cast<std::size_t>(end - log_from));
    // ("Sources changed as Enter came" is a refusal without a look.)
    const std::size_t refused = count_in(text, " failed its check, nothing is started\n") +
                                count_in(text, " changed, nothing is started\n");
    if (refused > 0) settle_rom(rom_source(markers[kUsbRom]), rom_source(markers[kWebRom]));
}

// What Enter set must be there now.
void check_exit_action() {
    switch (ExitAction) {
    case 0: break;
    case 1: if (!exists(ext_recovery_tar)) fail("action 1 on a missing archive"); break;
    case 2: if (!exists(int_recovery_tar)) fail("action 2 on a missing archive"); break;
    case 3: if (!rom_ok(rom_image_path)) fail("action 3 on a failed image"); break;
    case 4: break;
    default: fail("ExitAction out of range");
    }
}

// The Maintenance page is built for every input; the tab bar and the other
// three pages' panels, which read no marker, live for the whole process and
// start each input as a fresh console does, on the first tab.
void build_page() {
    recovery_page_create();
    if (recovery_page_panel()->win == nullptr) fail("the page has no window");
    top_menu_select_tab(0);
}

// main's start: restore, and the Main page when that fails.
void restore_like_main() {
    int r = restore_state(recovery_page_load_state);
    if (r < -4 || r > 0) fail("restore_state answered no code of its own");
    // A folder in its place counts as missing, as no file.
    if ((r == -1) != (markers[kState].kind != Kind::file)) fail("-1 and the file disagree");
    if (r == -4) top_menu_select_tab(0);
    if (r != 0) top_menu_show_page(&other_pages[0]);
    int tab = selected_tab();
    if (tab < 0 || tab > 3) fail("no valid tab after restore_state");
    if (r != 0 && tab != 0) fail("a failed restore left another tab");
    check_shown(tab);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    make_tree();
    static std::FILE *out = std::fopen("/dev/null", "w");
    static std::FILE *in = std::fopen("/dev/null", "r");
    if (out == nullptr || in == nullptr) fail("/dev/null");
    // One screen for the whole process, the operator's 80x24 serial line.
    if (newterm("vt100", out, in) == nullptr) fail("newterm");
    start_color();
    log_file = fmemopen(log_buf, sizeof log_buf, "w");
    for (PagePanel &p : other_pages) page_panel_create(p);
    top_menu_create(kTabRows);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3) return 0;
    std::uint32_t mask = data[0] | (data[1] << 8) | (data[2] << 16);
    std::size_t at = 3;
    for (int i = 0; i < kFileCount; ++i) {
        unsigned k = (mask >> (2 * i)) & 3;
        Marker &m = markers[i];
        m = Marker{};
        m.kind = k == 0 ? Kind::absent : k == 2 ? Kind::folder : Kind::file;
        if (m.kind == Kind::file && at < size) {
            std::size_t n = data[at++];
            if (n == 255 && at + 2 <= size) {
                n = data[at] | (data[at + 1] << 8);
                at += 2;
            }
            n = std::min(n, size - at);
            m.bytes.assign(reinterpret_cast<const char *>(data + at), n);
            at += n;
        }
        set_kind(i, m.kind, reinterpret_cast<const std::uint8_t *>(m.bytes.data()), m.bytes.size());
    }

    std::rewind(log_file);
    run_start = std::time(nullptr);
    rom_taken = Rom::none;
    ExitAction = 0;
    std::memset(ext_recovery_tar, 0, sizeof ext_recovery_tar);
    std::memset(int_recovery_tar, 0, sizeof int_recovery_tar);
    std::memset(rom_image_path, 0, sizeof rom_image_path);
    build_page();
    restore_like_main();

    // The operator goes to the Maintenance tab; the first look happens at once.
    top_menu_show_page(recovery_page_panel());
    recovery_page_handle_key(ERR);
    check_buffers();
    check_buttons();

    for (std::size_t n = 0; at < size && n < kMaxKeys && ExitAction == 0; ++at, ++n) {
        int key = data[at] < std::size(kKeys) ? kKeys[data[at]] : data[at];
        if (key == kToggleUsb || key == kToggleWeb) {
            toggle(key == kToggleUsb ? kUsbRom : kWebRom);
            continue;
        }
        bool look = key == kTick;
        if (look) {
            advance_clock();
            key = ERR;
        }
        const long log_from = std::ftell(log_file);
        recovery_page_handle_key(key);
        if (key == 10) follow_enter_look(log_from);
        check_buffers();
        if (look) check_buttons();
    }
    check_exit_action();

    // The state written when leaving reads back, with the same tab.
    if (markers[kState].kind == Kind::file || markers[kState].kind == Kind::absent) {
        int tab = selected_tab();
        save_state(recovery_page_save_state);
        kinds[kState] = Kind::file;
        if (restore_state(recovery_page_load_state) != 0) fail("a saved state does not read back");
        if (selected_tab() != tab) fail("the saved tab does not read back");
    }
    recovery_page_destroy();
    return 0;
}
