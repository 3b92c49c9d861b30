#include "console/top_menu.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <menu.h>
#include <panel.h>
#include <string_view>

#include "console/log.h"

namespace {

constexpr const char *kTitle = "Norvane Service Mode";
constexpr const char *kHelp =
    "Enter: select | Left/Right: select page | Up/Down: select option | F6: exit | F10: save and exit";
constexpr int kHelpCols = 96;
// Below the full help line's width, the first of these that fits; the F10
// part grows a note while settings differ from what the EEPROM held. Both
// keys power the board off: "exit" read as if a shell came next.
constexpr std::array<const char *, 4> kLegends = {
    "Enter: select | Arrows: move | F6: power off | F10: save, power off%s",
    "Enter | Arrows | F6: power off | F10: save, power off%s",
    "F6: power off | F10: save, power off%s",
    "F6, F10 (save): power off%s",
};
constexpr const char *kUnsavedNote = " (unsaved changes)";
constexpr const char *kUnsavedShortNote = " (unsaved)";
constexpr const char *kUnsavedTitle = "unsaved changes";
constexpr long long kMessageMs = 5000;

std::span<const PageOps> pages;

WINDOW *top_win;
WINDOW *tab_win;
WINDOW *help_win;
// The bar and the help line stand in panels of their own, so the panel
// update draws them after the standard screen: the library touches all of
// that when the terminal changes size, and drawn last it would blank them.
PANEL *top_panel;
PANEL *help_panel;
std::array<ITEM *, kMaxPages + 1> tab_items;
MENU *tab_menu;

// The one owner of the keyboard: the tab bar (null) or a page.
const PagePanel *keyboard_owner;
bool unsaved;
// vt100 and its kin have no way to hide the cursor.
bool cursor_hides;
// The message on the help line, if any, and until when it stays (0: until
// the next key).
char message[128];
long long message_until;

long long now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000LL + ts.tv_nsec / 1000000L;
}

int tab_count() { return static_cast<int>(pages.size()); }

PagePanel *tab_page(int i) { return static_cast<PagePanel *>(item_userptr(tab_items[static_cast<std::size_t>(i)])); }

}  // namespace

namespace {

// Centred, or from column 0 when it is wider than the window; cut to fit.
void put_centred(WINDOW *w, int row, std::string_view text) {
    if (w == nullptr) return;
    int width = getmaxx(w);
    int len = static_cast<int>(text.size());
    if (len > width) len = width;
    if (wmove(w, row, (width - len) / 2) == OK) waddnstr(w, text.data(), len);
}

void draw_title() {
    if (top_win == nullptr) return;
    wmove(top_win, 0, 0);
    wclrtoeol(top_win);
    put_centred(top_win, 0, kTitle);
    // From the full help line's width on, the note stands at the title's
    // right end; below it, in the legend.
    int note = static_cast<int>(std::strlen(kUnsavedTitle));
    if (unsaved && COLS >= kHelpCols && wmove(top_win, 0, COLS - note - 1) == OK)
        waddstr(top_win, kUnsavedTitle);
}

// The help line: a message while there is one, else the help text for the
// width (the full line from 96 columns on, a legend that fits below).
void draw_help() {
    if (help_win == nullptr) return;
    werase(help_win);
    if (message[0] != '\0') {
        put_centred(help_win, 0, message);
        return;
    }
    if (COLS >= kHelpCols) {
        put_centred(help_win, 0, kHelp);
        return;
    }
    // The full note with the longest legend that takes it, else the short
    // one: cut to the width, the note would end in the middle of a word.
    char line[128];
    for (const char *note : {kUnsavedNote, kUnsavedShortNote}) {
        for (const char *legend : kLegends) {
            std::snprintf(line, sizeof line, legend, unsaved ? note : "");
            if (static_cast<int>(std::strlen(line)) <= COLS) {
                put_centred(help_win, 0, line);
                return;
            }
        }
    }
    put_centred(help_win, 0, line);
}

// The title row with the tabs under it, and the help line, for the
// terminal's size now; the menu is attached to them but not posted.
void build_bar() {
    top_win = newwin(2, COLS, 0, 0);
    wbkgd(top_win, COLOR_PAIR(3));
    set_menu_win(tab_menu, top_win);
    tab_win = derwin(top_win, 1, COLS - 2, 1, 2);
    wbkgd(tab_win, COLOR_PAIR(3));
    set_menu_sub(tab_menu, tab_win);

    help_win = newwin(1, COLS, LINES - 1, 0);
    wbkgd(help_win, COLOR_PAIR(3));
    draw_title();
    draw_help();
    post_menu(tab_menu);

    // Under the pages, and never where the cursor is left: it belongs in
    // the form that has the keyboard.
    if (top_win != nullptr) {
        leaveok(top_win, TRUE);
        top_panel = new_panel(top_win);
        bottom_panel(top_panel);
    }
    if (help_win != nullptr) {
        leaveok(help_win, TRUE);
        help_panel = new_panel(help_win);
        bottom_panel(help_panel);
    }
    wredrawln(top_win, 0, getmaxy(top_win));
    wredrawln(help_win, 0, getmaxy(help_win));
}

void delete_bar() {
    unpost_menu(tab_menu);
    if (top_panel != nullptr) del_panel(top_panel);
    if (help_panel != nullptr) del_panel(help_panel);
    top_panel = help_panel = nullptr;
    set_menu_sub(tab_menu, nullptr);
    set_menu_win(tab_menu, nullptr);
    if (tab_win != nullptr) delwin(tab_win);
    if (top_win != nullptr) delwin(top_win);
    if (help_win != nullptr) delwin(help_win);
    tab_win = top_win = help_win = nullptr;
}

}  // namespace

