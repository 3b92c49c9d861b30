#include "console/page_panel.h"

void page_panel_create(PagePanel &p) {
    p.win = newwin(LINES - 3, 0, 2, 0);
    wborder(p.win, 0, 0, 0, 0, 0, 0, 0, 0);
    wbkgd(p.win, COLOR_PAIR(2));
    p.panel = new_panel(p.win);
    p.hidden = false;
}

void page_panel_destroy(PagePanel &p) {
    if (p.panel != nullptr) del_panel(p.panel);
    if (p.win != nullptr) delwin(p.win);
    p.panel = nullptr;
    p.win = nullptr;
}
