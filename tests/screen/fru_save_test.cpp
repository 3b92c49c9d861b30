// F10 as the operator sees it when the settings cannot all be stored: the
// console says so, and the EEPROM keeps what it should.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/fru_image.h"
#include "tests/screen/boot_records.h"
#include "tests/screen/harness.h"

namespace {

using screen::Key;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr const char *kEeprom = "/sys/bus/i2c/devices/1-0053/eeprom";
constexpr const char *kFailed = "Saving failed: settings were not stored";
constexpr int kPolicyRow = 8;

class SaveScreen : public screen::ConsoleTest {
protected:
    testing::AssertionResult save_and_wait() {
        term().fkey(10);
        return wait_exit(25000ms);
    }
    bool said_failed() { return term_output().find(kFailed) != std::string::npos; }
    std::string term_output() { return term().output(); }
};

// A policy change on a full table cannot be stored: F10 says so and logs
// which setting, the countdown and the power-off stay.
TEST_F(SaveScreen, SetterThatCouldNotStoreMakesF10SayNotStored) {
    opts.fru.records.clear();
    for (int i = 0; i < 8; ++i)
        opts.fru.records.push_back({static_cast<std::uint8_t>(0xD0 + i), {static_cast<std::uint8_t>(i)}});
    ASSERT_TRUE(start(24, 80));
    term().key(Key::Right);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 1\n"));
    ASSERT_TRUE(term().wait_row(kPolicyRow, "always off"));
    term().key(Key::Down);
    term().key(Key::Down);
    term().key(Key::Enter);
    ASSERT_TRUE(term().wait_row(kPolicyRow, "always on"));
    ASSERT_TRUE(wait_log("W[FRU]: FRU: multirecord table is full\n"));
    ASSERT_TRUE(save_and_wait());
    // The rest was saved: the line names what was not.
    EXPECT_FALSE(said_failed()) << term_output();
    EXPECT_NE(term_output().find("Saving failed: power policy and power state were not stored\r\nSaving .........."),
              std::string::npos) << term_output();
    EXPECT_EQ(log_count("E[MAIN]: FRU: power policy was not stored (id 0xc4)"), 1) << log();
    auto r = boot_test::eeprom_records(eeprom());
    EXPECT_EQ(r.count(0xC4), 0u);
    EXPECT_EQ(r.size(), 8u);
    EXPECT_NE(effects().find("/sbin/poweroff"), std::string::npos);
}

// On a board without a MAC record, a cursor walk through the MAC cells
// followed by F10 is no change: nothing is tried, nothing said, all saved.
TEST_F(SaveScreen, MacCellsLeftAsStoredAreNoChangeForF10) {
    opts.fru.records = {{0xC4, {0}}};
    ASSERT_TRUE(start(24, 80));
    // The Network tab; the spinner, Start, the first MAC byte; a cursor walk.
    for (Key k : {Key::Right, Key::Right, Key::Down, Key::Down, Key::Down, Key::Right, Key::Left}) term().key(k);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 2\n") && term().wait_idle());
    ASSERT_TRUE(save_and_wait());
    for (const char *said : {"Saving failed", "MAC address cannot be stored"})
        EXPECT_EQ(term_output().find(said), std::string::npos) << term_output();
    EXPECT_EQ(log_count("Save MAC"), 0) << log();
}

// Down after the same walk, or after an edited IP octet, stores the MAC as
// always; unchanged, its missing record is no failure to tell the operator.
TEST_F(SaveScreen, UnchangedMacOnBoardWithoutRecordSaysNothingOnDown) {
    opts.fru.records = {{0xC4, {0}}};
    ASSERT_TRUE(start(24, 80));
    for (Key k : {Key::Right, Key::Right, Key::Down, Key::Down, Key::Down, Key::Right, Key::Left, Key::Down})
        term().key(k);
    ASSERT_TRUE(wait_log("L[NET_PAGE]: Save MAC: [00:00:00:00:00:00]\n") && term().wait_idle());
    for (Key k : {Key::Up, Key::Up, Key::Up, Key::Enter, Key::Down}) term().key(k);
    term().text("10");
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_for([&] { return log_count_prefix("L[NET_PAGE]: Save MAC") == 2; }));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_FALSE(term().contains("MAC address cannot be stored")) << term().dump();
    ASSERT_TRUE(leave());
}

