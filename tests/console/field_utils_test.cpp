// The field toolkit on detached fields (a screen on /dev/null gives the form
// library its buffers).
#include <gtest/gtest.h>

#include <cstdio>
#include <curses.h>
#include <form.h>
#include <string>

#include "console/field_utils.h"
#include "console/log.h"
#include "tests/console/boot_curses.h"

namespace {

testing::Environment *const curses_env = testing::AddGlobalTestEnvironment(new boot_test::Curses);

class FieldUtils : public ::testing::Test {
protected:
    std::string log() const { return log_.text(); }
    static std::string buffer(FIELD *f) {
        std::string s = field_buffer(f, 0);
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }
    static void release(FIELD *f) {
        spinner_free(f);
        free_field(f);
    }
    static Field_Options defaults() {
        FIELD *f = new_field(1, 1, 0, 0, 0, 0);
        Field_Options o = field_opts(f);
        free_field(f);
        return o;
    }
    boot_test::LogCapture log_;
};

const auto kPair3 = static_cast<chtype>(COLOR_PAIR(3));
const auto kPair8 = static_cast<chtype>(COLOR_PAIR(8));

TEST_F(FieldUtils, SpinnerStepsWrapsAndLogsEachOption) {
    FIELD *f = mk_spinner(12, 3, 4, "Automatic\0Manual\0;", 1, COLOR_PAIR(3), false);
    EXPECT_EQ(buffer(f), "Manual");
    EXPECT_EQ(spinner_index(f), 1);
    spinner_next(f);
    EXPECT_EQ(buffer(f), "Automatic");
    EXPECT_EQ(spinner_index(f), 0);
    spinner_next(f);
    EXPECT_EQ(buffer(f), "Manual");
    EXPECT_EQ(log(), "L[FIELD_UTILS]: mk_spinner\n"
                     "L[FIELD_UTILS]: Found 2 strings\n"
                     "L[FIELD_UTILS]: Found string 0: Automatic at 0, len: 9\n"
                     "L[FIELD_UTILS]: Found string 1: Manual at 10, len: 6\n"
                     "L[FIELD_UTILS]: Finished parsing strings\n");
    EXPECT_EQ(field_opts(f), defaults() & ~O_EDIT);
    EXPECT_EQ(field_fore(f), kPair3);
    EXPECT_EQ(field_back(f), kPair3);
    EXPECT_EQ(field_just(f), NO_JUSTIFICATION);
    release(f);
}

TEST_F(FieldUtils, SpinnerListsKeepSemicolonsAndEmptyOptions) {
    // ";" ends the list only right after a NUL, and never as the first byte.
    FIELD *f = mk_spinner(10, 0, 0, "a;b\0c;\0\0end\0;", 0, COLOR_PAIR(2), true);
    auto *s = static_cast<Spinner *>(field_userptr(f));
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->count, 4);
    EXPECT_STREQ(s->options[0], "a;b");
    EXPECT_STREQ(s->options[1], "c;");
    EXPECT_STREQ(s->options[2], "");
    EXPECT_STREQ(s->options[3], "end");
    EXPECT_EQ(field_just(f), JUSTIFY_CENTER);
    EXPECT_NE(log().find("L[FIELD_UTILS]: Found string 2:  at 7, len: 0\n"), std::string::npos);
    spinner_next(f);
    spinner_next(f);
    EXPECT_EQ(buffer(f), "");
    release(f);

    FIELD *g = mk_spinner(4, 0, 0, ";\0;", 0, COLOR_PAIR(2), false);
    EXPECT_EQ(static_cast<Spinner *>(field_userptr(g))->count, 1);
    EXPECT_EQ(buffer(g), ";");
    release(g);
}

TEST_F(FieldUtils, NonSpinnersHaveNoSpinnerData) {
    FIELD *l = mk_label(6, 0, 0, "Label", COLOR_PAIR(2), COLOR_PAIR(5));
    EXPECT_EQ(spinner_index(l), -1);
    spinner_next(l);
    EXPECT_EQ(buffer(l), "Label");
    spinner_free(l);  // left alone
    EXPECT_EQ(field_userptr(l), nullptr);
    free_field(l);
}

