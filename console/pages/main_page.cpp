#include "console/pages/main_page.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <curses.h>
#include <form.h>

#include "board/board.h"
#include "board/files.h"
#include "console/field_utils.h"
#include "console/log.h"
#include "console/page_form.h"
#include "console/pages/clock.h"
#include "console/top_menu.h"
#include "fru/board_info.h"

BmcInfo bmc_info;

namespace {

constexpr const char *kBmcVersionGlob = "/sys/bus/i2c/drivers/*-bmc/version";
constexpr const char *kBmcBootReasonGlob = "/sys/bus/i2c/drivers/*-bmc/bootreason";
constexpr const char *kGpioBaseGlob = "/sys/bus/i2c/devices/1-0021/gpio/*/base";
constexpr const char *kGpioExport = "/sys/class/gpio/export";
constexpr const char *kTempInput = "/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/temp1_input";
constexpr const char *kVoltInput = "/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/in1_input";
constexpr const char *kRecoveryVersion = "/etc/recovery-version";
constexpr const char *kOsRelease = "/proc/sys/kernel/osrelease";

// The two-column form, drawn at row 2 of the page window; the terminal
// must hold it with the window's border whole.
constexpr int kFormRows = 21;
constexpr int kFormCols = 97;
constexpr PageNeed kTwoColumnsNeed = page_form_need_for(kFormRows, kFormCols, 2);

constexpr FieldDesc label(int row, int col, int width, const char *text, int pair = 2) {
    return {.kind = FIELD_LABEL, .col = col, .row = row, .width = width, .text = text,
            .regexp = nullptr, .colour = static_cast<int>(COLOR_PAIR(pair)), .back = static_cast<int>(COLOR_PAIR(pair)),
            .fixed_size = false, .max = 0, .autoskip = false, .active = false, .spin_index = 0};
}

constexpr FieldDesc cell(int row, int col, int width, const char *text, const char *regexp,
                         bool autoskip) {
    return {.kind = FIELD_INPUT, .col = col, .row = row, .width = width, .text = text,
            .regexp = regexp, .colour = static_cast<int>(COLOR_PAIR(3)), .back = 0, .fixed_size = true, .max = 0,
            .autoskip = autoskip, .active = true, .spin_index = 0};
}

enum : int {
    F_BOOT = 1, F_TEST = 3, F_RTC = 5, F_HOUR = 7, F_MIN = 9, F_SEC = 11, F_YEAR = 13,
    F_MONTH = 15, F_DAY = 17, F_TEMP = 19, F_VOLT = 21, F_SHRED = 23, F_BMC = 25,
    F_SM_VERSION = 27, F_KERNEL = 29, F_MFG_DATE = 31, F_MFG_NAME = 33,
};

constexpr FieldDesc kMainFields[] = {
    label(0, 0, 23, "Boot status"),
    label(0, 23, 22, "N/A"),
    label(2, 0, 23, "MFG HW test status"),
    label(2, 23, 22, "N/A"),
    label(4, 0, 23, "RTC status"),
    label(4, 23, 22, "N/A"),
    label(6, 0, 23, "Time"),
    cell(6, 23, 2, "00", "[0-2][0-9]", true),
    label(6, 25, 1, ":", 3),
    cell(6, 26, 2, "00", "[0-6][0-9]", true),
    label(6, 28, 1, ":", 3),
    cell(6, 29, 2, "00", "[0-6][0-9]", true),
    label(8, 0, 23, "Date"),
    cell(8, 23, 4, "0000", "[0-2][0-9][0-9][0-9]", true),
    label(8, 27, 1, "-", 3),
    cell(8, 28, 2, "00", "[0-1][0-9]", true),
    label(8, 30, 1, "-", 3),
    cell(8, 31, 2, "00", "[0-3][0-9]", false),
    label(10, 0, 23, "Core temperature"),
    label(10, 23, 22, "N/A"),
    label(12, 0, 23, "Core voltage"),
    label(12, 23, 22, "N/A"),
    label(14, 0, 23, "SHRED"),
    label(14, 23, 22, "N/A"),
    label(16, 0, 23, "BMC protocol version"),
    label(16, 23, 22, "N/A"),
    label(18, 0, 23, "Service mode version"),
    label(18, 23, 22, "N/A"),
    label(20, 0, 23, "Kernel release"),
    label(20, 23, 22, "N/A"),
    label(0, 45, 27, "Board MFG date"),
    label(0, 72, 25, "N/A"),
    label(2, 45, 27, "Board manufacturer"),
    label(2, 72, 25, "N/A"),
    label(4, 45, 27, "Board product name"),
    label(4, 72, 25, "N/A"),
    label(6, 45, 27, "Board serial number"),
    label(6, 72, 25, "N/A"),
    label(8, 45, 27, "Board part number"),
    label(8, 72, 25, "N/A"),
    label(10, 45, 27, "Board FRU file ID"),
    label(10, 72, 25, "N/A"),
    label(12, 45, 27, "Product manufacturer"),
    label(12, 72, 25, "N/A"),
    label(14, 45, 27, "Product part/model number"),
    label(14, 72, 25, "N/A"),
    label(16, 45, 27, "Product version"),
    label(16, 72, 25, "N/A"),
};
constexpr std::size_t kRows = std::size(kMainFields);
static_assert(kRows == 48);

// Below 100x27 the same fields stand in one column, values at column 27, and
// the date follows the time on its row: 19 rows of 70 columns from row 1 of
// the window, which an 80x24 terminal (a serial line's usual size) holds
// with the border whole. Moving the fields
// rather than building others keeps what was typed, the colours and the
// cell the cursor is in.
struct Spot {
    int row, col;
};
constexpr int kCompactValueCol = 27;
constexpr std::size_t kDateLabel = F_YEAR - 1;

constexpr Spot compact_spot(const FieldDesc &d, std::size_t i) {
    if (d.col >= 45) return {10 + d.row / 2, d.col == 45 ? 0 : kCompactValueCol};
    if (d.row == 6) return {3, d.col == 0 ? 0 : d.col + kCompactValueCol - 23};
    // The date label has no row of its own: it stands blank behind the date.
    if (i == kDateLabel) return {3, 47};
    if (d.row == 8) return {3, d.col + 13};
    return {d.row / 2 - (d.row > 8 ? 1 : 0), d.col == 0 ? 0 : kCompactValueCol};
}

constexpr std::array<Spot, kRows> compact_spots() {
    std::array<Spot, kRows> spots{};
    for (std::size_t i = 0; i < kRows; ++i) spots[i] = compact_spot(kMainFields[i], i);
    return spots;
}
constexpr std::array<Spot, kRows> kCompactSpots = compact_spots();

// No two fields of the one column may share a cell.
constexpr bool compact_cells_apart() {
    for (std::size_t i = 0; i < kRows; ++i) {
        for (std::size_t j = i + 1; j < kRows; ++j) {
            const Spot a = kCompactSpots[i];
            const Spot b = kCompactSpots[j];
            if (a.row != b.row) continue;
            const int a_end = a.col + kMainFields[i].width;
            const int b_end = b.col + kMainFields[j].width;
            if (a.col < b_end && b.col < a_end) return false;
        }
    }
    return true;
}
static_assert(compact_cells_apart());

enum class Layout { kTwoColumns, kOneColumn };
constexpr int form_row(Layout layout) { return layout == Layout::kTwoColumns ? 2 : 1; }

struct Page {
    PagePanel panel;  // first, as the tab bar expects
    WINDOW *form_win;
    int shred;
    std::array<FIELD *, kRows + 1> fields;
    FORM *form;
    bool clock_edited;
    bool page_focus;
    FIELD *first_input, *last_input;
    std::int64_t sensor_time;
    bool too_small;  // the form did not fit the terminal; a notice stands in for it
    Layout layout;
    char shred_text[20];
    char temp_text[20];
    char volt_text[20];
    char mfg_date_text[20];
    char bmc_text[20];
    char sm_version_text[21];
    char kernel_text[21];
} page;

void set_text(int i, const char *text) { set_field_buffer(page.fields[i], 0, text); }
void set_fore(int i, int pair) { field_paint_fore(page.fields[i], pair); }

// Open the first match of a board glob, logging the failure as the page does.
board::File open_first(const char *pattern) {
    board::Glob g(pattern);
    if (g.result() != 0 || g.count() == 0) {
        console_log("E[MAIN_PAGE]: Failed to glob %s\n", pattern);
        return {};
    }
    board::File f(g.board_path(0), "r");
    if (!f) console_log("E[MAIN_PAGE]: Failed to open %s\n", g.board_path(0));
    return f;
}

void read_bmc_info() {
    bmc_info = {};
    board::File v = open_first(kBmcVersionGlob);
    if (!v) return;
    int n = std::fscanf(v.get(), "%i.%i.%i", &bmc_info.major, &bmc_info.minor, &bmc_info.patch);
    console_log("L[MAIN_PAGE]: BMC version read returned %i, value: %i.%i.%i\n", n, bmc_info.major,
                bmc_info.minor, bmc_info.patch);
    if (bmc_info.major < 2) return;
    board::File r = open_first(kBmcBootReasonGlob);
    if (!r) return;
    int reason = 0;
    if (std::fscanf(r.get(), "%i", &reason) != 1) reason = 0;
    bmc_info.boot_reason = static_cast<std::uint8_t>(reason & 0xff);
    bmc_info.boot_reason_hi = static_cast<std::uint8_t>((reason >> 8) & 0xff);
    console_log("L[MAIN_PAGE]: Bootreason: %i/%i\n", bmc_info.boot_reason, bmc_info.boot_reason_hi);
}

int read_shred() {
    int base = 0;
    {
        board::File b = open_first(kGpioBaseGlob);
        if (!b) return 0;
        if (std::fscanf(b.get(), "%d", &base) != 1) base = 0;
    }
    int word = 0;
    int value = 0;
    for (int i = 0; i < 8; ++i) {
        const int pin = base + i;
        console_log("L[MAIN_PAGE]: Opening %s\n", kGpioExport);
        board::File exp(kGpioExport, "w");
        if (!exp) {
            console_log("E[MAIN_PAGE]: Failed to open %s\n", kGpioExport);
            return word;
        }
        char pin_text[16];
        int len = std::snprintf(pin_text, sizeof pin_text, "%i", pin);
        console_log("L[MAIN_PAGE]: Exporting pin %s[len: %i]\n", pin_text, len);
        // A pin already exported refuses the write; that is fine.
        std::fwrite(pin_text, 1, static_cast<std::size_t>(len), exp.get());
        exp.close();

        char path[64];
        std::snprintf(path, sizeof path, "/sys/class/gpio/gpio%i/value", pin);
        console_log("L[MAIN_PAGE]: Opening %s\n", path);
        board::File val(path, "r");
        if (!val) {
            console_log("E[MAIN_PAGE]: Failed to open %s\n", path);
            return word;
        }
        // A value that does not convert keeps the one of the pin before.
        int n = std::fscanf(val.get(), "%i", &value);
        console_log("L[MAIN_PAGE]: gpio[%i] read returned %i, value: %i\n", pin, n, value);
        if (value != 0) word |= 1 << i;
    }
    return word;
}

// One number in thousandths from a sensor input; false when it cannot be opened.
bool read_milli(const char *path, float *out) {
    board::File f(path, "r");
    if (!f) {
        console_log("E[MAIN_PAGE]: Failed to open %s\n", path);
        return false;
    }
    int raw = 0;
    if (std::fscanf(f.get(), "%i", &raw) != 1) raw = 0;
    *out = static_cast<float>(raw) / 1000.0f;
    return true;
}

void read_sensors() {
    float v = 0;
    if (!read_milli(kTempInput, &v)) {
        // The voltage is not read in this pass and keeps its text.
        std::snprintf(page.temp_text, sizeof page.temp_text, "%.3f", 0.0);
        return;
    }
    std::snprintf(page.temp_text, sizeof page.temp_text, "%.3f Deg.C", static_cast<double>(v));
    if (!read_milli(kVoltInput, &v)) {
        std::snprintf(page.volt_text, sizeof page.volt_text, "%.3f", 0.0);
        return;
    }
    std::snprintf(page.volt_text, sizeof page.volt_text, "%.3f V", static_cast<double>(v));
}

// A version file as read, at most 20 bytes; the line end and anything after
// a control character would garble the cell, so the text ends there.
void version_cell(int i, const char *path, char (&buf)[21]) {
    std::memset(buf, 0, sizeof buf);
    long n = board::read_bytes(path, buf, sizeof buf - 1);
    if (n < 0) {
        set_text(i, "UNKNOWN");
        set_fore(i, 6);
        return;
    }
    for (char &c : buf) {
        if (c != '\0' && static_cast<unsigned char>(c) < 0x20) {
            c = '\0';
            break;
        }
    }
    set_text(i, buf);
    set_fore(i, 2);
}

void mfg_date_cell() {
    struct tm base {};
    base.tm_year = 96;
    base.tm_mday = 1;
    base.tm_isdst = -1;
    const time_t t0 = mktime(&base);
    const BoardInfo &b = board_info;
    const std::uint32_t minutes = static_cast<std::uint32_t>(b.b_mfg_date[0]) |
                                  static_cast<std::uint32_t>(b.b_mfg_date[1]) << 8 |
                                  static_cast<std::uint32_t>(b.b_mfg_date[2]) << 16;
    console_log("L[MAIN_PAGE]: offset: 0x%08x\n", minutes);
    const time_t t = t0 + static_cast<time_t>(minutes) * 60;
    struct tm tm {};
    page.mfg_date_text[0] = '\0';
    if (localtime_r(&t, &tm) != nullptr)
        std::strftime(page.mfg_date_text, sizeof page.mfg_date_text, "%Y-%m-%d", &tm);
    set_text(F_MFG_DATE, page.mfg_date_text);
}

void status_cells(std::int64_t now) {
    switch (bmc_info.boot_reason) {
    case 1: set_text(F_BOOT, "NORMAL"); set_fore(F_BOOT, 5); break;
    case 2: set_text(F_BOOT, "BOOTCONF FAIL"); set_fore(F_BOOT, 6); break;
    case 3: set_text(F_BOOT, "NOT TESTED"); set_fore(F_BOOT, 6); break;
    case 4: set_text(F_BOOT, "HW TEST FAIL"); set_fore(F_BOOT, 6); break;
    default: set_text(F_BOOT, "UNKNOWN"); set_fore(F_BOOT, 6); break;
    }

    console_log("L[MAIN_PAGE]: Test ok: %i\n", board_info.test_ok);
    switch (board_info.test_ok) {
    case 1: set_text(F_TEST, "PASSED"); set_fore(F_TEST, 5); break;
    case 2: set_text(F_TEST, "FAILED"); set_fore(F_TEST, 6); break;
    default: set_text(F_TEST, "UNKNOWN"); set_fore(F_TEST, 2); break;
    }

    const time_t t = static_cast<time_t>(now);
    struct tm tm {};
    const bool in_1970 = localtime_r(&t, &tm) != nullptr && tm.tm_year == 70;
    set_text(F_RTC, in_1970 ? "FAIL" : "OK");
    set_fore(F_RTC, in_1970 ? 6 : 5);
}

// The clock into the cells. Left and Right move the cursor without editing,
// and the cells keep following the clock: the cursor keeps its column in
// its cell, which the new text would put back to the first.
void show_clock(std::int64_t now) {
    const int col = page.page_focus && page.form_win != nullptr ? page.form->curcol : 0;
    clock_show_at(now);
    for (int i = 0; i < col; ++i) form_driver(page.form, REQ_NEXT_CHAR);
}

void refresh_values() {
    const std::int64_t now = board::now();
    if (!page.clock_edited) show_clock(now);
    const std::int64_t since = now - page.sensor_time;
    if (since != 0 && since != 1) {
        page.sensor_time = now;
        read_sensors();
        set_text(F_TEMP, page.temp_text);
        set_text(F_VOLT, page.volt_text);
    }
}

// Key codes that are no key press (a resize, a mouse or other event) never
// count as editing: treating them so would freeze the clock cells and the
// next Up or Down would set the clock to the stale time they show.

// The two columns when the terminal holds them, else the one column (and
// its size in the notice when not even that fits).
Layout layout_for_terminal() {
    const bool two = COLS >= kTwoColumnsNeed.cols && LINES >= kTwoColumnsNeed.lines;
    return two ? Layout::kTwoColumns : Layout::kOneColumn;
}

// Fields move only while no form holds them.
void move_fields(Layout layout) {
    for (std::size_t i = 0; i < kRows; ++i) {
        const Spot at = layout == Layout::kTwoColumns
                            ? Spot{kMainFields[i].row, kMainFields[i].col}
                            : kCompactSpots[i];
        move_field(page.fields[i], at.row, at.col);
    }
    set_text(static_cast<int>(kDateLabel), layout == Layout::kTwoColumns ? kMainFields[kDateLabel].text : "");
    page.layout = layout;
}

void end_clock_edit() {
    page.clock_edited = false;
    clock_forget_typed();
}

// An edit the page can no longer finish (its form is gone): nothing is set,
// and the cells follow the clock again in their own colours.
void drop_clock_edit() {
    if (!page.clock_edited) return;
    clear_highlight(kMainFields, page.fields.data(), kRows);
    end_clock_edit();
}

// The form placed for the terminal now; the notice, logged once each time
// the page stops fitting, where it cannot be.
void show_form(const FormSpot &spot) {
    const bool was_small = page.too_small;
    const int row = form_row(page.layout);
    page.too_small = !page_form_show(page.panel, page.form, &page.form_win, spot, row);
    if (page.too_small && !was_small) {
        int cols = 0;
        int lines = 0;
        page_form_need(page.form, row, &cols, &lines);
        console_log("W[MAIN_PAGE]: Screen too small: the page needs %ix%i, the terminal is %ix%i\n",
                    cols, lines, COLS, LINES);
    }
    if (page.too_small) {
        page_form_drop_keyboard(page.page_focus);
        drop_clock_edit();
    }
}

// Up, Down or F10 after an edit. True when the clock was set.
bool apply_clock() {
    // A cell failing its pattern ("x", a blank) is a rejected value: read as
    // a number it would set that part of the clock to 0. The buffers hold
    // what was typed already; only the pattern is checked here.
    const int valid = form_driver(page.form, REQ_VALIDATION);
    clear_highlight(kMainFields, page.fields.data(), kRows);
    bool set = false;
    if (valid == E_INVALID_FIELD) {
        clock_reject(current_field(page.form));
    } else {
        // The cells not typed into take the time of this moment.
        clock_show_untyped_at(board::now());
        set = clock_apply() == 0;
    }
    end_clock_edit();
    return set;
}

// Only a key the form driver took edits a cell (one whose full cell the
// pattern then keeps from being left counts too). One it refuses (a
// function key, Home, PgUp, a control character) must not freeze the
// cells, or the next Up or Down would set the clock to the time of that key.
void edit(int request) {
    FIELD *cell = current_field(page.form);
    const int r = page_form_edit(page.form, request);
    if (r != E_OK && r != E_INVALID_FIELD) return;
    highlight_inputs(kMainFields, cell, page.fields.data(), kRows);
    clock_note_typed(cell);
    page.clock_edited = true;
}

}  // namespace

