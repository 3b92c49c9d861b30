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

bool page_form_place(PagePanel &page, FORM *form, WINDOW **form_win, int row,
                     const FormSpot &spot) {
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

void page_form_notice(WINDOW *win, int need_cols, int need_lines) {
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

bool page_form_show(PagePanel &page, FORM *form, WINDOW **form_win, const FormSpot &spot,
                    int row) {
    const bool placed = page_form_place(page, form, form_win, row, spot);
    if (!placed) {
        int cols = 0;
        int lines = 0;
        page_form_need(form, row, &cols, &lines);
        page_form_notice(page.win, cols, lines);
    }
    if (page.win != nullptr) wredrawln(page.win, 0, getmaxy(page.win));
    return placed;
}

FORM *page_form_create(PagePanel &page, FIELD **fields, WINDOW **form_win) {
    FORM *form = page_form_new(fields);
    page_form_show(page, form, form_win);
    return form;
}

bool page_form_relayout(PagePanel &page, FORM *form, WINDOW **form_win) {
    const FormSpot spot = page_form_lift(form, form_win);
    page_panel_rebuild(page);
    return page_form_show(page, form, form_win, spot);
}

void page_form_destroy(FORM *form, FIELD **fields, WINDOW *form_win) {
    if (form != nullptr) {
        unpost_form(form);
        free_form(form);
    }
    if (fields != nullptr) {
        for (FIELD **f = fields; *f != nullptr; ++f) {
            field_mark_forget(*f);
            spinner_free(*f);
            free_field(*f);
        }
    }
    if (form_win != nullptr) delwin(form_win);
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

bool page_form_take_keyboard(const WINDOW *form_win, int key, bool &page_focus) {
    curs_set(0);
    if (key != KEY_DOWN || form_win == nullptr) return false;
    page_focus = true;
    tab_focus = false;
    return true;
}

bool page_form_drop_keyboard(bool &page_focus) {
    if (!page_focus) return false;
    page_focus = false;
    tab_focus = true;
    curs_set(0);
    return true;
}

void page_form_mark_keyboard(FORM *form, const WINDOW *form_win, bool page_focus) {
    field_mark_keyboard(page_focus && form != nullptr && form_win != nullptr ? current_field(form)
                                                                              : nullptr);
}

void page_form_move(FORM *form, int key, FIELD *first, FIELD *last, bool &page_focus) {
    FIELD *current = current_field(form);
    if (key == KEY_DOWN) {
        if (current != last) form_driver(form, REQ_NEXT_FIELD);
    } else if (key == KEY_UP) {
        if (current == first) {
            page_focus = false;
            tab_focus = true;
        } else {
            form_driver(form, REQ_PREV_FIELD);
        }
    }
}
