// The mipsel build on the emulated board: scripts/board-vm boots a fresh
// Malta machine per scenario, its serial line in the harness's terminal, and
// the checks read the shared board tree afterwards with the screen tests'
// helpers. What only a real kernel answers is asked here: a line with no
// size, the system clock and the RTC, DHCP on eth0, an MTD device, power-off.
//
// Needs the image of scripts/board-image (BOARD_IMAGE names its folder) and
// qemu-system-mipsel; .ci/gates/40-board provides both.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/screen/harness.h"
#include "tests/support/files.h"

namespace {

using screen::Key;
using test_support::read_file;
using screen::Millis;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each scenario, boots included, ends within this or fails
// (BOARD_VM_DEADLINE, in seconds, changes it).
Millis scenario_deadline() {
    const char *s = std::getenv("BOARD_VM_DEADLINE");
    return s != nullptr ? Millis(std::atol(s) * 1000) : Millis(150s);
}

// Standard output of a host command.
std::string host_output(const std::string &cmd) {
    std::string out;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::string last_line(const std::string &s) {
    std::string t = s;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    auto nl = t.rfind('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

std::string image_dir() {
    const char *d = std::getenv("BOARD_IMAGE");
    return d != nullptr ? d : BOARD_IMAGE_DEFAULT;
}

// Seconds since the epoch of "YYYY-MM-DD HH:MM:SS" (UTC), or nullopt.
std::optional<long long> utc_seconds(const std::string &text, const char *format) {
    struct tm tm {};
    const char *end = strptime(text.c_str(), format, &tm);
    if (end == nullptr) return std::nullopt;
    return static_cast<long long>(timegm(&tm));
}

class BoardVm : public screen::ConsoleTest {
protected:
    struct Machine {
        int rows = 30;
        int cols = 100;
        bool answers = true;       // the terminal answers the console's size query
        bool shell = false;        // a shell on the line instead of the console
        std::string rtc = "";      // the RTC at power-on; "" for now
        std::string term = "";     // the caller's TERM; "" for the harness's
        bool keypad_left_application = false;  // an earlier program sent "\E="
        // The kernel's console on the operator's line, as on the board: init
        // holds the line open, and what one console set there the next finds.
        bool kernel_on_line = false;
    };

    void SetUp() override {
        ConsoleTest::SetUp();
        deadline_ = Clock::now() + scenario_deadline();
    }

    void TearDown() override {
        if (HasFailure()) {
            if (vm_) std::printf("Last screen of the serial line:\n%s", vm_->dump().c_str());
            std::printf("Guest console output:\n%s\n", read_file(console_path()).c_str());
        }
        vm_.reset();  // a machine still running is killed
        ConsoleTest::TearDown();
    }

    // Power on a fresh machine on the board tree (built from opts first).
    testing::AssertionResult boot(const Machine &m) {
        board();
        std::ofstream(console_path(), std::ios::trunc).close();
        vm_.reset();
        vm_.emplace(m.rows, m.cols);
        if (!m.answers) vm_->set_sizeless(false);
        if (m.keypad_left_application) vm_->noise("\033=");
        std::vector<std::string> argv = {BOARD_VM_SCRIPT, "--image", image_dir(), "--board", root()};
        if (!m.kernel_on_line) argv.insert(argv.end(), {"--log", console_path()});
        if (!m.rtc.empty()) argv.insert(argv.end(), {"--rtc", m.rtc});
        if (m.shell) argv.push_back("--shell");
        powered_on_ = Clock::now();
        std::vector<std::string> env;
        if (!m.term.empty()) env.push_back("TERM=" + m.term);
        if (!vm_->start(argv, env)) return testing::AssertionFailure() << "could not start board-vm";
        return testing::AssertionSuccess();
    }

    screen::Terminal &line() { return *vm_; }

    // What is left of the scenario's time.
    Millis left() const {
        auto l = std::chrono::duration_cast<Millis>(deadline_ - Clock::now());
        return l > 1ms ? l : 1ms;
    }

    // The console's first frame (the tab bar, then a quiet line); prints the
    // time from power-on.
    testing::AssertionResult console_up() {
        auto r = line().wait_for([&] { return line().row_text(1).find("Main") != std::string::npos; },
                                 left(), "the console's tab bar");
        if (!r) return r;
        std::chrono::duration<double> took = Clock::now() - powered_on_;
        std::printf("[  board   ] power-on to console: %.1f s\n", took.count());
        return line().wait_quiet(300ms, left());
    }

    testing::AssertionResult wait_board_log(const std::string &s) {
        auto r = line().wait_for([&] { return log().find(s) != std::string::npos; }, left(),
                                 "log text \"" + s + "\"");
        if (!r) r << "Console log:\n" << log();
        return r;
    }

    // Wait until the row that holds label shows value on the same row.
    testing::AssertionResult shows(const std::string &label, const std::string &value) {
        return line().wait_for(
            [&] {
                auto at = line().find(label);
                return at && line().row_text(at->row).find(value, static_cast<std::size_t>(at->col)) !=
                                 std::string::npos;
            },
            left(), "\"" + label + "\" showing \"" + value + "\"");
    }

    // The console's frame: its right side in the last column, its bottom
    // above the help line of the size it took. (The right-hand corners are
    // not looked at: libvterm loses a line-drawing character that follows a
    // repeat, ESC [ n b, in the last column; other terminals show it.)
    testing::AssertionResult framed_at(int rows, int cols) {
        return line().wait_for(
            [&] {
                auto bottom = line().find("\u2514");
                return line().cell(3, cols - 1).text == "\u2502" && bottom &&
                       bottom->row == rows - 2;
            },
            left(), "the frame at " + std::to_string(cols) + "x" + std::to_string(rows));
    }

    testing::AssertionResult tab(int panel) {
        for (int i = 0; i < panel; ++i) line().key(Key::Right);
        return wait_board_log("L[TOP_MENU]: Show panel " + std::to_string(panel) + "\n");
    }

    // qemu ends by itself, with status 0, once the board powered off.
    testing::AssertionResult powered_off() {
        auto r = line().wait_exit(left());
        if (!r) return r;
        if (line().exit_status() != 0)
            return testing::AssertionFailure() << "qemu ended with status " << line().exit_status()
                                               << ", signal " << line().term_signal();
        return testing::AssertionSuccess();
    }

    // A shell command typed on the line, waited for by what it prints.
    testing::AssertionResult shell(const std::string &command, const std::string &shows) {
        line().text(command);
        line().key(Key::Enter);
        return line().wait_text(shows, left());
    }

    std::string console_path() const { return root() + "/sim/console.log"; }
    std::string host_tool(const char *tool, const std::string &args) {
        return host_output("BOARD_ROOT='" + root() + "' " + tool + " " + args + " 2>&1");
    }

private:
    std::optional<screen::Terminal> vm_;
    Clock::time_point deadline_;
    Clock::time_point powered_on_;
};

// A serial line has no size: the console asks the terminal, and without an
// answer takes terminfo's 80x24, where the Main page stands in one column.
TEST_F(BoardVm, SizeFromTheAnswerOrTerminfo) {
    ASSERT_TRUE(boot({.answers = false}));
    ASSERT_TRUE(console_up());
    ASSERT_TRUE(wait_board_log("L[TERMINAL]: Size 80x24 from terminfo (no answer)\n"));
    ASSERT_TRUE(framed_at(24, 80));
    // The short legend says what F6 and F10 end in.
    ASSERT_TRUE(line().wait_row(23, "F6: power off | F10: save, power off", left()));
    // Nothing drawn past it.
    for (int r = 0; r < line().rows(); ++r)
        for (int c = r < 24 ? 80 : 0; c < line().cols(); ++c)
            ASSERT_EQ(line().cell(r, c).text, " ") << r << "," << c << "\n" << line().dump();
    auto manufacturer = line().find("Board manufacturer");
    ASSERT_TRUE(manufacturer.has_value());
    EXPECT_EQ(manufacturer->col, 2);  // under the status values: one column
    line().fkey(6);
    ASSERT_TRUE(powered_off());

    ASSERT_TRUE(boot({.rows = 30, .cols = 100, .answers = true}));
    ASSERT_TRUE(console_up());
    ASSERT_TRUE(wait_board_log("L[TERMINAL]: Size 100x30 from the terminal's answer\n"));
    ASSERT_TRUE(framed_at(30, 100));
    ASSERT_TRUE(line().wait_row(29, "F10: save and exit", left()));
    manufacturer = line().find("Board manufacturer");
    ASSERT_TRUE(manufacturer.has_value());
    EXPECT_GT(manufacturer->col, 40);  // the second column
    EXPECT_TRUE(shows("Kernel release", "6.1.0-"));  // the kernel's own
    line().fkey(6);
    ASSERT_TRUE(powered_off());
}

// The operator's TERM reaches the console, and a keypad an earlier program
// left in application mode types digits: under linux its 5 and 8 would
// otherwise be F6 and F10.
TEST_F(BoardVm, KeypadDigitsUnderLinuxWithTheKeypadLeftInApplicationMode) {
    ASSERT_TRUE(boot({.term = "linux", .keypad_left_application = true}));
    ASSERT_TRUE(console_up());
    // linux's own way of hiding the cursor: init's vt102 did not stand in.
    EXPECT_NE(line().output().find("\033[?1c"), std::string::npos);
    line().key(Key::Down);  // the hour cell
    line().keypad(5);
    line().keypad(8);
    ASSERT_TRUE(line().wait_text("58:", left()));
    ASSERT_TRUE(line().wait_quiet(500ms, left()));
    EXPECT_TRUE(line().running());
    EXPECT_EQ(effects().find("poweroff"), std::string::npos) << effects();
    line().fkey(6);
    ASSERT_TRUE(powered_off());
}

// The console sets the size it learnt on the line; one started again there
// (after udhcpc) asks the terminal anew and takes the window's new size.
TEST_F(BoardVm, ConsoleStartedAgainAsksForTheNewSize) {
    ASSERT_TRUE(boot({.rows = 30, .cols = 100, .kernel_on_line = true}));
    ASSERT_TRUE(console_up());
    ASSERT_TRUE(wait_board_log("L[TERMINAL]: Size 100x30 from the terminal's answer\n"));
    ASSERT_TRUE(tab(2));
    line().key(Key::Down);  // the spinner, on Automatic
    line().key(Key::Down);  // Start
    line().resize(24, 80);  // the operator's window shrinks meanwhile
    line().key(Key::Enter);
    ASSERT_TRUE(line().wait_for(
        [&] { return line().output().find("lease of 10.0.2.15 obtained") != std::string::npos; },
        left(), "udhcpc's lease on the line"));
    ASSERT_TRUE(wait_board_log("L[TERMINAL]: Size 80x24 from the terminal's answer\n"));
    ASSERT_TRUE(framed_at(24, 80));
    line().fkey(6);
    ASSERT_TRUE(powered_off());
}

// The Main page sets the system clock and the RTC; what both hold is read
// back on the board (hwclock -r) as it powers off.
TEST_F(BoardVm, ClockSettingReachesTheSystemClockAndTheRtc) {
    ASSERT_TRUE(boot({.rtc = "2024-02-29T12:00:00"}));
    ASSERT_TRUE(console_up());
    // The system clock came from the RTC at boot.
    ASSERT_TRUE(line().wait_text("2024-02-29", left()));
    line().key(Key::Down);  // the hour cell
    // 13:00:00 on 2031-07-04: hour, minute, second, year, month, then the
    // day, which does not skip on; Down applies.
    line().text("130000203107");
    line().text("04");
    line().key(Key::Down);
    ASSERT_TRUE(line().wait_text("2031-07-04", left()));
    line().fkey(6);
    ASSERT_TRUE(powered_off());

    const std::string record = read_file(root() + "/sim/poweroff.log");
    const std::string sys_tag = "poweroff: system clock ", rtc_tag = "poweroff: rtc ";
    auto sys_at = record.find(sys_tag), rtc_at = record.find(rtc_tag);
    ASSERT_NE(sys_at, std::string::npos) << record;
    ASSERT_NE(rtc_at, std::string::npos) << record;
    auto sys = utc_seconds(record.substr(sys_at + sys_tag.size()), "%Y-%m-%d %H:%M:%S");
    // busybox hwclock: "Fri Jul  4 13:00:09 2031  0.000000 seconds"
    auto rtc = utc_seconds(record.substr(rtc_at + rtc_tag.size()), "%a %b %d %H:%M:%S %Y");
    ASSERT_TRUE(sys && rtc) << record;
    const long long set = *utc_seconds("2031-07-04 13:00:00", "%Y-%m-%d %H:%M:%S");
    // Both run on from the set time for the seconds up to power-off.
    EXPECT_GE(*sys, set) << record;
    EXPECT_LT(*sys, set + 120) << record;
    EXPECT_GE(*rtc, set) << record;
    EXPECT_LE(*rtc, *sys + 1) << record;
    EXPECT_GE(*rtc, *sys - 2) << record;
}

// A boot port change and F10: the EEPROM holds it, read on the host with the
// host build of quellet, and the machine powers off after the countdown.
TEST_F(BoardVm, BootPortSavedByF10) {
    ASSERT_TRUE(boot({}));
    ASSERT_TRUE(console_up());
    EXPECT_EQ(last_line(host_tool(HOST_QUELLET, "-g c1")), "sata0:0");
    ASSERT_TRUE(tab(1));
    ASSERT_TRUE(line().wait_text("sata0:0", left()));
    line().key(Key::Down);
    line().key(Key::Enter);
    ASSERT_TRUE(line().wait_text("sata0:1", left()));
    line().fkey(10);
    ASSERT_TRUE(powered_off());
    EXPECT_EQ(last_line(host_tool(HOST_QUELLET, "-g c1")), "sata0:1");
    EXPECT_EQ(log().find("Saving failed"), std::string::npos) << log();
}

// Automatic network set-up runs the board's udhcpc against qemu's DHCP
// server; the console, started again by init, shows the lease.
TEST_F(BoardVm, DhcpLeaseShownWhenTheConsoleComesBack) {
    ASSERT_TRUE(boot({}));
    ASSERT_TRUE(console_up());
    ASSERT_TRUE(tab(2));
    // eth0 is down: no address yet.
    ASSERT_TRUE(shows("IP address", "000.000.000.000"));
    line().key(Key::Down);  // the spinner, on Automatic
    line().key(Key::Down);  // Start
    line().key(Key::Enter);
    ASSERT_TRUE(line().wait_for(
        [&] { return line().output().find("lease of 10.0.2.15 obtained") != std::string::npos; },
        left(), "udhcpc's lease on the line"));
    // The console again, on the page it was left on.
    ASSERT_TRUE(shows("IP address", "010.000.002.015"));
    ASSERT_TRUE(shows("Netmask", "255.255.255.000"));
    ASSERT_TRUE(shows("Gateway", "010.000.002.002"));
    ASSERT_TRUE(shows("DNS", "010.000.002.003"));
    line().fkey(6);
    ASSERT_TRUE(powered_off());
}

// The tools on the board's own devices print what the host build prints on
// the same tree: quellet on the EEPROM, sarvik on the real /dev/mtd2. A shell
// on the line instead of the console.
TEST_F(BoardVm, ToolsOnTheEepromAndTheMtdDevice) {
    ASSERT_TRUE(boot({.shell = true}));
    ASSERT_TRUE(line().wait_text("nv7400# ", left()));
    ASSERT_TRUE(shell("grep mtd2: /proc/mtd; test -c /dev/mtd2; echo char=$?",
                      "mtd2: 00001000 00001000 \"block2mtd: /dev/loop2\""));
    ASSERT_TRUE(line().wait_text("char=0", left()));
    // No magic SysRq: a BREAK on the line resets nothing.
    ASSERT_TRUE(shell("echo sysrq=$(cat /proc/sys/kernel/sysrq)", "sysrq=0"));
    ASSERT_TRUE(shell("quellet -r >/board/sim/quellet-r.txt 2>&1; echo quellet=$?", "quellet=0"));
    ASSERT_TRUE(shell("sarvik >/board/sim/sarvik.txt 2>&1; echo sarvik=$?", "sarvik=0"));
    // The board script the ROM update starts is a stand-in that records how.
    ASSERT_TRUE(shell("ash /usr/bin/btflash.sh '/media/usb0/rom 1.bin'; echo btflash=$?", "btflash=0"));
    // A blank EEPROM gets its identity from one JSON file.
    std::string doc = host_tool(HOST_QUELLET, "-q --json");
    doc.replace(doc.find("NV74-000123"), 11, "NV74-000777");
    std::ofstream(root() + "/sim/board.json") << doc;
    ASSERT_TRUE(shell("dd if=/dev/zero of=/sys/bus/i2c/devices/1-0053/eeprom bs=4096 count=1 conv=notrunc "
                      "2>/dev/null; quellet -q --build /board/sim/board.json | quellet -q --restore -; "
                      "echo provision=$?", "provision=0"));
    ASSERT_TRUE(shell("quellet -q --json >/board/sim/quellet-json.txt; echo json=$?", "json=0"));
    line().text("poweroff");
    line().key(Key::Enter);
    ASSERT_TRUE(powered_off());

    const std::string quellet = read_file(root() + "/sim/quellet-r.txt");
    EXPECT_NE(quellet.find("b_mfg_name, Norvane Systems\n"), std::string::npos) << quellet;
    std::string shown_now = host_tool(HOST_QUELLET, "-r");
    shown_now.replace(shown_now.find("NV74-000777"), 11, "NV74-000123");  // provisioned since
    EXPECT_EQ(quellet, shown_now);
    EXPECT_EQ(read_file(root() + "/sim/quellet-json.txt"), doc);
    EXPECT_EQ(host_tool(HOST_QUELLET, "-q --json"), doc);
    const std::string sarvik = read_file(root() + "/sim/sarvik.txt");
    EXPECT_NE(sarvik.find("Distribution:        Vellan 4.2 for board nv7400\n"), std::string::npos)
        << sarvik;
    EXPECT_EQ(sarvik, host_tool(HOST_SARVIK, ""));
    EXPECT_NE(effects().find("exec /usr/bin/btflash.sh \"/media/usb0/rom 1.bin\"\n"), std::string::npos)
        << effects();
}

}  // namespace
