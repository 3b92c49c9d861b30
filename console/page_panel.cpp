#include "console/page_panel.h"

namespace {

void draw_note(WINDOW *win, const char *note) {
    const int width = getmaxx(win) - 4;
    if (note == nullptr || width <= 2) return;
    mvwaddch(win, 0, 2, ' ');
    waddnstr(win, note, width - 2);
    waddch(win, ' ');
}

WINDOW *page_window(const char *note) {
    WINDOW *win = newwin(LINES - 3, 0, 2, 0);
    if (win == nullptr) return nullptr;
    wborder(win, 0, 0, 0, 0, 0, 0, 0, 0);
    wbkgd(win, COLOR_PAIR(2));
    draw_note(win, note);
    return win;
}

}  // namespace

void page_panel_create(PagePanel &p) {
    p.note = nullptr;
    p.win = page_window(p.note);
    p.panel = new_panel(p.win);
    p.hidden = false;
}

void page_panel_rebuild(PagePanel &p) {
    WINDOW *win = page_window(p.note);
    // Too few lines for any window: the old one, which the library has cut
    // to the screen, stays.
    if (win == nullptr || p.panel == nullptr) {
        if (win != nullptr) delwin(win);
        return;
    }
    // The panel keeps its place and whether it is hidden.
    replace_panel(p.panel, win);
    if (p.win != nullptr) delwin(p.win);
    p.win = win;
}

void page_panel_destroy(PagePanel &p) {
    if (p.panel != nullptr) del_panel(p.panel);
    if (p.win != nullptr) delwin(p.win);
    p.panel = nullptr;
    p.win = nullptr;
}

void page_panel_set_note(PagePanel &p, const char *note) {
    p.note = note;
    if (p.win != nullptr) draw_note(p.win, note);
}
