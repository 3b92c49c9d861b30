// The Network page as the operator sees it. The console runs under
// "ip netns exec" in a network namespace made for the test, with eth0 one
// end of a veth pair kept inside it, documentation addresses only, a
// default route, and the namespace's own resolv.conf. Nothing sends a
// packet; the namespace is removed when the test ends.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/screen/boot_records.h"
#include "tests/screen/harness.h"

namespace {

using screen::Key;
using Bytes = std::vector<std::uint8_t>;

// Screen cells of the form: window at row 2, form 2 rows and 2 columns in.
constexpr int kIpRow = 6, kNetmaskRow = 8, kGatewayRow = 10, kDnsRow = 12, kStartRow = 14,
              kMacRow = 16, kValueCol = 25;

bool under_ci() {
    const char *ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

int run(const std::string &cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()); }

// A named namespace that is always removed, with its resolv.conf folder.
class NetNs {
public:
    NetNs() {
        static std::atomic<int> serial{0};
        name_ = "tolvane" + std::to_string(getpid()) + "_" + std::to_string(serial++);
    }
    ~NetNs() {
        run("ip netns del " + name_);
        std::error_code ec;
        std::filesystem::remove_all("/etc/netns/" + name_, ec);
    }
    NetNs(const NetNs &) = delete;
    NetNs &operator=(const NetNs &) = delete;
    const std::string &name() const { return name_; }
    // "" on success, else the step that failed.
    std::string make(bool eth0_up) {
        if (run("ip netns add " + name_) != 0) return "ip netns add";
        const std::string in = "ip -n " + name_ + " ";
        const char *steps[] = {"link add eth0 type veth peer name peer0",
                               "addr add 192.0.2.10/24 dev eth0", "link set peer0 up",
                               "link set eth0 up", "route add default via 192.0.2.1 dev eth0",
                               "link add zz0 type veth peer name zz1",
                               "addr add 203.0.113.5/24 dev zz0", "link set zz0 up"};
        for (const char *s : steps)
            if (run(in + s) != 0) return in + s;
        if (!eth0_up && run(in + "link set eth0 down") != 0) return "eth0 down";
        std::error_code ec;
        std::filesystem::create_directories("/etc/netns/" + name_, ec);
        std::ofstream f("/etc/netns/" + name_ + "/resolv.conf");
        f << "nameserver 198.51.100.53\n";
        if (!f) return "resolv.conf";
        return "";
    }
    std::vector<std::string> prefix() const { return {"ip", "netns", "exec", name_}; }

private:
    std::string name_;
};

class NetScreen : public screen::ConsoleTest {
protected:
    // Start the console in a fresh namespace on the Network tab; false with
    // the test skipped (or failed under CI) when no namespace can be made.
    bool start_in_ns(bool eth0_up = true) {
        std::string failed = geteuid() == 0 ? ns_.make(eth0_up) : "not root";
        if (!failed.empty()) {
            if (under_ci()) ADD_FAILURE() << "cannot make a network namespace: " << failed;
            return false;
        }
        auto r = start(24, 80, ns_.prefix());
        EXPECT_TRUE(r);
        if (!r) return false;
        r = to_net_tab();
        EXPECT_TRUE(r);
        return static_cast<bool>(r);
    }
    std::string cells(int row, int col, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += term().cell(row, col + i).text;
        return s;
    }
    testing::AssertionResult to_net_tab() {
        term().key(Key::Right);
        term().key(Key::Right);
        return wait_log("L[TOP_MENU]: Show panel 2\n");
    }
    // From the tab bar: Enter on the spinner switches to Manual.
    testing::AssertionResult to_manual() {
        term().key(Key::Down);
        term().key(Key::Enter);
        return term().wait_row(4, "Manual");
    }
    testing::AssertionResult cursor_at(int row, int col) {
        return term().wait_for([&] { return term().cursor().row == row && term().cursor().col == col; },
                               screen::kDefaultTimeout, "cursor");
    }
    NetNs ns_;
};

#define START_ON_NET_TAB(...)                                                     \
    do {                                                                          \
        if (!start_in_ns(__VA_ARGS__)) {                                          \
            if (!HasFailure()) GTEST_SKIP() << "no network namespace (needs root)"; \
            return;                                                               \
        }                                                                         \
    } while (0)

TEST_F(NetScreen, Eth0SettingsShownZeroPaddedBeforeAnotherInterface) {
    START_ON_NET_TAB();
    ASSERT_TRUE(term().wait_row(kIpRow, "192.000.002.010"));
    EXPECT_EQ(cells(kIpRow, kValueCol, 15), "192.000.002.010");
    EXPECT_EQ(cells(kNetmaskRow, kValueCol, 15), "255.255.255.000");
    EXPECT_EQ(cells(kGatewayRow, kValueCol, 15), "192.000.002.001");
    EXPECT_EQ(cells(kDnsRow, kValueCol, 15), "198.051.100.053");
    EXPECT_EQ(cells(kMacRow, kValueCol, 17), "02 00 5e 10 20 30");
    EXPECT_EQ(cells(kStartRow, kValueCol, 11), "      Start");
    // Automatic: the octets are blue on white.
    EXPECT_EQ(term().cell(kIpRow, kValueCol).fg, 4);
    EXPECT_EQ(term().cell(kIpRow, kValueCol).bg, 7);
    EXPECT_EQ(log_count("L[NET_PAGE]: \tInterface : <eth0>"), 1);
    EXPECT_EQ(log_count("L[NET_PAGE]: GATEWAY: 192.0.2.1"), 1);
    EXPECT_EQ(log_count("L[NET_PAGE]: nscount: 1"), 1);
    EXPECT_EQ(log_count("L[NET_PAGE]: dns1: 198.51.100.53"), 1);
    ASSERT_TRUE(leave());
}

TEST_F(NetScreen, Eth0DownShowsZerosButTheNameServer) {
    START_ON_NET_TAB(false);
    ASSERT_TRUE(term().wait_row(kDnsRow, "198.051.100.053"));
    EXPECT_EQ(cells(kIpRow, kValueCol, 15), "000.000.000.000");
    EXPECT_EQ(cells(kNetmaskRow, kValueCol, 15), "000.000.000.000");
    EXPECT_EQ(cells(kGatewayRow, kValueCol, 15), "000.000.000.000");
    EXPECT_EQ(log_count("L[NET_PAGE]: Interface seems to be down"), 1);
    ASSERT_TRUE(leave());
}

TEST_F(NetScreen, ManualStartHandsTheAddressesToTheScript) {
    START_ON_NET_TAB();
    ASSERT_TRUE(to_manual());
    EXPECT_EQ(term().cell(kIpRow, kValueCol).bg, 4);  // white on blue now
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kIpRow, kValueCol));
    for (int i = 0; i < 16; ++i) term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kStartRow, kValueCol));
    term().key(Key::Enter);
    ASSERT_TRUE(wait_exit());
    EXPECT_NE(effects().find("exec /bin/ash \"ash\" \"/usr/bin/netconf.sh\" \"192.0.2.10\" "
                             "\"255.255.255.0\" \"192.0.2.1\" \"198.51.100.53\""),
              std::string::npos)
        << effects();
    EXPECT_EQ(log_count("L[NET_PAGE]: Set start ifup flag"), 1);
}

