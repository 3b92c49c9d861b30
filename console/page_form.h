// The form every page builds inside its window the same way.
#pragma once

#include <form.h>

#include "console/page_panel.h"

// new_form over the null-terminated fields; O_NL_OVERLOAD and O_BS_OVERLOAD
// off; sized by scale_form (the window's full size if that fails); attached
// to the page window, drawn in a sub-window at row 2, column 2 of it;
// posted; every line of the page window redrawn. *form_win is null when the
// sub-window does not fit the window (a terminal too small for the page);
// the form is then not posted.
FORM *page_form_create(PagePanel &page, FIELD **fields, WINDOW **form_win);

// Unpost and free the form, free every field with its spinner data, delete
// the sub-window. Null-safe.
void page_form_destroy(FORM *form, FIELD **fields, WINDOW *form_win);

// Codes the terminal library hands in that are no key press (a resize, a
// mouse report, anything beyond the key codes): no page edits with them.
bool page_key_is_event(int key);

// The keyboard hand-over with the tab bar, as every page does it. Without
// the keyboard the cursor is hidden and Down takes it: true when it did.
bool page_form_take_keyboard(int key, bool &page_focus);

// With the keyboard: Down goes to the next field unless the current one is
// the last; Up goes to the previous field, or from the first gives the
// keyboard back to the tab bar. Other keys are left alone.
void page_form_move(FORM *form, int key, FIELD *first, FIELD *last, bool &page_focus);
