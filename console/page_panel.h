// The record each page keeps of itself for the tab bar; every page's state
// begins with one.
#pragma once

#include <panel.h>

struct PagePanel {
    PANEL *panel;
    WINDOW *win;
    bool hidden;  // written only by top_menu_show_page
    const char *note;  // on the top border, or null
};

// Build a page's window the way every page does: LINES - 3 rows, full width,
// at screen row 2; default border; background pair 2; its panel.
void page_panel_create(PagePanel &p);
// The terminal has a new size: the window again for it under the same
// panel, shown or hidden as before. The caller moves its form over first.
void page_panel_rebuild(PagePanel &p);
void page_panel_destroy(PagePanel &p);
// A note on the window's top border, kept through rebuilds (null: none).
void page_panel_set_note(PagePanel &p, const char *note);
