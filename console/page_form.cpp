#include "console/page_form.h"

#include "console/field_utils.h"

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
