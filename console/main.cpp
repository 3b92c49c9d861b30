// tolvane: the board's full-screen service console.
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <ncurses.h>
#include <panel.h>
#include <unistd.h>

#include "board/board.h"
#include "board/files.h"
#include "console/exit_action.h"
#include "console/log.h"
#include "console/page_ops.h"
#include "console/page_state.h"
#include "console/pages/boot_page.h"
#include "console/pages/main_page.h"
#include "console/pages/net_page.h"
#include "console/pages/recovery_page.h"
#include "console/terminal.h"
#include "console/top_menu.h"
#include "fru/board_info.h"
#include "fru/fru_log.h"
#include "fru/fru_store.h"

namespace {

constexpr const char *kLogPath = "/var/log/tolvane.log";

// The pages in tab order. Main comes first: the Boot page reads the BMC
// version it finds.
constexpr PageOps kPages[] = {
    {"Main", main_page_create, main_page_panel, main_page_relayout, main_page_handle_key, nullptr,
     main_page_apply_pending, main_page_has_pending, main_page_destroy},
    {"Boot", boot_page_create, boot_page_panel, boot_page_relayout, boot_page_handle_key, nullptr, nullptr,
     nullptr, boot_page_destroy},
    {"Network", net_page_create, net_page_panel, net_page_relayout, net_page_handle_key,
     net_page_check_pending, net_page_apply_pending, net_page_has_pending, net_page_destroy},
    {"Maintenance", recovery_page_create, recovery_page_panel, recovery_page_relayout,
     recovery_page_handle_key, nullptr, nullptr, nullptr, recovery_page_destroy},
};
static_assert(std::size(kPages) <= kMaxPages);

void start_colours() {
    init_pair(1, COLOR_BLACK, COLOR_WHITE);
    init_pair(2, COLOR_BLUE, COLOR_WHITE);
    init_pair(3, COLOR_WHITE, COLOR_BLUE);
    init_pair(4, COLOR_BLACK, COLOR_BLACK);
    init_pair(5, COLOR_GREEN, COLOR_WHITE);
    init_pair(6, COLOR_RED, COLOR_WHITE);
    init_pair(7, COLOR_WHITE, COLOR_RED);
    init_pair(8, COLOR_WHITE, COLOR_BLACK);
}

// The records as the EEPROM held them at start.
BoardInfo at_start;

// The first record of `id` in `info`, or null.
const MultiRecord *record_of(const BoardInfo &info, std::uint8_t id) {
    const std::uint32_t count = info.mrec_count < FRU_MREC_MAX ? info.mrec_count : FRU_MREC_MAX;
    for (std::uint32_t i = 0; i < count; ++i)
        if (info.mrecs[i].type == id) return &info.mrecs[i];
    return nullptr;
}

// F10 would store what this session changed, or set a typed clock: the
// operator is told F6 would drop it. A setting the EEPROM cannot take (no
// record for it, a full table) is no change F10 could save, nor is anything
// when the EEPROM was not read. The power state only follows a policy.
// Records are compared as F10 writes them: a value a page corrected in
// BoardInfo alone (a policy code the page cannot show) leaves its record
// as loaded, and F10 would write it back unchanged.
bool unsaved_changes(bool fru_read) {
    for (const PageOps &page : kPages)
        if (page.has_pending != nullptr && page.has_pending()) return true;
    if (!fru_read) return false;
    for (const FruRecord &r : kFruRecords) {
        if (r.kind == FRU_VALUE_FLAG || fru_record_unstored(r)) continue;
        const MultiRecord *now = record_of(board_info, r.id);
        const MultiRecord *then = record_of(at_start, r.id);
        if (now == nullptr || then == nullptr) {
            if (now != then) return true;
            continue;
        }
        if (now->length != then->length) return true;
        if (now->length > 0 && std::memcmp(now->data, then->data, static_cast<std::size_t>(now->length)) != 0)
            return true;
    }
    return false;
}

// "a", "a and b", "a, b and c": the settings not stored; their count.
int name_unstored(char *out, std::size_t size) {
    int count = 0;
    for (const FruRecord &r : kFruRecords) count += fru_record_unstored(r) ? 1 : 0;
    std::size_t used = 0;
    out[0] = '\0';
    int n = 0;
    for (const FruRecord &r : kFruRecords) {
        if (!fru_record_unstored(r)) continue;
        const char *sep = n == 0 ? "" : (n == count - 1 ? " and " : ", ");
        const int w = std::snprintf(out + used, size - used, "%s%s", sep, r.setting);
        if (w < 0 || static_cast<std::size_t>(w) >= size - used) break;
        used += static_cast<std::size_t>(w);
        ++n;
    }
    return count;
}

// The EEPROM written, one line when not everything reached it (naming what
// did not), then the ten-second countdown.
void save_countdown(bool fru_read) {
    char failed[160] = "";
    if (!fru_read) {
        // No image of the board to write back into: nothing is tried.
        std::snprintf(failed, sizeof failed, "FRU EEPROM could not be read: nothing can be saved");
    } else {
        // A setter that could not store its value leaves the EEPROM without
        // it: the operator must hear which, while the rest is saved.
        for (const FruRecord &r : kFruRecords)
            if (fru_record_unstored(r))
                console_log("E[MAIN]: FRU: %s was not stored (id 0x%02x)\n", r.setting, r.id);
        char names[128];
        const int unstored = name_unstored(names, sizeof names);
        if (fru_save() != 0) {
            console_log("E[MAIN]: FRU save failed\n");
            std::snprintf(failed, sizeof failed, "Saving failed: settings were not stored");
        } else if (unstored != 0) {
            std::snprintf(failed, sizeof failed, "Saving failed: %s %s not stored", names,
                          unstored == 1 ? "was" : "were");
        }
    }
    if (failed[0] != '\0') std::printf("%s\n", failed);
    std::printf("Saving ");
    std::fflush(stdout);
    for (int i = 0; i < 10; ++i) {
        board::countdown_second();
        std::printf(".");
        std::fflush(stdout);
    }
    sync();
}

// The log first, so every later step can be read back from it. A log that
// cannot be opened leaves log_file null and logging is skipped.
void start_log() {
    log_file = board::fopen_board(kLogPath, "w");
    console_log("L[MAIN]: Started log\n");
    const char *tty = ttyname(0);
    console_log("L[MAIN]: ttyname: %s\n", tty != nullptr ? tty : "(null)");
}

// Whether the EEPROM loaded; one more try a second later.
bool load_fru() {
    console_log("L[MAIN]: Parse FRU\n");
    fru_log_set_sink(log_file, true);
    bool fru_read = fru_load() == 0;
    if (!fru_read) {
        sleep(1);
        fru_read = fru_load() == 0;
    }
    return fru_read;
}

void start_curses() {
    terminal_query_size();
    initscr();
    console_log("L[MAIN]: Start color\n");
    start_color();
    // Pair 0 is the terminal's own colours (no cell of ours uses it): ncurses
    // then ends every update with a plain attribute reset instead of also
    // setting white on black again, ten bytes less per clock tick.
    use_default_colors();
    // Raw for the whole session, no cbreak(): that would give the line its
    // signal characters back, and Ctrl-C would end the console with the
    // settings unsaved and the board not powered off.
    raw();
    keypad(stdscr, TRUE);
    terminal_modes_on();
    noecho();
    wtimeout(stdscr, 500);
    start_colours();
    curs_set(0);
    terminal_define_keys();
    console_log("L[MAIN]: Init done\n");
    console_log("L[MAIN]: Available screen space: %ix%i\n", COLS, LINES);
}

void build_pages() {
    for (const PageOps &page : kPages) page.create();
    top_menu_create(kPages);
}

// The tab of the last session, and the notice of an EEPROM that did not load.
void restore_pages(bool fru_read) {
    // A bad address line leaves the tab of line 1 selected; show Main and
    // select it too, so the tab on show and the selected tab never differ.
    int restored = restore_state(recovery_page_load_state);
    if (restored == -4) top_menu_select_tab(0);
    if (restored != 0) top_menu_show_page(kPages[0].panel());
    if (!fru_read) top_menu_notice("FRU EEPROM could not be read: values shown are not stored on the board");
}

// The turn of the page on show.
void page_turn(int key) {
    for (const PageOps &page : kPages)
        if (!page.panel()->hidden) page.handle_key(key);
}

// Every key goes to the tab bar, then to the page on show once the bar has
// taken it (after Left or Right, the page the bar just showed).
void offer_key(int key) {
    top_menu_handle_key(key);
    page_turn(key);
}

// One turn's changes on the screen; after a resize everything is repainted
// so nothing stays garbled.
void draw_turn(bool resized) {
    if (resized) clearok(curscr, TRUE);
    // Shown or hidden in the turn the keyboard changed hands, not at the
    // next half-second timeout.
    curs_set(top_menu_keyboard() != nullptr ? 1 : 0);
    update_panels();
    top_menu_place_cursor();
    doupdate();
}

// Drawn now: the first wgetch would otherwise repaint the untouched standard
// screen as a blank one and the bar would only appear after the first
// half-second timeout. Then the first turn at once, so the page on show has
// its values (the Maintenance buttons) without that wait either.
void draw_first_frame() {
    untouchwin(stdscr);
    top_menu_handle_key(ERR);
    update_panels();
    doupdate();
    page_turn(ERR);
    draw_turn(false);
}

// The next key as the pages take it: ERR on the half-second timeout.
int next_key() {
    int key = terminal_getch();
    if (key != ERR) console_log("L[MAIN]: CH: 0x%08x\n", static_cast<unsigned>(key));
    // Ctrl-L is no key of the pages: a repaint, or a resize when a
    // sizeless line's terminal now answers with another size.
    if (key == kKeyRepaint) key = terminal_refresh();
    // In a page's form Tab and Shift-Tab move as Down and Up do.
    const bool form_has_keyboard = top_menu_keyboard() != nullptr;
    if (form_has_keyboard && key == '\t') key = KEY_DOWN;
    if (form_has_keyboard && key == KEY_BTAB) key = KEY_UP;
    return key;
}

void relayout_pages() {
    top_menu_relayout();
    for (const PageOps &page : kPages) page.relayout();
}



// The page of tab `tab` on show, when it is not.
void show_tab(int tab) {
    PagePanel *page = kPages[tab].panel();
    if (!page->hidden) return;
    top_menu_select_tab(tab);
    top_menu_show_page(page);
}

// The first page whose `step` refuses, or -1 when every page took it.
int refusing_page(bool (*PageOps::*step)()) {
    for (int i = 0; i < static_cast<int>(std::size(kPages)); ++i) {
        bool (*run)() = kPages[i].*step;
        if (run != nullptr && !run()) return i;
    }
    return -1;
}

// F10: what was typed and not applied yet is applied as Up or Down would,
// before the save: a MAC into the records, a clock set. A value refused
// for its text keeps the console up, with nothing stored or set and the
// keyboard on the refused cell; so every check comes before any storing.
bool pending_accepted() {
    int refused = refusing_page(&PageOps::check_pending);
    if (refused < 0) refused = refusing_page(&PageOps::apply_pending);
    if (refused < 0) return true;
    show_tab(refused);
    console_log("W[MAIN]: F10 refused: a typed value was not accepted\n");
    return false;
}

// Keys until F6, F10 or a page's exit action; true when F10 asked for the save.
bool key_loop(bool fru_read) {
    ExitAction = EXIT_NONE;
    for (;;) {
        int key = next_key();
        if (key == KEY_RESIZE) relayout_pages();
        // A refused F10 is no key for the pages: the refusal's message stays.
        if (key == KEY_F(10) && !pending_accepted()) key = ERR;
        offer_key(key);
        top_menu_set_unsaved(unsaved_changes(fru_read));
        draw_turn(key == KEY_RESIZE);
        if (key == KEY_F(6) || key == KEY_F(10) || ExitAction != 0) return key == KEY_F(10);
    }
}

// The tab for the next start, the pages gone, the terminal given back with
// its output unbuffered enough for the countdown and a started program.
void leave_screen() {
    exit_action_hold_signals();
    save_state(recovery_page_save_state);
    curs_set(1);
    for (auto page = std::rbegin(kPages); page != std::rend(kPages); ++page) page->destroy();
    top_menu_destroy();
    terminal_modes_off();
    endwin();
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setvbuf(stderr, nullptr, _IONBF, 0);
    exit_action_clean_line();
}

}  // namespace

int main() {
    board::fill_standard_fds();
    // A closed output (a log on a pipe, a line gone) is an error the console
    // handles; it must not end the run between the EEPROM write and the
    // power-off. Started programs get the default back.
    std::signal(SIGPIPE, SIG_IGN);
    if (!board::require_root("tolvane")) return 2;
    std::setlocale(LC_ALL, "");

    start_log();
    const bool fru_read = load_fru();
    at_start = board_info;
    start_curses();
    build_pages();
    restore_pages(fru_read);
    draw_first_frame();

    const bool save_on_exit = key_loop(fru_read);

    leave_screen();
    exit_action_run();
    if (save_on_exit) save_countdown(fru_read);
    exit_action_poweroff();
    return 0;
}
