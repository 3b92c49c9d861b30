// The Maintenance page as the operator sees it: the buttons its marker files
// label, the jobs Enter starts (as the stand-ins record them), the typed
// address across restarts, and the refresh while the page is on show.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "tests/screen/harness.h"
#include "tests/support/recovery_markers.h"

namespace {

using namespace std::chrono_literals;
using screen::ConsoleTest;
using screen::Key;
using namespace test_support;

// Screen rows of the fields: page window at row 2, form at its row 2.
constexpr int kExtRow = 4, kIntRow = 6, kRomRow = 8, kUrlRow = 10, kDownloadRow = 12, kButtonCol = 25;

constexpr const char *kNotFound = "        Not found";

class RecoveryScreen : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        opts.sample_markers = false;
    }
    // Start with the Maintenance tab on show.
    testing::AssertionResult start_on_page(const std::string &address_line = "") {
        write_state("3\n" + address_line);
        return start(24, 80);
    }
    void write_roms() {
        write_usb_rom(board());
        write_web_rom(board());
    }
    // Cells, not bytes: the border in front is multi-byte UTF-8.
    std::string cells(int row, int col, int n) {
        std::string s;
        for (int c = col; c < col + n; ++c) s += term().cell(row, c).text;
        return s;
    }
    std::string button(int row, int n = 24) { return cells(row, kButtonCol, n); }
    testing::AssertionResult wait_button(int row, const std::string &text) {
        return term().wait_for([&] { return button(row, static_cast<int>(text.size())) == text; },
                               screen::kDefaultTimeout, "button text \"" + text + "\"");
    }
    // From the tab bar down through the buttons (fields 1, 3, 5, 7, 9), and
    // Enter on the one reached.
    void down(int n) {
        for (int i = 0; i < n; ++i) term().key(Key::Down);
    }
    void enter_on(int button) {
        down(button);
        term().key(Key::Enter);
    }
    bool has_effect(const std::string &line) { return effects().find(line + "\n") != std::string::npos; }
    // A job asks first: what would run below the buttons, how to answer on
    // the help line.
    testing::AssertionResult asks(const std::string &what) {
        auto r = term().wait_text(what);
        return r ? term().wait_row(23, "Enter: start, any other key: cancel") : r;
    }
    static constexpr const char *kAskExt = "Update OS: archive /media/usb0/recovery.tar, device /dev/sda1";
    static constexpr const char *kAskInt = "Restore backup: archive /mnt/backup/recovery.tar, device /dev/mmcblk0p3";
    // A script the console left for, as the effects log has it.
    static std::string ash(std::initializer_list<std::string_view> args) {
        std::string l = "exec /bin/ash \"ash\"";
        for (std::string_view a : args) l += " \"" + std::string(a) + "\"";
        return l;
    }
    // Three seconds of the board clock and the refresh they bring: the next
    // is two real seconds away at least, so a change made now lands before it.
    testing::AssertionResult refreshed(const std::string &line) {
        int before = log_count(line);
        pass_clock(3);
        return term().wait_for([&] { return log_count(line) > before; }, 4500ms, "a refresh");
    }
};

