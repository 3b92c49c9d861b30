// The console on terminals of any size: the size notice where a page's form
// does not fit, the keyboard never trapped, and a resize that lays the
// screen out again.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tests/screen/harness.h"

namespace {

using screen::ConsoleTest;
using screen::Key;
using namespace std::chrono_literals;

struct Size {
    int rows, cols;
};

// What each page's form needs of the terminal with the page's border whole,
// in tab order (columns x lines); Main's is that of its one column, the two
// need 100x27.
struct Need {
    const char *name;
    int cols, lines;
};
constexpr std::array<Need, 4> kNeeds = {{
    {"Main", 73, 24},
    {"Boot", 48, 11},
    {"Network", 43, 19},
    {"Maintenance", 50, 15},
}};

class Layout : public ConsoleTest {
protected:
    std::string show_line(int tab) const {
        return "L[TOP_MENU]: Show panel " + std::to_string(tab);
    }
    // Wait until tab `tab` has been shown `times` times.
    testing::AssertionResult shown(int tab, int times) {
        return term().wait_for([&] { return log_count(show_line(tab)) >= times; },
                               screen::kDefaultTimeout, show_line(tab));
    }
    static std::string size_text(const Need &n, Size s) {
        return "needs " + std::to_string(n.cols) + "x" + std::to_string(n.lines) + ", has " +
               std::to_string(s.cols) + "x" + std::to_string(s.rows);
    }

    testing::AssertionResult cursor_at(int row, int col) {
        return term().wait_for(
            [&] {
                return term().cursor_visible() && term().cursor().row == row &&
                       term().cursor().col == col;
            },
            screen::kDefaultTimeout, "cursor at " + std::to_string(row) + "," + std::to_string(col));
    }
    // The whole frame of a terminal `cols` wide: title, tab bar, the page's
    // border, and the help line where it fits (96 columns or more).
    testing::AssertionResult frame(int rows, int cols) {
        return term().wait_for(
            [&] {
                // Centred for this width, so not what the old size left.
                const auto title = term().find("Norvane Service Mode");
                return term().rows() == rows && title && title->row == 0 &&
                       title->col == cols / 2 - 10 &&
                       term().row_trimmed(1).find("Maintenance") != std::string::npos &&
                       (cols < 96 || term().row_trimmed(rows - 1).find("F10: save and exit") != std::string::npos);
            },
            screen::kDefaultTimeout, "the frame at " + std::to_string(cols) + "x" + std::to_string(rows));
    }

    // A size that drops the page's form (the library cuts its windows to 26
    // columns meanwhile), then 100x30 again; the tab bar has the keyboard.
    testing::AssertionResult drop_and_back() {
        term().resize(30, 26);
        auto r = term().wait_text("Screen too small");
        if (r) term().resize(30, 100);
        return r ? frame(30, 100) : r;
    }

    // The page window's right and bottom border whole: no form reaches
    // into them.
    testing::AssertionResult border_whole(Size s) {
        std::string bottom = "└";
        for (int c = 2; c < s.cols; ++c) bottom += "─";
        return term().wait_for([&] {
            bool whole = term().row_text(s.rows - 2) == bottom + "┘";
            for (int r = 3; r < s.rows - 2; ++r)
                whole = whole && term().cell(r, s.cols - 1).text == "│";
            return whole;
        }, screen::kDefaultTimeout, "the border whole");
    }

