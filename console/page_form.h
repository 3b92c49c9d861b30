// The form every page builds inside its window the same way.
#pragma once

#include <form.h>
#include <span>

#include "console/field_utils.h"
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

// Take the posted form off the screen; the sub-window is deleted. The field
// buffers are not read back from the windows: on a resize the library has
// cut those to the new size already (page_form_edit keeps the buffers whole).
// Null-safe.
FormSpot page_form_lift(FORM *form, WINDOW **form_win);

// The form placed at `row` (2 in the page layout of every page), its cursor
// at `spot`; when the window cannot hold it, the size notice stands in the
// window instead. Every line of the window redrawn. True when posted.
bool page_form_show(PagePanel &page, FORM *form, WINDOW **form_win, const FormSpot &spot = {},
                    int row = 2);

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

// What every page keeps of its form; each page's state begins with one.
struct PageForm {
    PagePanel panel;
    WINDOW *form_win;  // null while the size notice stands in for the form
    FORM *form;
    std::span<const FieldDesc> table;  // field i is built from row i
    FIELD **fields;                    // table.size() fields, then a null
    FIELD *first_input;                // the first and last field the keyboard reaches
    FIELD *last_input;
    bool edited;  // typed into since the keyboard last left a field
};

// The page's window, then its fields from `table` into `fields` (one slot
// more than the table has rows, for the null); no form yet. The record
// keeps both spans, so they must outlive the page.
void page_form_begin(PageForm &p, std::span<const FieldDesc> table, std::span<FIELD *> fields);
// A page showing EEPROM settings: when the EEPROM was not `loaded`, its
// border says the values are the records' blanks, not the board's.
void page_form_note_eeprom(PageForm &p, bool loaded);
// The form over the fields, placed at row 2 (the page layout of every page);
// where the window cannot hold it the size notice stands in the window.
void page_form_open(PageForm &p);
// The terminal has a new size: the window again for it and the form back in
// it at row 2, with its current field and what was typed into it; the
// notice where it no longer fits, and then the tab bar has the keyboard.
void page_form_resize(PageForm &p);
// Form, fields with their spinner data, sub-window and window freed; the
// record as before page_form_begin.
void page_form_end(PageForm &p);

// What a page makes of its turn; the core runs the rest (the hand-over with
// the tab bar, the key's reading, the end of the turn). Null: nothing of
// the page's own.
struct PageMeanings {
    // First in every turn of the page on show, with the key or ERR: the
    // page's clock (values read again, sources looked at).
    void (*tick)(int key);
    // The page takes this turn whole, its end included (a question waiting
    // for its answer, no form to hand the keyboard to): true when it did.
    bool (*own_turn)(int key);
    // Down from the tab bar gave the page the keyboard.
    void (*took_keyboard)();
    // Up or Down in a field typed into, before the keyboard leaves it; null:
    // the edit mark goes and the field counts as left.
    void (*leave_edit)(PageForm &p);
    // Enter on `current`.
    void (*enter)(FIELD *current);
    // A key that types or deletes in the current field; null: no field of
    // the page takes typing.
    void (*edit)(PageForm &p, int request);
    // Left and Right (Home, End) in an editable field count as an edit (an
    // address whose cells are re-read on leaving) rather than a bare move.
    bool cursor_edits;
    // The end of the turn; null: page_form_turn_end.
    void (*turn_end)(PageForm &p);
};

// The turn of the page on show with `key` (ERR: a tick), as every page runs
// it; a hidden page does nothing. Without the keyboard Down takes it, but only for a form on the
// screen; with it a code that is no key press is nobody's, Up and Down move
// (Up on the first field gives the keyboard back) and the rest goes to the
// page's meanings. The core shows the cursor where the keyboard is. Always 0.
int page_form_run_turn(PageForm &p, const PageMeanings &m, int key);
// The page's turn ends: without colours the field with the keyboard (none
// while the tab bar has it) shows in reverse, and the window goes out.
void page_form_turn_end(PageForm &p);
// The page, not the tab bar, has the keyboard.
bool page_form_has_keyboard(const PageForm &p);

// What a key does in a page's form.
enum class PageKeyKind {
    kNone,    // nothing
    kMove,    // Up or Down: to another field, or Up back to the tab bar
    kEnter,   // Enter: the page's own action for the field
    kCursor,  // moves the cursor inside an editable field, types nothing
    kEdit,    // types or deletes
};
struct PageKey {
    PageKeyKind kind;
    int request;  // the form request for kCursor and kEdit
};
// The one reading of keys for every page. Left and Right move in an
// editable field; Home and End too, in a field that scrolls past its width
// (in a fixed cell they are no key). Backspace (either code) and Delete
// delete; printable ASCII types (page_key_types_text).
PageKey page_form_key(int key, const FIELD *current);

// The page lost its form (the terminal became too small): if it had the
// keyboard, the tab bar gets it back. True when the keyboard moved.
bool page_form_drop_keyboard(PageForm &p);

// The keyboard to `field` of this page, from the tab bar or from whichever
// page had it: a refused value is where the operator types next. A form
// off the screen (the terminal too small) cannot take it: the tab bar keeps
// it, and the cursor stands on `field` once the form is back.
void page_form_give_keyboard(PageForm &p, FIELD *field);

// A key typed or deleted: the page notes the edit, the cell being typed
// into stands out from the other inputs, and the form takes the request.
void page_form_type(PageForm &p, int request);
// The cell `current` stands out from the other inputs as the one typed into.
void page_form_mark_edit(PageForm &p, FIELD *current);
// The inputs in their own colours again, the one typed into no longer
// standing out.
void page_form_unmark_edit(PageForm &p);