TEST_F(RecoveryScreen, ExternalRecoveryShowsItsLineAndStartsWithBothBuffers) {
    write_ext_source(board());
    ASSERT_TRUE(start_on_page());
    // In the first frame already, never "Not found" until the first timeout.
    EXPECT_EQ(button(kExtRow, 22), "  Start from USB stick");
    std::string l = log();
    std::size_t a = l.find("Recovery is found\n");
    std::size_t b = l.find("Recovery tar is reported at: /media/usb0/recovery.tar, checking\n");
    std::size_t c = l.find("External recovery seems to be present\n");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);

    // Labels blue on white, buttons white on blue.
    EXPECT_EQ(cells(kExtRow, 2, 9), "Update OS");
    EXPECT_EQ(term().cell(kExtRow, 2).fg, 4);
    EXPECT_EQ(term().cell(kExtRow, 2).bg, 7);
    EXPECT_EQ(term().cell(kExtRow, kButtonCol + 2).fg, 7);
    EXPECT_EQ(term().cell(kExtRow, kButtonCol + 2).bg, 4);
    EXPECT_EQ(term().cell(kDownloadRow, kButtonCol + 10).text, "S");
    EXPECT_EQ(term().cell(kDownloadRow, kButtonCol + 10).bg, 4);

    enter_on(1);
    ASSERT_TRUE(asks(kAskExt));
    EXPECT_EQ(log_count("L[RECOVERY_PAGE]: Set start external recovery flag"), 0);
    term().key(Key::Enter);
    ASSERT_TRUE(wait_exit());
    EXPECT_EQ(log_count("L[RECOVERY_PAGE]: Set start external recovery flag"), 1);
    EXPECT_TRUE(has_effect(ash({"/var/run/tolvane/ext/recovery.rc", kExtTar, "/dev/sda1"}))) << effects();
    EXPECT_EQ(board().read("/var/run/tolvane/recovery.stat"), "0\n");
    EXPECT_EQ(effects().find("poweroff"), std::string::npos);
}

TEST_F(RecoveryScreen, LineEndAfterTheArchivePathMeansNotFound) {
    write_ext_source(board(), std::string(kExtTar) + "\n", "should not show");
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_log("Failed to stat /media/usb0/recovery.tar\n: -1, errno: No such file or directory\n"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(button(kExtRow), std::string(kNotFound) + "       ");
    EXPECT_FALSE(term().contains("should not show"));
    ASSERT_TRUE(leave());
}

TEST_F(RecoveryScreen, InternalSourceWithoutItsLineFileCannotStart) {
    write_int_source(board());
    board().remove("/var/run/tolvane/int/line");
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_log("Failed to stat /var/run/tolvane/int/line: -1, errno: No such file or directory\n"));
    enter_on(2);
    ASSERT_TRUE(wait_log("L[RECOVERY_PAGE]: Recovery is not considered valid\n"));
    EXPECT_TRUE(term().running());
    EXPECT_EQ(button(kIntRow, 17), kNotFound);
    ASSERT_TRUE(leave());
    EXPECT_FALSE(board().exists("/var/run/tolvane/recovery.stat"));
}

TEST_F(RecoveryScreen, InternalSourceIsCheckedWhenThePageIsBuilt) {
    write_int_source(board());
    ASSERT_TRUE(start_on_page());
    // The page is built before the tab bar shows any panel.
    std::string l = log();
    std::size_t found = l.find("Internal recovery seems to be present\n");
    ASSERT_NE(found, std::string::npos);
    EXPECT_LT(found, l.find("L[TOP_MENU]: Show panel 3\n"));
    ASSERT_TRUE(wait_button(kIntRow, "          Start"));
    enter_on(2);
    ASSERT_TRUE(asks(kAskInt));
    term().key(Key::Enter);
    ASSERT_TRUE(wait_exit());
    EXPECT_TRUE(has_effect(ash({"/var/run/tolvane/int/recovery.rc", kIntTar, "/dev/mmcblk0p3"}))) << effects();
    EXPECT_EQ(board().read("/var/run/tolvane/recovery.stat"), "0\n");
}

TEST_F(RecoveryScreen, RomOneByteShortIsNotFound) {
    write_usb_rom(board(), kRomSize - 1);
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_log("E[RECOVERY_PAGE]: ROM size is wrong: 16777215 instead of 16777216\n"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_EQ(button(kRomRow, 17), kNotFound);
    ASSERT_TRUE(leave());
}

// The switch comes with the tick after three seconds of the board clock,
// well before a real refresh interval could bring it.
TEST_F(RecoveryScreen, UsbImageWinsAndWebTakesOverWithinThreeSecondsOfUsbGoing) {
    write_roms();
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_button(kRomRow, "     Start from USB"));
    ASSERT_TRUE(refreshed("L[RECOVERY_PAGE]: ROM update found, checking size"));
    board().remove(kUsbRomMarker);
    auto gone = std::chrono::steady_clock::now();
    pass_clock(3);
    ASSERT_TRUE(term().wait_for(
        [&] { return button(kRomRow, 19) == "     Start from WEB"; }, 4500ms,
        "the WEB image"));
    EXPECT_LT(std::chrono::steady_clock::now() - gone, 1900ms);
    enter_on(3);
    ASSERT_TRUE(asks("Update ROM from WEB: image /tmp/web-rom.bin"));
    term().key(Key::Enter);
    ASSERT_TRUE(wait_exit());
    EXPECT_TRUE(has_effect(ash({"/usr/bin/btflash.sh", kWebRom}))) << effects();
}

