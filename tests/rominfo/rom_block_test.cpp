#include "tools/rominfo/rom_block.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/rom_image.h"

namespace {

RomBlock view(const std::vector<std::uint8_t> &b) { return RomBlock(b.data(), kRomInfoSize); }

TEST(RomFieldReader, BigEndianAtAnyAlignment) {
    std::vector<std::uint8_t> bytes(16, 0);
    for (std::size_t off = 0; off + 4 <= 12; ++off) {
        std::fill(bytes.begin(), bytes.end(), 0);
        bytes[off] = 0x12;
        bytes[off + 1] = 0x34;
        bytes[off + 2] = 0x56;
        bytes[off + 3] = 0x78;
        EXPECT_EQ(rom_be32(bytes, off), 0x12345678u) << "offset " << off;
    }
    std::vector<std::uint8_t> high = {0xFF, 0xFE, 0x80, 0x01};
    EXPECT_EQ(rom_be32(high, 0), 0xFFFE8001u);  // no sign spreading from the top byte
}

TEST(RomFieldReader, NeverReadsOutsideTheSpan) {
    std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
    EXPECT_EQ(rom_be32(bytes, 1), 0x02030405u);
    EXPECT_EQ(rom_be32(bytes, 2), 0u);
    EXPECT_EQ(rom_be32(bytes, 5), 0u);
    EXPECT_EQ(rom_be32(bytes, static_cast<std::size_t>(-1)), 0u);
    EXPECT_EQ(rom_be32({}, 0), 0u);
}

TEST(RomFieldReader, UnalignedNumberFieldsOfTheBlock) {
    sim::RomBlockContent layout;
    layout.vmlinuz_addr = 0x01020304;
    layout.vmlinux_addr = 0xA0B0C0D0;
    layout.fdt_addr = 0x00000001;
    layout.initrd_addr = 0x80000000;
    layout.fit_size = 0xFFFFFFFF;
    auto b = sim::make_rom_block(layout);
    EXPECT_EQ(rom_number(view(b), rom_field::vmlinuz_addr), 0x01020304u);
    EXPECT_EQ(rom_number(view(b), rom_field::vmlinux_addr), 0xA0B0C0D0u);
    EXPECT_EQ(rom_number(view(b), rom_field::fdt_addr), 1u);
    EXPECT_EQ(rom_number(view(b), rom_field::initrd_addr), 0x80000000u);
    EXPECT_EQ(rom_number(view(b), rom_field::fit_size), 0xFFFFFFFFu);
    // a one-byte field is no number
    EXPECT_EQ(rom_number(view(b), rom_field::fit_signed), 0u);
}

TEST(RomFieldReader, TextStopsAtNulAndAtFieldEnd) {
    std::vector<std::uint8_t> b(kRomInfoSize, 'A');
    // hostname (152, 64) without a NUL runs to its end and not into uboot_version
    EXPECT_EQ(rom_text(view(b), rom_field::hostname), std::string(64, 'A'));
    b[152 + 5] = 0;
    b[152 + 9] = 0;
    EXPECT_EQ(rom_text(view(b), rom_field::hostname), "AAAAA");
    b[152] = 0;
    EXPECT_EQ(rom_text(view(b), rom_field::hostname), "");
    // the last text field ends right before the CRC
    EXPECT_EQ(rom_text(view(b), rom_field::extra_linguas).size(), 128u);
}

TEST(RomLayout, FieldsTileTheBlock) {
    std::size_t at = 0;
    for (const RomField &f : rom_field::kAll) {
        EXPECT_EQ(f.offset, at);
        at += f.size;
    }
    EXPECT_EQ(at, kRomInfoSize);
    EXPECT_EQ(rom_field::crc.offset, 2129);
    EXPECT_EQ(rom_field::fit_signed.offset, 448);
    EXPECT_EQ(rom_field::extra_linguas.offset, 2001);
}

TEST(RomCheckTest, IdentifierThenCrc) {
    auto good = sim::make_rom_block();
    EXPECT_EQ(rom_check(view(good)), RomCheck::ok);

    for (std::size_t i = 0; i < 8; ++i) {
        auto b = good;
        b[i] ^= 0x01;
        sim::fix_rom_block_crc(b);  // a correct CRC does not rescue a wrong identifier
        EXPECT_EQ(rom_check(view(b)), RomCheck::bad_identifier) << "byte " << i;
    }
    {
        auto b = good;
        b[0] = 0xEF;  // identifier in host order on a little-endian machine
        b[1] = 0xBE;
        b[2] = 0xAD;
        b[3] = 0xDE;
        EXPECT_EQ(rom_check(view(b)), RomCheck::bad_identifier);
    }
    for (std::size_t i : {8u, 448u, 1000u, 2128u, 2129u, 2132u}) {
        auto b = good;
        b[i] ^= 0x80;
        EXPECT_EQ(rom_check(view(b)), RomCheck::bad_crc) << "byte " << i;
    }
    {
        auto b = good;
        b[3000 % kRomInfoSize] ^= 0x10;
        sim::fix_rom_block_crc(b);
        EXPECT_EQ(rom_check(view(b)), RomCheck::ok);
    }
}

}  // namespace
