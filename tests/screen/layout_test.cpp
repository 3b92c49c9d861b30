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

// What each page's form needs of the terminal, in tab order (columns x lines).
struct Need {
    const char *name;
    int cols, lines;
};
constexpr std::array<Need, 4> kNeeds = {{
    {"Main", 99, 26},
    {"Boot", 47, 10},
    {"Network", 42, 18},
    {"Maintenance", 49, 14},
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

    // Every page: the notice with both sizes where the form does not fit;
    // then Down, Up and Left, and the tab bar still has the keyboard (or has
    // it back): Left shows the tab before, Right the page again.
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

TEST_F(Layout, EveryPageAt46x24KeepsTheTabBarWorking) { walk_pages({24, 46}); }
TEST_F(Layout, EveryPageAt80x13KeepsTheTabBarWorking) { walk_pages({13, 80}); }

}  // namespace