// A MAC byte failing its pattern (a pasted address puts ":1" into the
// second) stores nothing: white on red, a warning naming it. F10 then stays
// in the console with the keyboard on that byte, and stores nothing else
// either (the boot port changed before).
TEST_F(SaveScreen, RefusedMacByteKeepsF10InTheConsoleAndStoresNothing) {
    board();
    const Bytes before = eeprom();
    ASSERT_TRUE(start(24, 80));
    for (Key k : {Key::Right, Key::Down, Key::Enter}) term().key(k);
    ASSERT_TRUE(wait_log("L[BOOT_PAGE]: Obtained buffer: [sata0:1]\n"));
    for (Key k : {Key::Up, Key::Right, Key::Down, Key::Down, Key::Down}) term().key(k);
    term().text("0a:1b:2c:3d:4e:5f");
    term().key(Key::Down);
    ASSERT_TRUE(wait_log("W[NET_PAGE]: Bad MAC byte 2: \":1\" does not match the cell's pattern"));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(16, 28).bg == 1; }));
    term().fkey(10);
    ASSERT_TRUE(wait_log("W[MAIN]: F10 refused: a typed value was not accepted\n"));
    ASSERT_TRUE(term().wait_row(23, "MAC byte 2 must be two hex digits"));
    ASSERT_TRUE(term().wait_for([&] { return term().cursor().row == 16 && term().cursor().col == 28; }));
    EXPECT_TRUE(term().running());
    EXPECT_EQ(effects().find("/sbin/poweroff"), std::string::npos) << effects();
    EXPECT_EQ(eeprom(), before);
    ASSERT_TRUE(leave());
    EXPECT_EQ(eeprom(), before);
}

// Typed and not applied is an unsaved change too, MAC and clock alike; six
// cells spelling the stored MAC are none.
TEST_F(SaveScreen, PendingEditsAreUnsavedChanges) {
    ASSERT_TRUE(start(24, 80));
    term().key(Key::Down);
    term().text("1");  // the hour
    ASSERT_TRUE(term().wait_row(23, "(unsaved changes)"));
    term().key(Key::Up);  // "1" fails the hour's pattern: refused, nothing pending
    ASSERT_TRUE(term().wait_gone("(unsaved changes)"));
    for (Key k : {Key::Up, Key::Right, Key::Right, Key::Down, Key::Down, Key::Down}) term().key(k);
    ASSERT_TRUE(term().wait_for([&] { return term().cursor().row == 16 && term().cursor().col == 25; }));
    const int keys = log_count_prefix("L[MAIN]: CH: ");
    term().text("02");  // the stored first byte
    ASSERT_TRUE(term().wait_for([&] { return log_count_prefix("L[MAIN]: CH: ") == keys + 2; }));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_FALSE(term().contains("(unsaved changes)"));
    term().text("ff");
    ASSERT_TRUE(term().wait_row(23, "(unsaved changes)"));
    ASSERT_TRUE(leave());
}

// A script changes the EEPROM while the console runs: F10 must not write
// the console's older image over it.
TEST_F(SaveScreen, ChangeMadeBehindTheConsoleSurvivesF10) {
    ASSERT_TRUE(start(24, 80));
    sim::FruImageContent changed;
    changed.records[1].data = {'s', 'a', 't', 'a', '0', ':', '1'};
    Bytes theirs = sim::make_fru_image(changed);
    board().write_bytes(kEeprom, theirs);
    ASSERT_TRUE(save_and_wait());
    EXPECT_TRUE(said_failed()) << term_output();
    EXPECT_EQ(log_count("E[FRU]: FRU: eeprom changed since it was loaded, refusing to save"), 1)
        << log();
    EXPECT_EQ(eeprom(), theirs);
}