TEST_F(NetScreen, AutomaticStartRunsTheDhcpClient) {
    START_ON_NET_TAB();
    term().key(Key::Down);
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kStartRow, kValueCol));
    term().key(Key::Enter);
    ASSERT_TRUE(wait_exit());
    EXPECT_NE(effects().find("exec /sbin/udhcpc \"udhcpc\""), std::string::npos) << effects();
    EXPECT_EQ(effects().find("netconf"), std::string::npos);
}

TEST_F(NetScreen, TwoEntersBringBackAutomatic) {
    START_ON_NET_TAB();
    ASSERT_TRUE(to_manual());
    term().key(Key::Enter);
    ASSERT_TRUE(term().wait_row(4, "Automatic"));
    ASSERT_TRUE(term().wait_for([&] { return term().cell(kIpRow, kValueCol).bg == 7; }));
    EXPECT_EQ(term().cell(kDnsRow, kValueCol + 12).fg, 4);
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kStartRow, kValueCol));
    // Up on the spinner hands the keyboard back to the tab bar.
    term().key(Key::Up);
    term().key(Key::Up);
    term().key(Key::Left);
    ASSERT_TRUE(wait_log("L[TOP_MENU]: Show panel 1\n"));
    ASSERT_TRUE(leave());
}

// An octet out of range keeps the cursor, as the form's integer type wants;
// the operator is told why, and the cell shows which.
TEST_F(NetScreen, RefusedOctetIsMarkedAndExplained) {
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(to_net_tab());
    ASSERT_TRUE(to_manual());
    term().key(Key::Down);
    ASSERT_TRUE(cursor_at(kIpRow, kValueCol));
    term().text("999");
    term().key(Key::Down);
    ASSERT_TRUE(term().wait_row(23, "Address numbers must be 0-255"));
    EXPECT_EQ(term().cell(kIpRow, kValueCol).bg, 1);
    EXPECT_TRUE(cursor_at(kIpRow, kValueCol + 2));  // still in the cell
    ASSERT_TRUE(leave());
}

// The MAC needs no namespace: it comes from the EEPROM. A byte stored by
// Down and one typed just before F10 both reach it.
TEST_F(NetScreen, TypedMacIsSavedByF10AndShownInLowerCase) {
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(to_net_tab());
    term().key(Key::Down);  // the spinner
    term().key(Key::Down);  // Start
    term().key(Key::Down);  // first MAC byte
    ASSERT_TRUE(cursor_at(kMacRow, kValueCol));
    term().text("AB");
    ASSERT_TRUE(cursor_at(kMacRow, kValueCol + 3));  // auto-skip
    term().key(Key::Down);
    ASSERT_TRUE(wait_log("L[NET_PAGE]: Save MAC: [ab:00:5e:10:20:30]\n"));
    term().text("CD");  // the third byte
    term().fkey(10);
    ASSERT_TRUE(wait_exit(screen::Millis(25000)));
    EXPECT_EQ(quellet("-g c0"), "ab:00:cd:10:20:30\n");
    // The console comes back on the tab it was left on.
    ASSERT_TRUE(start(24, 80));
    ASSERT_TRUE(term().wait_row(kMacRow, "ab 00 cd 10 20 30"));
    ASSERT_TRUE(leave());
}

}  // namespace
