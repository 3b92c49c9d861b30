#include "console/field_utils.h"

#include <cstdlib>
#include <iterator>
#include <cstring>
#include <curses.h>

#include "console/log.h"

namespace {

// Fields options as the library gives a new field, minus the ones named.
void options_off(FIELD *f, Field_Options off) { field_opts_off(f, off); }

void colours(FIELD *f, int colour) {
    set_field_fore(f, field_attr(colour));
    set_field_back(f, field_attr(colour));
}

// What each colour pair means, shown on a terminal without colours.
constexpr chtype kMono[] = {
    A_NORMAL,            // 0 the terminal's own
    A_NORMAL,            // 1 black on white: text
    A_NORMAL,            // 2 blue on white: labels, fields shown but not reachable
    A_UNDERLINE,         // 3 white on blue: inputs, spinners, buttons
    A_NORMAL,            // 4 black on black
    A_NORMAL,            // 5 green on white: a good status
    A_BOLD,              // 6 red on white: a bad status
    A_REVERSE | A_BOLD,  // 7 white on red: a refused value
    A_REVERSE,           // 8 white on black: the field being typed into
};
constexpr chtype kKeyboardMark = A_REVERSE;
constexpr chtype kRefused = kMono[7];

FIELD *marked;
chtype marked_fore;
chtype marked_back;

}  // namespace

chtype field_attr(int colour) {
    const chtype c = static_cast<chtype>(colour);
    if (has_colors()) return c;
    const auto pair = static_cast<std::size_t>(PAIR_NUMBER(c));
    return (c & ~A_COLOR) | (pair < std::size(kMono) ? kMono[pair] : A_NORMAL);
}

void field_paint(FIELD *f, int pair) { colours(f, static_cast<int>(COLOR_PAIR(pair))); }

void field_paint_fore(FIELD *f, int pair) {
    set_field_fore(f, field_attr(static_cast<int>(COLOR_PAIR(pair))));
}

void field_mark_keyboard(FIELD *f) {
    if (has_colors()) return;
    // Repainted since it was marked (typed into, refused, left): what it
    // shows now is its own.
    if (marked != nullptr && field_back(marked) != kKeyboardMark) marked = nullptr;
    if (f == marked) return;
    if (marked != nullptr) {
        set_field_fore(marked, marked_fore);
        set_field_back(marked, marked_back);
    }
    marked = nullptr;
    if (f == nullptr || field_back(f) == kRefused) return;
    marked = f;
    marked_fore = field_fore(f);
    marked_back = field_back(f);
    set_field_fore(f, kKeyboardMark);
    set_field_back(f, kKeyboardMark);
}

void field_mark_forget(FIELD *f) {
    if (f == marked) marked = nullptr;
}

FIELD *mk_label(int width, int col, int row, const char *text, int fore, int back) {
    FIELD *f = new_field(1, width, row, col, 0, 0);
    options_off(f, O_EDIT | O_ACTIVE);
    set_field_buffer(f, 0, text);
    set_field_fore(f, field_attr(fore));
    set_field_back(f, field_attr(back));
    return f;
}

FIELD *mk_input(int width, int col, int row, const char *text, const char *regexp, int colour,
                bool autoskip, bool fixed_size, int max, bool active) {
    FIELD *f = new_field(1, width, row, col, 0, 0);
    set_max_field(f, width);
    set_field_type(f, TYPE_REGEXP, regexp);
    Field_Options o = O_VISIBLE | O_ACTIVE | O_PUBLIC | O_EDIT | O_BLANK;
    if (autoskip) o |= O_AUTOSKIP;
    set_field_opts(f, o);
    if (!fixed_size) set_max_field(f, max);
    if (!active) field_opts_off(f, O_ACTIVE);
    set_field_buffer(f, 0, text);
    colours(f, colour);
    return f;
}

FIELD *mk_value(int width, int col, int row, const char *text, int colour) {
    FIELD *f = new_field(1, width, row, col, 0, 0);
    options_off(f, O_EDIT);
    set_field_buffer(f, 0, text);
    colours(f, colour);
    return f;
}

