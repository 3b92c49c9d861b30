#include "console/page_form.h"

#include <cstdio>
#include <cstring>

#include "console/field_utils.h"
#include "console/top_menu.h"

namespace {

// The form's own size; the window's when the library cannot tell.
void form_size(FORM *form, WINDOW *win, int *rows, int *cols) {
    if (scale_form(form, rows, cols) != E_OK) getmaxyx(win, *rows, *cols);
}

// Attach the unposted form to the page window, in a sub-window at `row`,
// column 2, and post it; the cursor goes back to `spot` when it names one of
// the form's fields. False, with *form_win null and the form unposted, when
// the window cannot hold it.
bool place(PagePanel &page, FORM *form, WINDOW **form_win, int row, const FormSpot &spot) {
    *form_win = nullptr;
    if (form == nullptr || page.win == nullptr) return false;
    int rows = 0;
    int cols = 0;
    form_size(form, page.win, &rows, &cols);
    // The form stays inside the window's border, which a sub-window alone
    // would not: it may reach the window's last column and row.
    if (2 + cols + 1 > getmaxx(page.win) || row + rows + 1 > getmaxy(page.win)) return false;
    set_form_win(form, page.win);
    *form_win = derwin(page.win, rows, cols, row, 2);
    if (*form_win == nullptr) return false;
    set_form_sub(form, *form_win);
    if (spot.field != nullptr) set_current_field(form, spot.field);
    if (post_form(form) != E_OK) {
        delwin(*form_win);
        *form_win = nullptr;
        return false;
    }
    for (int i = 0; i < spot.col; ++i) form_driver(form, REQ_NEXT_CHAR);
    return true;
}

// The notice that stands in for a form the terminal cannot hold.
void notice(WINDOW *win, int need_cols, int need_lines) {
    if (win == nullptr) return;
    constexpr const char *kHead = "Screen too small for this page:";
    char size[48];
    std::snprintf(size, sizeof size, "needs %ix%i, has %ix%i", need_cols, need_lines, COLS, LINES);
    const int width = getmaxx(win) - 4;
    const int rows = getmaxy(win);
    const int row = rows > 4 ? 2 : (rows > 2 ? 1 : 0);  // inside the border where there is room
    const int head_len = static_cast<int>(std::strlen(kHead));
    const int size_len = static_cast<int>(std::strlen(size));
    if (width <= 0) return;
    if (head_len + 1 + size_len <= width) {
        char line[96];
        std::snprintf(line, sizeof line, "%s %s", kHead, size);
        mvwaddnstr(win, row, 2, line, width);
    } else {
        // Too narrow for one line: the sizes go on a line of their own, so
        // they are not the part that is cut.
        mvwaddnstr(win, row, 2, kHead, width);
        mvwaddnstr(win, row + 1 < rows ? row + 1 : row, 2, size, width);
    }
    wborder(win, 0, 0, 0, 0, 0, 0, 0, 0);
}

}  // namespace

FORM *page_form_new(FIELD **fields) {
    FORM *form = new_form(fields);
    form_opts_off(form, O_NL_OVERLOAD);
    form_opts_off(form, O_BS_OVERLOAD);
    return form;
}

void page_form_need(FORM *form, int row, int *cols, int *lines) {
    int rows = 0;
    int width = 0;
    if (form == nullptr || scale_form(form, &rows, &width) != E_OK) rows = width = 0;
    const PageNeed need = page_form_need_for(rows, width, row);
    *cols = need.cols;
    *lines = need.lines;
}

FormSpot page_form_lift(FORM *form, WINDOW **form_win) {
    FormSpot spot{};
    if (form == nullptr) return spot;
    spot.field = current_field(form);
    if (*form_win != nullptr) {
        spot.col = form->curcol;
        unpost_form(form);
        delwin(*form_win);
        *form_win = nullptr;
    }
    return spot;
}

bool page_form_show(PagePanel &page, FORM *form, WINDOW **form_win, const FormSpot &spot,
                    int row) {
    const bool placed = place(page, form, form_win, row, spot);
    if (!placed) {
        int cols = 0;
        int lines = 0;
        page_form_need(form, row, &cols, &lines);
        notice(page.win, cols, lines);
        // The notice draws the border anew: the page's note goes back on it.
        page_panel_set_note(page, page.note);
    }
    if (page.win != nullptr) wredrawln(page.win, 0, getmaxy(page.win));
    return placed;
}

