// The one reading of keys every page's form shares, on detached fields of
// each kind the pages build.
#include <gtest/gtest.h>

#include <curses.h>
#include <form.h>

#include "console/field_utils.h"
#include "console/page_form.h"
#include "tests/console/null_screen.h"

namespace {

test_screen::NullScreen screen;

enum Which { kLabel, kCell, kScrolling, kSpinner };

struct KeyRow {
    int key;
    Which field;
    PageKeyKind kind;
    int request;
};

constexpr KeyRow kRows[] = {
    {KEY_DOWN, kLabel, PageKeyKind::kMove, 0},
    {KEY_UP, kSpinner, PageKeyKind::kMove, 0},
    {'\n', kCell, PageKeyKind::kEnter, 0},
    {KEY_LEFT, kCell, PageKeyKind::kCursor, REQ_PREV_CHAR},
    {KEY_RIGHT, kScrolling, PageKeyKind::kCursor, REQ_NEXT_CHAR},
    {KEY_LEFT, kSpinner, PageKeyKind::kNone, 0},
    // Home and End only where the text can be longer than the cell.
    {KEY_HOME, kScrolling, PageKeyKind::kCursor, REQ_BEG_FIELD},
    {KEY_END, kScrolling, PageKeyKind::kCursor, REQ_END_FIELD},
    {KEY_HOME, kCell, PageKeyKind::kNone, 0},
    {KEY_END, kSpinner, PageKeyKind::kNone, 0},
    {KEY_BACKSPACE, kCell, PageKeyKind::kEdit, REQ_DEL_PREV},
    {0x7f, kScrolling, PageKeyKind::kEdit, REQ_DEL_PREV},
    {KEY_DC, kCell, PageKeyKind::kEdit, REQ_DEL_CHAR},
    {'a', kCell, PageKeyKind::kEdit, 'a'},
    {'~', kScrolling, PageKeyKind::kEdit, '~'},
    // Nothing else types or moves: control and high bytes, function keys,
    // the library's events, a silent tick.
    {0x1b, kCell, PageKeyKind::kNone, 0},
    {'\t', kCell, PageKeyKind::kNone, 0},
    {0xe9, kScrolling, PageKeyKind::kNone, 0},
    {KEY_F(6), kCell, PageKeyKind::kNone, 0},
    {KEY_PPAGE, kScrolling, PageKeyKind::kNone, 0},
    {KEY_RESIZE, kCell, PageKeyKind::kNone, 0},
    {ERR, kCell, PageKeyKind::kNone, 0},
};

TEST(PageFormKey, EveryPageReadsAKeyTheSameWay) {
    screen.open();
    FIELD *fields[] = {
        mk_field(field_label(0, 0, 10, "Label")),
        mk_field(field_cell(0, 10, 2, "00", "[0-9][0-9]", true)),
        mk_field([] {
            FieldDesc d = field_row(FIELD_INPUT, 1, 0, 24, "", 3);
            d.regexp = ".*";
            d.max = 1023;
            d.active = true;
            return d;
        }()),
        mk_field(field_spinner(2, 0, 10, "on\0off\0;")),
    };
    for (const KeyRow &r : kRows) {
        const PageKey k = page_form_key(r.key, fields[r.field]);
        EXPECT_EQ(k.kind, r.kind) << "key " << r.key << " on field " << r.field;
        if (r.kind == PageKeyKind::kCursor || r.kind == PageKeyKind::kEdit) {
            EXPECT_EQ(k.request, r.request) << "key " << r.key << " on field " << r.field;
        }
    }
    for (FIELD *f : fields) {
        spinner_free(f);
        free_field(f);
    }
    screen.close();
}

}  // namespace
