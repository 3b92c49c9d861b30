#include "tools/rominfo/rom_crc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "sim/rom_image.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tools/rominfo/rom_block.h"

namespace {

std::uint32_t crc_of(const std::string &s) {
    return rom_crc({reinterpret_cast<const std::uint8_t *>(s.data()), s.size()});
}

TEST(RomCrc, KnownCksumValues) {
    // Values the POSIX cksum utility prints.
    EXPECT_EQ(crc_of(""), 4294967295u);
    EXPECT_EQ(crc_of("123456789"), 930766865u);
    EXPECT_EQ(crc_of("a"), 1220704766u);
}

TEST(RomCrc, LengthBytesAreFolded) {
    // Zero data bytes keep the register at 0, so only the folded length
    // tells these apart (values from cksum on runs of zero bytes).
    std::vector<std::uint8_t> z255(255, 0), z256(256, 0), z65536(65536, 0);
    EXPECT_EQ(rom_crc(z255), 1309196107u);
    EXPECT_EQ(rom_crc(z256), 4215202376u);
    // 65536 folds as 00 00 01 and 256 as 00 01: leading zeros change nothing
    EXPECT_EQ(rom_crc(z65536), 4215202376u);
}

bool have_cksum() { return std::system("cksum </dev/null >/dev/null 2>&1") == 0; }

// What the host's cksum prints for a file of these bytes.
std::uint32_t system_cksum(const std::vector<std::uint8_t> &bytes) {
    test_support::TempDir dir("/tmp/rominfo-crc-XXXXXX");
    const std::string cmd = "cksum <'" + test_support::write_file(dir.path() + "/bytes", bytes) + "'";
    std::FILE *p = popen(cmd.c_str(), "r");
    unsigned long crc = 0, len = 0;
    if (p != nullptr) {
        EXPECT_EQ(std::fscanf(p, "%lu %lu", &crc, &len), 2);
        pclose(p);
    }
    EXPECT_EQ(len, bytes.size());
    return static_cast<std::uint32_t>(crc);
}

TEST(RomCrc, MatchesSystemCksumOnRandomBlocks) {
    if (!have_cksum()) GTEST_SKIP() << "no cksum on this host";
    std::mt19937 rng(20190305);
    for (int round = 0; round < 6; ++round) {
        std::vector<std::uint8_t> b(rom_field::crc.offset);
        for (auto &x : b) x = static_cast<std::uint8_t>(rng());
        if (round == 0) std::fill(b.begin(), b.end(), 0x00);
        if (round == 1) std::fill(b.begin(), b.end(), 0xFF);
        EXPECT_EQ(rom_crc(b), system_cksum(b)) << "round " << round;
    }
    // lengths whose byte count changes the folded length bytes
    for (std::size_t n : {1u, 255u, 256u, 65535u, 65536u, 70001u}) {
        std::vector<std::uint8_t> b(n);
        for (auto &x : b) x = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(rom_crc(b), system_cksum(b)) << "length " << n;
    }
}

TEST(RomCrc, BlockCrcAgreesWithBitwiseWriter) {
    // the simulated board's writer computes bit by bit, the tool by table
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        auto b = sim::make_rom_block();
        for (std::size_t i = 8; i < rom_field::crc.offset; ++i) b[i] = static_cast<std::uint8_t>(rng());
        sim::fix_rom_block_crc(b);
        RomBlock v(b.data(), kRomInfoSize);
        EXPECT_EQ(rom_expected_crc(v), sim::rom_block_crc(b));
        EXPECT_EQ(rom_check(v), RomCheck::ok);
    }
}

TEST(RomCrc, BlockCrcMatchesSystemCksumOfItsFirstBytes) {
    if (!have_cksum()) GTEST_SKIP() << "no cksum on this host";
    auto b = sim::make_rom_block();
    std::vector<std::uint8_t> head(b.begin(), b.begin() + rom_field::crc.offset);
    EXPECT_EQ(rom_expected_crc(RomBlock(b.data(), kRomInfoSize)), system_cksum(head));
    EXPECT_EQ(rom_number(RomBlock(b.data(), kRomInfoSize), rom_field::crc), system_cksum(head));
}

}  // namespace