int page_form_edit(FORM *form, int request) {
    const int r = form_driver(form, request);
    // REQ_NEXT_CHOICE copies the current field's window into its buffer
    // first, as leaving the field does, but checks nothing: no field type of
    // the pages has choices, so that copy is all it does (and the request
    // is reported denied). A validation would also check, and the integer
    // type would rewrite a typed "7" as "007" at once.
    form_driver(form, REQ_NEXT_CHOICE);
    return r;
}

bool page_key_is_event(int key) {
    if (key == ERR) return false;
    if (key == KEY_RESIZE || key == KEY_MOUSE) return true;
#ifdef KEY_EVENT
    if (key == KEY_EVENT) return true;
#endif
    return key < 0 || key > KEY_MAX;
}

bool page_key_types_text(int key) { return key >= 0x20 && key < 0x7f; }

void page_form_begin(PageForm &p, std::span<const FieldDesc> table, std::span<FIELD *> fields) {
    p.form_win = nullptr;
    p.form = nullptr;
    p.table = table;
    p.fields = fields.data();
    p.first_input = nullptr;
    p.last_input = nullptr;
    p.edited = false;
    page_panel_create(p.panel);
    for (std::size_t i = 0; i < table.size(); ++i) {
        fields[i] = mk_field(table[i]);
        if (table[i].kind == FIELD_LABEL) continue;
        if (p.first_input == nullptr) p.first_input = fields[i];
        p.last_input = fields[i];
    }
    fields[table.size()] = nullptr;
}

void page_form_note_eeprom(PageForm &p, bool loaded) {
    if (!loaded) page_panel_set_note(p.panel, "FRU EEPROM not read: these are not the board's values");
}

void page_form_open(PageForm &p) {
    p.form = page_form_new(p.fields);
    page_form_show(p.panel, p.form, &p.form_win);
}

void page_form_resize(PageForm &p) {
    const FormSpot spot = page_form_lift(p.form, &p.form_win);
    page_panel_rebuild(p.panel);
    // A form that no longer fits cannot keep the keyboard.
    if (!page_form_show(p.panel, p.form, &p.form_win, spot)) page_form_drop_keyboard(p);
}

void page_form_end(PageForm &p) {
    if (p.form != nullptr) {
        unpost_form(p.form);
        free_form(p.form);
    }
    if (p.fields != nullptr) {
        for (FIELD **f = p.fields; *f != nullptr; ++f) {
            field_mark_forget(*f);
            spinner_free(*f);
            free_field(*f);
            *f = nullptr;
        }
    }
    if (p.form_win != nullptr) delwin(p.form_win);
    if (page_form_has_keyboard(p)) top_menu_give_keyboard(nullptr);
    page_panel_destroy(p.panel);
    p.form = nullptr;
    p.form_win = nullptr;
    p.fields = nullptr;
    p.table = {};
    p.first_input = nullptr;
    p.last_input = nullptr;
    p.edited = false;
}

bool page_form_has_keyboard(const PageForm &p) { return top_menu_keyboard() == &p.panel; }

void page_form_turn_end(PageForm &p) {
    const bool marked = page_form_has_keyboard(p) && p.form != nullptr && p.form_win != nullptr;
    field_mark_keyboard(marked ? current_field(p.form) : nullptr);
    wnoutrefresh(p.panel.win);
}

PageKey page_form_key(int key, const FIELD *current) {
    const bool editable = current != nullptr && (field_opts(current) & O_EDIT) != 0;
    switch (key) {
    case KEY_DOWN:
    case KEY_UP: return {PageKeyKind::kMove, 0};
    case '\n': return {PageKeyKind::kEnter, 0};
    case KEY_LEFT:
    case KEY_RIGHT:
        if (!editable) break;
        return {PageKeyKind::kCursor, key == KEY_LEFT ? REQ_PREV_CHAR : REQ_NEXT_CHAR};
    case KEY_HOME:
    case KEY_END: {
        int rows = 0;
        int width = 0;
        int max = 0;
        int unused = 0;
        if (!editable || field_info(current, &rows, &width, &unused, &unused, &unused, &unused) != E_OK ||
            dynamic_field_info(current, &rows, &unused, &max) != E_OK || max <= width)
            break;
        return {PageKeyKind::kCursor, key == KEY_HOME ? REQ_BEG_FIELD : REQ_END_FIELD};
    }
    case KEY_BACKSPACE:
    case 0x7f: return {PageKeyKind::kEdit, REQ_DEL_PREV};
    case KEY_DC: return {PageKeyKind::kEdit, REQ_DEL_CHAR};
    default:
        if (page_key_types_text(key)) return {PageKeyKind::kEdit, key};
        break;
    }
    return {PageKeyKind::kNone, 0};
}

