// The console's start-up, key loop, leaving and tab bar, as the operator
// sees them on the terminal and as the board's files show them afterwards.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/screen/harness.h"

namespace {

using namespace std::chrono_literals;
using screen::ConsoleTest;
using screen::Key;

constexpr const char *kTitle = "Norvane Service Mode";
constexpr const char *kHelp =
    "Enter: select | Left/Right: select page | Up/Down: select option | F6: exit | F10: save and exit";
constexpr const char *kLegend = "Enter: select | Arrows: move | F6: power off | F10: save, power off";
constexpr const char *kTabs[] = {"Main", "Boot", "Network", "Maintenance"};
constexpr const char *kEeprom = "/sys/bus/i2c/devices/1-0053/eeprom";
constexpr const char *kPoweroff = "exec /sbin/poweroff \"poweroff\"";
constexpr const char *kStatMissing =
    "L[MAIN]: Failed to stat /var/run/tolvane/recovery.state: -1, errno: No such file or directory";

// What the program wrote after it left the alternate screen, escape
// sequences and carriage returns taken out: what stays on the operator's
// terminal.
std::string printed_after_screen(const std::string &out) {
    auto at = out.rfind("\033[?1049l");
    if (at == std::string::npos) return "<never left the screen>";
    std::string text;
    for (std::size_t i = at; i < out.size(); ++i) {
        char c = out[i];
        if (c == '\033') {
            // CSI: parameters up to a final byte; other escapes: one byte.
            if (i + 1 < out.size() && out[i + 1] == '[') {
                i += 2;
                while (i < out.size() && !(out[i] >= 0x40 && out[i] <= 0x7e)) ++i;
            } else {
                ++i;
            }
        } else if (c != '\r') {
            text += c;
        }
    }
    return text;
}

struct timespec mtime_of(const std::string &host_path) {
    struct stat st {};
    ::stat(host_path.c_str(), &st);
    return st.st_mtim;
}

void age(const std::string &host_path) {
    struct timespec t[2] = {{946684800, 0}, {946684800, 0}};  // 2000-01-01
    ::utimensat(AT_FDCWD, host_path.c_str(), t, 0);
}

class Spine : public ConsoleTest {
protected:
    // The lines one tab change writes: show for the tab, hide for the rest,
    // in tab order.
    static std::vector<std::string> show_lines(int shown) {
        std::vector<std::string> v;
        for (int i = 0; i < 4; ++i)
            v.push_back(std::string(i == shown ? "L[TOP_MENU]: Show panel " : "L[TOP_MENU]: Hide panel ") +
                        std::to_string(i));
        return v;
    }
    std::vector<std::string> panel_lines() const {
        std::vector<std::string> v;
        for (const auto &l : log_lines())
            if (l.rfind("L[TOP_MENU]: ", 0) == 0) v.push_back(l);
        return v;
    }
    // Column of a tab's name on row 1.
    int tab_col(int tab) { return static_cast<int>(term().row_text(1).find(kTabs[tab])); }
    // The selected tab: the one whose name is drawn reversed.
    int selected_tab() {
        int found = -1;
        for (int t = 0; t < 4; ++t) {
            int c = tab_col(t);
            if (c >= 0 && term().cell(1, c).reverse) {
                if (found >= 0) return -2;  // two reversed tabs
                found = t;
            }
        }
        return found;
    }
    int ch_lines() const { return log_count_prefix("L[MAIN]: CH: "); }
};

// --- start-up and the page-state file -------------------------------------

TEST_F(Spine, FirstStartLogsTheMissingStateFileAndShowsMain) {
    ASSERT_TRUE(start(24, 80));
    EXPECT_EQ(log_count(kStatMissing), 1);
    EXPECT_EQ(panel_lines(), show_lines(0));
    EXPECT_EQ(selected_tab(), 0);
    // The start-up lines, in order, before any key.
    auto lines = log_lines();
    const std::vector<std::string> head = {"L[MAIN]: Started log", "L[MAIN]: ttyname: /dev/pts/"};
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], head[0]);
    EXPECT_EQ(lines[1].rfind(head[1], 0), 0u) << lines[1];
    EXPECT_EQ(log_count("L[MAIN]: Available screen space: 80x24"), 1);
    EXPECT_EQ(ch_lines(), 0);
    ASSERT_TRUE(leave());
}

struct StateCase {
    std::string content;
    int shown;
    const char *name;
};

class SpineState : public Spine, public testing::WithParamInterface<StateCase> {};

