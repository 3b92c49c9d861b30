// The Maintenance page's detection of its four sources, on a board tree of
// its own and a screen on /dev/null. The board clock is moved through the
// simulated clock offset, so the 3-second refresh costs no real time.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <curses.h>
#include <filesystem>
#include <functional>
#include <string>

#include "console/exit_action.h"
#include "console/pages/recovery_page.h"
#include "tests/console/recovery_fixture.h"

namespace {

using namespace test_support;

// "        Not found" as the 24-column button shows it.
const std::string kNotFoundCell = "        Not found       ";

class RecoverySources : public boot_test::RecoveryPageTest {
protected:
    void SetUp() override {
        RecoveryPageTest::SetUp();
        std::memset(ext_recovery_tar, 'x', sizeof ext_recovery_tar);
        std::memset(ext_recovery_dev, 'x', sizeof ext_recovery_dev);
        std::memset(rom_image_path, 0, sizeof rom_image_path);
    }
    // One refresh: the board clock moves on by 3 seconds first.
    void refresh() {
        offset_ += 3;
        tree().set_clock_offset(offset_);
        recovery_page_handle_key(ERR);
    }
    // What the operator sees in a field: window row/column of form row/column.
    std::string field_text(int row, int col = 23, int width = 24) {
        char buf[128] = {};
        mvwinnstr(win(), 2 + row, 2 + col, buf, width);
        return buf;
    }
    // The question a job asks first, row by row below the form.
    std::string question(int row) {
        std::string t = field_text(10 + row, 0, 76);
        return t.substr(0, t.find_last_not_of(' ') + 1);
    }
    // Focus on the form, then Down n times.
    void focus_field(int downs) {
        press(KEY_DOWN);
        for (int i = 0; i < downs; ++i) press(KEY_DOWN);
    }