void top_menu_create(std::span<const PageOps> rows) {
    pages = rows.first(std::min(rows.size(), tab_items.size() - 1));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        tab_items[i] = new_item(pages[i].name, pages[i].name);
        set_item_userptr(tab_items[i], pages[i].panel());
    }
    tab_items[pages.size()] = nullptr;

    tab_menu = new_menu(tab_items.data());
    // ncurses starts menus non-cyclic; the tabs wrap (Left on Main goes to
    // Maintenance, Right on Maintenance to Main).
    menu_opts_off(tab_menu, O_SHOWDESC | O_NONCYCLIC);
    set_menu_format(tab_menu, 1, static_cast<int>(pages.size()));
    set_menu_mark(tab_menu, "");
    // The menu draws its foreground as given, without the window's colour:
    // name the bar's pair so the selected tab shows the bar's colours reversed.
    set_menu_fore(tab_menu, A_REVERSE | COLOR_PAIR(3));
    set_menu_back(tab_menu, COLOR_PAIR(3));
    message[0] = '\0';
    unsaved = false;
    const char *civis = tigetstr("civis");
    cursor_hides = civis != nullptr && civis != reinterpret_cast<char *>(-1);
    build_bar();
    keyboard_owner = nullptr;
}

const PagePanel *top_menu_keyboard() { return keyboard_owner; }

void top_menu_give_keyboard(const PagePanel *page) { keyboard_owner = page; }

void top_menu_relayout() {
    // The selected tab stays; the menu forgets nothing while unposted, but
    // naming it again costs nothing and survives a post that failed before.
    ITEM *selected = current_item(tab_menu);
    delete_bar();
    build_bar();
    if (selected != nullptr) set_current_item(tab_menu, selected);
    // Out now: while a page has the keyboard the key handler leaves the bar
    // alone, and the old bar would stay on the screen.
    wnoutrefresh(top_win);
    wnoutrefresh(help_win);
}

void top_menu_show_page(PagePanel *page) {
    for (int i = 0; i < tab_count(); ++i) {
        PagePanel *p = tab_page(i);
        if (p == page) {
            console_log("L[TOP_MENU]: Show panel %i\n", i);
            show_panel(p->panel);
            p->hidden = false;
        } else {
            console_log("L[TOP_MENU]: Hide panel %i\n", i);
            hide_panel(p->panel);
            p->hidden = true;
        }
    }
}

void top_menu_select_tab(int i) {
    if (i >= 0 && i < tab_count()) set_current_item(tab_menu, tab_items[static_cast<std::size_t>(i)]);
}

void top_menu_message(const char *text) {
    std::snprintf(message, sizeof message, "%s", text);
    message_until = now_ms() + kMessageMs;
    draw_help();
    if (help_win != nullptr) wnoutrefresh(help_win);
}

void top_menu_notice(const char *text) {
    top_menu_message(text);
    message_until = 0;
}

void top_menu_set_unsaved(bool changes) {
    if (changes == unsaved) return;
    unsaved = changes;
    draw_title();
    draw_help();
    if (top_win != nullptr) wnoutrefresh(top_win);
    if (help_win != nullptr) wnoutrefresh(help_win);
}

void top_menu_place_cursor() {
    if (keyboard_owner != nullptr || cursor_hides || top_win == nullptr) return;
    pos_menu_cursor(tab_menu);
    leaveok(top_win, FALSE);
    wnoutrefresh(top_win);
    leaveok(top_win, TRUE);
}

int top_menu_handle_key(int key) {
    // A message stays until the next key, or five seconds when it may.
    if (message[0] != '\0' && key != KEY_RESIZE &&
        (key != ERR || (message_until != 0 && now_ms() >= message_until))) {
        message[0] = '\0';
        draw_help();
        wnoutrefresh(help_win);
    }
    if (keyboard_owner != nullptr) return 0;
    if (key == KEY_LEFT || key == KEY_RIGHT) {
        menu_driver(tab_menu, key == KEY_LEFT ? REQ_LEFT_ITEM : REQ_RIGHT_ITEM);
        top_menu_show_page(static_cast<PagePanel *>(item_userptr(current_item(tab_menu))));
        touchwin(top_win);
    }
    wnoutrefresh(top_win);
    wnoutrefresh(help_win);
    return 0;
}

int top_menu_save_state(std::FILE *f) { return std::fprintf(f, "%i\n", item_index(current_item(tab_menu))); }

int top_menu_load_state(std::FILE *f) {
    int tab = 0;
    if (std::fscanf(f, "%i\n", &tab) != 1) return -1;
    if (tab < 0 || tab >= tab_count()) return -2;
    set_current_item(tab_menu, tab_items[static_cast<std::size_t>(tab)]);
    top_menu_show_page(tab_page(tab));
    return 0;
}

void top_menu_destroy() {
    delete_bar();
    free_menu(tab_menu);
    for (std::size_t i = 0; i < pages.size(); ++i) free_item(tab_items[i]);
    tab_menu = nullptr;
    pages = {};
}