TEST_P(SpineState, FirstLineChoosesTheTabOrFallsBackToMain) {
    write_state(GetParam().content);
    ASSERT_TRUE(start(24, 80));
    EXPECT_EQ(log_count_prefix("L[MAIN]: Failed to stat"), 0);
    // A fallback shows Main after the restore's own lines, if any: the last
    // four panel lines tell what is on show.
    auto lines = panel_lines();
    ASSERT_GE(lines.size(), 4u);
    std::vector<std::string> last(lines.end() - 4, lines.end());
    EXPECT_EQ(last, show_lines(GetParam().shown));
    // The tab on show is the selected one.
    EXPECT_EQ(selected_tab(), GetParam().shown);
    ASSERT_TRUE(leave());
}

INSTANTIATE_TEST_SUITE_P(
    Files, SpineState,
    testing::Values(StateCase{"2\nhttp://10.0.0.1/rom.bin\n", 2, "Network"},
                    StateCase{"3\nhttp://10.0.0.1/rom.bin\n", 3, "Maintenance"}, StateCase{"1\nx\n", 1, "Boot"},
                    StateCase{"0x2\nx\n", 2, "HexadecimalTab"},  // %i reads hexadecimal
                    StateCase{"4\nx\n", 0, "TabPastTheLast"}, StateCase{"-1\nx\n", 0, "NegativeTab"},
                    StateCase{"abc\nx\n", 0, "Letters"}, StateCase{"", 0, "Empty"},
                    StateCase{"\n\n", 0, "BlankLines"}, StateCase{"99999999999999999999\nx\n", 0, "Overflow"},
                    StateCase{"2\n", 2, "NoAddressLine"},  // nothing to restore there
                    // A good tab with an address the page refuses: Main is shown and selected.
                    StateCase{"2\n" + std::string(1100, 'x') + "\n", 0, "RefusedAddress"}),
    [](const auto &c) { return std::string(c.param.name); });

TEST_F(Spine, StateFileThatCannotBeReadFallsBackToMainAndIsLeftAlone) {
    board().mkdir("/var/run/tolvane/recovery.state");
    ASSERT_TRUE(start(24, 80));
    EXPECT_EQ(log_count_prefix("L[MAIN]: Failed to stat"), 0);
    EXPECT_EQ(panel_lines(), show_lines(0));
    EXPECT_EQ(selected_tab(), 0);
    ASSERT_TRUE(leave());
    EXPECT_TRUE(board().exists("/var/run/tolvane/recovery.state/"));
    EXPECT_EQ(log_count("L[MAIN]: Failed to write /var/run/tolvane/recovery.state"), 1) << log();
    EXPECT_EQ(effects(), std::string(kPoweroff) + "\n");
}

TEST_F(Spine, ConsoleRunsWithoutItsLog) {
    board().mkdir("/var/log/tolvane.log");  // cannot be opened for writing
    ASSERT_TRUE(start(24, 80));
    term().key(Key::Right);
    ASSERT_TRUE(term().wait_for([&] { return selected_tab() == 1; }, 5000ms, "the Boot tab"));
    ASSERT_TRUE(leave());
    EXPECT_EQ(effects(), std::string(kPoweroff) + "\n");
    std::string state = state_file();
    EXPECT_EQ(state.substr(0, state.find('\n')), "1") << state;
}

TEST_F(Spine, LeavingOnAnotherTabWritesItsIndexAndTheNextStartShowsIt) {
    ASSERT_TRUE(start(24, 80));
    term().key(Key::Right);
    term().key(Key::Right);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 2\n"));
    ASSERT_TRUE(leave());
    std::string state = state_file();
    EXPECT_EQ(state.substr(0, state.find('\n')), "2") << state;

    // The console started again on the same board comes back on that tab.
    ASSERT_TRUE(start(24, 80));
    EXPECT_EQ(selected_tab(), 2);
    auto lines = panel_lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), show_lines(2));
    ASSERT_TRUE(leave());
}

TEST_F(Spine, LeavingOnMainWritesZero) {
    write_state("3\nx\n");
    ASSERT_TRUE(start(24, 80));
    term().key(Key::Right);  // 3 -> 0, wrapping
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 0\n"));
    ASSERT_TRUE(leave());
    std::string state = state_file();
    EXPECT_EQ(state.substr(0, state.find('\n')), "0") << state;
}

// --- the tab bar --------------------------------------------------------