FIELD *mk_spinner(int width, int col, int row, const char *options, int first_index, int colour,
                  bool centre) {
    console_log("L[FIELD_UTILS]: mk_spinner\n");
    FIELD *f = new_field(1, width, row, col, 0, 0);
    auto *s = static_cast<Spinner *>(std::malloc(sizeof(Spinner)));

    // Every NUL ends an option; the list ends at a ";" right after a NUL
    // (never at the first byte).
    int count = 0;
    for (const char *p = options;; ++p) {
        if (p != options && *p == ';' && p[-1] == '\0') break;
        if (*p == '\0') ++count;
    }
    s->options = static_cast<char **>(std::malloc(sizeof(char *) * static_cast<std::size_t>(count)));
    console_log("L[FIELD_UTILS]: Found %i strings\n", count);

    const char *p = options;
    for (int j = 0; j < count; ++j) {
        if (p != options && *p == ';' && p[-1] == '\0') break;
        std::size_t len = std::strlen(p);
        s->options[j] = static_cast<char *>(std::calloc(len + 1, 1));
        std::memcpy(s->options[j], p, len);
        console_log("L[FIELD_UTILS]: Found string %i: %s at %i, len: %i\n", j, s->options[j],
                    static_cast<int>(p - options), static_cast<int>(len));
        p += len + 1;
    }
    console_log("L[FIELD_UTILS]: Finished parsing strings\n");

    s->index = first_index;
    s->count = count;
    set_field_userptr(f, s);
    field_opts_off(f, O_EDIT);
    set_field_buffer(f, 0, s->options[first_index]);
    if (centre) set_field_just(f, JUSTIFY_CENTER);
    colours(f, colour);
    return f;
}

FIELD *mk_label_plain(int width, int col, int row, const char *text, int colour) {
    FIELD *f = new_field(1, width, row, col, 0, 0);
    options_off(f, O_EDIT | O_ACTIVE);
    set_field_buffer(f, 0, text);
    colours(f, colour);
    return f;
}

FIELD *mk_text_block(int width, int height, int col, int row, const char *text, int colour) {
    FIELD *f = new_field(height, width, row, col, 0, 0);
    options_off(f, O_EDIT);
    set_field_buffer(f, 0, text);
    colours(f, colour);
    return f;
}

FIELD *mk_input_simple(int width, int col, int row, const char *text, const char *regexp,
                       int colour) {
    return mk_input(width, col, row, text, regexp, colour, true, true, 0, true);
}

FIELD *mk_field(const FieldDesc &d) {
    switch (d.kind) {
    case FIELD_LABEL: return mk_label(d.width, d.col, d.row, d.text, d.colour, d.back);
    case FIELD_INPUT:
        return mk_input(d.width, d.col, d.row, d.text, d.regexp, d.colour, d.autoskip, d.fixed_size,
                        d.max, d.active);
    case FIELD_VALUE: return mk_value(d.width, d.col, d.row, d.text, d.colour);
    case FIELD_SPINNER:
        return mk_spinner(d.width, d.col, d.row, d.text, d.spin_index, d.colour, false);
    default: return nullptr;
    }
}

void spinner_next(FIELD *f) {
    auto *s = static_cast<Spinner *>(field_userptr(f));
    if (s == nullptr) return;
    s->index = (s->index + 1) % s->count;
    set_field_buffer(f, 0, s->options[s->index]);
}

int spinner_index(FIELD *f) {
    auto *s = static_cast<Spinner *>(field_userptr(f));
    return s != nullptr ? s->index : -1;
}

void spinner_free(FIELD *f) {
    auto *s = static_cast<Spinner *>(field_userptr(f));
    if (s == nullptr) return;
    for (int j = 0; j < s->count; ++j) std::free(s->options[j]);
    std::free(s->options);
    std::free(s);
}

void highlight_inputs(const FieldDesc *table, FIELD *current, FIELD **fields, std::size_t rows) {
    for (std::size_t i = 0; i < rows; ++i) {
        if (table[i].kind != FIELD_INPUT) continue;
        if (fields[i] == current) field_paint(fields[i], 8);
        else if (field_opts(fields[i]) & O_ACTIVE) field_paint(fields[i], 3);
    }
}

void clear_highlight(const FieldDesc *table, FIELD **fields, std::size_t rows) {
    for (std::size_t i = 0; i < rows; ++i) {
        if (table[i].kind == FIELD_INPUT && (field_opts(fields[i]) & O_ACTIVE)) field_paint(fields[i], 3);
    }
}