TEST_F(RecoveryScreen, UpdateRomAfterBothImagesVanishedStaysOnThePage) {
    write_roms();
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_button(kRomRow, "     Start from USB"));
    board().remove(kUsbRomMarker);
    board().remove(kWebRomMarker);
    jump_clock(10);
    ASSERT_TRUE(wait_button(kRomRow, kNotFound));
    enter_on(3);
    ASSERT_TRUE(wait_log("L[RECOVERY_PAGE]: ROM is not considered valid\n"));
    ASSERT_TRUE(term().wait_idle());
    EXPECT_TRUE(term().running());
    ASSERT_TRUE(leave());
    EXPECT_EQ(effects().find("btflash"), std::string::npos);
}

// The taken WEB image fails while a valid USB image is present: the USB image
// takes the button and the path in that same refresh, so Enter right after
// it flashes the USB image, never the one that just failed.
class RomHandOver : public RecoveryScreen {
protected:
    void web_taken_then(const std::function<void()> &fail_web, const std::string &failure) {
        write_web_rom(board());
        ASSERT_TRUE(start_on_page());
        ASSERT_TRUE(wait_button(kRomRow, "     Start from WEB"));
        down(3);
        ASSERT_TRUE(term().wait_idle());
        write_usb_rom(board());
        fail_web();
        ASSERT_TRUE(refreshed(failure));
        ASSERT_TRUE(term().wait_idle(50ms));
        EXPECT_EQ(button(kRomRow, 19), "     Start from USB");
        term().key(Key::Enter);
        ASSERT_TRUE(asks("Update ROM from USB: image /media/usb0/rom.bin"));
        term().key(Key::Enter);
        ASSERT_TRUE(wait_exit());
        EXPECT_TRUE(has_effect(ash({"/usr/bin/btflash.sh", kUsbRom}))) << effects();
        EXPECT_EQ(effects().find("web-rom.bin"), std::string::npos) << effects();
    }
};

TEST_F(RomHandOver, WebImageGone) {
    web_taken_then([&] { board().remove(kWebRom); },
                   "L[RECOVERY_PAGE]: Failed to stat /tmp/web-rom.bin: -1, errno: No such file or directory");
}

TEST_F(RomHandOver, WebImageOfTheWrongSize) {
    web_taken_then([&] { board().write_sparse(kWebRom, kRomSize - 1); },
                   "E[RECOVERY_PAGE]: ROM size is wrong: 16777215 instead of 16777216");
}

TEST_F(RomHandOver, WebPathFileGone) {
    web_taken_then([&] { board().remove(kWebRomMarker); },
                   "L[RECOVERY_PAGE]: Failed to stat /var/run/tolvane/web-update-rom-path: -1, "
                   "errno: No such file or directory");
}

// Enter looks at the image once more: one that failed since the last refresh
// starts nothing, and the page is examined again at once.
using EnterRecheck = RecoveryScreen;