TEST_F(Spine, EightyColumnsTitleCentredTabsFromColumnTwoLegendOnTheHelpRow) {
    ASSERT_TRUE(start(24, 80));
    auto &t = term();
    // Title at 80/2 - 20/2, white on blue.
    EXPECT_EQ(t.row_text(0).find(kTitle), 30u) << t.dump();
    for (int c = 30; c < 50; ++c) {
        auto x = t.cell(0, c);
        EXPECT_EQ(x.fg, 7) << "title col " << c;
        EXPECT_EQ(x.bg, 4) << "title col " << c;
        EXPECT_FALSE(x.reverse) << "title col " << c;
    }
    // The whole bar is blue, the page window below it is not.
    for (int c = 0; c < 80; ++c) {
        EXPECT_EQ(t.cell(0, c).bg, 4) << "row 0 col " << c;
        EXPECT_EQ(t.cell(23, c).bg, 4) << "row 23 col " << c;
        EXPECT_NE(t.cell(2, c).bg, 4) << "row 2 col " << c;
    }
    // The short legend, centred, in place of the 96-column help line.
    EXPECT_EQ(t.row_trimmed(23), std::string(6, ' ') + kLegend);
    // Tabs in order on row 1, the first in column 2.
    EXPECT_EQ(tab_col(0), 2) << t.dump();
    for (int i = 1; i < 4; ++i) EXPECT_GT(tab_col(i), tab_col(i - 1)) << kTabs[i];
    EXPECT_EQ(t.cell(1, 0).bg, 4);
    EXPECT_EQ(t.cell(1, 1).bg, 4);
    // Main is reversed in the bar's colours; the others are plain bar cells.
    for (int c = 2; c < 6; ++c) {
        auto x = t.cell(1, c);
        EXPECT_TRUE(x.reverse) << "Main col " << c;
        EXPECT_EQ(x.fg, 7) << "Main col " << c;
        EXPECT_EQ(x.bg, 4) << "Main col " << c;
    }
    for (int i = 1; i < 4; ++i) {
        int c0 = tab_col(i);
        for (int c = c0; c < c0 + static_cast<int>(std::strlen(kTabs[i])); ++c) {
            auto x = t.cell(1, c);
            EXPECT_FALSE(x.reverse) << kTabs[i] << " col " << c;
            EXPECT_EQ(x.fg, 7) << kTabs[i] << " col " << c;
            EXPECT_EQ(x.bg, 4) << kTabs[i] << " col " << c;
        }
    }
    EXPECT_FALSE(t.cursor_visible());
    ASSERT_TRUE(leave());
}

struct HelpCase {
    int cols;
    int help_col;  // -1: no help text
    int title_col;
    const char *legend = kLegend;  // where there is no help text
};

class SpineWidth : public Spine, public testing::WithParamInterface<HelpCase> {};

TEST_P(SpineWidth, HelpLineCentredWhenItFitsTitleAlways) {
    const auto p = GetParam();
    ASSERT_TRUE(start(24, p.cols));
    auto &t = term();
    std::string help = t.row_text(23);
    if (p.help_col < 0) {
        const std::size_t legend_col = (static_cast<std::size_t>(p.cols) - std::strlen(p.legend)) / 2;
        EXPECT_EQ(t.row_trimmed(23), std::string(legend_col, ' ') + p.legend) << t.dump();
    } else {
        EXPECT_EQ(help.find(kHelp), static_cast<std::size_t>(p.help_col)) << t.dump();
        for (int c = 0; c < p.cols; ++c) {
            EXPECT_EQ(t.cell(23, c).bg, 4) << "col " << c;
            if (c >= p.help_col && c < p.help_col + 96) {
                EXPECT_EQ(t.cell(23, c).fg, 7) << "col " << c;
            }
        }
    }
    EXPECT_EQ(t.row_text(0).find(kTitle), static_cast<std::size_t>(p.title_col)) << t.dump();
    ASSERT_TRUE(leave());
}

INSTANTIATE_TEST_SUITE_P(Columns, SpineWidth,
                         testing::Values(HelpCase{96, 0, 38}, HelpCase{95, -1, 37}, HelpCase{97, 0, 38},
                                         HelpCase{100, 2, 40}, HelpCase{81, -1, 30},
                                         HelpCase{60, -1, 20, "Enter | Arrows | F6: power off | F10: save, power off"},
                                         HelpCase{40, -1, 10, "F6: power off | F10: save, power off"},
                                         HelpCase{30, -1, 5, "F6, F10 (save): power off"}),
                         [](const auto &c) { return std::to_string(c.param.cols) + "Columns"; });

