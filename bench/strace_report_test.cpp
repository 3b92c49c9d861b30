#include "bench/strace_report.h"

#include <gtest/gtest.h>

namespace {

// Trace lines and summary as `strace -f -C -o` writes them for the console.
constexpr const char *kTrace = R"(4242 pselect6(1, [0], NULL, NULL, {tv_sec=0, tv_nsec=500000000}, NULL) = 0 (Timeout)
4242 openat(AT_FDCWD, "/tmp/b/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/temp1_input", O_RDONLY) = 5
4242 read(5, "45123\n", 4096)           = 6
4242 close(5)                           = 0
4242 openat(AT_FDCWD, "/tmp/b/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/in1_input", O_RDONLY <unfinished ...>
4243 exit_group(0)                      = ?
4242 <... openat resumed>)              = 5
4242 openat(AT_FDCWD, "/tmp/b/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/temp1_input", O_RDONLY) = 5
4242 open("/etc/localtime", O_RDONLY)  = -1 ENOENT (No such file or directory)
4242 write(1, "\33[7;26H05", 9)        = 9
4242 newfstatat(AT_FDCWD, "/tmp/b/var/run/tolvane/ext", 0x7ffd, 0) = -1 ENOENT (No such file or directory)
% time     seconds  usecs/call     calls    errors syscall
------ ----------- ----------- --------- --------- ----------------
 65.28    0.001126         281       120           pselect6
 13.86    0.000239          18        60         2 openat
  5.00    0.000100           1        60           read
------ ----------- ----------- --------- --------- ----------------
100.00    0.001725           4       240         2 total
)";

TEST(StraceReport, SummaryTableGivesCallsErrorsAndTotal) {
    auto r = bench::parse_strace(kTrace, "/tmp/b");
    ASSERT_EQ(r.calls.size(), 3u);
    EXPECT_EQ(r.calls[0].name, "pselect6");
    EXPECT_EQ(r.calls[0].calls, 120);
    EXPECT_EQ(r.calls[0].errors, 0);
    // The errors column is blank for most calls: the count must not shift into it.
    EXPECT_EQ(r.calls[1].name, "openat");
    EXPECT_EQ(r.calls[1].calls, 60);
    EXPECT_EQ(r.calls[1].errors, 2);
    EXPECT_EQ(r.calls[2].calls, 60);
    EXPECT_EQ(r.total_calls, 240);
}

TEST(StraceReport, OpensAreCountedOncePerCallAsBoardPaths) {
    auto r = bench::parse_strace(kTrace, "/tmp/b");
    // Two opens of the temperature input, one of the voltage input (its
    // resumed half is not a second open), one of a host path kept whole.
    EXPECT_EQ(r.opens["/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/temp1_input"], 2);
    EXPECT_EQ(r.opens["/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/in1_input"], 1);
    EXPECT_EQ(r.opens["/etc/localtime"], 1);
    // A stat is not an open.
    EXPECT_EQ(r.opens.size(), 3u);
}

TEST(StraceReport, CutOrMissingOutputGivesEmptyFigures) {
    auto none = bench::parse_strace("", "/tmp/b");
    EXPECT_TRUE(none.calls.empty());
    EXPECT_EQ(none.total_calls, 0);
    EXPECT_TRUE(none.opens.empty());
    // strace killed before its summary: the trace lines still count.
    auto cut = bench::parse_strace("1 openat(AT_FDCWD, \"/tmp/b/dev/rtc0\", O_RDWR) = 3\n% time     seconds  usecs/call     calls    errors syscall\n", "/tmp/b");
    EXPECT_TRUE(cut.calls.empty());
    EXPECT_EQ(cut.opens["/dev/rtc0"], 1);
    // A quote missing its end is no path.
    auto bad = bench::parse_strace("1 openat(AT_FDCWD, \"/tmp/b/x", "/tmp/b");
    EXPECT_TRUE(bad.opens.empty());
}

TEST(Median, OddEvenAndUnsorted) {
    EXPECT_EQ(bench::median({}), 0);
    EXPECT_EQ(bench::median({5}), 5);
    EXPECT_EQ(bench::median({9, 1, 5}), 5);
    EXPECT_EQ(bench::median({4, 1, 3, 2}), 2.5);
    // One slow start does not move the median.
    EXPECT_EQ(bench::median({10, 11, 12, 900}), 11.5);
}

}  // namespace
