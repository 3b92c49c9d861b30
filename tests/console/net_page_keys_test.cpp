// The Network page's keys, modes and MAC fields, driven through its
// operations on a screen on /dev/null. The address rows hold whatever this
// host has; only the MAC and the rows a test writes itself are checked.
#include <cstring>
#include <string>

#include <curses.h>
#include <gtest/gtest.h>

#include "console/exit_action.h"
#include "console/pages/net_page.h"
#include "console/top_menu.h"
#include "fru/board_info.h"
#include "tests/console/boot_curses.h"

namespace {

using boot_test::form_pair;
using boot_test::form_text;

testing::Environment *const curses_env = testing::AddGlobalTestEnvironment(new boot_test::Curses);

constexpr int kIp = 3, kNetmask = 11, kGateway = 19, kDns = 27;

class NetKeys : public boot_test::PageTest<net_page_create, net_page_destroy, net_page_handle_key,
                                           net_page_panel> {
protected:
    void SetUp() override {
        PageTest::SetUp();
        board_info = BoardInfo{};
        const std::uint8_t mac[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, 0x30};
        std::memcpy(board_info.mac, mac, 6);
        board_info.mac_list[0] = board_info.mac;
        // One MAC record, as a load leaves it, so the setter has one to update.
        board_info.mrecs[0] = {MREC_MAC, 2, 1, 6, board_info.mac};
        board_info.mrec_count = 1;
        std::memset(net_args, 0, sizeof net_args);
    }
    std::string mac_shown() {
        std::string s;
        for (int i = 0; i < 6; ++i) s += form_text(win(), 12, 23 + 3 * i, 2) + (i < 5 ? ":" : "");
        return s;
    }
    void type(const char *s) {
        for (; *s != '\0'; ++s) EXPECT_EQ(net_page_handle_key(*s), 0);
    }
    // The keyboard from the tab bar to the spinner, in Automatic mode on to
    // Start, then to the first of the six MAC fields.
    void to_first_mac() { keys({KEY_DOWN, KEY_DOWN, KEY_DOWN}); }
};

TEST(NetPageTable, RowsAreWellFormed) {
    auto t = net_page_table();
    ASSERT_EQ(t.size(), 43u);
    boot_test::check_table(t, 77, 19);
    int octets = 0, macs = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != FIELD_INPUT) continue;
        if (t[i].width == 3) {
            ++octets;
            EXPECT_FALSE(t[i].active) << i;
            EXPECT_FALSE(t[i].autoskip) << i;
            EXPECT_EQ(t[i].colour, static_cast<int>(COLOR_PAIR(2))) << i;
        } else {
            ++macs;
            EXPECT_GE(i, 37u);
            EXPECT_TRUE(t[i].active) << i;
            EXPECT_TRUE(t[i].autoskip) << i;
        }
    }
    EXPECT_EQ(octets, 16);
    EXPECT_EQ(macs, 6);
    for (int first : {kIp, kNetmask, kGateway, kDns})
        for (int i = 0; i < 4; ++i) EXPECT_EQ(t[first + 2 * i].width, 3) << first;
    EXPECT_EQ(t[1].kind, FIELD_SPINNER);
    EXPECT_EQ(std::memcmp(t[1].text, "Automatic\0Manual\0;", 18), 0);
    EXPECT_EQ(t[35].kind, FIELD_VALUE);
    EXPECT_STREQ(t[35].text, "      Start");
}

TEST_F(NetKeys, QuadsShowZeroPaddedLowBytesAndReadAsDecimal) {
    create();
    net_page_show_quad(kIp, 1, 256 + 10, 255, 0);
    EXPECT_EQ(form_text(win(), 2, 23, 15), "001.010.255.000");
    unsigned long a, b, c, d;
    net_page_read_quad(kIp, &a, &b, &c, &d);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 10u);  // 010 is ten, not octal
    EXPECT_EQ(c, 255u);
    EXPECT_EQ(d, 0u);
    net_page_show_quad(kNetmask, 8, 9, 0, 7);
    net_page_show_quad(kGateway, 0, 0, 0, 0);
    net_page_show_quad(kDns, 100, 99, 98, 97);
    EXPECT_EQ(net_page_build_args(), 1);
    EXPECT_STREQ(net_args[0], "1.10.255.0");
    EXPECT_STREQ(net_args[1], "8.9.0.7");
    EXPECT_STREQ(net_args[2], "0.0.0.0");
    EXPECT_STREQ(net_args[3], "100.99.98.97");
}

