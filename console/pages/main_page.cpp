#include "console/pages/main_page.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <curses.h>
#include <form.h>
#include <span>

#include "board/board.h"
#include "board/files.h"
#include "console/field_utils.h"
#include "console/log.h"
#include "console/page_form.h"
#include "console/pages/clock.h"
#include "fru/board_info.h"
#include "fru/fru_store.h"

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

// The page's lines in form order: the left column, then the right one. Each
// line is its label, then its value; the time and the date have five cells
// instead (three numbers and the two marks between them).
enum Line : int {
    kBootStatus, kTestStatus, kRtcStatus, kTime, kDate, kCoreTemp, kCoreVolt, kShred,
    kBmcVersion, kSmVersion, kKernel,
    kMfgDate, kMfgName, kProductName, kSerialNumber, kPartNumber, kFruId, kProductMfg,
    kPartModel, kProductVersion,
    kLineCount,
};
constexpr int kRightColumn = kMfgDate;

constexpr const char *kLabels[kLineCount] = {
    "Boot status", "MFG HW test status", "RTC status", "Time", "Date", "Core temperature",
    "Core voltage", "SHRED", "BMC protocol version", "Service mode version", "Kernel release",
    "Board MFG date", "Board manufacturer", "Board product name", "Board serial number",
    "Board part number", "Board FRU file ID", "Product manufacturer",
    "Product part/model number", "Product version",
};

// Where a column's labels and values stand in the two-column layout.
struct Column {
    int label_col, label_width, value_col, value_width;
};
constexpr Column kLeft = {0, 23, 23, 22};
constexpr Column kRight = {45, 27, 72, 25};

// One cell of the time or the date, at `offset` from the value column; a
// mark between numbers has no pattern.
struct ClockCell {
    int offset, width;
    const char *text, *regexp;
};
constexpr ClockCell kTimeCells[] = {
    {0, 2, "00", "[0-2][0-9]"}, {2, 1, ":", nullptr}, {3, 2, "00", "[0-6][0-9]"},
    {5, 1, ":", nullptr},       {6, 2, "00", "[0-6][0-9]"},
};
constexpr ClockCell kDateCells[] = {
    {0, 4, "0000", "[0-2][0-9][0-9][0-9]"}, {4, 1, "-", nullptr}, {5, 2, "00", "[0-1][0-9]"},
    {7, 1, "-", nullptr},                   {8, 2, "00", "[0-3][0-9]"},
};
constexpr int kClockCells = static_cast<int>(std::size(kTimeCells));
static_assert(std::size(kDateCells) == kClockCells);
constexpr int cells_width(const ClockCell (&cells)[kClockCells]) {
    return cells[kClockCells - 1].offset + cells[kClockCells - 1].width;
}
constexpr int kTimeWidth = cells_width(kTimeCells);
constexpr int kDateWidth = cells_width(kDateCells);

constexpr bool is_clock(int line) { return line == kTime || line == kDate; }

// The field a line's label is built into; its value (or first clock cell)
// is the next one.
constexpr std::size_t label_field(int line) {
    std::size_t i = 0;
    for (int l = 0; l < line; ++l) i += 1 + (is_clock(l) ? kClockCells : 1);
    return i;
}
constexpr std::size_t value_field(int line) { return label_field(line) + 1; }
constexpr std::size_t kRows = label_field(kLineCount);
static_assert(kRows == 48);

// The clock cells the operator types into: hour, minutes, seconds, then
// year, month, day.
constexpr std::size_t kHour = value_field(kTime);
constexpr std::size_t kMinute = kHour + 2;
constexpr std::size_t kSecond = kHour + 4;
constexpr std::size_t kYear = value_field(kDate);
constexpr std::size_t kMonth = kYear + 2;
constexpr std::size_t kDay = kYear + 4;

// Below 100x27 the same fields stand in one column, values at column 27, the
// right column's lines after the left's, and the date after the time on the
// time's row: 19 rows of 70 columns from row 1 of the window, which an 80x24
// terminal (a serial line's usual size) holds with the border whole. Moving
// the fields rather than building others keeps what was typed, the colours
// and the cell the cursor is in.
struct Spot {
    int row, col;
};
constexpr int kOneColumnValues = 27;
constexpr int kOneColumnDate = kOneColumnValues + kTimeWidth + 1;
// The date label has no row of its own: it stands blank behind the date.
constexpr int kOneColumnDateLabel = kOneColumnDate + kDateWidth + 1;

