// sarvik on the simulated board: the default device is the board's /dev/mtd2.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/board_tree.h"
#include "tests/cli/sarvik_run.h"
#include "tests/rominfo/rom_expected.h"
#include "tests/support/temp_dir.h"

namespace {

using sarvik_test::expect;

class SarvikBoard : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(tmp_.remove());
    }
    // sarvik on this board.
    sarvik_test::Result sarvik(const std::vector<std::string> &args = {}) {
        return sarvik_test::sarvik(args, {"BOARD_ROOT=" + root_});
    }
    test_support::TempDir tmp_{"/tmp/sarvik-board-XXXXXX"};
    const std::string &root_ = tmp_.path();
};

TEST_F(SarvikBoard, NoOptionsReadsTheBoardsMtd2) {
    sim::build_board_tree(root_);
    expect(sarvik(), 0, kDefaultReport);
}

TEST_F(SarvikBoard, BoardBlockFollowsTheTreeOptions) {
    sim::TreeOptions opt;
    opt.rom.hostname = "spare-unit";
    opt.rom.fit_signed = 0;
    sim::build_board_tree(root_, opt);
    sarvik_test::Result r = sarvik({"-o", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Hostname:            spare-unit\n"), std::string::npos);
    EXPECT_NE(r.out.find("(15728640), unsigned\n"), std::string::npos);
}

TEST_F(SarvikBoard, MessagesShowTheBoardPath) {
    sim::BoardTree t = sim::build_board_tree(root_);
    // the tree's mtd2 is 4096 bytes: a block at 0x800 runs past its end
    expect(sarvik({"-o", "0x800"}), 250, "Error: Failed to read info block of size 2133\n");
    expect(sarvik({"-o", "-4"}), 252, "Error: Could't set offset -4 in file '/dev/mtd2'\n");
    t.remove("/dev/mtd2");
    expect(sarvik(), 253, "Error: File '/dev/mtd2' couldn't be opened\n");
}

TEST_F(SarvikBoard, TypedPathIsNotUnderTheRoot) {
    sim::BoardTree t = sim::build_board_tree(root_);
    // -r /dev/mtd2 is the host's path as typed, not the board tree's
    std::string host_copy = root_ + "/copy.bin";
    ASSERT_TRUE(std::filesystem::copy_file(t.host("/dev/mtd2"), host_copy));
    t.remove("/dev/mtd2");
    expect(sarvik({"-r", host_copy}), 0, kDefaultReport);
    expect(sarvik({"-r", "/dev/mtd2-not-here"}), 253,
           "Error: File '/dev/mtd2-not-here' couldn't be opened\n");
}

TEST_F(SarvikBoard, RunsWithoutABoardRoot) {
    // no refusal: without a root the board path is the host's own
    expect(sarvik_test::sarvik({"-v"}), 2, "sarvik v1.0.0\n");
}

}  // namespace