    // Every page: the notice with both sizes where the form does not fit,
    // the border whole where it does; then Down, Up and Left, and the tab
    // bar still has the keyboard (or has it back): Left shows the tab
    // before, Right the page again.
    void walk_pages(Size s) {
        ASSERT_TRUE(start(s.rows, s.cols));
        for (int tab = 0; tab < 4; ++tab) {
            SCOPED_TRACE(kNeeds[static_cast<std::size_t>(tab)].name);
            const Need &n = kNeeds[static_cast<std::size_t>(tab)];
            const bool fits = s.cols >= n.cols && s.rows >= n.lines;
            if (tab > 0) {
                const int seen = log_count(show_line(tab));
                term().key(Key::Right);
                ASSERT_TRUE(shown(tab, seen + 1));
            }
            if (fits) {
                ASSERT_TRUE(term().wait_gone("Screen too small"));
                ASSERT_TRUE(border_whole(s));
            } else {
                ASSERT_TRUE(term().wait_text("Screen too small for this page:"));
                ASSERT_TRUE(term().wait_text(size_text(n, s)));
            }
            const int before = (tab + 3) % 4;
            const int seen_before = log_count(show_line(before));
            const int seen = log_count(show_line(tab));
            term().key(Key::Down);
            term().key(Key::Up);
            term().key(Key::Left);
            ASSERT_TRUE(shown(before, seen_before + 1));
            term().key(Key::Right);
            ASSERT_TRUE(shown(tab, seen + 1));
            EXPECT_FALSE(term().cursor_visible()) << term().dump();
        }
        ASSERT_TRUE(leave());
    }
};

// Small sizes keep the tab bar working; the sizes count the border: the one
// column fits 73x24 whole and not 72x24, the two columns fit 100x27 whole
// and not 99x26.
TEST_F(Layout, EveryPageKeepsTheTabBarWorkingAndItsBorderWhole) {
    for (Size s : {Size{24, 46}, Size{13, 80}, Size{24, 73}, Size{24, 72}, Size{27, 100},
                   Size{26, 99}}) {
        SCOPED_TRACE(std::to_string(s.cols) + "x" + std::to_string(s.rows));
        board().remove("/var/run/tolvane/recovery.state");  // each start on Main, as a first one
        walk_pages(s);
        if (HasFatalFailure()) return;
    }
}

// 100x30 -> 80x24 -> 100x30 with a digit typed into the hour and not yet
// applied: the frame comes back at each size, the Main page changes from two
// columns to one and back, and the cell keeps the digit, the cursor and the
// keyboard; the next digit completes it and Down sets the clock with it.
TEST_F(Layout, ResizeKeepsTheTypedDigitTheCellAndTheKeyboard) {
    ASSERT_TRUE(start(30, 100));
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(10, 25));  // the hour of the two columns
    term().text("0");
    ASSERT_TRUE(cursor_at(10, 26));

    term().resize(24, 80);
    ASSERT_TRUE(frame(24, 80));
    ASSERT_TRUE(term().wait_row(6, "Time                       0 :"));
    ASSERT_TRUE(cursor_at(6, 30));  // one column: the hour at column 29
    EXPECT_TRUE(term().contains("Product version")) << term().dump();
    EXPECT_FALSE(term().contains("Screen too small"));

    term().resize(30, 100);
    ASSERT_TRUE(frame(30, 100));
    ASSERT_TRUE(term().wait_row(10, "Time                   0 :"));
    ASSERT_TRUE(cursor_at(10, 26));
    EXPECT_TRUE(term().contains("Product version"));
    term().text("9");
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_for([&] {
        return effects().find("rtc_set_time ") != std::string::npos;
    }));
    EXPECT_NE(effects().find(" 09:"), std::string::npos) << effects();

    // A digit in the seconds, then a size the page does not fit: the edit
    // goes with the form; back at 100x30 the cell follows the clock in its
    // own colours while the tab bar has the keyboard, and Up sets nothing.
    term().text("5");
    ASSERT_TRUE(cursor_at(10, 32));
    ASSERT_TRUE(drop_and_back());
    ASSERT_TRUE(term().wait_for(
        [&] { return term().cell(10, 32).text != " " && term().cell(10, 31).bg == 4; }));
    for (Key k : {Key::Down, Key::Up}) term().key(k);
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(effects().find("rtc_set_time "), effects().rfind("rtc_set_time ")) << effects();
    ASSERT_TRUE(leave());
}

