// tolvane: the board's full-screen service console.
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ncurses.h>
#include <panel.h>
#include <unistd.h>

#include "board/board.h"
#include "board/files.h"
#include "console/exit_action.h"
#include "console/log.h"
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

// The settings the console can change, as the EEPROM held them at start:
// while this session's differ, the operator is told F6 would drop them.
struct Settings {
    std::uint8_t macs[3][6];
    char bootdevice[sizeof board_info.bootdevice];
    std::uint8_t power_policy;
    bool operator==(const Settings &o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
};

Settings settings_now() {
    Settings s{};
    std::memcpy(s.macs[0], board_info.mac, 6);
    std::memcpy(s.macs[1], board_info.mac2, 6);
    std::memcpy(s.macs[2], board_info.mac3, 6);
    std::memcpy(s.bootdevice, board_info.bootdevice, sizeof s.bootdevice);
    s.power_policy = board_info.power_policy;
    return s;
}

// What F10 found typed and not yet applied, and could not apply.
struct Refused {
    bool mac;
    bool clock;
};

void save_countdown(Refused refused, bool fru_read) {
    if (!fru_read) std::printf("FRU EEPROM could not be read: nothing can be saved\n");
    // A setter that could not store its value leaves the EEPROM without it:
    // the operator must hear so, even when the rest is saved. So must a MAC
    // or a clock typed on the screen and refused by its checks.
    bool stored = !refused.clock;
    if (refused.clock) console_log("E[MAIN]: the typed clock was not set\n");
    std::uint8_t unstored = fru_unstored_settings();
    if (refused.mac) unstored = static_cast<std::uint8_t>(unstored | 1u << (MREC_MAC - MREC_MAC));
    for (int id = MREC_MAC; id <= MREC_MAC3; ++id) {
        if ((unstored & (1u << (id - MREC_MAC))) == 0) continue;
        console_log("E[MAIN]: FRU: %s was not stored (id 0x%02x)\n", fru_record(id)->setting, id);
        stored = false;
    }
    if (fru_save() != 0) {
        console_log("E[MAIN]: FRU save failed\n");
        stored = false;
    }
    if (!stored) std::printf("Saving failed: settings were not stored\n");
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
    main_page_create();
    boot_page_create();
    net_page_create();
    recovery_page_create();
    top_menu_create(main_page_panel(), boot_page_panel(), net_page_panel(), recovery_page_panel());
}

// The tab of the last session, and the notice of an EEPROM that did not load.
void restore_pages(bool fru_read) {
    // A bad address line leaves the tab of line 1 selected; show Main and
    // select it too, so the tab on show and the selected tab never differ.
    int restored = restore_state(recovery_page_load_state);
    if (restored == -4) top_menu_select_tab(0);
    if (restored != 0) top_menu_show_page(main_page_panel());
    if (!fru_read) top_menu_notice("FRU EEPROM could not be read: values shown are not stored on the board");
}

// Drawn now: the first wgetch would otherwise repaint the untouched standard
// screen as a blank one and the bar would only appear after the first
// half-second timeout.
void draw_first_frame() {
    untouchwin(stdscr);
    top_menu_handle_key(ERR);
    update_panels();
    doupdate();
}

// The next key as the pages take it: ERR on the half-second timeout.
int next_key() {
    int key = terminal_getch();
    if (key != ERR) console_log("L[MAIN]: CH: 0x%08x\n", static_cast<unsigned>(key));
    // Ctrl-L is no key of the pages: a repaint, or a resize when a
    // sizeless line's terminal now answers with another size.
    if (key == kKeyRepaint) key = terminal_refresh();
    // In a page's form Tab and Shift-Tab move as Down and Up do.
    if (!tab_focus && key == '\t') key = KEY_DOWN;
    if (!tab_focus && key == KEY_BTAB) key = KEY_UP;
    return key;
}

void relayout_pages() {
    top_menu_relayout();
    main_page_relayout();
    boot_page_relayout();
    net_page_relayout();
    recovery_page_relayout();
}

// Every key goes to the tab bar and to each page, in this order; hidden
// pages return at once.
void offer_key(int key) {
    top_menu_handle_key(key);
    main_page_handle_key(key);
    net_page_handle_key(key);
    boot_page_handle_key(key);
    recovery_page_handle_key(key);
}

// One turn's changes on the screen; after a resize everything is repainted
// so nothing stays garbled.
void draw_turn(bool resized) {
    if (resized) clearok(curscr, TRUE);
    update_panels();
    top_menu_place_cursor();
    doupdate();
}

// Keys until F6, F10 or a page's exit action; true when F10 asked for the
// save, with what it could not apply in refused.
bool key_loop(const Settings &at_start, Refused *refused) {
    ExitAction = EXIT_NONE;
    for (;;) {
        int key = next_key();
        if (key == KEY_RESIZE) relayout_pages();
        if (key == KEY_F(10)) {
            // What was typed and not applied yet is applied as Up or Down
            // would, before the save: a MAC into the records, a clock set.
            refused->mac = !net_page_apply_pending();
            refused->clock = !main_page_apply_pending();
        }
        offer_key(key);
        top_menu_set_unsaved(!(settings_now() == at_start));
        draw_turn(key == KEY_RESIZE);
        if (key == KEY_F(6) || key == KEY_F(10) || ExitAction != 0) return key == KEY_F(10);
    }
}

// The tab for the next start, the pages gone, the terminal given back with
// its output unbuffered enough for the countdown and a started program.
void leave_screen() {
    save_state(recovery_page_save_state);
    curs_set(1);
    recovery_page_destroy();
    net_page_destroy();
    boot_page_destroy();
    main_page_destroy();
    top_menu_destroy();
    terminal_modes_off();
    endwin();
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setvbuf(stderr, nullptr, _IONBF, 0);
}

}  // namespace

int main() {
    board::fill_standard_fds();
    if (!board::require_root("tolvane")) return 2;
    std::setlocale(LC_ALL, "");

    start_log();
    const bool fru_read = load_fru();
    const Settings at_start = settings_now();
    start_curses();
    build_pages();
    restore_pages(fru_read);
    draw_first_frame();

    Refused refused{};
    const bool save_on_exit = key_loop(at_start, &refused);

    leave_screen();
    exit_action_run();
    if (save_on_exit) save_countdown(refused, fru_read);
    exit_action_poweroff();
    return 0;
}
