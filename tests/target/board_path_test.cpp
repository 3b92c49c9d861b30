// A target build is the board itself: paths are the board's own and no
// environment variable moves them, whatever the shell holds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "board/board.h"

#if !BOARD_SIM
TEST(TargetBoard, PathsIgnoreBoardRoot) {
    setenv("BOARD_ROOT", "/tmp/not-the-board", 1);
    EXPECT_STREQ(board::root(), "");
    EXPECT_STREQ(board::path("/dev/rtc0").c_str(), "/dev/rtc0");
    EXPECT_STREQ(board::path("/sys/bus/i2c/devices/1-0053/eeprom").c_str(),
                 "/sys/bus/i2c/devices/1-0053/eeprom");
    EXPECT_TRUE(board::require_root("target_tests"));
    unsetenv("BOARD_ROOT");
    EXPECT_TRUE(board::require_root("target_tests"));
}

TEST(TargetBoard, EmptyPathResolvesToNothing) {
    EXPECT_FALSE(board::path("").ok());
    EXPECT_STREQ(board::path("etc/x").c_str(), "etc/x");
}

TEST(TargetBoard, OverlongPathResolvesToNothing) {
    static char longpath[board::kPathMax + 8];
    std::memset(longpath, 'a', sizeof longpath - 1);
    longpath[0] = '/';
    EXPECT_FALSE(board::path(longpath).ok());
}

TEST(TargetBoard, GlobHandsBackBoardPaths) {
    board::Glob g("/proc/self/stat*");
    ASSERT_EQ(g.result(), 0);
    ASSERT_GE(g.count(), 1u);
    EXPECT_EQ(std::strncmp(g.board_path(0), "/proc/self/stat", 15), 0);
}
#endif