void main_page_create() {
    page.clock_edited = false;
    page.page_focus = false;
    page.first_input = nullptr;
    page.last_input = nullptr;
    page.sensor_time = 0;
    page.volt_text[0] = '\0';
    page.temp_text[0] = '\0';

    read_bmc_info();
    page_panel_create(page.panel);

    page.shred = read_shred();
    std::snprintf(page.shred_text, sizeof page.shred_text, "%i", page.shred);
    console_log("L[MAIN_PAGE]: shred: 0x%08x\n", static_cast<unsigned>(page.shred));

    const std::int64_t now = board::now();
    read_sensors();

    for (std::size_t i = 0; i < kRows; ++i) {
        page.fields[i] = mk_field(kMainFields[i]);
        if (kMainFields[i].kind != FIELD_LABEL) {
            if (page.first_input == nullptr) page.first_input = page.fields[i];
            page.last_input = page.fields[i];
        }
    }
    page.fields[kRows] = nullptr;
    clock_use_cells({page.fields[F_HOUR], page.fields[F_MIN], page.fields[F_SEC],
                     page.fields[F_YEAR], page.fields[F_MONTH], page.fields[F_DAY]});

    // The fields are built where the two columns have them.
    page.layout = Layout::kTwoColumns;
    if (layout_for_terminal() == Layout::kOneColumn) move_fields(Layout::kOneColumn);
    page.form = page_form_new(page.fields.data());
    page.form_win = nullptr;
    page.too_small = false;
    show_form({});

    status_cells(now);
    clock_show_at(now);
    set_text(F_TEMP, page.temp_text);
    set_text(F_VOLT, page.volt_text);
    set_text(F_SHRED, page.shred_text);
    std::snprintf(page.bmc_text, sizeof page.bmc_text, "%i.%i.%i", bmc_info.major,
                  bmc_info.minor, bmc_info.patch);
    set_text(F_BMC, page.bmc_text);
    version_cell(F_SM_VERSION, kRecoveryVersion, page.sm_version_text);
    version_cell(F_KERNEL, kOsRelease, page.kernel_text);
    mfg_date_cell();

    const FruString *texts[] = {
        &board_info.b_mfg_name,    &board_info.b_product_name, &board_info.b_serial_number,
        &board_info.b_part_number, &board_info.b_fru_id,       &board_info.p_product_mfg,
        &board_info.p_part_model_number, &board_info.p_product_version,
    };
    int i = F_MFG_NAME;
    for (const FruString *s : texts) {
        char text[sizeof s->text + 1] = {};
        std::memcpy(text, s->text, sizeof s->text);  // terminated even if the record is not
        set_text(i, text);
        i += 2;
    }
}

