#include "console/page_form.h"

#include "console/field_utils.h"
#include "console/top_menu.h"

FORM *page_form_create(PagePanel &page, FIELD **fields, WINDOW **form_win) {
    FORM *form = new_form(fields);
    form_opts_off(form, O_NL_OVERLOAD);
    form_opts_off(form, O_BS_OVERLOAD);
    int rows = 0;
    int cols = 0;
    if (scale_form(form, &rows, &cols) != E_OK) getmaxyx(page.win, rows, cols);
    set_form_win(form, page.win);
    *form_win = derwin(page.win, rows, cols, 2, 2);
    if (*form_win != nullptr) {
        set_form_sub(form, *form_win);
        post_form(form);
    }
    wredrawln(page.win, 0, getmaxy(page.win));
    return form;
}

void page_form_destroy(FORM *form, FIELD **fields, WINDOW *form_win) {
    if (form != nullptr) {
        unpost_form(form);
        free_form(form);
    }
    if (fields != nullptr) {
        for (FIELD **f = fields; *f != nullptr; ++f) {
            spinner_free(*f);
            free_field(*f);
        }
    }
    if (form_win != nullptr) delwin(form_win);
}

bool page_key_is_event(int key) {
    if (key == ERR) return false;
    if (key == KEY_RESIZE || key == KEY_MOUSE) return true;
#ifdef KEY_EVENT
    if (key == KEY_EVENT) return true;
#endif
    return key < 0 || key > KEY_MAX;
}

bool page_form_take_keyboard(int key, bool &page_focus) {
    curs_set(0);
    if (key != KEY_DOWN) return false;
    page_focus = true;
    tab_focus = false;
    return true;
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
