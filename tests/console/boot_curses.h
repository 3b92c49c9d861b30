// Shared by the console's unit tests: a curses screen on /dev/null (the form
// library keeps field buffers only once a screen exists), the console's
// colour pairs, a captured log, a page built and destroyed per case, and
// readers of what a page window holds.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include <curses.h>
#include <gtest/gtest.h>

#include "console/exit_action.h"
#include "console/log.h"
#include "console/page_panel.h"
#include "console/top_menu.h"
#include "tests/console/null_screen.h"

// The tab bar, not a page, has the keyboard.
inline bool tab_focus() { return top_menu_keyboard() == nullptr; }

namespace boot_test {

class Curses : public testing::Environment {
public:
    void SetUp() override {
        setenv("TERM", "xterm-256color", 1);
        unsetenv("LINES");
        unsetenv("COLUMNS");
        screen_.open(nullptr, true);
        ASSERT_TRUE(screen_.ok());
    }
    void TearDown() override {
        screen_.close();
    }

private:
    test_screen::NullScreen screen_;
};

// Point log_file at a temporary file for the life of the object.
class LogCapture {
public:
    LogCapture() { log_file = f_ = std::tmpfile(); }
    ~LogCapture() {
        log_file = nullptr;
        std::fclose(f_);
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    std::string text() const {
        std::fflush(f_);
        std::string s;
        long at = std::ftell(f_);
        std::rewind(f_);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f_)) > 0) s.append(buf, n);
        std::fseek(f_, at, SEEK_SET);
        return s;
    }
    // Forget what was logged so far.
    void clear() {
        std::fflush(f_);
        EXPECT_EQ(ftruncate(fileno(f_), 0), 0);
        std::rewind(f_);
    }
    bool has(const std::string &line) const { return text().find(line) != std::string::npos; }
    std::size_t count(const std::string &line) const {
        std::string t = text();
        std::size_t n = 0;
        for (std::size_t at = t.find(line); at != std::string::npos; at = t.find(line, at + 1)) ++n;
        return n;
    }

private:
    std::FILE *f_;
};

// A page's four operations: each case starts with the tab bar holding the
// keyboard and no exit chosen, builds the page when it is ready, and the page
// is destroyed at its end; the log is captured meanwhile.
template <void (*Create)(), void (*Destroy)(), int (*HandleKey)(int), PagePanel *(*Panel)()>
class PageTest : public testing::Test {
protected:
    void SetUp() override {
        top_menu_give_keyboard(nullptr);
        ExitAction = 0;
    }
    void TearDown() override {
        if (created_) Destroy();
    }
    void create() {
        Create();
        created_ = true;
    }
    void destroy() {
        Destroy();
        created_ = false;
    }
    static WINDOW *win() { return Panel()->win; }
    // Keys the page takes, each handled with nothing to report.
    void keys(std::initializer_list<int> ks) {
        for (int k : ks) EXPECT_EQ(HandleKey(k), 0);
    }

    LogCapture log;
    bool created_ = false;
};

// Form coordinates are window coordinates less the form's (2, 2) offset.
inline std::string form_text(WINDOW *win, int row, int col, int width) {
    std::string s;
    for (int i = 0; i < width; ++i)
        s += static_cast<char>(mvwinch(win, row + 2, col + 2 + i) & A_CHARTEXT);
    return s;
}

inline int form_pair(WINDOW *win, int row, int col) {
    return static_cast<int>(PAIR_NUMBER(mvwinch(win, row + 2, col + 2)));
}

}  // namespace boot_test

#include <span>
#include <string_view>

#include "console/field_utils.h"

namespace boot_test {

// What every page table must hold: kinds in range, texts where a field
// shows one, widths that fit the 80-column form, spinner lists that end.
inline void check_table(std::span<const FieldDesc> t, int max_cols, int max_rows) {
    ASSERT_FALSE(t.empty());
    for (std::size_t i = 0; i < t.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const FieldDesc &d = t[i];
        EXPECT_GE(d.kind, FIELD_LABEL);
        EXPECT_LE(d.kind, FIELD_SPINNER);
        EXPECT_GT(d.width, 0);
        EXPECT_GE(d.col, 0);
        EXPECT_GE(d.row, 0);
        EXPECT_LE(d.col + d.width, max_cols);
        EXPECT_LT(d.row, max_rows);
        ASSERT_NE(d.text, nullptr);
        if (d.kind == FIELD_LABEL || d.kind == FIELD_VALUE) {
            EXPECT_GT(std::string_view(d.text).size(), 0u);
            EXPECT_LE(static_cast<int>(std::string_view(d.text).size()), d.width);
        }
        if (d.kind == FIELD_INPUT) {
            ASSERT_NE(d.regexp, nullptr);
            EXPECT_GT(std::string_view(d.regexp).size(), 0u);
            EXPECT_LE(static_cast<int>(std::string_view(d.text).size()), d.width);
        }
        if (d.kind == FIELD_SPINNER) {
            // Options end at a ";" right after a NUL; each fits the field.
            int options = 0;
            const char *p = d.text;
            for (int guard = 0; guard < 1024; ++guard) {
                std::string_view opt(p);
                EXPECT_LE(static_cast<int>(opt.size()), d.width);
                ++options;
                p += opt.size() + 1;
                if (*p == ';') break;
            }
            ASSERT_EQ(*p, ';');
            EXPECT_GE(d.spin_index, 0);
            EXPECT_LT(d.spin_index, options);
        }
        // No two fields of a row overlap.
        for (std::size_t j = 0; j < i; ++j) {
            if (t[j].row != d.row) continue;
            EXPECT_TRUE(t[j].col + t[j].width <= d.col || d.col + d.width <= t[j].col)
                << "overlaps row " << j;
        }
    }
}

}  // namespace boot_test
