#include "console/pages/recovery_page.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <curses.h>
#include <form.h>
#include <panel.h>
#include <sys/stat.h>

#include "board/board.h"
#include "board/files.h"
#include "console/exit_action.h"
#include "console/field_utils.h"
#include "console/log.h"
#include "console/page_form.h"
#include "console/terminal.h"
#include "console/top_menu.h"

namespace {

constexpr const char *kNotFound = "        Not found";
constexpr const char *kStart = "          Start";
constexpr const char *kFromUsb = "     Start from USB";
constexpr const char *kFromWeb = "     Start from WEB";

// The page's lines, each a label and the button or address field beside it;
// line l is fields 2l and 2l + 1, on screen row 2l.
enum : int { kExtLine, kIntLine, kRomLine, kUrlLine, kDownloadLine, kLineCount };
constexpr int field_of(int line) { return 2 * line + 1; }
constexpr int kExtButton = field_of(kExtLine);
constexpr int kIntButton = field_of(kIntLine);
constexpr int kRomButton = field_of(kRomLine);
constexpr int kUrlField = field_of(kUrlLine);
constexpr int kDownloadButton = field_of(kDownloadLine);

constexpr int kUrlMax = 1023;
constexpr std::int64_t kRomSize = 16777216;
constexpr std::uint64_t kRefreshSeconds = 3;

// The recovery buffers are char[256]; one byte stays for the terminator, so
// a marker file of 256 bytes or more can never leave a buffer unterminated.
constexpr std::size_t kTextBuf = 256;

// Labels in column 0, buttons and the address field beside them.
constexpr FieldDesc button(int row, const char *text) {
    return field_row(FIELD_VALUE, row, 23, 24, text, 3);
}
// Up to 1023 characters, scrolling inside the 24 columns on show.
constexpr FieldDesc address(int row) {
    FieldDesc d = field_row(FIELD_INPUT, row, 23, 24, "", 3);
    d.regexp = ".*";
    d.max = kUrlMax;
    d.active = true;
    return d;
}

constexpr const char *kLabels[kLineCount] = {"Update OS", "Restore backup", "Update ROM", "ROM URL",
                                             "Download ROM"};

constexpr std::array<FieldDesc, 2 * kLineCount> make_fields() {
    std::array<FieldDesc, 2 * kLineCount> t{};
    for (int line = 0; line < kLineCount; ++line) {
        const int row = 2 * line;
        const auto at = static_cast<std::size_t>(field_of(line));
        t[at - 1] = field_label(row, 0, 23, kLabels[line]);
        t[at] = line == kUrlLine ? address(row) : button(row, line == kDownloadLine ? kStart : kNotFound);
    }
    return t;
}
constexpr std::array<FieldDesc, 2 * kLineCount> kFields = make_fields();
constexpr std::size_t kRows = std::size(kFields);

struct RecoveryPage {
    PageForm pf;
    char restored_url[kUrlMax + 1];
    std::array<FIELD *, kRows + 1> fields;
} page;

std::int64_t last_refresh;
bool ext_recovery_valid;
bool int_recovery_valid;
bool rom_usb_found;
bool rom_web_found;

void set_button(int index, const char *text) {
    set_field_buffer(page.fields[static_cast<std::size_t>(index)], 0, text);
}

void log_stat_failure(const char *fmt, const char *path, int r) {
    console_log(fmt, path, r, std::strerror(errno));
}

// Marker files found to be something other than a regular file (a FIFO
// would hold the console in open): taken as missing, logged once each until
// the file is regular or gone again.
std::array<const char *, 10> irregular_logged;

void forget_irregular(const char *file) {
    for (const char *&p : irregular_logged)
        if (p == file) p = nullptr;
}

void log_irregular_once(const char *file) {
    for (const char *p : irregular_logged)
        if (p == file) return;
    for (const char *&p : irregular_logged) {
        if (p == nullptr) {
            p = file;
            break;
        }
    }
    console_log("L[RECOVERY_PAGE]: %s is not a regular file, taken as missing\n", file);
}

// A marker file is there when it is a regular file; otherwise why is logged
// (the stat failure in the caller's words).
bool marker_there(const char *fmt, const char *file) {
    struct stat st {};
    int r = board::stat_regular(file, &st);
    if (r == -2) {
        log_irregular_once(file);
        return false;
    }
    forget_irregular(file);
    if (r != 0) {
        log_stat_failure(fmt, file, r);
        return false;
    }
    return true;
}

// Read the start of a marker file as text, exactly as stored. False when it
// cannot be opened.
bool read_text(const char *board_path, char (&buf)[kTextBuf]) {
    std::memset(buf, 0, sizeof buf);
    board::File f = board::open_shared(board_path, "r");
    if (!f) return false;
    std::size_t n = std::fread(buf, 1, sizeof buf - 1, f.get());
    buf[n] = '\0';
    return true;
}

void recovery_page_detect(const char *tar_file, const char *script_file, const char *dev_file,
                          const char *line_file, int button, bool internal) {
    bool &valid = internal ? int_recovery_valid : ext_recovery_valid;
    char(&tar)[kTextBuf] = internal ? int_recovery_tar : ext_recovery_tar;
    char(&dev)[kTextBuf] = internal ? int_recovery_dev : ext_recovery_dev;
    valid = false;

    for (const char *file : {tar_file, script_file, dev_file, line_file})
        if (!marker_there("Failed to stat %s: %i, errno: %s\n", file)) return;
    console_log("Recovery is found\n");

    if (!read_text(tar_file, tar)) {
        console_log("Failed to open %s\n", tar_file);
        return;
    }
    if (!read_text(dev_file, dev)) {
        console_log("Failed to open %s\n", dev_file);
        return;
    }
    console_log("Recovery tar is reported at: %s, checking\n", tar);

    // The archive path is a board path, so it is looked at under the root.
    struct stat st {};
    int r = board::stat_board(tar, &st);
    if (r != 0) {
        log_stat_failure("Failed to stat %s: %i, errno: %s\n", tar, r);
        set_button(button, kNotFound);
        return;
    }

    if (internal) {
        console_log("Internal recovery seems to be present\n");
        set_button(button, kStart);
        valid = true;
        return;
    }
    console_log("External recovery seems to be present\n");
    valid = true;
    char line[kTextBuf];
    if (!read_text(line_file, line)) {
        console_log("Failed to open %s\n", line_file);
        return;
    }
    set_button(button, line);
}

// The two ROM sources share the button and rom_image_path. Each refresh
// checks both first and only then settles which one is taken, so the path,
// the flags and the button always agree: the source taken before keeps them
// while it stays valid, the other takes over in the same refresh when it
// fails, and with neither the button shows the not-found text.
enum class RomSource { none, usb, web };
RomSource rom_taken;
char rom_usb_path[sizeof rom_image_path];
char rom_web_path[sizeof rom_image_path];

// One look at a ROM image: it exists and has the size of the flash. Logs why
// when it fails.
bool rom_image_ok(const char *image) {
    struct stat st {};
    int r = board::stat_board(image, &st);
    if (r != 0) {
        log_stat_failure("L[RECOVERY_PAGE]: Failed to stat %s: %i, errno: %s\n", image, r);
        return false;
    }
    console_log("L[RECOVERY_PAGE]: ROM update found, checking size\n");
    std::int64_t size = st.st_size;
    if (size != kRomSize) {
        console_log("E[RECOVERY_PAGE]: ROM size is wrong: %lli instead of %i\n",
                    static_cast<long long>(size), static_cast<int>(kRomSize));
        return false;
    }
    return true;
}

// Check one source; on success its image path is kept for the settling step.
void recovery_page_check_rom(const char *path_file, bool usb) {
    bool &found = usb ? rom_usb_found : rom_web_found;
    char(&image)[sizeof rom_image_path] = usb ? rom_usb_path : rom_web_path;
    found = false;

    if (!marker_there("L[RECOVERY_PAGE]: Failed to stat %s: %i, errno: %s\n", path_file)) return;

    // The first word, one byte past what the buffer holds so that a longer
    // one shows.
    char word[sizeof image + 1] = {};
    {
        board::File f = board::open_shared(path_file, "r");
        if (!f || std::fscanf(f.get(), "%1024s", word) != 1) return;
    }
    static_assert(sizeof word == 1025);
    std::size_t len = std::strlen(word);
    if (len >= sizeof image) {
        console_log("E[RECOVERY_PAGE]: Path is too large\n");
        return;
    }
    if (!rom_image_ok(word)) return;
    std::memset(image, 0, sizeof image);
    std::memcpy(image, word, len);
    found = true;
}

void take_rom_source(RomSource source) {
    rom_taken = source;
    if (source == RomSource::none) {
        // rom_image_path keeps its old text; the flags are what Enter reads.
        set_button(kRomButton, kNotFound);
        return;
    }
    bool usb = source == RomSource::usb;
    std::memcpy(rom_image_path, usb ? rom_usb_path : rom_web_path, sizeof rom_image_path);
    set_button(kRomButton, usb ? kFromUsb : kFromWeb);
}

void check_rom_sources() {
    recovery_page_check_rom("/var/run/tolvane/update-rom-path", true);
    recovery_page_check_rom("/var/run/tolvane/web-update-rom-path", false);
    bool keep = (rom_taken == RomSource::usb && rom_usb_found) ||
                (rom_taken == RomSource::web && rom_web_found);
    if (keep) take_rom_source(rom_taken);
    else if (rom_usb_found) take_rom_source(RomSource::usb);
    else if (rom_web_found) take_rom_source(RomSource::web);
    else take_rom_source(RomSource::none);
}

void detect_external() {
    recovery_page_detect("/var/run/tolvane/ext/recovery-tar-path", kExtRecoveryScript,
                         "/var/run/tolvane/ext/recovery-mdev", "/var/run/tolvane/ext/line",
                         kExtButton, false);
}

void detect_internal() {
    recovery_page_detect("/var/run/tolvane/int/recovery-tar-path", kIntRecoveryScript,
                         "/var/run/tolvane/int/recovery-mdev", "/var/run/tolvane/int/line",
                         kIntButton, true);
}

void examine_sources() {
    detect_external();
    detect_internal();
    check_rom_sources();
}

// True when it looked.
bool refresh_sources(std::int64_t now) {
    // Unsigned on purpose: a clock set back also counts as "time to look".
    if (static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(last_refresh) < kRefreshSeconds)
        return false;
    last_refresh = now;
    examine_sources();
    return true;
}

// The three jobs that replace the OS, the backup or the ROM ask first: the
// first Enter shows what would run, and only an Enter typed after that is
// on the screen starts it. One stray Enter (the keypad's, a line of a
// paste) must never reflash the board.
constexpr const char *kAskHint = "Enter: start, any other key: cancel";
// Room for a 1023-byte ROM path with every byte escaped, and the words.
constexpr std::size_t kQuestionMax = 4 * 1023 + 64;

struct Question {
    int field;  // the button asked about; 0 while nothing is asked
    char text[kQuestionMax];
} asked;
// The question went up in this turn: once it is out on the line, the keys
// typed ahead of it are dropped.
bool flush_after_draw;

// What would run, as the operator can read it: a byte of a marker text that
// does not print (a line end stored after a device) shows as an escape.
struct Describe {
    char *out;
    std::size_t len = 0;
    void put(char c) {
        if (len + 1 < kQuestionMax) out[len++] = c;
        out[len] = '\0';
    }
    void text(const char *s) {
        while (*s != '\0') put(*s++);
    }
    void shown(const char *s) {
        for (; *s != '\0'; ++s) {
            const auto c = static_cast<unsigned char>(*s);
            char esc[8];
            if (c >= 0x20 && c < 0x7f) put(*s);
            else if (c == '\n') text("\\n");
            else if (std::snprintf(esc, sizeof esc, "\\x%02x", c) > 0) text(esc);
        }
    }
};

void describe(int field, char (&out)[kQuestionMax]) {
    Describe d{out};
    out[0] = '\0';
    if (field == kRomButton) {
        d.text(rom_taken == RomSource::usb ? "Update ROM from USB: image " : "Update ROM from WEB: image ");
        d.shown(rom_image_path);
        return;
    }
    const bool internal = field == kIntButton;
    d.text(internal ? "Restore backup: archive " : "Update OS: archive ");
    d.shown(internal ? int_recovery_tar : ext_recovery_tar);
    d.text(", device ");
    d.shown(internal ? int_recovery_dev : ext_recovery_dev);
}

// What would run now is not what the question named.
bool asked_job_changed() {
    static char now[kQuestionMax];
    describe(asked.field, now);
    return std::strcmp(now, asked.text) != 0;
}

// The pressed job's source passed the last look.
bool job_valid(int field) {
    if (field == kExtButton) return ext_recovery_valid;
    if (field == kIntButton) return int_recovery_valid;
    return (rom_taken == RomSource::usb && rom_usb_found) || (rom_taken == RomSource::web && rom_web_found);
}

// The rows below the form, inside the border: first row and count.
int question_rows(int *top) {
    WINDOW *w = page.pf.panel.win;
    if (w == nullptr || page.pf.form_win == nullptr) return 0;
    *top = getpary(page.pf.form_win) + getmaxy(page.pf.form_win) + 1;
    return getmaxy(w) - 1 - *top;
}

void clear_question_rows() {
    int top = 0;
    const int rows = question_rows(&top);
    for (int r = 0; r < rows; ++r) mvwhline(page.pf.panel.win, top + r, 1, ' ', getmaxx(page.pf.panel.win) - 2);
    // The window's cursor back on the button the operator is on.
    if (rows > 0) pos_form_cursor(page.pf.form);
}

// The question below the form, wrapped; what does not fit is cut at the
// front (a path's end names the file). False when there is no row for it.
bool draw_question() {
    int top = 0;
    const int rows = question_rows(&top);
    WINDOW *w = page.pf.panel.win;
    const int width = getmaxx(w) - 4;
    if (rows < 1 || width < 8) return false;
    clear_question_rows();
    const std::size_t room = static_cast<std::size_t>(rows) * static_cast<std::size_t>(width);
    const std::size_t len = std::strlen(asked.text);
    char shown[kQuestionMax];
    if (len <= room) {
        std::memcpy(shown, asked.text, len + 1);
    } else {
        std::memcpy(shown, "...", 3);
        std::memcpy(shown + 3, asked.text + len - (room - 3), room - 3 + 1);
    }
    const std::size_t n = std::strlen(shown);
    for (std::size_t at = 0, r = 0; at < n; at += static_cast<std::size_t>(width), ++r)
        mvwaddnstr(w, top + static_cast<int>(r), 2, shown + at, width);
    pos_form_cursor(page.pf.form);
    top_menu_notice(kAskHint);
    return true;
}

const char *job_name(int field) { return kLabels[(field - 1) / 2]; }

// The question goes: answered, cancelled, or overtaken by a change. The log
// line takes the job's name; the message is for the operator (null: none).
void withdraw_question(const char *log_line, const char *message) {
    if (asked.field == 0) return;
    const int field = asked.field;
    asked.field = 0;
    clear_question_rows();
    if (log_line != nullptr) console_log(log_line, job_name(field));
    if (message != nullptr) top_menu_message(message);
}

// What the page shows of its sources: the three buttons and the paths
// behind them. Enter starts only what was on show.
struct Shown {
    char buttons[3][32];
    char ext_tar[kTextBuf];
    char int_tar[kTextBuf];
    char rom_path[sizeof rom_image_path];
    bool operator==(const Shown &o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
};

Shown shown_now() {
    Shown s{};
    const int buttons[] = {kExtButton, kIntButton, kRomButton};
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        // Buttons are never edited: their buffers are what was set.
        const char *b = field_buffer(page.fields[static_cast<std::size_t>(buttons[i])], 0);
        if (b != nullptr) std::snprintf(s.buttons[i], sizeof s.buttons[i], "%s", b);
    }
    std::memcpy(s.ext_tar, ext_recovery_tar, sizeof s.ext_tar);
    std::memcpy(s.int_tar, int_recovery_tar, sizeof s.int_tar);
    std::memcpy(s.rom_path, rom_image_path, sizeof s.rom_path);
    return s;
}

// Enter on a button that starts a board script: the page is examined once
// more, so the script gets what the marker files say at this moment. When
// the source failed since, or what the page shows (or, for the answer to
// the question, what would run) changed, nothing starts and the keys typed
// after this Enter are dropped: they were meant for what the operator saw.
// `valid` is the pressed source's flag, which the look sets anew.
bool still_as_shown(const char *what, const bool &valid) {
    char name[sizeof rom_image_path];
    std::snprintf(name, sizeof name, "%s", what);
    const Shown before = shown_now();
    last_refresh = board::now();
    examine_sources();
    const bool same = asked.field != 0 ? !asked_job_changed() : shown_now() == before;
    if (!valid) {
        console_log("E[RECOVERY_PAGE]: %s failed its check, nothing is started\n", name);
        top_menu_message("Not started: its image failed its check");
    } else if (!same) {
        console_log("L[RECOVERY_PAGE]: %s changed, nothing is started\n", name);
        top_menu_message("Not started: the page changed, press Enter again");
    } else {
        return true;
    }
    terminal_flush_input();
    return false;
}

// The address field's text: every editing key has put it in the buffer, so
// it is whole even after a resize cut the field's window.
const char *url_buffer() {
    const char *b = field_buffer(page.fields[kUrlField], 0);
    return b != nullptr ? b : "";
}

int field_number(FIELD *f) {
    for (std::size_t i = 0; i < kRows; ++i)
        if (page.fields[i] == f) return static_cast<int>(i);
    return -1;
}

const bool &flag_of(int field) {
    if (field == kExtButton) return ext_recovery_valid;
    if (field == kIntButton) return int_recovery_valid;
    return rom_taken == RomSource::usb ? rom_usb_found : rom_web_found;
}

const char *path_of(int field) {
    return field == kExtButton ? ext_recovery_tar : field == kIntButton ? int_recovery_tar : rom_image_path;
}

void start_job(int field) {
    if (field == kRomButton) {
        ExitAction = EXIT_ROM_UPDATE;
        console_log("L[RECOVERY_PAGE]: Set start rom update flag\n");
        return;
    }
    const bool internal = field == kIntButton;
    ExitAction = internal ? EXIT_INT_RECOVERY : EXIT_EXT_RECOVERY;
    console_log("L[RECOVERY_PAGE]: Set start %s recovery flag\n", internal ? "internal" : "external");
}

// The first Enter on a job that still stands as shown: what would run and
// how to answer go up, and the keys typed ahead of them are dropped once
// they are out.
void ask(int field) {
    asked.field = field;
    describe(field, asked.text);
    if (!draw_question()) {
        asked.field = 0;
        console_log("L[RECOVERY_PAGE]: %s: no room to ask, nothing is started\n", job_name(field));
        top_menu_message("Not started: the window is too small to ask first");
        return;
    }
    console_log("L[RECOVERY_PAGE]: Asking before the start: %s\n", asked.text);
    flush_after_draw = true;
}

// The key after the question: Enter starts the job when one more look finds
// what was asked about; any other key cancels and does nothing else.
void answer(int key) {
    const int field = asked.field;
    if (key != '\n') {
        withdraw_question("L[RECOVERY_PAGE]: %s not confirmed, nothing is started\n",
                          "Cancelled: nothing was started");
        return;
    }
    console_log("L[RECOVERY_PAGE]: enter pressed\n");
    const bool ok = still_as_shown(path_of(field), flag_of(field));
    // The refusal's message stays on the help line.
    withdraw_question(nullptr, nullptr);
    if (ok) start_job(field);
}

void press_enter(FIELD *current, bool sources_changed) {
    console_log("L[RECOVERY_PAGE]: enter pressed\n");
    const int field = field_number(current);
    const bool job = field == kExtButton || field == kIntButton || field == kRomButton;
    if (sources_changed && job) {
        // The operator pressed Enter on what the page showed before.
        console_log("L[RECOVERY_PAGE]: Sources changed as Enter came, nothing is started\n");
        top_menu_message("Not started: the page changed, press Enter again");
        terminal_flush_input();
        return;
    }
    if (job) {
        const bool present = field == kRomButton ? rom_usb_found || rom_web_found : flag_of(field);
        if (present && still_as_shown(path_of(field), flag_of(field))) ask(field);
        else console_log(field == kRomButton ? "L[RECOVERY_PAGE]: ROM is not considered valid\n"
                                             : "L[RECOVERY_PAGE]: Recovery is not considered valid\n");
        return;
    }
    if (field == kDownloadButton) {
        const char *url = url_buffer();
        std::size_t len = std::strlen(url);
        if (len > sizeof rom_url - 1) len = sizeof rom_url - 1;
        std::memcpy(rom_url, url, len);
        rom_url[len] = '\0';
        ExitAction = EXIT_ROM_DOWNLOAD;
        console_log("L[RECOVERY_PAGE]: Set start rom download flag\n");
    }
}

// An Enter in the same turn as a refresh that changed a source was pressed
// on what the page showed before it.
bool sources_changed;
// This turn's refresh looked at the sources.
bool looked;

void tick(int key) {
    const std::int64_t now = board::now();
    sources_changed = false;
    if (key == '\n' && page_form_has_keyboard(page.pf)) {
        const Shown before = shown_now();
        looked = refresh_sources(now);
        sources_changed = !(shown_now() == before);
    } else {
        looked = refresh_sources(now);
    }
}

// While a question is up, the key answers it.
bool question_turn(int key) {
    if (asked.field == 0) return false;
    if (looked && (!job_valid(asked.field) || asked_job_changed())) {
        // This key and those typed after it answered another question.
        withdraw_question("L[RECOVERY_PAGE]: %s changed while asked, nothing is started\n",
                          "Cancelled: what would run has changed");
        terminal_flush_input();
    } else if (key != ERR && !page_key_is_event(key)) {
        answer(key);
    }
    page_form_turn_end(page.pf);
    return true;
}

void turn_end(PageForm &pf) {
    page_form_turn_end(pf);
    if (flush_after_draw) {
        // Out on the line first: only what is typed after that answers.
        flush_after_draw = false;
        update_panels();
        doupdate();
        terminal_flush_input();
    }
}

// The address is the one field typed into; Enter is for the buttons.
constexpr PageMeanings kMeanings = {
    .tick = tick,
    .own_turn = question_turn,
    .took_keyboard = nullptr,
    .leave_edit = nullptr,
    .enter = [](FIELD *current) { press_enter(current, sources_changed); },
    .edit = page_form_type,
    .cursor_edits = true,
    .turn_end = turn_end,
};

}  // namespace

