// The Network page's sources, read from a real interface list, route table
// and resolver: the test process moves into network and mount namespaces of
// its own (they vanish with it), makes eth0 there as one end of a veth pair
// and binds its own resolv.conf over /etc/resolv.conf. Only documentation
// addresses are used and nothing sends a packet.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <curses.h>
#include <gtest/gtest.h>

#include "console/exit_action.h"
#include "console/pages/net_page.h"
#include "console/top_menu.h"
#include "fru/board_info.h"
#include "tests/console/boot_curses.h"

namespace {

using boot_test::form_text;

testing::Environment *const curses_env = testing::AddGlobalTestEnvironment(new boot_test::Curses);

bool under_ci() {
    const char *ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Why the namespaces could not be made; empty once they are.
std::string ns_failure = "not tried";
std::string resolv_path;

void make_namespaces() {
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        ns_failure = std::string("unshare: ") + std::strerror(errno);
        return;
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        ns_failure = std::string("private mounts: ") + std::strerror(errno);
        return;
    }
    char tmpl[] = "/tmp/net_page_resolv_XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) {
        ns_failure = "mkstemp";
        return;
    }
    close(fd);
    resolv_path = tmpl;
    if (access("/etc/resolv.conf", F_OK) != 0) {
        ns_failure = "no /etc/resolv.conf to bind over";
        return;
    }
    if (mount(resolv_path.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
        ns_failure = std::string("bind resolv.conf: ") + std::strerror(errno);
        return;
    }
    ns_failure.clear();
}

class Namespaces : public testing::Environment {
public:
    void SetUp() override { make_namespaces(); }
    void TearDown() override {
        if (!resolv_path.empty()) unlink(resolv_path.c_str());
    }
};
testing::Environment *const ns_env = testing::AddGlobalTestEnvironment(new Namespaces);

// Commands run in the test's own network namespace.
void sh(const std::string &cmd) {
    ASSERT_EQ(std::system((cmd + " >/dev/null 2>&1").c_str()), 0) << cmd;
}

void write_resolv(const std::string &text) {
    // Written in place: the bind mount follows the file, not its name.
    std::ofstream f(resolv_path, std::ios::trunc);
    f << text;
}

class NetSources : public boot_test::PageTest<net_page_create, net_page_destroy, net_page_handle_key,
                                              net_page_panel> {
protected:
    void SetUp() override {
        PageTest::SetUp();
        if (!ns_failure.empty()) {
            if (under_ci()) FAIL() << "cannot make a network namespace: " << ns_failure;
            GTEST_SKIP() << "no network namespace (needs root): " << ns_failure;
        }
        fresh_eth0();
        board_info = BoardInfo{};
        board_info.mac_list[0] = board_info.mac;
        std::memset(net_args, 0, sizeof net_args);
    }
    // eth0 up with its address and the default route, two name servers, and
    // nothing else.
    static void fresh_eth0() {
        std::system("ip link del eth0 >/dev/null 2>&1; ip link del eth9 >/dev/null 2>&1;"
                    " ip link del zz0 >/dev/null 2>&1");
        sh("ip link add eth0 type veth peer name peer0");
        sh("ip addr add 192.0.2.10/24 dev eth0");
        sh("ip link set peer0 up");
        sh("ip link set eth0 up");
        sh("ip route add default via 192.0.2.1 dev eth0");
        write_resolv("nameserver 198.51.100.53\nnameserver 203.0.113.53\n");
    }
    // The four octets of a form row, as shown.
    std::string quad(int row) {
        return form_text(win(), row, 23, 3) + " " + form_text(win(), row, 27, 3) + " " +
               form_text(win(), row, 31, 3) + " " + form_text(win(), row, 35, 3);
    }
};

TEST_F(NetSources, Eth0UpShowsItsSettingsZeroPadded) {
    create();
    EXPECT_EQ(quad(2), "192 000 002 010");
    EXPECT_EQ(quad(4), "255 255 255 000");
    EXPECT_EQ(quad(6), "192 000 002 001");
    EXPECT_EQ(quad(8), "198 051 100 053");
    EXPECT_TRUE(log.has("L[NET_PAGE]: ifa_flags: "));
    EXPECT_TRUE(log.has("L[NET_PAGE]: \tInterface : <eth0>\n"
                        "L[NET_PAGE]: \t  Address : <192.0.2.10>\n"
                        "L[NET_PAGE]: \t  Netmask : <255.255.255.0>\n"
                        "L[NET_PAGE]: IP     : 192.0.2.10\n"
                        "L[NET_PAGE]: NETMASK: 255.255.255.0\n"
                        "L[NET_PAGE]: GATEWAY: 192.0.2.1\n"
                        "L[NET_PAGE]: nscount: 2\n"
                        "L[NET_PAGE]: dns1: 198.51.100.53\n"))
        << log.text();
}

TEST_F(NetSources, AddressAndGatewayTextsAsRead) {
    char addr[1025] = {}, mask[1025] = {}, gw[1025] = {};
    EXPECT_EQ(net_page_get_address(addr, mask), 0);
    EXPECT_STREQ(addr, "192.0.2.10");
    EXPECT_STREQ(mask, "255.255.255.0");
    EXPECT_EQ(net_page_get_gateway(gw), 0);
    EXPECT_STREQ(gw, "192.0.2.1\n");
    sh("ip route del default");
    std::memset(gw, 0, sizeof gw);
    EXPECT_EQ(net_page_get_gateway(gw), -1);
    EXPECT_EQ(gw[0], '\0');
}

TEST_F(NetSources, Eth0WithTwoAddressesKeepsTheLast) {
    sh("ip addr add 198.51.100.20/16 dev eth0");
    create();
    EXPECT_EQ(log.count("L[NET_PAGE]: \tInterface : <eth0>\n"), 2u);
    EXPECT_EQ(quad(2), "198 051 100 020");
    EXPECT_EQ(quad(4), "255 255 000 000");
}

// The address rows follow the host's interfaces and resolver (nullptr: a
// row not looked at), and the log says what was read.
TEST_F(NetSources, RowsFollowTheInterfaceAndTheResolver) {
    const char *zeros = "000 000 000 000";
    const struct {
        const char *what;
        std::vector<std::string> commands;
        const char *resolv;  // nullptr: as fresh_eth0 writes it
        const char *ip, *mask, *gateway, *dns;
        std::vector<std::string> logged, not_logged;
    } cases[] = {
        // The default route goes with the old address.
        {"a short netmask", {"ip addr flush dev eth0", "ip addr add 203.0.113.77/20 dev eth0"}, nullptr,
         "203 000 113 077", "255 255 240 000", zeros, nullptr, {}, {"GATEWAY"}},
        {"another interface after eth0",
         {"ip link add zz0 type veth peer name zz1", "ip addr add 203.0.113.5/24 dev zz0", "ip link set zz0 up"},
         nullptr, "192 000 002 010", "255 255 255 000", nullptr, nullptr, {}, {"203.0.113.5"}},
        {"eth0 down: the name server still shows", {"ip link set eth0 down"}, nullptr, zeros, zeros, zeros,
         "198 051 100 053", {"L[NET_PAGE]: Interface seems to be down\n"},
         {"Interface : <eth0>", "L[NET_PAGE]: IP"}},
        {"no eth0, quietly", {"ip link set eth0 down", "ip link set eth0 name eth9", "ip link set eth9 up"},
         nullptr, zeros, zeros, zeros, nullptr, {}, {"ifa_flags", "E[NET_PAGE]"}},
        {"an IPv6 first name server", {}, "nameserver 2001:db8::53\nnameserver 198.51.100.53\n", nullptr,
         nullptr, nullptr, zeros, {}, {"dns1"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh_eth0();
        for (const std::string &cmd : c.commands) sh(cmd);
        if (c.resolv != nullptr) write_resolv(c.resolv);
        log.clear();
        create();
        const char *rows[] = {c.ip, c.mask, c.gateway, c.dns};
        for (int i = 0; i < 4; ++i) {
            if (rows[i] == nullptr) continue;
            EXPECT_EQ(quad(2 + 2 * i), rows[i]) << "row " << 2 + 2 * i;
        }
        for (const std::string &l : c.logged) EXPECT_TRUE(log.has(l)) << l << "\n" << log.text();
        for (const std::string &l : c.not_logged) EXPECT_FALSE(log.has(l)) << l << "\n" << log.text();
        destroy();
    }
}

TEST_F(NetSources, ManualStartHandsTheShownSettingsOver) {
    create();
    keys({KEY_DOWN, '\n'});  // Manual
    // Down lands on the first IP octet now, then walks the rows to Start.
    for (int i = 0; i < 16; ++i) keys({KEY_DOWN});
    keys({'\n'});
    EXPECT_EQ(ExitAction, 0) << "Enter on the last DNS octet";
    keys({KEY_DOWN, '\n'});
    EXPECT_EQ(ExitAction, 5);
    EXPECT_STREQ(net_args[0], "192.0.2.10");
    EXPECT_STREQ(net_args[1], "255.255.255.0");
    EXPECT_STREQ(net_args[2], "192.0.2.1");
    EXPECT_STREQ(net_args[3], "198.51.100.53");
    EXPECT_TRUE(log.has("L[NET_PAGE]: Set start ifup flag\n"));
}

TEST_F(NetSources, AutomaticStartAsksForDhcpAndLeavesTheArguments) {
    create();
    keys({KEY_DOWN, KEY_DOWN, '\n'});
    EXPECT_EQ(ExitAction, 6);
    EXPECT_EQ(net_args[0][0], '\0');
    EXPECT_TRUE(log.has("L[NET_PAGE]: Set start dhcp flag\n"));
}

}  // namespace