// A double Enter after the USB stick was pulled: the first finds the image
// gone and the WEB image takes the button; the second was typed for the USB
// image and is dropped, so nothing never shown is flashed.
TEST_F(EnterRecheck, RomImageFailedSinceTheRefreshStartsNoFlash) {
    const struct {
        bool web;          // a WEB image to take over
        const char *keys;  // Enter, or a double Enter
        const char *button;
    } cases[] = {{false, "\r", kNotFound}, {true, "\r\r", "     Start from WEB"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        if (c.web) write_web_rom(board());
        write_usb_rom(board());
        ASSERT_TRUE(start_on_page());
        ASSERT_TRUE(wait_button(kRomRow, "     Start from USB"));
        down(3);
        ASSERT_TRUE(refreshed("L[RECOVERY_PAGE]: ROM update found, checking size"));
        if (c.web) board().remove(kUsbRom);
        else board().write_sparse(kUsbRom, 4096);
        term().send_raw(c.keys);
        ASSERT_TRUE(wait_log("E[RECOVERY_PAGE]: /media/usb0/rom.bin failed its check, nothing is started\n"));
        ASSERT_TRUE(term().wait_row(23, "Not started: its image failed its check"));
        if (!c.web) {
            EXPECT_GE(log_count("E[RECOVERY_PAGE]: ROM size is wrong: 4096 instead of 16777216"), 1);
        }
        ASSERT_TRUE(wait_button(kRomRow, c.button));
        ASSERT_TRUE(term().wait_idle(300ms));
        EXPECT_TRUE(term().running());
        ASSERT_TRUE(leave());
        EXPECT_EQ(effects().find("btflash"), std::string::npos) << effects();
    }
}

TEST_F(EnterRecheck, RecoveryArchivesGoneStartNoScript) {
    write_ext_source(board());
    write_int_source(board());
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_button(kExtRow, "  Start from USB stick"));
    ASSERT_TRUE(wait_button(kIntRow, "          Start"));
    // The next button, just refreshed, then its archive goes before Enter.
    const auto archive_gone = [&](const char *refreshed_line, const std::string &archive, int row) {
        down(1);
        ASSERT_TRUE(refreshed(refreshed_line));
        board().remove(archive);
        term().key(Key::Enter);
        ASSERT_TRUE(wait_log("E[RECOVERY_PAGE]: " + archive + " failed its check, nothing is started\n"));
        ASSERT_TRUE(wait_button(row, kNotFound));
    };
    archive_gone("External recovery seems to be present", kExtTar, kExtRow);
    archive_gone("Internal recovery seems to be present", kIntTar, kIntRow);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(term().running());
    ASSERT_TRUE(leave());
    EXPECT_EQ(effects().find("recovery.rc"), std::string::npos) << effects();
    EXPECT_FALSE(board().exists("/var/run/tolvane/recovery.stat"));
}

// Update OS, Restore backup and Update ROM ask first. For each: another key
// cancels and does nothing else (Down moves nowhere); a second Enter typed
// ahead of the question (both in one write) is dropped; a refresh that
// changes what would run cancels and says so; only an Enter typed after the
// question starts the job, with what the question named.
TEST_F(RecoveryScreen, JobsAskFirstAndStartOnlyOnAnEnterAfterTheQuestion) {
    const struct {
        int button;
        const char *asks;
        const char *marker, *changed;  // a marker rewritten while asked
        const char *asks_then;
        std::string effect;
    } jobs[] = {
        {1, kAskExt, "/var/run/tolvane/ext/recovery-mdev", "/dev/sdb1",
         "Update OS: archive /media/usb0/recovery.tar, device /dev/sdb1",
         ash({"/var/run/tolvane/ext/recovery.rc", kExtTar, "/dev/sdb1"})},
        {2, kAskInt, "/var/run/tolvane/int/recovery-mdev", "/dev/mmcblk0p4",
         "Restore backup: archive /mnt/backup/recovery.tar, device /dev/mmcblk0p4",
         ash({"/var/run/tolvane/int/recovery.rc", kIntTar, "/dev/mmcblk0p4"})},
        {3, "Update ROM from USB: image /media/usb0/rom.bin", kUsbRomMarker, "/media/usb0/rom-2.bin",
         "Update ROM from USB: image /media/usb0/rom-2.bin", ash({"/usr/bin/btflash.sh", "/media/usb0/rom-2.bin"})},
    };
    for (const auto &j : jobs) {
        SCOPED_TRACE(j.asks);
        write_ext_source(board());
        write_int_source(board());
        write_usb_rom(board());
        board().write_sparse("/media/usb0/rom-2.bin", kRomSize);
        jump_clock(0);
        ASSERT_TRUE(start_on_page());
        ASSERT_TRUE(wait_button(kRomRow, "     Start from USB"));
        enter_on(j.button);
        ASSERT_TRUE(asks(j.asks));
        if (j.button == 1) {  // a window with no row for the question withdraws it
            term().resize(16, 80);
            ASSERT_TRUE(term().wait_row(15, "Cancelled: the window is too small to ask first"));
            term().resize(24, 80);
            ASSERT_TRUE(term().wait_for([&] { return term().cell(22, 0).text == "└"; }));
            term().key(Key::Enter);
            ASSERT_TRUE(asks(j.asks));
        }
        term().key(Key::Down);
        ASSERT_TRUE(term().wait_row(23, "Cancelled: nothing was started"));
        ASSERT_TRUE(term().wait_gone(j.asks));
        EXPECT_EQ(term().cursor().row, kExtRow + 2 * (j.button - 1));
        term().send_raw("\r\r");
        ASSERT_TRUE(asks(j.asks));
        ASSERT_TRUE(term().wait_idle(300ms));
        EXPECT_TRUE(term().running());
        board().write(j.marker, j.changed);
        jump_clock(10);
        ASSERT_TRUE(term().wait_row(23, "Cancelled: what would run has changed"));
        ASSERT_TRUE(term().wait_gone(j.asks));
        term().key(Key::Enter);
        ASSERT_TRUE(asks(j.asks_then));
        term().key(Key::Enter);
        ASSERT_TRUE(wait_exit());
        EXPECT_EQ(effect_lines().size(), 1u) << effects();
        EXPECT_TRUE(has_effect(j.effect)) << effects();
        board().remove("/sim/effects.log");
        board().remove("/var/log/tolvane.log");
    }
}