// An EEPROM that cannot be read is not shown as the board's settings: the
// help line says so at start, every page that shows what it holds says so
// on its border, no change claims to be unsaved, and F10 says nothing can
// be saved in one line, clear of what stood on the screen (vt100 has no
// alternate screen to leave).
TEST_F(SaveScreen, UnreadableEepromIsToldAtStartAndByF10) {
    board().write(kEeprom, std::string(4096, '\xff'));
    ASSERT_TRUE(start(24, 80, {}, {"TERM=vt100"}));
    ASSERT_TRUE(term().wait_row(23, "FRU EEPROM could not be read: values shown are not stored on the board"));
    ASSERT_TRUE(term().wait_row(2, "FRU EEPROM not read: these are not the board's values"));
    EXPECT_FALSE(term().contains("1996")) << term().dump();
    term().key(Key::Right);  // the next key gives the legend back
    ASSERT_TRUE(term().wait_row(23, "Enter: select | Arrows: move"));
    ASSERT_TRUE(term().wait_row(2, "FRU EEPROM not read: these are not the board's values"));
    term().key(Key::Down);
    term().key(Key::Enter);  // a boot port that cannot be saved
    ASSERT_TRUE(wait_log("L[BOOT_PAGE]: Obtained buffer: [sata0:1]\n"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_FALSE(term().contains("unsaved")) << term().dump();
    term().key(Key::Up);
    // Too narrow for the page: the size notice stands in, under the note.
    term().resize(24, 46);
    ASSERT_TRUE(term().wait_for([&] { return term().contains("Screen too small"); }));
    ASSERT_TRUE(term().wait_row(2, "FRU EEPROM not read"));
    term().resize(24, 80);
    ASSERT_TRUE(term().wait_row(23, "Enter: select | Arrows: move"));  // under the F10 lines
    ASSERT_TRUE(save_and_wait());
    EXPECT_EQ(term().row_trimmed(22), "FRU EEPROM could not be read: nothing can be saved") << term().dump();
    EXPECT_EQ(term().row_trimmed(23), "Saving ..........") << term().dump();
    EXPECT_FALSE(said_failed()) << term_output();
    EXPECT_EQ(eeprom(), Bytes(4096, 0xff));
}

// A setting changed in this session and not saved yet is on show: in the
// legend below 96 columns, at the title's right end from 96 on; setting it
// back clears it.
TEST_F(SaveScreen, UnsavedChangesAreShownUntilTheyMatchTheEepromAgain) {
    for (int cols : {80, 100}) {
        SCOPED_TRACE(cols);
        write_state("1\n");  // the Boot page
        ASSERT_TRUE(start(24, cols));
        ASSERT_TRUE(term().wait_row(kPolicyRow, "always off"));
        term().key(Key::Down);
        term().key(Key::Down);
        term().key(Key::Enter);
        ASSERT_TRUE(term().wait_row(kPolicyRow, "always on"));
        if (cols < 96) ASSERT_TRUE(term().wait_row(23, "F10: save, power off (unsaved changes)"));
        else ASSERT_TRUE(term().wait_for([&] { return term().row_trimmed(0).size() == 99u &&
                                                    term().row_trimmed(0).find("unsaved changes") == 84u; }));
        term().key(Key::Enter);  // back to "always off"
        ASSERT_TRUE(term().wait_row(kPolicyRow, "always off"));
        ASSERT_TRUE(term().wait_gone("unsaved changes"));
        // Narrower than the shortest legend with the note: the short note, whole.
        term().key(Key::Enter);
        term().resize(24, 40);
        ASSERT_TRUE(term().wait_row(23, "F6, F10 (save): power off (unsaved)"));
        ASSERT_TRUE(leave());
    }
}

}  // namespace