struct MainTable {
    std::array<FieldDesc, kRows> fields;      // the two columns
    std::array<Spot, kRows> one_column;
};

constexpr MainTable make_table() {
    MainTable t{};
    std::size_t i = 0;
    for (int line = 0; line < kLineCount; ++line) {
        const bool right = line >= kRightColumn;
        const Column &c = right ? kRight : kLeft;
        const int row = 2 * (right ? line - kRightColumn : line);
        // The date shares the time's row, so the left column takes one row
        // less than it has lines.
        const int one_row = right ? kRightColumn - 1 + line - kRightColumn : line - (line > kTime ? 1 : 0);
        t.fields[i] = field_label(row, c.label_col, c.label_width, kLabels[line]);
        t.one_column[i++] = {one_row, line == kDate ? kOneColumnDateLabel : 0};
        if (!is_clock(line)) {
            t.fields[i] = field_label(row, c.value_col, c.value_width, "N/A");
            t.one_column[i++] = {one_row, kOneColumnValues};
            continue;
        }
        const int one_col = line == kTime ? kOneColumnValues : kOneColumnDate;
        for (const ClockCell &k : line == kTime ? kTimeCells : kDateCells) {
            const int col = c.value_col + k.offset;
            // The day, the last cell the keyboard reaches, does not skip on.
            const bool autoskip = !(line == kDate && &k == &kDateCells[kClockCells - 1]);
            t.fields[i] = k.regexp != nullptr ? field_cell(row, col, k.width, k.text, k.regexp, autoskip)
                                              : field_label(row, col, k.width, k.text, 3);
            t.one_column[i++] = {one_row, one_col + k.offset};
        }
    }
    return t;
}
constexpr MainTable kTable = make_table();
constexpr std::span<const FieldDesc> kMainFields = kTable.fields;

// The two-column form, drawn at row 2 of the page window; the terminal
// must hold it with the window's border whole.
constexpr int kFormRows = 2 * (kRightColumn - 1) + 1;
constexpr int kFormCols = kRight.value_col + kRight.value_width;
static_assert(kFormRows == 21 && kFormCols == 97);
constexpr PageNeed kTwoColumnsNeed = page_form_need_for(kFormRows, kFormCols, 2);

// No two fields of the one column may share a cell.
constexpr bool one_column_cells_apart() {
    for (std::size_t i = 0; i < kRows; ++i) {
        for (std::size_t j = i + 1; j < kRows; ++j) {
            const Spot a = kTable.one_column[i];
            const Spot b = kTable.one_column[j];
            if (a.row != b.row) continue;
            const int a_end = a.col + kMainFields[i].width;
            const int b_end = b.col + kMainFields[j].width;
            if (a.col < b_end && b.col < a_end) return false;
        }
    }
    return true;
}
static_assert(one_column_cells_apart());

enum class Layout { kTwoColumns, kOneColumn };
constexpr int form_row(Layout layout) { return layout == Layout::kTwoColumns ? 2 : 1; }