    long offset_ = 0;
};

std::size_t pos_of(const std::string &hay, const std::string &needle) {
    std::size_t p = hay.find(needle);
    EXPECT_NE(p, std::string::npos) << "missing: " << needle << "\nin:\n" << hay;
    return p;
}

TEST_F(RecoverySources, ExternalSourceValidShowsLineAndStartsActionOne) {
    write_ext_source(tree());
    create();
    EXPECT_EQ(field_text(0), kNotFoundCell) << "only the internal source at start";
    refresh();
    std::string l = log.text();
    std::size_t a = pos_of(l, "Recovery is found\n");
    std::size_t b = pos_of(l, "Recovery tar is reported at: /media/usb0/recovery.tar, checking\n");
    std::size_t c = pos_of(l, "External recovery seems to be present\n");
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(field_text(0, 23, 22), "  Start from USB stick");
    EXPECT_STREQ(ext_recovery_tar, "/media/usb0/recovery.tar");
    EXPECT_STREQ(ext_recovery_dev, "/dev/sda1");

    press(KEY_DOWN);  // the form takes the keyboard on field 1
    // Enter reads the markers again: the question names the device of now,
    // a line end stored with it shown as one, and passed on as stored.
    tree().write("/var/run/tolvane/ext/recovery-mdev", "/dev/sdb1\n");
    press(10);
    EXPECT_EQ(ExitAction, 0);
    EXPECT_EQ(question(0), "Update OS: archive /media/usb0/recovery.tar, device /dev/sdb1\\n");
    press(10);
    EXPECT_EQ(ExitAction, 1);
    EXPECT_STREQ(ext_recovery_dev, "/dev/sdb1\n");
    EXPECT_EQ(question(0), "") << "the question goes with the answer";
    l = log.text();
    EXPECT_LT(pos_of(l, "L[RECOVERY_PAGE]: enter pressed\n"),
              pos_of(l, "L[RECOVERY_PAGE]: Set start external recovery flag\n"));
}

TEST_F(RecoverySources, ArchivePathIsTakenAsStoredAndFailsWithLineEnd) {
    write_ext_source(tree(), std::string(kExtTar) + "\n");
    create();
    refresh();
    EXPECT_TRUE(log.has("Recovery tar is reported at: /media/usb0/recovery.tar\n, checking\n"
                        "Failed to stat /media/usb0/recovery.tar\n: -1, errno: No such file or directory\n"))
        << log.text();
    EXPECT_EQ(field_text(0), kNotFoundCell);
    EXPECT_EQ(log.text().find("External recovery seems to be present"), std::string::npos);
    press(KEY_DOWN);
    press(10);
    EXPECT_EQ(ExitAction, 0);
    EXPECT_NE(log.text().find("L[RECOVERY_PAGE]: Recovery is not considered valid\n"), std::string::npos);
}

TEST_F(RecoverySources, MissingMarkerStopsAtFirstFailedStatAndKeepsButtonText) {
    write_ext_source(tree(), kExtTar, "usb stick ready");
    create();
    refresh();
    ASSERT_EQ(field_text(0, 23, 15), "usb stick ready");

    // Script and device gone: only the script, the first in order, is named.
    tree().remove("/var/run/tolvane/ext/recovery.rc");
    tree().remove("/var/run/tolvane/ext/recovery-mdev");
    log.clear();
    refresh();
    std::string l = log.text();
    EXPECT_NE(l.find("Failed to stat /var/run/tolvane/ext/recovery.rc: -1, errno: No such file or directory\n"),
              std::string::npos)
        << l;
    EXPECT_EQ(l.find("recovery-mdev"), std::string::npos);
    EXPECT_EQ(l.find(root_), std::string::npos) << "log lines show board paths only";
    EXPECT_EQ(l.find("Recovery is found"), std::string::npos);
    // The flag is what counts; the stale text stays on the button.
    EXPECT_EQ(field_text(0, 23, 15), "usb stick ready");
    press(KEY_DOWN);
    press(10);
    EXPECT_EQ(ExitAction, 0);
}

TEST_F(RecoverySources, InternalSourceNeedsItsLineFileAndIsCheckedAtCreation) {
    write_int_source(tree());
    create();
    // Before any refresh.
    EXPECT_EQ(field_text(2), "          Start         ");
    EXPECT_STREQ(int_recovery_tar, "/mnt/backup/recovery.tar");
    EXPECT_STREQ(int_recovery_dev, "/dev/mmcblk0p3");
    EXPECT_NE(log.text().find("Internal recovery seems to be present\n"), std::string::npos);

    tree().remove("/var/run/tolvane/int/line");
    refresh();
    EXPECT_TRUE(log.has("Failed to stat /var/run/tolvane/int/line: -1, errno: No such file or directory\n"));
    focus_field(1);  // field 3, "Restore backup"
    press(10);
    EXPECT_EQ(ExitAction, 0);
    EXPECT_NE(log.text().find("L[RECOVERY_PAGE]: Recovery is not considered valid\n"), std::string::npos);

    write_int_source(tree());
    refresh();
    press(10);
    press(10);
    EXPECT_EQ(ExitAction, 2);
    EXPECT_NE(log.text().find("L[RECOVERY_PAGE]: Set start internal recovery flag\n"), std::string::npos);
}

// Marker texts of 256 bytes or more must still leave terminated buffers.
TEST_F(RecoverySources, LongMarkerTextsKeepAtMost255Bytes) {
    for (std::size_t size : {std::size_t{255}, std::size_t{256}, std::size_t{64 * 1024}}) {
        SCOPED_TRACE(size);
        std::string text(size, 'a');
        write_ext_source(tree(), text, std::string(size, 'L'));
        tree().write("/var/run/tolvane/ext/recovery-mdev", std::string(size, 'd'));
        if (!created_) create();
        log.clear();
        refresh();
        EXPECT_EQ(std::strlen(ext_recovery_tar), 255u);
        EXPECT_EQ(std::strlen(ext_recovery_dev), 255u);
        EXPECT_EQ(ext_recovery_tar[255], '\0');
        EXPECT_EQ(std::string(ext_recovery_dev), std::string(255, 'd'));
        EXPECT_TRUE(log.has("Recovery tar is reported at: " + std::string(255, 'a') + ", checking\n"));
    }
    // A long line text that passes shows what fits on the button.
    tree().write("/media/x.tar", "archive");
    write_ext_source(tree(), "/media/x.tar", std::string(64 * 1024, 'L'));
    refresh();
    EXPECT_EQ(field_text(0), std::string(24, 'L'));
}

// A marker that is no regular file (a socket stats fine but cannot be
// opened; a FIFO would block the open; a folder reads nothing) counts as
// missing, logged once however often the page looks.
TEST_F(RecoverySources, MarkerThatIsNoRegularFileCountsAsMissing) {
    const std::string dev_marker = "/var/run/tolvane/ext/recovery-mdev";
    const std::string line = "L[RECOVERY_PAGE]: " + dev_marker + " is not a regular file, taken as missing\n";
    const std::function<void(const std::string &)> kinds[] = {
        [](const std::string &host) {
            int s = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un sa{};
            sa.sun_family = AF_UNIX;
            ASSERT_LT(host.size(), sizeof sa.sun_path);
            std::strcpy(sa.sun_path, host.c_str());
            ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
            close(s);
        },
        [](const std::string &host) { ASSERT_EQ(mkfifo(host.c_str(), 0600), 0); },
        [](const std::string &host) { std::filesystem::create_directories(host); },
    };
    write_ext_source(tree());
    create();
    for (const auto &make : kinds) {
        tree().remove(dev_marker);
        std::filesystem::remove_all(tree().host(dev_marker));
        refresh();  // missing in between: the next kind is logged anew
        make(tree().host(dev_marker));
        log.clear();
        refresh();
        refresh();
        std::string l = log.text();
        EXPECT_EQ(l.find("Recovery is found\n"), std::string::npos) << l;
        EXPECT_NE(l.find(line), std::string::npos) << l;
        EXPECT_EQ(l.find(line), l.rfind(line)) << "logged once: " << l;
        press(KEY_DOWN);
        press(10);
        press(KEY_UP);
        EXPECT_EQ(ExitAction, 0);
    }
    // A regular file again: found, and a later FIFO is logged anew.
    std::filesystem::remove_all(tree().host(dev_marker));
    tree().write(dev_marker, "/dev/sda1");
    refresh();
    EXPECT_EQ(field_text(0, 23, 22), "  Start from USB stick");
    std::filesystem::remove(tree().host(dev_marker));
    ASSERT_EQ(mkfifo(tree().host(dev_marker).c_str(), 0600), 0);
    log.clear();
    refresh();
    EXPECT_NE(log.text().find(line), std::string::npos);
}

// ROM images.

TEST_F(RecoverySources, RomOfWrongSizeIsRejected) {
    tree().write(kUsbRomMarker, "/media/usb0/rom.bin\n");
    create();
    for (std::int64_t size : {kRomSize - 1, kRomSize + 1}) {
        tree().write_sparse("/media/usb0/rom.bin", size);
        log.clear();
        refresh();
        EXPECT_TRUE(log.has("L[RECOVERY_PAGE]: ROM update found, checking size\nE[RECOVERY_PAGE]: ROM size is wrong: " +
                            std::to_string(size) + " instead of 16777216\n"))
            << log.text();
        EXPECT_EQ(field_text(4), kNotFoundCell);
    }
    focus_field(2);
    press(10);
    EXPECT_EQ(ExitAction, 0);
    EXPECT_NE(log.text().find("L[RECOVERY_PAGE]: ROM is not considered valid\n"), std::string::npos);
}

TEST_F(RecoverySources, UsbWinsTheSameRefreshAndWebTakesOverWhenUsbGoes) {
    write_usb_rom(tree());
    write_rom(tree(), kWebRomMarker, kWebRom, kRomSize, "");  // a line without its end
    create();
    refresh();
    EXPECT_EQ(field_text(4), "     Start from USB     ");
    EXPECT_STREQ(rom_image_path, "/media/usb0/rom.bin");

    tree().remove(kUsbRomMarker);
    log.clear();
    refresh();
    EXPECT_TRUE(log.has("L[RECOVERY_PAGE]: Failed to stat /var/run/tolvane/update-rom-path: -1, errno: "
                        "No such file or directory\n"));
    EXPECT_EQ(field_text(4), "     Start from WEB     ");
    EXPECT_STREQ(rom_image_path, "/tmp/web-rom.bin");

    // Back again: the image taken first stays.
    tree().write(kUsbRomMarker, "/media/usb0/rom.bin\n");
    refresh();
    EXPECT_EQ(field_text(4), "     Start from WEB     ");
    EXPECT_STREQ(rom_image_path, "/tmp/web-rom.bin");

    focus_field(2);
    press(10);
    press(10);
    EXPECT_EQ(ExitAction, 3);
    EXPECT_NE(log.text().find("L[RECOVERY_PAGE]: Set start rom update flag\n"), std::string::npos);
}

TEST_F(RecoverySources, BothRomSourcesGoneLeavesNotFoundAndNoAction) {
    write_rom(tree(), kUsbRomMarker, kUsbRom, kRomSize, "");
    create();
    refresh();
    ASSERT_EQ(field_text(4), "     Start from USB     ");
    tree().remove("/media/usb0/rom.bin");
    tree().write(kWebRomMarker, "");  // empty: no word, no stat line for it
    log.clear();
    refresh();
    std::string l = log.text();
    EXPECT_NE(l.find("L[RECOVERY_PAGE]: Failed to stat /media/usb0/rom.bin: -1, errno: No such file or directory\n"),
              std::string::npos);
    EXPECT_EQ(l.find("web-update-rom-path"), std::string::npos);
    EXPECT_EQ(field_text(4), kNotFoundCell);
    EXPECT_STREQ(rom_image_path, "/media/usb0/rom.bin") << "the old path stays; the flags decide";
    focus_field(2);
    press(10);
    EXPECT_EQ(ExitAction, 0);
    EXPECT_TRUE(log.has("L[RECOVERY_PAGE]: enter pressed\nL[RECOVERY_PAGE]: ROM is not considered valid\n"));
}

// A path of n characters naming a real file, built from folders of at most
// 200 characters.
std::string long_board_path(std::size_t n) {
    std::string p;
    while (p.size() + 201 < n) p += "/" + std::string(199, 'p') + "q";
    p += "/" + std::string(n - p.size() - 1, 'f');
    return p;
}

// An Enter that comes in the same turn as a refresh that changed what the
// page shows was meant for what it showed before: nothing starts.
TEST_F(RecoverySources, EnterInTheTurnOfAChangingRefreshStartsNothing) {
    write_usb_rom(tree());
    write_web_rom(tree());
    create();
    refresh();
    focus_field(2);
    EXPECT_EQ(field_text(4), "     Start from USB     ");
    tree().remove("/media/usb0/rom.bin");
    offset_ += 3;
    tree().set_clock_offset(offset_);
    press(10);
    EXPECT_EQ(ExitAction, 0);
    EXPECT_EQ(field_text(4), "     Start from WEB     ");
    EXPECT_TRUE(log.has("L[RECOVERY_PAGE]: Sources changed as Enter came, nothing is started\n"));
    press(10);  // pressed again on what is on show now
    press(10);
    EXPECT_EQ(ExitAction, 3);
    EXPECT_STREQ(rom_image_path, "/tmp/web-rom.bin");
}

TEST_F(RecoverySources, RomPathLengthLimit) {
    std::string ok = long_board_path(1023);
    std::string too_long = long_board_path(1024);
    ASSERT_EQ(ok.size(), 1023u);
    ASSERT_EQ(too_long.size(), 1024u);
    tree().write_sparse(ok, kRomSize);
    tree().write_sparse(too_long, kRomSize);

    tree().write(kUsbRomMarker, too_long);
    create();
    refresh();
    EXPECT_NE(log.text().find("E[RECOVERY_PAGE]: Path is too large\n"), std::string::npos);
    EXPECT_EQ(field_text(4), kNotFoundCell);
    EXPECT_EQ(rom_image_path[0], '\0');

    tree().write(kUsbRomMarker, ok + "\n");
    refresh();
    EXPECT_EQ(field_text(4), "     Start from USB     ");
    EXPECT_EQ(std::string(rom_image_path), ok);
    // A question longer than its rows keeps its end: the image's name.
    focus_field(2);
    press(10);
    EXPECT_EQ(question(0).substr(0, 4), "...p");
    EXPECT_EQ(question(7), std::string(57, 'p') + "q/" + std::string(17, 'f'));
    press(10);
    EXPECT_EQ(ExitAction, 3);
}

}  // namespace
