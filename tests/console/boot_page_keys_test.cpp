// The Boot page driven through its four operations on a screen on /dev/null:
// what it shows at start, what Enter stores in BoardInfo, focus, and the log.
#include <cstring>
#include <string>

#include <curses.h>
#include <gtest/gtest.h>

#include "console/pages/boot_page.h"
#include "console/pages/main_page.h"
#include "console/top_menu.h"
#include "fru/board_info.h"
#include "tests/console/boot_curses.h"

namespace {

using boot_test::form_pair;
using boot_test::form_text;

testing::Environment *const curses_env = testing::AddGlobalTestEnvironment(new boot_test::Curses);

class BootPage : public boot_test::PageTest<boot_page_create, boot_page_destroy,
                                             boot_page_handle_key, boot_page_panel> {
protected:
    void SetUp() override {
        PageTest::SetUp();
        board_info = BoardInfo{};
        bmc_info = BmcInfo{};
        bmc_info.major = 2;
        bmc_info.patch = 2;
    }
    std::string port() { return form_text(win(), 2, 23, 7); }
    std::string policy() { return form_text(win(), 4, 23, 10); }
    void set_bootdev(const char *s) {
        std::memset(board_info.bootdevice, 0, sizeof board_info.bootdevice);
        std::memcpy(board_info.bootdevice, s, std::strlen(s));
    }
};

TEST(BootPageTable, RowsAreWellFormed) {
    auto t = boot_page_table();
    ASSERT_EQ(t.size(), 5u);
    boot_test::check_table(t, 77, 19);
    EXPECT_STREQ(t[0].text, "SATA boot priority");
    EXPECT_EQ(t[2].kind, FIELD_SPINNER);
    EXPECT_EQ(std::memcmp(t[2].text, "sata0:0\0sata0:1\0;", 17), 0);
    EXPECT_EQ(std::memcmp(t[4].text, "always off\0always on\0;", 22), 0);
    EXPECT_EQ(t[4].colour, static_cast<int>(COLOR_PAIR(3)));
}

TEST_F(BootPage, StoredDeviceChoosesThePortAtStart) {
    struct Case {
        const char *stored;
        const char *shown;
    } cases[] = {{"sata0:1", "sata0:1"}, {"sata1:0", "sata0:0"}, {"", "sata0:0"},
                 {"sata0:0", "sata0:0"}, {"sata0:1-extra", "sata0:1"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        board_info = BoardInfo{};
        set_bootdev(c.stored);
        create();
        EXPECT_EQ(port(), c.shown);
        EXPECT_TRUE(log.has(std::string("L[BOOT_PAGE]: fru.bootdevice: ") + c.stored + "\n"));
        destroy();
    }
}

TEST_F(BootPage, FullBootDeviceWithoutTerminatorIsReadWithinItsField) {
    // All 32 bytes used: the log line must stop at the field's end.
    std::memset(board_info.bootdevice, 'x', sizeof board_info.bootdevice);
    std::memcpy(board_info.bootdevice, "sata0:1", 7);
    board_info.power_policy = 0x55;  // the byte behind the field
    create();
    EXPECT_EQ(port(), "sata0:1");
    EXPECT_TRUE(log.has("L[BOOT_PAGE]: fru.bootdevice: sata0:1" + std::string(25, 'x') + "\n"));
}

TEST_F(BootPage, EnterOnThePortStoresItAndDumpsTheBuffer) {
    create();
    EXPECT_EQ(port(), "sata0:0");
    keys({KEY_DOWN, '\n'});
    EXPECT_EQ(port(), "sata0:1");
    EXPECT_STREQ(board_info.bootdevice, "sata0:1");
    EXPECT_TRUE(log.has("L[BOOT_PAGE]: Save boot device\nPTR:\n73 61 74 61 30 3a 31 20 \n"
                        "L[BOOT_PAGE]: Obtained buffer: [sata0:1]\n"));
    keys({'\n'});
    EXPECT_EQ(port(), "sata0:0");
    EXPECT_STREQ(board_info.bootdevice, "sata0:0");
    EXPECT_TRUE(log.has("L[BOOT_PAGE]: Obtained buffer: [sata0:0]\n"));
    EXPECT_FALSE(log.has("Save power policy"));
}

TEST_F(BootPage, PolicyOneStepsOffThenOnWithPowerState) {
    board_info.power_policy = 1;
    create();
    EXPECT_EQ(policy(), "always on ");
    keys({KEY_DOWN, KEY_DOWN, '\n'});
    EXPECT_EQ(policy(), "always off");
    EXPECT_EQ(board_info.power_policy, 0);
    EXPECT_EQ(board_info.power_state, 1);
    EXPECT_FALSE(log.has("PP_KEEP"));
    board_info.power_state = 0;
    keys({'\n'});
    EXPECT_EQ(policy(), "always on ");
    EXPECT_EQ(board_info.power_policy, 2);
    EXPECT_EQ(board_info.power_state, 1);
    EXPECT_EQ(log.count("L[BOOT_PAGE]: Save power policy\n"), 2u);
    EXPECT_EQ(log.count("W[BOOT_PAGE]: PP_KEEP support is disabled\n"), 1u);
    // The port was never touched.
    EXPECT_FALSE(log.has("Save boot device"));
}

TEST_F(BootPage, PolicyCodesShownAtStart) {
    for (int code : {0, 1, 2, 3, 4, 9, 255}) {
        SCOPED_TRACE(code);
        board_info.power_policy = static_cast<std::uint8_t>(code);
        board_info.mrec_count = 0;
        create();
        EXPECT_EQ(policy(), code >= 1 && code <= 3 ? "always on " : "always off");
        // Above 3 reads 0 afterwards, but no record was made for it.
        EXPECT_EQ(board_info.power_policy, code > 3 ? 0 : code);
        EXPECT_EQ(board_info.mrec_count, 0u);
        EXPECT_EQ(board_info.power_state, 0);
        destroy();
    }
}

TEST_F(BootPage, OldBmcShowsNoPolicyAndNeverStoresOne) {
    bmc_info.patch = 1;  // 2.0.1
    board_info.power_policy = 9;
    create();
    EXPECT_EQ(form_text(win(), 4, 23, 5), "N/A  ");
    EXPECT_EQ(form_pair(win(), 4, 23), 2);
    EXPECT_EQ(form_pair(win(), 4, 30), 2);
    // An unsupported BMC leaves a stored code alone.
    EXPECT_EQ(board_info.power_policy, 9);
    // Down on the port stays on the port: Enter keeps stepping it.
    keys({KEY_DOWN, KEY_DOWN, KEY_DOWN, '\n'});
    EXPECT_EQ(port(), "sata0:1");
    keys({KEY_DOWN, '\n'});
    EXPECT_EQ(port(), "sata0:0");
    EXPECT_FALSE(log.has("Save power policy"));
    EXPECT_EQ(board_info.power_state, 0);
}

TEST_F(BootPage, VersionsAreComparedPartByPart) {
    struct Case {
        int major, minor, patch;
        bool supported;
    } cases[] = {{2, 0, 2, true},  {2, 0, 1, false}, {2, 1, 0, true},   {3, 0, 0, true},
                 {1, 9, 9, false}, {0, 0, 0, false}, {1, 300, 0, false}, {2, 0, 300, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + "." +
                     std::to_string(c.patch));
        bmc_info.major = c.major;
        bmc_info.minor = c.minor;
        bmc_info.patch = c.patch;
        create();
        EXPECT_EQ(policy() == "always off", c.supported);
        EXPECT_EQ(form_text(win(), 4, 23, 3) == "N/A", !c.supported);
        destroy();
    }
}

// Hidden, the page ignores every key; on show, the keyboard moves between
// the tab bar and the form.
TEST_F(BootPage, FocusMovesBetweenTabBarAndForm) {
    board_info.power_policy = 0;
    create();
    boot_page_panel()->hidden = true;
    keys({KEY_DOWN, '\n', KEY_DOWN, '\n'});
    EXPECT_TRUE(tab_focus());
    EXPECT_EQ(board_info.bootdevice[0], '\0');
    boot_page_panel()->hidden = false;
    // Without the keyboard, Enter and Up do nothing.
    keys({'\n', KEY_UP, ERR, KEY_RESIZE});
    EXPECT_EQ(port(), "sata0:0");
    EXPECT_TRUE(tab_focus());
    keys({KEY_DOWN});
    EXPECT_FALSE(tab_focus());
    // Left, Right and other keys change nothing.
    keys({KEY_LEFT, KEY_RIGHT, 'x', KEY_RESIZE, 27, ERR});
    EXPECT_EQ(port(), "sata0:0");
    EXPECT_EQ(policy(), "always off");
    EXPECT_FALSE(tab_focus());
    // Down on the last input stays there.
    keys({KEY_DOWN, KEY_DOWN, KEY_DOWN, '\n'});
    EXPECT_EQ(policy(), "always on ");
    EXPECT_EQ(port(), "sata0:0");
    // Up to the port, then Up gives the keyboard back.
    keys({KEY_UP});
    EXPECT_FALSE(tab_focus());
    keys({KEY_UP});
    EXPECT_TRUE(tab_focus());
    keys({'\n'});
    EXPECT_EQ(port(), "sata0:0");
    // Down again lands on the port.
    keys({KEY_DOWN, '\n'});
    EXPECT_EQ(port(), "sata0:1");
}

TEST_F(BootPage, ColoursAsTheOperatorSeesThem) {
    create();
    EXPECT_EQ(form_pair(win(), 0, 0), 2);
    EXPECT_EQ(form_pair(win(), 2, 0), 2);
    EXPECT_EQ(form_pair(win(), 2, 23), 3);
    EXPECT_EQ(form_pair(win(), 2, 44), 3);
    EXPECT_EQ(form_pair(win(), 4, 23), 3);
    EXPECT_EQ(form_text(win(), 0, 0, 18), "SATA boot priority");
    EXPECT_EQ(form_text(win(), 4, 0, 20), "Power restore policy");
}

}  // namespace