TEST_F(NetKeys, MacFromBoardInfoInLowerCase) {
    board_info.mac[0] = 0xAB;
    board_info.mac[5] = 0xFE;
    create();
    EXPECT_EQ(mac_shown(), "ab:00:5e:10:20:fe");
    EXPECT_EQ(form_pair(win(), 12, 23), 3);
    EXPECT_EQ(form_text(win(), 12, 25, 1), " ");  // no separator
}

TEST_F(NetKeys, NoLoadedMacShowsZeros) {
    board_info.mac_list[0] = nullptr;
    create();
    EXPECT_EQ(mac_shown(), "00:00:00:00:00:00");
}

TEST_F(NetKeys, TypedMacIsSavedOnTheNextUpOrDown) {
    create();
    to_first_mac();
    type("AB");
    // Auto-skip: the next digits go to the second field.
    type("cd");
    EXPECT_EQ(mac_shown(), "AB:cd:5e:10:20:30");
    EXPECT_FALSE(log.has("Save MAC"));
    keys({KEY_DOWN});
    EXPECT_TRUE(log.has("L[NET_PAGE]: Save MAC: [ab:cd:5e:10:20:30]\n"));
    EXPECT_EQ(board_info.mac[0], 0xab);
    EXPECT_EQ(board_info.mac[1], 0xcd);
    // Not edited since: Up saves nothing more.
    keys({KEY_UP});
    EXPECT_EQ(log.count("Save MAC"), 1u);
}

TEST_F(NetKeys, LastMacFieldKeepsTheCursor) {
    create();
    to_first_mac();
    keys({KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN});
    type("9a");
    // No auto-skip out of the last field: a third digit is refused there.
    type("b");
    EXPECT_EQ(mac_shown(), "02:00:5e:10:20:9a");
    keys({KEY_DOWN});
    EXPECT_TRUE(log.has("L[NET_PAGE]: Save MAC: [02:00:5e:10:20:9a]\n"));
    // Still in the last field, its cursor on the last digit: Backspace
    // takes the 9 and the new digit goes in front.
    keys({KEY_BACKSPACE});
    type("c");
    keys({KEY_DOWN, KEY_DOWN});
    EXPECT_EQ(mac_shown(), "02:00:5e:10:20:ca");
    EXPECT_EQ(board_info.mac[5], 0xca);
    EXPECT_EQ(log.count("Save MAC"), 2u);
}

TEST_F(NetKeys, EditingHighlightsAndTheSaveClearsIt) {
    create();
    to_first_mac();
    type("1");
    EXPECT_EQ(form_pair(win(), 12, 23), 8);  // being edited: white on black
    EXPECT_EQ(form_pair(win(), 12, 26), 3);
    // Octets are inactive in Automatic: never painted.
    EXPECT_EQ(form_pair(win(), 2, 23), 2);
    // A one-digit field is refused: nothing stored, the field white on red,
    // and the pattern keeps the cursor there.
    keys({KEY_DOWN});
    EXPECT_TRUE(log.has("W[NET_PAGE]: Bad MAC byte 1: \"1 \" does not match the cell's pattern\n"));
    EXPECT_FALSE(log.has("Save MAC"));
    EXPECT_EQ(form_pair(win(), 12, 23), 7);
    type("f");
    keys({KEY_DOWN});
    EXPECT_TRUE(log.has("L[NET_PAGE]: Save MAC: [1f:00:5e:10:20:30]\n"));
    EXPECT_EQ(form_pair(win(), 12, 23), 3);
}

