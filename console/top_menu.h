// The tab bar: title, a tab per page and the help line; it owns the choice
// of the page on show.
#pragma once

#include <cstdio>
#include <span>

#include "console/page_ops.h"
#include "console/page_panel.h"

// A tab for each row, in their order; the rows (at most kMaxPages) must
// outlive the bar, their pages built already.
void top_menu_create(std::span<const PageOps> pages);
// The terminal has a new size: title, tab bar and help line again for it,
// the same tab selected.
void top_menu_relayout();
// Who has the keyboard: the tab bar (null) or the page of this panel. The
// bar has it from top_menu_create on.
const PagePanel *top_menu_keyboard();
// The keyboard to that page's form, or back to the tab bar (null).
void top_menu_give_keyboard(const PagePanel *page);
void top_menu_show_page(PagePanel *page);
// Make tab i the current item without showing or hiding any page.
void top_menu_select_tab(int i);
int top_menu_handle_key(int key);
// A short message on the help line in place of the legend: what the console
// refused or did not do. It goes with the next key or after five seconds.
void top_menu_message(const char *text);
// Likewise, but it stays until the next key.
void top_menu_notice(const char *text);
// Settings of this session differ from what the EEPROM held at start: the
// legend (below 96 columns) or the title row says so.
void top_menu_set_unsaved(bool changes);
// After the panels are out, before the update: a cursor the terminal cannot
// hide rests on the selected tab while the tab bar has the keyboard.
void top_menu_place_cursor();
int top_menu_save_state(std::FILE *f);
int top_menu_load_state(std::FILE *f);
void top_menu_destroy();
