// sarvik on the simulated board: the default device is the board's /dev/mtd2.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/board_tree.h"
#include "tests/rominfo/rom_expected.h"
#include "tests/support/temp_dir.h"

namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs sarvik through the shell with the board root set (or unset) and the
// arguments as given; stderr goes into the output so none slips by.
Result sarvik(const std::string &root, const std::string &args = "") {
    std::string cmd = (root.empty() ? std::string("env -u BOARD_ROOT ")
                                    : "env BOARD_ROOT='" + root + "' ") +
                      SARVIK_PATH + " " + args + " 2>&1";
    Result r;
    std::FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class SarvikBoard : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(tmp_.remove());
    }
    test_support::TempDir tmp_{"/tmp/sarvik-board-XXXXXX"};
    const std::string &root_ = tmp_.path();
};

TEST_F(SarvikBoard, NoOptionsReadsTheBoardsMtd2) {
    sim::build_board_tree(root_);
    Result r = sarvik(root_);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kDefaultReport);
}

TEST_F(SarvikBoard, BoardBlockFollowsTheTreeOptions) {
    sim::TreeOptions opt;
    opt.rom.hostname = "spare-unit";
    opt.rom.fit_signed = 0;
    sim::build_board_tree(root_, opt);
    Result r = sarvik(root_, "-o 0");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Hostname:            spare-unit\n"), std::string::npos);
    EXPECT_NE(r.out.find("(15728640), unsigned\n"), std::string::npos);
}

TEST_F(SarvikBoard, MessagesShowTheBoardPath) {
    sim::BoardTree t = sim::build_board_tree(root_);
    // the tree's mtd2 is 4096 bytes: a block at 0x800 runs past its end
    Result r = sarvik(root_, "-o 0x800");
    EXPECT_EQ(r.status, 250);
    EXPECT_EQ(r.out, "Error: Failed to read info block of size 2133\n");
    r = sarvik(root_, "-o -4");
    EXPECT_EQ(r.status, 252);
    EXPECT_EQ(r.out, "Error: Could't set offset -4 in file '/dev/mtd2'\n");
    t.remove("/dev/mtd2");
    r = sarvik(root_);
    EXPECT_EQ(r.status, 253);
    EXPECT_EQ(r.out, "Error: File '/dev/mtd2' couldn't be opened\n");
}

TEST_F(SarvikBoard, TypedPathIsNotUnderTheRoot) {
    sim::BoardTree t = sim::build_board_tree(root_);
    // -r /dev/mtd2 is the host's path as typed, not the board tree's
    std::string host_copy = root_ + "/copy.bin";
    std::string cmd = "cp '" + t.host("/dev/mtd2") + "' '" + host_copy + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    t.remove("/dev/mtd2");
    Result r = sarvik(root_, "-r '" + host_copy + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kDefaultReport);
    r = sarvik(root_, "-r /dev/mtd2-not-here");
    EXPECT_EQ(r.status, 253);
    EXPECT_EQ(r.out, "Error: File '/dev/mtd2-not-here' couldn't be opened\n");
}

TEST_F(SarvikBoard, RunsWithoutABoardRoot) {
    // no refusal: without a root the board path is the host's own
    Result r = sarvik("", "-v");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "sarvik v1.0.0\n");
}

}  // namespace
