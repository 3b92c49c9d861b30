// 64-bit time on the board. The 32-bit MIPS C library keeps a 32-bit time_t
// unless the build asks otherwise, and the clock page accepts years up to
// 2999: a date past 2038 must survive the trip through the C library.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "board/board.h"
#include "tests/support/dates.h"
#if BOARD_SIM
#include "sim/board_tree.h"
#include "tests/support/temp_dir.h"
#endif

namespace {

class UtcZone : public ::testing::Test {
protected:
    void SetUp() override {
        const char *tz = std::getenv("TZ");
        had_tz_ = tz != nullptr;
        if (had_tz_) old_tz_ = tz;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        if (had_tz_) setenv("TZ", old_tz_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool had_tz_ = false;
    std::string old_tz_;
};

}  // namespace

TEST(TargetTypes, TimeAndOffsetsAreSixtyFourBits) {
    EXPECT_EQ(sizeof(time_t), 8u);
    EXPECT_EQ(sizeof(off_t), 8u);
    struct stat st{};
    EXPECT_EQ(sizeof(st.st_mtime), 8u);
    struct timespec ts{};
    EXPECT_EQ(sizeof(ts.tv_sec), 8u);
}

TEST_F(UtcZone, DatesPast2038RoundTripThroughMktimeAndLocaltime) {
    struct Case {
        int year, mon, mday, hour, min, sec;
        std::int64_t epoch;
    };
    // Epoch values from an independent calculator (date -u -d ... +%s).
    const Case cases[] = {
        {2038, 1, 19, 3, 14, 7, 2147483647LL},    // last second of 32-bit time
        {2038, 1, 19, 3, 14, 8, 2147483648LL},    // first second past it
        {2106, 2, 7, 6, 28, 16, 4294967296LL},    // past unsigned 32-bit
        {2999, 12, 31, 23, 59, 59, 32503679999LL}, // the clock page's last second
        {2999, 1, 1, 0, 0, 0, 32472144000LL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.year);
        std::tm tm = test_support::civil(c.year, c.mon, c.mday, c.hour, c.min, c.sec);
        time_t t = std::mktime(&tm);
        ASSERT_NE(t, static_cast<time_t>(-1));
        EXPECT_EQ(static_cast<std::int64_t>(t), c.epoch);

        std::tm back{};
        ASSERT_NE(localtime_r(&t, &back), nullptr);
        EXPECT_EQ(back.tm_year, c.year - 1900);
        EXPECT_EQ(back.tm_mon, c.mon - 1);
        EXPECT_EQ(back.tm_mday, c.mday);
        EXPECT_EQ(back.tm_hour, c.hour);
        EXPECT_EQ(back.tm_min, c.min);
        EXPECT_EQ(back.tm_sec, c.sec);

        std::tm g{};
        ASSERT_NE(gmtime_r(&t, &g), nullptr);
        char text[32];
        ASSERT_GT(std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &g), 0u);
        char want[32];
        std::snprintf(want, sizeof want, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.mon,
                      c.mday, c.hour, c.min, c.sec);
        EXPECT_STREQ(text, want);
    }
}

TEST_F(UtcZone, MktimeNormalisesAcrossTheYear3000) {
    // One second past the clock page's range still converts, one day later.
    std::tm tm = test_support::civil(2999, 12, 31, 23, 59, 60);
    time_t t = std::mktime(&tm);
    ASSERT_NE(t, static_cast<time_t>(-1));
    EXPECT_EQ(static_cast<std::int64_t>(t), 32503680000LL);
    EXPECT_EQ(tm.tm_year, 3000 - 1900);
    EXPECT_EQ(tm.tm_mon, 0);
    EXPECT_EQ(tm.tm_mday, 1);
}

#if BOARD_SIM
// The simulated board keeps its clock as an offset from the host's; a 2999
// setting must not wrap on the way through the offset file.
TEST(SimClock, SetTo2999AndBack) {
    // Removed, and BOARD_ROOT unset, however the test ends.
    test_support::TempDir root("/tmp/target-clock-XXXXXX", test_support::Root::board);
    sim::BoardTree tree = sim::build_board_tree(root, sim::TreeOptions{});

    const std::int64_t far = 32503679999LL;
    ASSERT_EQ(board::set_system_time(far), 0);
    std::int64_t got = board::now();
    EXPECT_GE(got, far);
    EXPECT_LE(got, far + 5);

    const std::int64_t host = static_cast<std::int64_t>(::time(nullptr));
    ASSERT_EQ(board::set_system_time(host), 0);
    got = board::now();
    EXPECT_GE(got, host);
    EXPECT_LE(got, host + 5);

    std::string effects = tree.effects();
    EXPECT_NE(effects.find("clock_settime 32503679999"), std::string::npos) << effects;

}
#endif