// Marker and state files that are FIFOs (an open would block) count as
// missing: the console starts, the page shows what is left, F6 leaves.
TEST_F(RecoveryScreen, FifosInPlaceOfMarkerAndStateFilesCountAsMissing) {
    write_ext_source(board());
    write_roms();
    for (const char *f : {"/var/run/tolvane/ext/line", kUsbRomMarker,
                          "/var/run/tolvane/recovery.state"}) {
        board().remove(f);
        ASSERT_EQ(mkfifo(board().host(f).c_str(), 0600), 0) << f;
    }
    ASSERT_TRUE(start(24, 80));
    EXPECT_EQ(log_count("L[MAIN]: /var/run/tolvane/recovery.state is not a regular file, taken as missing"), 1);
    for (int tab = 0; tab < 3; ++tab) term().key(Key::Right);
    ASSERT_TRUE(wait_button(kRomRow, "     Start from WEB"));
    ASSERT_TRUE(wait_button(kExtRow, kNotFound));
    ASSERT_TRUE(leave());
    EXPECT_EQ(log_count("L[RECOVERY_PAGE]: /var/run/tolvane/ext/line is not a regular file, taken as missing"), 1);
}

// Keys people expect in a text field: Home and End, Tab and Shift-Tab.
TEST_F(RecoveryScreen, HomeEndTabAndShiftTabInTheAddress) {
    ASSERT_TRUE(start_on_page());
    down(4);
    term().text("abc");
    term().key(Key::Home);
    term().text("x");
    term().key(Key::End);
    term().text("y");
    ASSERT_TRUE(wait_button(kUrlRow, "xabcy"));
    term().key(Key::Tab);  // to Download ROM
    ASSERT_TRUE(term().wait_for([&] { return term().cursor().row == kDownloadRow; }));
    term().key(Key::Tab, screen::kShift);
    ASSERT_TRUE(term().wait_for([&] { return term().cursor().row == kUrlRow; }));
    ASSERT_TRUE(leave());
    EXPECT_EQ(state_file().rfind("3\nxabcy ", 0), 0u) << state_file();
}

TEST_F(RecoveryScreen, DownloadWithAnEmptyAddressSendsBlanks) {
    ASSERT_TRUE(start_on_page());
    enter_on(5);
    ASSERT_TRUE(wait_exit());
    EXPECT_EQ(log_count("L[RECOVERY_PAGE]: Set start rom download flag"), 1);
    EXPECT_TRUE(has_effect(ash({"/usr/bin/getrom.sh", std::string(24, ' ')}))) << effects();
}