PagePanel *main_page_panel() { return &page.panel; }

int main_page_handle_key(int key) {
    if (page.panel.hidden) return 0;
    refresh_values();

    if (page.too_small) {
        // No form to hand the keyboard to: the tab bar keeps it.
        curs_set(0);
        if (page.panel.win != nullptr) wnoutrefresh(page.panel.win);
        return 0;
    }

    if (!page.page_focus) {
        if (page_form_take_keyboard(page.form_win, key, page.page_focus)) page.clock_edited = false;
    } else {
        curs_set(1);
        switch (key) {
        case KEY_DOWN:
        case KEY_UP:
            if (page.clock_edited) apply_clock();
            page_form_move(page.form, key, page.first_input, page.last_input, page.page_focus);
            break;
        // Moving the cursor edits nothing: the cells keep following the clock.
        case KEY_LEFT: form_driver(page.form, REQ_PREV_CHAR); break;
        case KEY_RIGHT: form_driver(page.form, REQ_NEXT_CHAR); break;
        case KEY_BACKSPACE:
        case 127: edit(REQ_DEL_PREV); break;
        case KEY_DC: edit(REQ_DEL_CHAR); break;
        case '\n':
        case 27:
        case ERR: break;
        default:
            if (page_key_types_text(key)) edit(key);
            break;
        }
    }
    // With the cursor hidden, ncurses would still carry it back to the hour
    // field after every clock tick: bytes on a serial line for nothing.
    leaveok(page.panel.win, !page.page_focus);
    page_form_mark_keyboard(page.form, page.form_win, page.page_focus);
    wnoutrefresh(page.panel.win);
    return 0;
}

bool main_page_apply_pending() {
    if (!page.clock_edited || page.form_win == nullptr) return true;
    return apply_clock();
}

void main_page_relayout() {
    const FormSpot spot = page_form_lift(page.form, &page.form_win);
    const Layout layout = layout_for_terminal();
    if (layout != page.layout) {
        // The fields outlive the form: text, colours and the cell to return to.
        free_form(page.form);
        move_fields(layout);
        page.form = page_form_new(page.fields.data());
    }
    page_panel_rebuild(page.panel);
    show_form(spot);
}

void main_page_destroy() {
    clock_use_cells({});
    page_form_destroy(page.form, page.fields.data(), page.form_win);
    page.form = nullptr;
    page.form_win = nullptr;
    page.fields = {};
    page_panel_destroy(page.panel);
}