TEST_F(NetKeys, OctetEditLogsAnUnchangedMacAndRangeIsEnforced) {
    create();
    keys({KEY_DOWN, '\n', KEY_DOWN});  // Manual, first IP octet
    EXPECT_EQ(form_pair(win(), 2, 23), 3);
    type("300");
    keys({KEY_DOWN});
    EXPECT_TRUE(log.has("L[NET_PAGE]: Save MAC: [02:00:5e:10:20:30]\n"));
    // 300 is out of range: the cursor stays, and the next digits go here.
    keys({KEY_BACKSPACE, KEY_BACKSPACE, KEY_BACKSPACE, KEY_DC, KEY_DC, KEY_DC});
    type("7");
    keys({KEY_DOWN});
    type("8");
    EXPECT_EQ(form_text(win(), 2, 23, 7), "007.8  ");
    EXPECT_EQ(log.count("Save MAC"), 2u);
}

TEST_F(NetKeys, SpinnerTogglesModeAndOctetState) {
    create();
    EXPECT_EQ(form_text(win(), 0, 23, 9), "Automatic");
    keys({KEY_DOWN, '\n'});
    EXPECT_EQ(form_text(win(), 0, 23, 9), "Manual   ");
    for (int row : {2, 4, 6, 8})
        for (int col : {23, 27, 31, 35}) EXPECT_EQ(form_pair(win(), row, col), 3) << row << col;
    keys({'\n'});
    EXPECT_EQ(form_text(win(), 0, 23, 9), "Automatic");
    for (int row : {2, 4, 6, 8})
        for (int col : {23, 27, 31, 35}) EXPECT_EQ(form_pair(win(), row, col), 2) << row << col;
    // Back in Automatic, Down skips the octets to Start.
    keys({KEY_DOWN, '\n'});
    EXPECT_EQ(ExitAction, 6);
    EXPECT_EQ(net_args[0][0], '\0');
}

TEST_F(NetKeys, ManualDownGoesToTheFirstOctet) {
    create();
    keys({KEY_DOWN, '\n', KEY_DOWN});
    type("5");
    EXPECT_EQ(form_text(win(), 2, 23, 3), "5  ");
    EXPECT_EQ(ExitAction, 0);
}

TEST_F(NetKeys, FocusAndKeysThatAreNotEdits) {
    create();
    // Hidden, the page ignores every key.
    net_page_panel()->hidden = true;
    keys({KEY_DOWN, '\n', KEY_DOWN, '\n'});
    EXPECT_TRUE(tab_focus());
    net_page_panel()->hidden = false;
    // Without the keyboard nothing reacts, Enter included.
    keys({'\n', 'a', KEY_UP});
    EXPECT_EQ(form_text(win(), 0, 23, 9), "Automatic");
    EXPECT_TRUE(tab_focus());
    keys({KEY_DOWN});
    EXPECT_FALSE(tab_focus());
    // Up on the spinner gives the keyboard back.
    keys({KEY_UP});
    EXPECT_TRUE(tab_focus());
    keys({'\n'});
    EXPECT_EQ(form_text(win(), 0, 23, 9), "Automatic");
    to_first_mac();
    // A resize, ESC and a timeout are not edits: no save follows.
    keys({KEY_RESIZE, 27, ERR, KEY_DOWN});
    EXPECT_FALSE(log.has("Save MAC"));
    // Left and Right on a field that cannot be edited are not edits either.
    keys({KEY_UP, KEY_UP});  // Start
    keys({KEY_LEFT, KEY_RIGHT, KEY_UP});
    EXPECT_FALSE(log.has("Save MAC"));
    EXPECT_EQ(ExitAction, 0);
}

// Only printable ASCII types: bytes above 127, control characters and
// function keys neither change a MAC field nor make the next Down save.
TEST_F(NetKeys, KeysThatTypeNoTextEditNothing) {
    create();
    to_first_mac();
    keys({0xe9, 0xff, 0x80, 0x01, '\t', KEY_F(1), KEY_HOME, KEY_NPAGE, KEY_IC});
    EXPECT_EQ(mac_shown(), "02:00:5e:10:20:30");
    EXPECT_EQ(form_pair(win(), 12, 23), 3);  // not painted as being edited
    keys({KEY_DOWN});
    EXPECT_FALSE(log.has("Save MAC"));
    // The keyboard is where it was: two digits type into the second field.
    type("ab");
    keys({KEY_DOWN});
    EXPECT_TRUE(log.has("L[NET_PAGE]: Save MAC: [02:ab:5e:10:20:30]\n")) << mac_shown();
}

}  // namespace