TEST_F(FieldUtils, EachFactoryGivesItsOptionsColoursAndPlace) {
    const Field_Options def = defaults();
    const Field_Options input = O_VISIBLE | O_ACTIVE | O_PUBLIC | O_EDIT | O_BLANK;

    FIELD *l = mk_label(7, 2, 3, "Boot", COLOR_PAIR(2), COLOR_PAIR(6));
    EXPECT_EQ(field_opts(l), def & ~(O_EDIT | O_ACTIVE));
    EXPECT_EQ(field_fore(l), static_cast<chtype>(COLOR_PAIR(2)));
    EXPECT_EQ(field_back(l), static_cast<chtype>(COLOR_PAIR(6)));
    int rows, cols, frow, fcol, offscreen, nbuf;
    field_info(l, &rows, &cols, &frow, &fcol, &offscreen, &nbuf);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(cols, 7);
    EXPECT_EQ(frow, 3);
    EXPECT_EQ(fcol, 2);
    EXPECT_EQ(offscreen, 0);
    EXPECT_EQ(nbuf, 0);
    free_field(l);

    FIELD *i = mk_input(2, 23, 6, "00", "[0-2][0-9]", COLOR_PAIR(3), true, true, 0, true);
    EXPECT_EQ(field_opts(i), input | O_AUTOSKIP);
    EXPECT_EQ(field_type(i), TYPE_REGEXP);
    EXPECT_EQ(buffer(i), "00");
    EXPECT_EQ(field_fore(i), kPair3);
    EXPECT_EQ(field_back(i), kPair3);
    free_field(i);

    FIELD *quiet = mk_input(2, 0, 0, "x", ".*", COLOR_PAIR(3), false, true, 0, false);
    EXPECT_EQ(field_opts(quiet), input & ~O_ACTIVE);
    free_field(quiet);

    FIELD *v = mk_value(5, 1, 1, "val", COLOR_PAIR(5));
    EXPECT_EQ(field_opts(v), def & ~O_EDIT);
    EXPECT_EQ(field_back(v), static_cast<chtype>(COLOR_PAIR(5)));
    free_field(v);

    FIELD *p = mk_label_plain(5, 1, 1, "p", COLOR_PAIR(6));
    EXPECT_EQ(field_opts(p), def & ~(O_EDIT | O_ACTIVE));
    EXPECT_EQ(field_fore(p), static_cast<chtype>(COLOR_PAIR(6)));
    EXPECT_EQ(field_back(p), static_cast<chtype>(COLOR_PAIR(6)));
    free_field(p);

    FIELD *t = mk_text_block(10, 3, 1, 2, "block", COLOR_PAIR(2));
    EXPECT_EQ(field_opts(t), def & ~O_EDIT);
    field_info(t, &rows, &cols, &frow, &fcol, &offscreen, &nbuf);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(cols, 10);
    free_field(t);

    FIELD *s = mk_input_simple(4, 0, 0, "ab", "[a-z]*", COLOR_PAIR(3));
    EXPECT_EQ(field_opts(s), input | O_AUTOSKIP);
    free_field(s);

    FieldDesc bad{};
    bad.kind = 4;
    EXPECT_EQ(mk_field(bad), nullptr);
    FieldDesc lab = field_label(2, 1, 3, "ab");
    lab.back = COLOR_PAIR(7);
    FIELD *m = mk_field(lab);
    EXPECT_EQ(field_back(m), static_cast<chtype>(COLOR_PAIR(7)));
    EXPECT_EQ(field_opts(m), def & ~(O_EDIT | O_ACTIVE));
    free_field(m);
}

TEST_F(FieldUtils, GrowingInputTakesUpToItsLimitAndScrolls) {
    FIELD *fields[2] = {mk_input(24, 0, 0, "", ".*", COLOR_PAIR(3), false, false, 1023, true),
                        nullptr};
    FORM *form = new_form(fields);
    WINDOW *w = newwin(3, 30, 0, 0);
    set_form_win(form, w);
    set_form_sub(form, derwin(w, 1, 24, 0, 0));
    ASSERT_EQ(post_form(form), E_OK);
    for (int k = 0; k < 1100; ++k) form_driver(form, 'a' + k % 26);
    form_driver(form, REQ_VALIDATION);
    int rows, cols, max;
    dynamic_field_info(fields[0], &rows, &cols, &max);
    EXPECT_EQ(max, 1023);
    EXPECT_EQ(cols, 1023);
    std::string text = buffer(fields[0]);
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_EQ(text.substr(0, 3), "abc");
    unpost_form(form);
    free_form(form);
    free_field(fields[0]);
    delwin(w);
}

TEST_F(FieldUtils, HighlightPaintsOnlyInputs) {
    FieldDesc inactive = field_cell(0, 8, 2, "00", ".*", true, 5);
    inactive.active = false;
    const FieldDesc table[] = {field_label(0, 0, 4, "L"), field_cell(0, 5, 2, "00", ".*", true, 7), inactive,
                               field_spinner(0, 11, 4, "a\0b\0;", 6), field_row(FIELD_VALUE, 0, 16, 4, "v", 6)};
    FIELD *f[6] = {};
    for (int i = 0; i < 5; ++i) f[i] = mk_field(table[i]);
    const auto pair = [](int n) { return static_cast<chtype>(COLOR_PAIR(n)); };

    // Current field on the spinner: only the active input changes.
    highlight_inputs(table, f[3], f, 5);
    EXPECT_EQ(field_fore(f[0]), pair(2));
    EXPECT_EQ(field_back(f[1]), kPair3);
    EXPECT_EQ(field_fore(f[1]), kPair3);
    EXPECT_EQ(field_fore(f[2]), pair(5));
    EXPECT_EQ(field_back(f[2]), pair(5));
    EXPECT_EQ(field_fore(f[3]), pair(6));
    EXPECT_EQ(field_back(f[4]), pair(6));

    highlight_inputs(table, f[1], f, 5);
    EXPECT_EQ(field_fore(f[1]), kPair8);
    EXPECT_EQ(field_back(f[1]), kPair8);
    // Even as the current field, an inactive input keeps its colours.
    highlight_inputs(table, f[4], f, 5);
    EXPECT_EQ(field_fore(f[4]), pair(6));

    clear_highlight(table, f, 5);
    EXPECT_EQ(field_fore(f[1]), kPair3);
    EXPECT_EQ(field_back(f[1]), kPair3);
    EXPECT_EQ(field_fore(f[2]), pair(5));
    EXPECT_EQ(field_fore(f[3]), pair(6));

    // Once the page makes it active, it joins in.
    field_opts_on(f[2], O_ACTIVE);
    clear_highlight(table, f, 5);
    EXPECT_EQ(field_back(f[2]), kPair3);
    for (int i = 0; i < 5; ++i) release(f[i]);
}

}  // namespace