TEST_F(Spine, RightFourTimesWalksEveryTabAndBackWithOneShowAndThreeHides) {
    ASSERT_TRUE(start(24, 80));
    const int expected[] = {1, 2, 3, 0};
    for (int step = 0; step < 4; ++step) {
        std::size_t before = panel_lines().size();
        term().key(Key::Right);
        ASSERT_TRUE(term().wait_for([&] { return panel_lines().size() >= before + 4; }, 5000ms,
                                    "four panel lines"));
        ASSERT_TRUE(term().wait_idle(50ms));
        auto lines = panel_lines();
        EXPECT_EQ(lines.size(), before + 4) << "step " << step;
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(before), lines.end()),
                  show_lines(expected[step]))
            << "step " << step;
        ASSERT_TRUE(term().wait_for([&] { return selected_tab() == expected[step]; }, 2000ms,
                                    "the reversed tab to move"));
    }
    EXPECT_EQ(ch_lines(), 4);
    EXPECT_EQ(log_count("L[MAIN]: CH: 0x00000105"), 4);  // KEY_RIGHT
    ASSERT_TRUE(leave());
}

TEST_F(Spine, LeftAndRightDoNothingToTheTabsWhileThePageHasTheKeyboard) {
    ASSERT_TRUE(start(30, 100));
    term().key(Key::Down);  // the Main page's form takes the keyboard
    ASSERT_TRUE(wait_log("L[MAIN]: CH: 0x00000102\n"));
    ASSERT_TRUE(term().wait_idle());
    std::size_t panels = panel_lines().size();
    term().key(Key::Right);
    term().key(Key::Left);
    term().key(Key::Right);
    ASSERT_TRUE(wait_log("L[MAIN]: CH: 0x00000104\n"));
    ASSERT_TRUE(term().wait_for([&] { return log_count("L[MAIN]: CH: 0x00000105") == 2; }, 5000ms,
                                "both Rights logged"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(panel_lines().size(), panels);
    EXPECT_EQ(selected_tab(), 0);
    ASSERT_TRUE(leave());
    std::string state = state_file();
    EXPECT_EQ(state.substr(0, state.find('\n')), "0") << state;
}

TEST_F(Spine, LeftOnTheFirstTabWrapsToTheLast) {
    ASSERT_TRUE(start(24, 80));
    term().key(Key::Left);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 3\n"));
    ASSERT_TRUE(term().wait_for([&] { return selected_tab() == 3; }, 2000ms, "Maintenance reversed"));
    EXPECT_EQ(log_count("L[MAIN]: CH: 0x00000104"), 1);  // KEY_LEFT
    ASSERT_TRUE(leave());
}

// --- the key loop -----------------------------------------------------------

TEST_F(Spine, EscapeIsLoggedOnceAndChangesNothing) {
    ASSERT_TRUE(start(24, 80));
    std::string screen_before = term().screen_text();
    std::size_t panels_before = panel_lines().size();
    term().key(Key::Escape);
    ASSERT_TRUE(wait_log("L[MAIN]: CH: 0x0000001b\n"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(log_count("L[MAIN]: CH: 0x0000001b"), 1);
    EXPECT_EQ(ch_lines(), 1);
    EXPECT_EQ(panel_lines().size(), panels_before);
    EXPECT_TRUE(term().running());
    EXPECT_EQ(selected_tab(), 0);
    EXPECT_EQ(term().row_text(0), screen_before.substr(0, 80));
    EXPECT_EQ(effects(), "");
    ASSERT_TRUE(leave());
    EXPECT_EQ(ch_lines(), 2);  // and F6
}

TEST_F(Spine, SilentKeyboardLogsNoKeysWhileThePageKeepsBeingRefreshed) {
    // Large enough for every page: the Main page's clock ticks on the
    // half-second timeouts and is redrawn each second.
    ASSERT_TRUE(start(30, 100));
    std::size_t log_size = log().size();
    std::size_t bytes = term().bytes_read();
    int bursts = 0;
    // Two more redraws without a key, each a second of the board clock on.
    pass_clock(1);
    ASSERT_TRUE(term().wait_for(
        [&] {
            if (term().bytes_read() != bytes) {
                bytes = term().bytes_read();
                if (++bursts == 1) pass_clock(1);
            }
            return bursts >= 2;
        },
        5000ms, "the page to be redrawn twice"));
    EXPECT_EQ(ch_lines(), 0);
    EXPECT_EQ(log().size(), log_size) << log();
    ASSERT_TRUE(leave());
}

// --- leaving ----------------------------------------------------------------

TEST_F(Spine, F6PowersOffWithoutTouchingTheEepromOrPrinting) {
    age(board().host(kEeprom));
    auto before = eeprom();
    auto mtime = mtime_of(board().host(kEeprom));
    ASSERT_TRUE(start(24, 80));
    term().fkey(6);
    ASSERT_TRUE(wait_exit());
    EXPECT_EQ(term().exit_status(), 0);  // the stand-in's
    EXPECT_EQ(log_count("L[MAIN]: CH: 0x0000010e"), 1);  // KEY_F(6)
    EXPECT_EQ(eeprom(), before);
    auto now = mtime_of(board().host(kEeprom));
    EXPECT_EQ(now.tv_sec, mtime.tv_sec);
    EXPECT_EQ(printed_after_screen(term().output()), "");
    EXPECT_FALSE(term().alt_screen());
    EXPECT_EQ(term().screen_text().find_first_not_of(" \n"), std::string::npos) << term().dump();
    EXPECT_EQ(effects(), std::string(kPoweroff) + "\n");
    EXPECT_TRUE(state_exists());
}

TEST_F(Spine, F10SavesThenCountsTenSecondsThenPowersOff) {
    opts.fast_countdown = false;
    age(board().host(kEeprom));
    auto before = eeprom();
    ASSERT_TRUE(start(24, 80));
    term().fkey(10);
    auto after_screen = [&] { return printed_after_screen(term().output()); };
    ASSERT_TRUE(term().wait_for([&] { return after_screen().find("Saving ") != std::string::npos; },
                                5000ms, "\"Saving \""));
    auto at_saving = mtime_of(board().host(kEeprom));
    // The dots come one a second of the board clock: none while it stands
    // still, one each time it moves a second on.
    auto dots = [&] {
        const std::string s = after_screen();
        return std::count(s.begin(), s.end(), '.');
    };
    for (int dot = 1; dot <= 10; ++dot) {
        ASSERT_TRUE(term().wait_quiet(100ms));
        ASSERT_EQ(dots(), dot - 1);
        pass_clock(1);
        ASSERT_TRUE(term().wait_for([&] { return dots() >= dot; }, 2000ms, "a dot"));
    }
    ASSERT_TRUE(wait_exit());
    EXPECT_EQ(term().exit_status(), 0);
    EXPECT_EQ(log_count("L[MAIN]: CH: 0x00000112"), 1);  // KEY_F(10)

    // Nothing was changed: the EEPROM is written before the countdown and
    // holds, byte for byte, what it held.
    EXPECT_EQ(after_screen(), "Saving ..........");
    EXPECT_NE(at_saving.tv_sec, 946684800) << "the EEPROM was not written before \"Saving \"";
    EXPECT_EQ(eeprom(), before);
    EXPECT_EQ(effects(), std::string(kPoweroff) + "\n");
}

// --- terminals of any size ----------------------------------------------

TEST_F(Spine, ResizingDoesNotEndTheConsoleAndTheBarFollows) {
    ASSERT_TRUE(start(24, 80));
    term().resize(12, 40);
    ASSERT_TRUE(term().wait_idle());
    EXPECT_TRUE(term().running());
    term().resize(30, 100);
    ASSERT_TRUE(term().wait_idle());
    EXPECT_TRUE(term().running());
    // The tab bar still works after the resizes.
    term().key(Key::Right);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 1\n"));
    ASSERT_TRUE(leave());
    EXPECT_EQ(effects(), std::string(kPoweroff) + "\n");
}

TEST_F(Spine, TinyTerminalStartsAndLeaves) {
    ASSERT_TRUE(spawn(5, 20));
    ASSERT_TRUE(wait_log("L[MAIN]: Available screen space: 20x5\n"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_TRUE(term().running());
    ASSERT_TRUE(leave());
    EXPECT_EQ(effects(), std::string(kPoweroff) + "\n");
}

}  // namespace

namespace {

// A simulation build never runs on the host's own files: without a board
// tree it says why and ends before touching the terminal.
TEST_F(Spine, RefusesToStartWithoutABoardRoot) {
    screen::Terminal t(24, 80);
    ASSERT_TRUE(t.start({tolvane_path()}));
    ASSERT_TRUE(t.wait_exit());
    EXPECT_EQ(t.exit_status(), 2);
    EXPECT_TRUE(t.contains("BOARD_ROOT")) << t.dump();
}

}  // namespace