TEST_F(RecoveryScreen, TypedAddressSurvivesF6AndANewStart) {
    ASSERT_TRUE(start_on_page());
    down(4);
    term().text("http://10.1.2.3/images/rom-2024.bin");  // longer than the field: it scrolls
    ASSERT_TRUE(term().wait_text("rom-2024.bin"));
    EXPECT_EQ(term().cell(kUrlRow, kButtonCol).bg, 0) << "the field being edited is white on black";
    EXPECT_TRUE(term().cursor_visible());
    // F6 straight from the field: what was typed must still be saved.
    ASSERT_TRUE(leave());
    std::string url = "http://10.1.2.3/images/rom-2024.bin";
    EXPECT_EQ(state_file().substr(0, 2 + url.size()), "3\n" + url);

    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(term().wait_text("http://10.1.2.3/images/r"));
    enter_on(5);
    ASSERT_TRUE(wait_exit());
    EXPECT_NE(effects().find("\"/usr/bin/getrom.sh\" \"" + url), std::string::npos) << effects();
}

TEST_F(RecoveryScreen, OverlongStoredAddressIsNotRestoredAndMainIsShown) {
    ASSERT_TRUE(start_on_page(std::string(1024, 'u') + "\n"));
    EXPECT_FALSE(term().contains("Update OS"));
    EXPECT_FALSE(term().contains("uuuu"));
    // Three Rights reach the Maintenance tab: the Main tab is selected.
    for (int i = 0; i < 3; ++i) term().key(Key::Right);
    ASSERT_TRUE(term().wait_text("Update OS"));
    EXPECT_FALSE(term().contains("uuuu"));
    ASSERT_TRUE(leave());
}

TEST_F(RecoveryScreen, KeysWhileTheTabBarHasTheKeyboardStillRefresh) {
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_log("Failed to stat /var/run/tolvane/ext/recovery-tar-path"));
    write_ext_source(board(), kExtTar, "keys refreshed");
    jump_clock(10);
    // Keys faster than the half-second tick, so only keys reach the page.
    bool shown = false;
    auto deadline = std::chrono::steady_clock::now() + 4s;
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        term().text("x");
        term().pump(100ms);
        shown = term().contains("keys refreshed");
    }
    EXPECT_TRUE(shown) << term().dump();
    EXPECT_GE(log_count("L[MAIN]: CH: 0x00000078"), 1);
    // The tab bar still has the keyboard: Left goes to the Network page.
    term().key(Key::Left);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 2\n"));
    ASSERT_TRUE(leave());
}

TEST_F(RecoveryScreen, UnwritableRecoveryStatPowersOffInstead) {
    write_ext_source(board());
    board().mkdir("/var/run/tolvane/recovery.stat");  // root writes anywhere; a folder stops it
    ASSERT_TRUE(start_on_page());
    ASSERT_TRUE(wait_button(kExtRow, "  Start from USB stick"));
    enter_on(1);
    ASSERT_TRUE(asks(kAskExt));
    term().key(Key::Enter);
    ASSERT_TRUE(wait_exit());
    EXPECT_EQ(log_count("L[MAIN]: Failed to open /var/run/tolvane/recovery.stat for writing"), 1);
    EXPECT_TRUE(has_effect("exec /sbin/poweroff \"poweroff\"")) << effects();
    EXPECT_EQ(effects().find("recovery.rc"), std::string::npos);
}

TEST_F(RecoveryScreen, SmallAndResizedTerminalsKeepThePageAlive) {
    write_roms();
    write_state("3\n");
    ASSERT_TRUE(start(8, 30));
    down(4);
    term().text("abc");
    term().resize(24, 80);
    term().resize(6, 20);
    term().key(Key::Right);
    term().key(Key::Up);
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_idle());
    ASSERT_TRUE(term().running());
    ASSERT_TRUE(leave());
}

}  // namespace
