// The Maintenance page's table, its refresh cadence, keyboard ownership,
// the address field and its page-state line, on a screen on /dev/null.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <curses.h>
#include <string>

#include "console/exit_action.h"
#include "console/pages/recovery_page.h"
#include "console/top_menu.h"
#include "tests/console/recovery_fixture.h"

namespace {

TEST(RecoveryPageTable, RowsAreWellFormedAndFitTheScreen) {
    auto t = recovery_page_fields();
    ASSERT_EQ(t.size(), 10u);
    // 80 columns less the border and the form's offset; 24 lines: the window
    // has 21 rows, the form starts at its row 2.
    boot_test::check_table(t, 76, 18);
    for (std::size_t i = 0; i < t.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t[i].kind, i % 2 == 0 ? FIELD_LABEL : (i == 7 ? FIELD_INPUT : FIELD_VALUE));
        // A label and its button share a row, the button on the right.
        if (i % 2 == 1) {
            EXPECT_EQ(t[i].row, t[i - 1].row);
            EXPECT_GE(t[i].col, t[i - 1].col + t[i - 1].width);
        }
    }
    // The one input, the address: it grows up to 1023 characters.
    EXPECT_FALSE(t[7].fixed_size);
    EXPECT_EQ(t[7].max, 1023);
    EXPECT_TRUE(t[7].active);
}

class RecoveryKeys : public boot_test::RecoveryPageTest {
protected:
    void SetUp() override {
        RecoveryPageTest::SetUp();
        std::memset(rom_url, 'x', sizeof rom_url);
        create();
    }
    void clock(long offset) { tree().set_clock_offset(offset); }
    void type(const std::string &s) {
        for (char c : s) press(static_cast<unsigned char>(c));
    }
    int refreshes() { return static_cast<int>(log.count("update-rom-path: -1")); }
    // Colour pair of the address field's first cell.
    int address_pair() {
        chtype c = mvwinch(recovery_page_panel()->win, 2 + 6, 2 + 23);
        return static_cast<int>(PAIR_NUMBER(c & A_COLOR));
    }
    std::string saved() {
        std::FILE *f = std::tmpfile();
        EXPECT_GT(recovery_page_save_state(f), 0);
        std::rewind(f);
        std::string s;
        for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
        std::fclose(f);
        return s;
    }
    int load(const std::string &content) {
        std::FILE *f = std::tmpfile();
        std::fputs(content.c_str(), f);
        std::rewind(f);
        int r = recovery_page_load_state(f);
        std::fclose(f);
        return r;
    }
    // From the tab bar down to the address field (fields 1, 3, 5, 7).
    void to_address() {
        for (int i = 0; i < 4; ++i) press(KEY_DOWN);
    }
};

TEST_F(RecoveryKeys, SourcesAreExaminedEveryThreeSecondsOnlyWhileShown) {
    recovery_page_panel()->hidden = true;
    clock(0);
    press(ERR);
    press('a');
    EXPECT_EQ(refreshes(), 0) << "a hidden page looks at nothing";

    recovery_page_panel()->hidden = false;
    press(ERR);
    EXPECT_EQ(refreshes(), 2) << "the first call while shown checks at once (both ROM files)";
    clock(1);
    press(ERR);
    EXPECT_EQ(refreshes(), 2);
    clock(3);
    press(ERR);
    EXPECT_EQ(refreshes(), 4);
    clock(-100);  // clock set back
    press(ERR);
    EXPECT_EQ(refreshes(), 6);

    // Keys while the tab bar has the keyboard refresh too, and change nothing.
    ASSERT_TRUE(tab_focus());
    clock(-97);
    press(KEY_RIGHT);
    EXPECT_EQ(refreshes(), 8);
    EXPECT_TRUE(tab_focus());
    press('z');
    EXPECT_TRUE(tab_focus());
    EXPECT_EQ(ExitAction, 0);
}

TEST_F(RecoveryKeys, DownTakesTheKeyboardAndUpOnTheFirstButtonGivesItBack) {
    press(10);
    EXPECT_EQ(ExitAction, 0) << "Enter without the keyboard does nothing";
    press(KEY_DOWN);
    EXPECT_FALSE(tab_focus());
    press(KEY_UP);  // on field 1
    EXPECT_TRUE(tab_focus());
    press(KEY_UP);
    EXPECT_TRUE(tab_focus());

    // Down past the last button stays there: Enter downloads.
    for (int i = 0; i < 8; ++i) press(KEY_DOWN);
    press(10);
    EXPECT_EQ(ExitAction, 4);
    EXPECT_EQ(std::string(rom_url), std::string(24, ' ')) << "an empty address is all blanks";
}

