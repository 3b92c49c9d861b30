#include "console/top_menu.h"

#include <array>
#include <cstring>
#include <menu.h>
#include <panel.h>

#include "console/log.h"

bool tab_focus = false;

namespace {

constexpr const char *kTitle = "Norvane Service Mode";
constexpr const char *kHelp =
    "Enter: select | Left/Right: select page | Up/Down: select option | F6: exit | F10: save and exit";

struct Tab {
    const char *name;
    const char *description;
};
constexpr std::array<Tab, 4> kTabs = {{
    {"Main", "MAIN"},
    {"Boot", "BOOT"},
    {"Network", "NETWORK"},
    {"Maintenance", "MAINTENANCE"},
}};

WINDOW *top_win;
WINDOW *tab_win;
WINDOW *help_win;
// The bar and the help line stand in panels of their own, so the panel
// update draws them after the standard screen: the library touches all of
// that when the terminal changes size, and drawn last it would blank them.
PANEL *top_panel;
PANEL *help_panel;
std::array<ITEM *, kTabs.size() + 1> tab_items;
MENU *tab_menu;

PagePanel *tab_page(int i) { return static_cast<PagePanel *>(item_userptr(tab_items[static_cast<std::size_t>(i)])); }

}  // namespace

namespace {

// The title row with the tabs under it, and the help line, for the
// terminal's size now; the menu is attached to them but not posted.
void build_bar() {
    top_win = newwin(2, COLS, 0, 0);
    wbkgd(top_win, COLOR_PAIR(3));
    set_menu_win(tab_menu, top_win);
    tab_win = derwin(top_win, 1, COLS - 2, 1, 2);
    wbkgd(tab_win, COLOR_PAIR(3));
    set_menu_sub(tab_menu, tab_win);

    int title_len = static_cast<int>(std::strlen(kTitle));
    if (wmove(top_win, 0, COLS / 2 - title_len / 2) == OK) waddstr(top_win, kTitle);

    help_win = newwin(1, COLS, LINES - 1, 0);
    wbkgd(help_win, COLOR_PAIR(3));
    // The column is unsigned on purpose: with fewer than 96 columns the move
    // fails and the help line stays empty.
    unsigned help_col = (static_cast<unsigned>(COLS) - static_cast<unsigned>(std::strlen(kHelp))) / 2u;
    if (wmove(help_win, 0, static_cast<int>(help_col)) == OK && help_col <= static_cast<unsigned>(COLS))
        waddstr(help_win, kHelp);
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

void top_menu_create(PagePanel *main_page, PagePanel *boot_page, PagePanel *net_page,
                     PagePanel *recovery_page) {
    PagePanel *pages[] = {main_page, boot_page, net_page, recovery_page};
    for (std::size_t i = 0; i < kTabs.size(); ++i) {
        tab_items[i] = new_item(kTabs[i].name, kTabs[i].description);
        set_item_userptr(tab_items[i], pages[i]);
    }
    tab_items[kTabs.size()] = nullptr;

    tab_menu = new_menu(tab_items.data());
    // ncurses starts menus non-cyclic; the tabs wrap (Left on Main goes to
    // Maintenance, Right on Maintenance to Main).
    menu_opts_off(tab_menu, O_SHOWDESC | O_NONCYCLIC);
    set_menu_format(tab_menu, 1, 4);
    set_menu_mark(tab_menu, "");
    // The menu draws its foreground as given, without the window's colour:
    // name the bar's pair so the selected tab shows the bar's colours reversed.
    set_menu_fore(tab_menu, A_REVERSE | COLOR_PAIR(3));
    set_menu_back(tab_menu, COLOR_PAIR(3));
    build_bar();
    tab_focus = true;
}

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
    for (int i = 0; i < static_cast<int>(kTabs.size()); ++i) {
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
    if (i >= 0 && i < static_cast<int>(kTabs.size())) set_current_item(tab_menu, tab_items[static_cast<std::size_t>(i)]);
}

int top_menu_handle_key(int key) {
    if (!tab_focus) return 0;
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
    if (tab < 0 || tab > 3) return -2;
    set_current_item(tab_menu, tab_items[static_cast<std::size_t>(tab)]);
    top_menu_show_page(tab_page(tab));
    return 0;
}

void top_menu_destroy() {
    delete_bar();
    free_menu(tab_menu);
    for (std::size_t i = 0; i < kTabs.size(); ++i) free_item(tab_items[i]);
    tab_menu = nullptr;
}
