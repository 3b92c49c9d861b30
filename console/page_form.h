// The form every page builds inside its window the same way.
#pragma once

#include <form.h>

#include "console/page_panel.h"

// Where the cursor stood in a form that is taken off the screen, so it can
// stand there again once the form is back.
struct FormSpot {
    FIELD *field;
    int col;
};

// new_form over the null-terminated fields, O_NL_OVERLOAD and O_BS_OVERLOAD
// off; not posted.
FORM *page_form_new(FIELD **fields);

// What the terminal must hold for a form of `rows` x `cols` drawn at `row`,
// column 2 of a page window with the window's border whole: the border and
// the blank column before the form, the border after it, the tab bar's two
// lines and the help line.
struct PageNeed {
    int cols;
    int lines;
};
constexpr PageNeed page_form_need_for(int rows, int cols, int row) {
    return {cols + 3, rows + row + 4};
}

// The same for this form at `row`: columns and lines.
void page_form_need(FORM *form, int row, int *cols, int *lines);

// Attach the unposted form to the page window, in a sub-window at `row`,
// column 2, and post it; the cursor goes back to `spot` when it names one of
// the form's fields. False, with *form_win null and the form unposted, when
// the window cannot hold it.
bool page_form_place(PagePanel &page, FORM *form, WINDOW **form_win, int row,
                     const FormSpot &spot = {});

// Take the posted form off the screen; the sub-window is deleted. The field
// buffers are not read back from the windows: on a resize the library has
// cut those to the new size already (page_form_edit keeps the buffers whole).
// Null-safe.
FormSpot page_form_lift(FORM *form, WINDOW **form_win);

// The notice that stands in for a form the terminal cannot hold.
void page_form_notice(WINDOW *win, int need_cols, int need_lines);

// The form placed at `row` (2 in the page layout of every page), its cursor
// at `spot`; when the window cannot hold it, the size notice stands in the
// window instead. Every line of the window redrawn. True when posted.
bool page_form_show(PagePanel &page, FORM *form, WINDOW **form_win, const FormSpot &spot = {},
                    int row = 2);

// page_form_new, then placed at row 2 (the page layout of every page); when
// the window cannot hold it *form_win is null, the form is not posted and
// the size notice stands in the window. Every line of the window redrawn.
FORM *page_form_create(PagePanel &page, FIELD **fields, WINDOW **form_win);

// The terminal has a new size: the page window again for it and the form
// back in it at row 2, with its current field and what was typed into it;
// the notice where it no longer fits. True when the form is posted.
bool page_form_relayout(PagePanel &page, FORM *form, WINDOW **form_win);

// Unpost and free the form, free every field with its spinner data, delete
// the sub-window. Null-safe.
void page_form_destroy(FORM *form, FIELD **fields, WINDOW *form_win);

// An editing request (a typed character, a deletion, a cursor move) to the
// form, then what the current field's window holds copied into its buffer:
// a field holds what was typed the moment it was typed, before a resize
// can cut its window. The form driver's result.
int page_form_edit(FORM *form, int request);

// Codes the terminal library hands in that are no key press (a resize, a
// mouse report, anything beyond the key codes): no page edits with them.
bool page_key_is_event(int key);

// A key that types into a field: printable ASCII only. Outside a UTF-8
// locale (the board runs in C) the wide form library cannot turn other
// bytes back into text, and its field_buffer then miscounts the text: it
// comes back garbled, in a buffer too large to allocate or of zero bytes
// that it writes past. Function and control keys type nothing either.
bool page_key_types_text(int key);

// The keyboard hand-over with the tab bar, as every page does it. Without
// the keyboard the cursor is hidden and Down takes it, but only for a form
// on the screen (form_win not null): true when it did.
bool page_form_take_keyboard(const WINDOW *form_win, int key, bool &page_focus);

// The page lost its form (the terminal became too small): if it had the
// keyboard, the tab bar gets it back. True when the keyboard moved.
bool page_form_drop_keyboard(bool &page_focus);

// At the end of the page's turn on show: without colours, the field with
// the keyboard (none while the tab bar has it) is shown in reverse.
void page_form_mark_keyboard(FORM *form, const WINDOW *form_win, bool page_focus);

// With the keyboard: Down goes to the next field unless the current one is
// the last; Up goes to the previous field, or from the first gives the
// keyboard back to the tab bar. Other keys are left alone.
void page_form_move(FORM *form, int key, FIELD *first, FIELD *last, bool &page_focus);