void recovery_page_create() {
    // Start as a fresh program does: nothing examined yet, nothing valid,
    // nothing asked.
    last_refresh = 0;
    asked.field = 0;
    flush_after_draw = false;
    sources_changed = looked = false;
    ext_recovery_valid = int_recovery_valid = rom_usb_found = rom_web_found = false;
    rom_taken = RomSource::none;
    page_form_begin(page.pf, kFields, page.fields);
    page_form_open(page.pf);
    detect_internal();
}

PagePanel *recovery_page_panel() { return &page.pf.panel; }

std::span<const FieldDesc> recovery_page_fields() { return kFields; }

int recovery_page_handle_key(int key) { return page_form_run_turn(page.pf, kMeanings, key); }

void recovery_page_relayout() {
    page_form_resize(page.pf);
    // The new window holds no question: again where it fits, else cancelled.
    if (asked.field != 0 && !draw_question())
        withdraw_question("L[RECOVERY_PAGE]: %s: no room to ask, nothing is started\n",
                          "Cancelled: the window is too small to ask first");
}

void recovery_page_destroy() {
    page_form_end(page.pf);
    page.fields.fill(nullptr);
}

int recovery_page_save_state(std::FILE *f) { return std::fprintf(f, "%s\n", url_buffer()); }

int recovery_page_load_state(std::FILE *f) {
    // One byte more than an address may have, so that a longer one shows.
    char word[kUrlMax + 2] = {};
    static_assert(sizeof word == 1025);
    if (std::fscanf(f, "%1024s\n", word) != 1) return 0;
    std::size_t len = std::strlen(word);
    if (len > kUrlMax) return -3;
    // The console only ever saves ASCII; another byte would go past the
    // typing rule into the field.
    for (std::size_t i = 0; i < len; ++i)
        if (!page_key_types_text(static_cast<unsigned char>(word[i]))) return -3;
    std::memcpy(page.restored_url, word, len + 1);
    set_field_buffer(page.fields[kUrlField], 0, page.restored_url);
    return 0;
}