TEST_F(RecoveryKeys, TypedAddressGoesToDownloadWithTheFieldsBlanks) {
    to_address();
    type("http://10.0.0.1/rom.bin");
    EXPECT_EQ(address_pair(), 8) << "the field being edited is white on black";
    press(KEY_LEFT);
    press(KEY_DC);  // removes the "n"
    press(KEY_BACKSPACE);  // removes the "i"
    press(KEY_DOWN);
    EXPECT_EQ(address_pair(), 3);
    press(10);
    EXPECT_EQ(ExitAction, 4);
    EXPECT_EQ(std::string(rom_url), "http://10.0.0.1/rom.b" + std::string(3, ' '));
}

TEST_F(RecoveryKeys, EventsAreNotEditingKeys) {
    to_address();
    press(KEY_RESIZE);
    EXPECT_EQ(address_pair(), 3);
    press(KEY_DOWN);
    press(10);
    EXPECT_EQ(std::string(rom_url), std::string(24, ' '));
}

TEST_F(RecoveryKeys, AddressScrollsUpTo1023Characters) {
    to_address();
    std::string typed;
    for (int i = 0; i < 1100; ++i) typed += static_cast<char>('a' + i % 26);
    type(typed);
    press(KEY_DOWN);
    press(10);
    ASSERT_EQ(ExitAction, 4);
    EXPECT_EQ(std::strlen(rom_url), 1023u);
    EXPECT_EQ(std::string(rom_url), typed.substr(0, 1023));
}

TEST_F(RecoveryKeys, StateLineKeepsTheAddressEvenWhileItIsBeingTyped) {
    to_address();
    type("ftp://rom");
    // Leaving the console straight from the field must not lose the text.
    EXPECT_EQ(saved(), "ftp://rom" + std::string(15, ' ') + "\n");
}

TEST_F(RecoveryKeys, StateLineRoundTripsAndRejectsOverlongWords) {
    EXPECT_EQ(saved(), std::string(24, ' ') + "\n");
    EXPECT_EQ(load(std::string(24, ' ') + "\n"), 0) << "a blank line restores nothing";
    EXPECT_EQ(load(""), 0);

    EXPECT_EQ(load("http://a/b.bin" + std::string(10, ' ') + "\n"), 0);
    EXPECT_EQ(saved(), "http://a/b.bin" + std::string(10, ' ') + "\n");

    EXPECT_EQ(load(std::string(1024, 'u') + "\n"), -3);
    EXPECT_EQ(saved(), "http://a/b.bin" + std::string(10, ' ') + "\n") << "left unchanged";

    std::string longest(1023, 'v');
    EXPECT_EQ(load(longest + "\n"), 0);
    EXPECT_EQ(saved(), longest + "\n");
    for (int i = 0; i < 5; ++i) press(KEY_DOWN);
    press(10);
    EXPECT_EQ(std::string(rom_url), longest);
}

// The board's console runs in the C locale, where the wide form library
// cannot turn bytes above 0x7f back into text: its field_buffer then
// miscounts the text's size (a huge or a zero-byte buffer). The address is
// plain ASCII, typed or restored.
TEST_F(RecoveryKeys, AddressTakesOnlyPrintableAscii) {
    to_address();
    type("#/-o\x9a       ");
    type(std::string(12, '\xe0'));
    type("\x01\x1f!");  // 127 is the erase key, not text
    EXPECT_EQ(saved(), "#/-o       !" + std::string(12, ' ') + "\n");
    press(KEY_DOWN);
    press(10);
    ASSERT_EQ(ExitAction, 4);
    EXPECT_EQ(std::string(rom_url), "#/-o       !" + std::string(12, ' '));
}

TEST_F(RecoveryKeys, StateLineWithOtherBytesIsNotRestored) {
    EXPECT_EQ(load("ftp://ok/rom\n"), 0);
    for (std::string word : {"ftp://\xe0/rom", "\x9a", "ftp://a\x01b", "rom\x7f"}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(load(word + "\n"), -3);
        EXPECT_EQ(saved(), "ftp://ok/rom" + std::string(12, ' ') + "\n") << "left unchanged";
    }
}

}  // namespace