// What was typed stays through a size that drops the form, and is what is
// stored or started: an octet and a MAC byte, a ROM address.
TEST_F(Layout, ResizesThatDropTheFormKeepWhatWasTyped) {
    write_state("2\n");
    ASSERT_TRUE(start(30, 100));
    for (Key k : {Key::Down, Key::Enter, Key::Down}) term().key(k);  // Manual, the first octet
    term().text("172");
    ASSERT_TRUE(term().wait_row(6, "172."));  // typed before the resize comes
    ASSERT_TRUE(drop_and_back());
    for (int i = 0; i < 23; ++i) term().key(Key::Down);  // the keyboard, to the last MAC byte
    term().text("99");
    ASSERT_TRUE(term().wait_row(16, "20 99"));
    ASSERT_TRUE(drop_and_back());
    term().key(Key::Down);
    for (int i = 0; i < 6; ++i) term().key(Key::Up);  // the MAC stored, up to Start
    term().key(Key::Enter);
    ASSERT_TRUE(wait_exit());
    EXPECT_EQ(log_count("L[NET_PAGE]: Save MAC: [02:00:5e:10:20:99]"), 1) << log();
    EXPECT_NE(effects().find("netconf.sh\" \"172."), std::string::npos) << effects();

    write_state("3\n");
    ASSERT_TRUE(start(30, 100));
    for (int i = 0; i < 4; ++i) term().key(Key::Down);
    term().text("http://10.0.0.1/rom.bin");
    ASSERT_TRUE(term().wait_text("rom.bin"));
    ASSERT_TRUE(drop_and_back());
    for (Key k : {Key::Down, Key::Down, Key::Enter}) term().key(k);
    ASSERT_TRUE(wait_exit());
    EXPECT_NE(effects().find("getrom.sh\" \"http://10.0.0.1/rom.bin \""), std::string::npos)
        << effects();
}

// The tab on show stays through a resize; a page whose form no longer fits
// shows the notice and gives the keyboard back to the tab bar, and the form
// returns when the terminal grows again.
TEST_F(Layout, ResizeKeepsTheTabAndFreesTheKeyboardOfAFormThatNoLongerFits) {
    ASSERT_TRUE(start(30, 100));
    term().key(Key::Right);
    ASSERT_TRUE(shown(1, 1));
    term().key(Key::Down);  // the Boot page takes the keyboard
    ASSERT_TRUE(term().wait_for([&] { return term().cursor_visible(); }));

    term().resize(24, 80);
    ASSERT_TRUE(frame(24, 80));
    ASSERT_TRUE(term().wait_text("SATA boot priority"));
    EXPECT_TRUE(term().cursor_visible());
    EXPECT_EQ(log_count(show_line(1)), 1);

    term().resize(9, 46);
    ASSERT_TRUE(term().wait_text("needs 48x11, has 46x9"));
    ASSERT_TRUE(term().wait_for([&] { return !term().cursor_visible(); }));
    // The tab bar has the keyboard: Left shows Main (too small too).
    term().key(Key::Left);
    ASSERT_TRUE(shown(0, 2));
    ASSERT_TRUE(term().wait_text("needs 73x24, has 46x9"));
    term().key(Key::Right);
    ASSERT_TRUE(shown(1, 2));

    term().resize(30, 100);
    ASSERT_TRUE(frame(30, 100));
    ASSERT_TRUE(term().wait_text("SATA boot priority"));
    EXPECT_FALSE(term().contains("Screen too small"));
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_for([&] { return term().cursor_visible(); }));
    ASSERT_TRUE(leave());
}

// Shrunk to almost nothing and back, on every page: the console lives on
// and the frame returns.
TEST_F(Layout, TinySizesAndBackLeaveEveryPageWhole) {
    ASSERT_TRUE(start(30, 100));
    for (int tab = 0; tab < 4; ++tab) {
        SCOPED_TRACE(kNeeds[static_cast<std::size_t>(tab)].name);
        if (tab > 0) {
            term().key(Key::Right);
            ASSERT_TRUE(shown(tab, 1));
        }
        term().key(Key::Down);
        for (Size s : {Size{3, 20}, Size{2, 10}, Size{1, 1}, Size{5, 30}}) {
            term().resize(s.rows, s.cols);
            ASSERT_TRUE(term().wait_idle(150ms));
            ASSERT_TRUE(term().running());
        }
        term().resize(30, 100);
        ASSERT_TRUE(frame(30, 100));
        EXPECT_FALSE(term().contains("Screen too small")) << term().dump();
        term().key(Key::Up);
    }
    ASSERT_TRUE(leave());
}

}  // namespace