// pf.edited: the clock cells were typed into and the clock is not set yet.
struct Page {
    PageForm pf;
    int shred;
    std::array<FIELD *, kRows + 1> fields;
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

void set_text(std::size_t i, const char *text) { set_field_buffer(page.fields[i], 0, text); }
void set_fore(std::size_t i, int pair) { field_paint_fore(page.fields[i], pair); }
// A line's value: its text and the colour pair of its text.
void set_value(int line, const char *text, int pair) {
    set_text(value_field(line), text);
    set_fore(value_field(line), pair);
}

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
void version_cell(int line, const char *path, char (&buf)[21]) {
    std::memset(buf, 0, sizeof buf);
    long n = board::read_bytes(path, buf, sizeof buf - 1);
    if (n < 0) {
        set_value(line, "UNKNOWN", 6);
        return;
    }
    for (char &c : buf) {
        if (c != '\0' && static_cast<unsigned char>(c) < 0x20) {
            c = '\0';
            break;
        }
    }
    set_value(line, buf, 2);
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
    set_text(value_field(kMfgDate), page.mfg_date_text);
}

void status_cells(std::int64_t now) {
    switch (bmc_info.boot_reason) {
    case 1: set_value(kBootStatus, "NORMAL", 5); break;
    case 2: set_value(kBootStatus, "BOOTCONF FAIL", 6); break;
    case 3: set_value(kBootStatus, "NOT TESTED", 6); break;
    case 4: set_value(kBootStatus, "HW TEST FAIL", 6); break;
    default: set_value(kBootStatus, "UNKNOWN", 6); break;
    }

    console_log("L[MAIN_PAGE]: Test ok: %i\n", board_info.test_ok);
    switch (board_info.test_ok) {
    case 1: set_value(kTestStatus, "PASSED", 5); break;
    case 2: set_value(kTestStatus, "FAILED", 6); break;
    default: set_value(kTestStatus, "UNKNOWN", 2); break;
    }

    const time_t t = static_cast<time_t>(now);
    struct tm tm {};
    const bool in_1970 = localtime_r(&t, &tm) != nullptr && tm.tm_year == 70;
    set_value(kRtcStatus, in_1970 ? "FAIL" : "OK", in_1970 ? 6 : 5);
}

// The clock into the cells. Left and Right move the cursor without editing,
// and the cells keep following the clock: the cursor keeps its column in
// its cell, which the new text would put back to the first.
void show_clock(std::int64_t now) {
    const int col = page_form_has_keyboard(page.pf) && page.pf.form_win != nullptr ? page.pf.form->curcol : 0;
    clock_show_at(now);
    for (int i = 0; i < col; ++i) form_driver(page.pf.form, REQ_NEXT_CHAR);
}

void refresh_values() {
    const std::int64_t now = board::now();
    if (!page.pf.edited) show_clock(now);
    const std::int64_t since = now - page.sensor_time;
    if (since != 0 && since != 1) {
        page.sensor_time = now;
        read_sensors();
        set_text(value_field(kCoreTemp), page.temp_text);
        set_text(value_field(kCoreVolt), page.volt_text);
    }
}

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
                            : kTable.one_column[i];
        move_field(page.fields[i], at.row, at.col);
    }
    set_text(label_field(kDate), layout == Layout::kTwoColumns ? kLabels[kDate] : "");
    page.layout = layout;
}

void end_clock_edit() {
    page.pf.edited = false;
    clock_forget_typed();
}

// An edit the page can no longer finish (its form is gone): nothing is set,
// and the cells follow the clock again in their own colours.
void drop_clock_edit() {
    if (!page.pf.edited) return;
    page_form_unmark_edit(page.pf);
    end_clock_edit();
}

// The form placed for the terminal now; the notice, logged once each time
// the page stops fitting, where it cannot be.
void show_form(const FormSpot &spot) {
    const bool was_small = page.too_small;
    const int row = form_row(page.layout);
    page.too_small = !page_form_show(page.pf.panel, page.pf.form, &page.pf.form_win, spot, row);
    if (page.too_small && !was_small) {
        int cols = 0;
        int lines = 0;
        page_form_need(page.pf.form, row, &cols, &lines);
        console_log("W[MAIN_PAGE]: Screen too small: the page needs %ix%i, the terminal is %ix%i\n",
                    cols, lines, COLS, LINES);
    }
    if (page.too_small) {
        page_form_drop_keyboard(page.pf);
        drop_clock_edit();
    }
}

// Up, Down or F10 after an edit. True when the clock was set.
bool apply_clock() {
    // A cell failing its pattern ("x", a blank) is a rejected value: read as
    // a number it would set that part of the clock to 0. The buffers hold
    // what was typed already; only the pattern is checked here.
    const int valid = form_driver(page.pf.form, REQ_VALIDATION);
    page_form_unmark_edit(page.pf);
    bool set = false;
    if (valid == E_INVALID_FIELD) {
        clock_reject(current_field(page.pf.form));
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
    FIELD *cell = current_field(page.pf.form);
    const int r = page_form_edit(page.pf.form, request);
    if (r != E_OK && r != E_INVALID_FIELD) return;
    page_form_mark_edit(page.pf, cell);
    clock_note_typed(cell);
    page.pf.edited = true;
}

// No form to hand the keyboard to: the tab bar keeps it.
bool too_small_turn(int) {
    if (!page.too_small) return false;
    if (page.pf.panel.win != nullptr) wnoutrefresh(page.pf.panel.win);
    return true;
}

void turn_end(PageForm &pf) {
    // With the cursor hidden, ncurses would still carry it back to the hour
    // field after every clock tick: bytes on a serial line for nothing.
    leaveok(pf.panel.win, !page_form_has_keyboard(pf));
    page_form_turn_end(pf);
}

// Moving the cursor edits nothing: the cells keep following the clock.
constexpr PageMeanings kMeanings = {
    .tick = [](int) { refresh_values(); },
    .own_turn = too_small_turn,
    .took_keyboard = [] { page.pf.edited = false; },
    .leave_edit = [](PageForm &) { apply_clock(); },
    .enter = nullptr,
    .edit = [](PageForm &, int request) { edit(request); },
    .cursor_edits = false,
    .turn_end = turn_end,
};

}  // namespace

