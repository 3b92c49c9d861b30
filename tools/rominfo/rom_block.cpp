#include "tools/rominfo/rom_block.h"

#include "tools/rominfo/rom_crc.h"

std::uint32_t rom_be32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return 0;
    return static_cast<std::uint32_t>(bytes[offset]) << 24 |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 3]);
}

std::uint32_t rom_number(RomBlock b, RomField f) {
    return f.size == 4 ? rom_be32(b, f.offset) : 0;
}

std::string_view rom_text(RomBlock b, RomField f) {
    if (f.offset >= b.size()) return {};
    std::size_t size = f.size;
    if (size > b.size() - f.offset) size = b.size() - f.offset;
    const char *p = reinterpret_cast<const char *>(b.data() + f.offset);
    std::size_t n = 0;
    while (n < size && p[n] != '\0') ++n;
    return {p, n};
}

std::uint32_t rom_expected_crc(RomBlock b) {
    return rom_crc(b.first(rom_field::crc.offset));
}

RomCheck rom_check(RomBlock b) {
    if (rom_number(b, rom_field::magic1) != kRomMagic1 ||
        rom_number(b, rom_field::magic2) != kRomMagic2)
        return RomCheck::bad_identifier;
    if (rom_number(b, rom_field::crc) != rom_expected_crc(b)) return RomCheck::bad_crc;
    return RomCheck::ok;
}
