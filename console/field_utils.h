// The form field toolkit: every page's fields are built from a constant
// table of FieldDesc rows.
#pragma once

#include <cstddef>
#include <curses.h>
#include <form.h>

enum FieldKind : int {
    FIELD_LABEL = 0,
    FIELD_INPUT = 1,
    FIELD_VALUE = 2,
    FIELD_SPINNER = 3,
};

// One row of a page's field table; field i of a page is built from row i.
struct FieldDesc {
    int kind;
    int col;
    int row;
    int width;
    const char *text;    // initial buffer; a spinner's option list
    const char *regexp;  // input only: TYPE_REGEXP pattern
    int colour;          // attribute, e.g. COLOR_PAIR(3)
    int back;            // label only: background attribute
    bool fixed_size;     // input only: capacity stays at width
    int max;             // input only, when !fixed_size: growth limit
    bool autoskip;       // input only
    bool active;         // input only: 0 = visible but not selectable
    int spin_index;      // spinner only: option shown first
};

// User data of a spinner field. Option lists are written as the options one
// after another, each ended by its NUL, the list ended by ";" after a NUL:
// "Automatic\0Manual\0;".
struct Spinner {
    int index;
    int count;
    char **options;
};

// Rows of the pages' constant tables. Colours are colour pairs (1..8).
constexpr int field_pair(int n) { return static_cast<int>(COLOR_PAIR(n)); }

constexpr FieldDesc field_row(int kind, int row, int col, int width, const char *text, int pair) {
    FieldDesc d{};
    d.kind = kind;
    d.row = row;
    d.col = col;
    d.width = width;
    d.text = text;
    d.colour = field_pair(pair);
    return d;
}

// A label in one pair, foreground and background alike.
constexpr FieldDesc field_label(int row, int col, int width, const char *text, int pair = 2) {
    FieldDesc d = field_row(FIELD_LABEL, row, col, width, text, pair);
    d.back = field_pair(pair);
    return d;
}

// A cell of fixed width the keyboard reaches, typed into against a pattern;
// autoskip goes on to the next field once it is full.
constexpr FieldDesc field_cell(int row, int col, int width, const char *text, const char *regexp,
                               bool autoskip, int pair = 3) {
    FieldDesc d = field_row(FIELD_INPUT, row, col, width, text, pair);
    d.regexp = regexp;
    d.fixed_size = true;
    d.autoskip = autoskip;
    d.active = true;
    return d;
}

constexpr FieldDesc field_spinner(int row, int col, int width, const char *options,
                                  int pair = 3) {
    return field_row(FIELD_SPINNER, row, col, width, options, pair);
}

FIELD *mk_field(const FieldDesc &d);
FIELD *mk_label(int width, int col, int row, const char *text, int fore, int back);
FIELD *mk_input(int width, int col, int row, const char *text, const char *regexp, int colour,
                bool autoskip, bool fixed_size, int max, bool active);
FIELD *mk_value(int width, int col, int row, const char *text, int colour);
FIELD *mk_spinner(int width, int col, int row, const char *options, int first_index, int colour,
                  bool centre);
FIELD *mk_label_plain(int width, int col, int row, const char *text, int colour);
FIELD *mk_text_block(int width, int height, int col, int row, const char *text, int colour);
FIELD *mk_input_simple(int width, int col, int row, const char *text, const char *regexp,
                       int colour);

void spinner_next(FIELD *f);
int spinner_index(FIELD *f);
void spinner_free(FIELD *f);

// A field's colours from pair n, fore and back alike (or the fore only).
// Without colours the pair's meaning is shown by attributes instead, from
// one table: the field being typed into reverse, fields the cursor can
// reach underlined, a refused value reverse and bold, a bad status bold,
// the rest plain.
void field_paint(FIELD *f, int pair);
void field_paint_fore(FIELD *f, int pair);
// The attribute a colour attribute (COLOR_PAIR(n), maybe with more bits)
// stands for on this terminal.
chtype field_attr(int colour);

// Without colours: the field with the keyboard, or none, shown in reverse;
// the field marked before gets its own attributes back. A field that shows
// a refused value keeps showing that. Nothing with colours.
void field_mark_keyboard(FIELD *f);
// The field is about to be freed: it is no longer the marked one.
void field_mark_forget(FIELD *f);

// Current input white on black, other active inputs white on blue.
void highlight_inputs(const FieldDesc *table, FIELD *current, FIELD **fields, std::size_t rows);
void clear_highlight(const FieldDesc *table, FIELD **fields, std::size_t rows);
