// A vt100 serial line at 80x24 has no colours: what the colours tell an
// operator is told by attributes, and the cursor never strays to where
// nothing can be typed.
#include <gtest/gtest.h>

#include <string>

#include "tests/screen/harness.h"

namespace {

using screen::Key;

class Monochrome : public screen::ConsoleTest {
protected:
    // The first cell of the value that follows a label on its row.
    screen::Pos value_of(const std::string &label) {
        auto p = term().find(label);
        EXPECT_TRUE(p.has_value()) << label << "\n" << term().dump();
        if (!p) return {};
        int col = p->col + static_cast<int>(label.size());
        while (col < term().cols() - 1 && term().cell(p->row, col).text == " ") ++col;
        return {p->row, col};
    }
    screen::Cell at(screen::Pos p) { return term().cell(p.row, p.col); }
};

TEST_F(Monochrome, AttributesCarryTheColoursMeaning) {
    ASSERT_TRUE(start(24, 80, {}, {"TERM=vt100"}));
    // vt100 cannot hide the cursor: it rests on the selected tab.
    ASSERT_TRUE(term().wait_for([&] { return term().cursor().row == 1 && term().cursor().col == 2; }));
    const screen::Pos hour = value_of("Time");
    const screen::Pos minute{hour.row, hour.col + 3};
    EXPECT_TRUE(at(hour).underline && !at(hour).reverse) << term().dump();  // reachable
    EXPECT_FALSE(at(value_of("Board MFG date")).underline);                 // shown only
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_for([&] { return at(hour).reverse; }, screen::kDefaultTimeout,
                                "the hour cell with the keyboard in reverse"));
    EXPECT_TRUE(at(minute).underline && !at(minute).reverse);
    // A refused value: reverse and bold, told on the help line.
    term().text("25");
    term().key(Key::Up);
    ASSERT_TRUE(term().wait_row(23, "Hour must be 00-23"));
    ASSERT_TRUE(term().wait_for([&] { return at(hour).reverse && at(hour).bold; }));
    EXPECT_FALSE(at(minute).bold);
    // The next key gives the legend back.
    term().key(Key::Right);
    ASSERT_TRUE(term().wait_row(23, "Enter: select | Arrows: move | F6: power off | F10: save, power off"));
    ASSERT_TRUE(leave());

    // The octets Automatic mode shows cannot be reached: plain, unlike the
    // MAC cells and the mode spinner.
    write_state("2\n");
    ASSERT_TRUE(start(24, 80, {}, {"TERM=vt100"}));
    ASSERT_TRUE(term().wait_text("Automatic"));
    // Values stand 23 columns right of the form's first column.
    const auto form = term().find("IP settings");
    const auto ip = term().find("IP address");
    const auto mac = term().find("MAC address");
    ASSERT_TRUE(form && ip && mac) << term().dump();
    const int col = form->col + 23;
    EXPECT_TRUE(term().cell(form->row, col).underline) << term().dump();  // the mode spinner
    EXPECT_FALSE(term().cell(ip->row, col).underline);
    EXPECT_TRUE(term().cell(mac->row, col).underline);
    ASSERT_TRUE(leave());
}

}  // namespace