bool page_form_drop_keyboard(PageForm &p) {
    if (!page_form_has_keyboard(p)) return false;
    top_menu_give_keyboard(nullptr);
    return true;
}

void page_form_give_keyboard(PageForm &p, FIELD *field) {
    if (p.form != nullptr && field != nullptr && set_current_field(p.form, field) == E_INVALID_FIELD) {
        // The cell the cursor is in refuses to be left (its text fails its
        // pattern); off the screen for a moment, the form moves anyway.
        unpost_form(p.form);
        set_current_field(p.form, field);
        post_form(p.form);
    }
    if (p.form_win == nullptr) {
        // Whichever page had it gives it up as well.
        top_menu_give_keyboard(nullptr);
        return;
    }
    // At the cell's start, where typing replaces what was refused.
    form_driver(p.form, REQ_BEG_FIELD);
    top_menu_give_keyboard(&p.panel);
}

namespace {

// Down to the next field unless the current one is the last; Up to the
// previous field, or from the first back to the tab bar.
void move(PageForm &p, int key) {
    FIELD *current = current_field(p.form);
    if (key == KEY_DOWN) {
        if (current != p.last_input) form_driver(p.form, REQ_NEXT_FIELD);
    } else if (current == p.first_input) {
        top_menu_give_keyboard(nullptr);
    } else {
        form_driver(p.form, REQ_PREV_FIELD);
    }
}

void leave_edit(PageForm &p, const PageMeanings &m) {
    if (!p.edited) return;
    if (m.leave_edit != nullptr) {
        m.leave_edit(p);
        return;
    }
    page_form_unmark_edit(p);
    p.edited = false;
}

// The key with the keyboard in the form: what it means for the current
// field, then the page's meaning of that.
void form_key(PageForm &p, const PageMeanings &m, int key) {
    FIELD *current = current_field(p.form);
    const PageKey k = page_form_key(key, current);
    switch (k.kind) {
    case PageKeyKind::kMove:
        leave_edit(p, m);
        move(p, key);
        break;
    case PageKeyKind::kCursor:
        if (!m.cursor_edits) {
            form_driver(p.form, k.request);
            break;
        }
        [[fallthrough]];
    case PageKeyKind::kEdit:
        if (m.edit != nullptr) m.edit(p, k.request);
        break;
    case PageKeyKind::kEnter:
        if (m.enter != nullptr) m.enter(current);
        break;
    case PageKeyKind::kNone: break;
    }
}

}  // namespace

int page_form_run_turn(PageForm &p, const PageMeanings &m, int key) {
    if (p.panel.hidden) return 0;  // the core offers no key to a hidden page
    if (m.tick != nullptr) m.tick(key);
    if (m.own_turn != nullptr && m.own_turn(key)) return 0;
    if (!page_form_has_keyboard(p)) {
        // Down from the tab bar, to a form on the screen.
        if (key == KEY_DOWN && p.form_win != nullptr) {
            top_menu_give_keyboard(&p.panel);
            if (m.took_keyboard != nullptr) m.took_keyboard();
        }
    } else if (!page_key_is_event(key)) {
        form_key(p, m, key);
    }
    if (m.turn_end != nullptr) m.turn_end(p);
    else page_form_turn_end(p);
    return 0;
}

void page_form_type(PageForm &p, int request) {
    p.edited = true;
    page_form_mark_edit(p, current_field(p.form));
    page_form_edit(p.form, request);
}

void page_form_mark_edit(PageForm &p, FIELD *current) {
    highlight_inputs(p.table.data(), current, p.fields, p.table.size());
}

void page_form_unmark_edit(PageForm &p) { clear_highlight(p.table.data(), p.fields, p.table.size()); }