void main_page_create() {
    page.sensor_time = 0;
    page.volt_text[0] = '\0';
    page.temp_text[0] = '\0';

    read_bmc_info();
    page.shred = read_shred();
    std::snprintf(page.shred_text, sizeof page.shred_text, "%i", page.shred);
    console_log("L[MAIN_PAGE]: shred: 0x%08x\n", static_cast<unsigned>(page.shred));

    const std::int64_t now = board::now();
    read_sensors();

    page_form_begin(page.pf, kMainFields, page.fields);
    page_form_note_eeprom(page.pf, fru_loaded());
    clock_use_cells({page.fields[kHour], page.fields[kMinute], page.fields[kSecond],
                     page.fields[kYear], page.fields[kMonth], page.fields[kDay]});

    // The fields are built where the two columns have them.
    page.layout = Layout::kTwoColumns;
    if (layout_for_terminal() == Layout::kOneColumn) move_fields(Layout::kOneColumn);
    page.pf.form = page_form_new(page.fields.data());
    page.too_small = false;
    show_form({});

    status_cells(now);
    clock_show_at(now);
    set_text(value_field(kCoreTemp), page.temp_text);
    set_text(value_field(kCoreVolt), page.volt_text);
    set_text(value_field(kShred), page.shred_text);
    std::snprintf(page.bmc_text, sizeof page.bmc_text, "%i.%i.%i", bmc_info.major,
                  bmc_info.minor, bmc_info.patch);
    set_text(value_field(kBmcVersion), page.bmc_text);
    version_cell(kSmVersion, kRecoveryVersion, page.sm_version_text);
    version_cell(kKernel, kOsRelease, page.kernel_text);
    // What the EEPROM did not give stays "N/A": its blanks would read as a
    // date in 1996 and as the board's texts.
    if (!fru_loaded()) return;
    mfg_date_cell();

    // The records' texts, terminated even if a record is not.
    const FruString *texts[] = {
        &board_info.b_mfg_name,    &board_info.b_product_name, &board_info.b_serial_number,
        &board_info.b_part_number, &board_info.b_fru_id,       &board_info.p_product_mfg,
        &board_info.p_part_model_number, &board_info.p_product_version,
    };
    static_assert(std::size(texts) == kLineCount - kMfgName);
    for (int line = kMfgName; line < kLineCount; ++line) {
        const FruString *s = texts[line - kMfgName];
        char text[sizeof s->text + 1] = {};
        std::memcpy(text, s->text, sizeof s->text);
        set_text(value_field(line), text);
    }
}

PagePanel *main_page_panel() { return &page.pf.panel; }

int main_page_handle_key(int key) { return page_form_run_turn(page.pf, kMeanings, key); }

bool main_page_apply_pending() {
    if (!page.pf.edited || page.pf.form_win == nullptr) return true;
    if (apply_clock()) return true;
    // The refused cell is the one the check painted white on red.
    const chtype refused = field_attr(field_pair(7));
    for (std::size_t i : {kHour, kMinute, kSecond, kYear, kMonth, kDay}) {
        if (field_back(page.fields[i]) != refused) continue;
        page_form_give_keyboard(page.pf, page.fields[i]);
        break;
    }
    return false;
}

bool main_page_has_pending() { return page.pf.edited && page.pf.form_win != nullptr; }

void main_page_relayout() {
    const FormSpot spot = page_form_lift(page.pf.form, &page.pf.form_win);
    const Layout layout = layout_for_terminal();
    if (layout != page.layout) {
        // The fields outlive the form: text, colours and the cell to return to.
        free_form(page.pf.form);
        move_fields(layout);
        page.pf.form = page_form_new(page.fields.data());
    }
    page_panel_rebuild(page.pf.panel);
    show_form(spot);
}

void main_page_destroy() {
    clock_use_cells({});
    page_form_end(page.pf);
    page.fields = {};
}
