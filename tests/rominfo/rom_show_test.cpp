#include "tools/rominfo/rom_show.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "sim/rom_image.h"
#include "tests/rominfo/rom_capture.h"
#include "tests/rominfo/rom_expected.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

int open_fds() {
    int n = 0;
    if (DIR *d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) ++n;
        closedir(d);
    }
    return n;
}

class RomShow : public ::testing::Test {
protected:
    void SetUp() override {
        fds_ = open_fds();
    }
    void TearDown() override {
        EXPECT_EQ(open_fds(), fds_) << "a descriptor was left open";
        EXPECT_TRUE(tmp_.remove());
    }
    std::string image(const std::vector<std::uint8_t> &bytes, const char *name = "rom.bin") {
        return test_support::write_file(dir_ + "/" + name, bytes);
    }
    std::string run(const std::string &path, std::int32_t offset, RomAlloc alloc = nullptr) {
        return capture([&](std::FILE *f) {
            result_ = rom_show(path.c_str(), "/shown/path", offset, f, alloc);
        });
    }

    test_support::TempDir tmp_{"/tmp/rominfo-show-XXXXXX"};
    const std::string &dir_ = tmp_.path();
    int fds_ = 0;
    int result_ = 99;
};

TEST_F(RomShow, ValidBlockAtStartAndInside) {
    auto block = sim::make_rom_block();
    EXPECT_EQ(run(image(block), 0), kDefaultReport);
    EXPECT_EQ(result_, ROM_SHOW_OK);

    std::vector<std::uint8_t> img(0x1000 + block.size(), 0xFF);
    std::copy(block.begin(), block.end(), img.begin() + 0x1000);
    std::string p = image(img);
    EXPECT_EQ(run(p, 0x1000), kDefaultReport);
    EXPECT_EQ(result_, ROM_SHOW_OK);
    EXPECT_EQ(run(p, 0), "Error: Invalid info block identifier\n");
    EXPECT_EQ(result_, ROM_SHOW_INVALID);
}

TEST_F(RomShow, OpenAndSeekFailuresNameTheShownPath) {
    EXPECT_EQ(run(dir_ + "/missing", 0), "Error: File '/shown/path' couldn't be opened\n");
    EXPECT_EQ(result_, ROM_SHOW_OPEN);
    std::string p = image(sim::make_rom_block());
    EXPECT_EQ(run(p, -1), "Error: Could't set offset -1 in file '/shown/path'\n");
    EXPECT_EQ(result_, ROM_SHOW_SEEK);
    EXPECT_EQ(run(p, INT32_MIN), "Error: Could't set offset -2147483648 in file '/shown/path'\n");
    EXPECT_EQ(result_, ROM_SHOW_SEEK);
}

TEST_F(RomShow, ShortReads) {
    auto block = sim::make_rom_block();
    const std::string msg = "Error: Failed to read info block of size 2133\n";
    std::vector<std::uint8_t> one_short(block.begin(), block.end() - 1);
    EXPECT_EQ(run(image(one_short), 0), msg);
    EXPECT_EQ(result_, ROM_SHOW_SHORT);
    std::string p = image(block);
    EXPECT_EQ(run(p, 1), msg);  // one byte missing at the end
    EXPECT_EQ(run(p, 100000), msg);  // past the end
    EXPECT_EQ(run(p, INT32_MAX), msg);
    EXPECT_EQ(run(image({}, "empty"), 0), msg);
    EXPECT_EQ(result_, ROM_SHOW_SHORT);
}

TEST_F(RomShow, NoMemoryForTheBlock) {
    std::string p = image(sim::make_rom_block());
    EXPECT_EQ(run(p, 0, [](std::size_t) -> void * { return nullptr; }),
              "Error: No memory for info\n");
    EXPECT_EQ(result_, ROM_SHOW_NO_MEMORY);
}

TEST_F(RomShow, WrongCrcPrintsOnlyItsMessage) {
    auto block = sim::make_rom_block();
    block[2132] ^= 1;
    EXPECT_EQ(run(image(block), 0), "Error: Invalid info block crc\n");
    EXPECT_EQ(result_, ROM_SHOW_INVALID);
    block = sim::make_rom_block();
    block[500] ^= 1;  // data changed after the CRC was made
    EXPECT_EQ(run(image(block), 0), "Error: Invalid info block crc\n");
}

}  // namespace
