// The seam: board paths under the root, the offset clock, the effects log.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <linux/rtc.h>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "board/board.h"
#include "board/files.h"
#include "sim/board_tree.h"
#include "tests/support/child.h"
#include "tests/support/temp_dir.h"

namespace {

class BoardSeam : public ::testing::Test {
protected:
    test_support::TempDir tmp_{"/tmp/board-test-XXXXXX", test_support::Root::board};
    const std::string &root_ = tmp_.path();
};

TEST_F(BoardSeam, PathsLiveUnderTheRootAndGlobsGiveBoardPaths) {
    EXPECT_EQ(std::string(board::path("/etc/recovery-version").c_str()), root_ + "/etc/recovery-version");
    sim::BoardTree t(root_);
    t.write("/sys/bus/i2c/drivers/x-bmc/version", "2.0.2\n");
    board::Glob g("/sys/bus/i2c/drivers/*-bmc/version");
    ASSERT_EQ(g.result(), 0);
    ASSERT_EQ(g.count(), 1u);
    EXPECT_STREQ(g.board_path(0), "/sys/bus/i2c/drivers/x-bmc/version");
    board::Glob none("/sys/nothing/*");
    EXPECT_EQ(none.result(), GLOB_NOMATCH);
    EXPECT_EQ(none.count(), 0u);

    char buf[16] = {};
    EXPECT_EQ(board::read_bytes("/sys/bus/i2c/drivers/x-bmc/version", buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "2.0.2\n");
    EXPECT_EQ(board::read_bytes("/missing", buf, sizeof buf), -1);

    // A path too long for the buffer resolves to nothing rather than a cut path.
    std::string long_path(3000, 'a');
    EXPECT_FALSE(board::path(("/" + long_path).c_str()).ok());
}

TEST_F(BoardSeam, EmptyPathsFailAndRelativePathsSitUnderTheRoot) {
    // An empty board path names nothing, as stat("") fails on the board; it
    // must not become the root folder (a "present" file).
    EXPECT_FALSE(board::path("").ok());
    EXPECT_FALSE(board::path(nullptr).ok());
    struct stat st{};
    errno = 0;
    EXPECT_EQ(board::stat_board("", &st), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(board::fopen_board("", "r"), nullptr);
    EXPECT_EQ(board::open_board("", O_RDONLY), -1);
    char buf[4];
    EXPECT_EQ(board::read_bytes("", buf, sizeof buf), -1);

    // A relative path is taken against the root folder, never glued to its name.
    EXPECT_EQ(std::string(board::path("x").c_str()), root_ + "/x");
    sim::BoardTree t(root_);
    t.write("/rec.tar", "tar");
    EXPECT_EQ(board::stat_board("rec.tar", &st), 0);
    EXPECT_EQ(board::stat_board("/rec.tar", &st), 0);
    std::filesystem::create_directories(root_ + "x");
    EXPECT_EQ(board::stat_board("x", &st), -1);
    std::filesystem::remove_all(root_ + "x");
}

TEST_F(BoardSeam, RequireRootRefusesWithoutBoardRoot) {
    EXPECT_TRUE(board::require_root("test"));
    setenv("BOARD_ROOT", "", 1);
    EXPECT_FALSE(board::require_root("test"));
    unsetenv("BOARD_ROOT");
    EXPECT_FALSE(board::require_root("test"));
}

TEST_F(BoardSeam, ClockIsAnOffsetFromTheHostAndSettingsAreRecorded) {
    sim::BoardTree t(root_);
    t.mkdir("/sim");
    std::int64_t host = time(nullptr);
    EXPECT_LE(std::llabs(board::now() - host), 1);

    ASSERT_EQ(board::set_system_time(32503680000LL), 0);  // year 3000
    EXPECT_LE(std::llabs(board::now() - 32503680000LL), 1);
    EXPECT_LE(std::llabs(time(nullptr) - host), 2) << "the host clock must not move";
    EXPECT_NE(t.effects().find("clock_settime 32503680000\n"), std::string::npos);

    ASSERT_EQ(board::set_system_time(0), 0);
    EXPECT_LE(std::llabs(board::now()), 1);

    t.write("/dev/rtc0", "");
    struct rtc_time tm {};
    tm.tm_year = 126; tm.tm_mon = 11; tm.tm_mday = 8; tm.tm_hour = 3; tm.tm_min = 4; tm.tm_sec = 5;
    EXPECT_EQ(board::set_rtc(tm), 0);
    EXPECT_NE(t.effects().find("rtc_set_time 2026-12-08 03:04:05\n"), std::string::npos);
}

TEST(QuoteArg, BlanksQuotesAndLineEndsSurvive) {
    char out[64];
    board::quote_arg("a b\n\"c\"\\\t\x01", out, sizeof out);
    EXPECT_STREQ(out, "\"a b\\n\\\"c\\\"\\\\\\t\\x01\"");
    // Cut output stays terminated.
    char small[4];
    EXPECT_EQ(board::quote_arg("abcdef", small, sizeof small), 8u);
    EXPECT_STREQ(small, "\"ab");
}

TEST_F(BoardSeam, StandInRecordsItsArgumentsAndExitsZero) {
    sim::build_board_tree(root_);
    int status = test_support::run_in_child(
        [] {
            const char *argv[] = {"ash", "/usr/bin/netconf.sh", "192.0.2.1", "with blank", nullptr};
            board::exec("/bin/ash", argv);
        },
        99);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(sim::BoardTree(root_).effects(),
              "exec /bin/ash \"ash\" \"/usr/bin/netconf.sh\" \"192.0.2.1\" \"with blank\"\n");
}

}  // namespace
