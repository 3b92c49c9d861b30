// Feeds arbitrary bytes to sarvik's block checks and report. The first byte
// chooses what the harness fixes up, so the report is reached without the
// fuzzer having to find the identifier and a matching CRC:
//   bit 0: write the identifier   bit 1: write the CRC
//   bit 2: no NUL in any text field (every text runs to its field's end)
// The report goes to memory and is walked field by field: each text must
// come out as its field's bytes up to the first NUL and never beyond, other
// bytes than printable ASCII shown as "\xNN".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "tools/rominfo/rom_block.h"
#include "tools/rominfo/rom_crc.h"
#include "tools/rominfo/rom_offset.h"
#include "tools/rominfo/rom_print.h"

namespace {

constexpr RomField kTexts[] = {
    rom_field::distro,       rom_field::distro_version, rom_field::board,
    rom_field::hostname,     rom_field::uboot_version,  rom_field::kernel_version,
    rom_field::gcc_version,  rom_field::features,       rom_field::build_date,
    rom_field::system_utils, rom_field::extra_utils,    rom_field::test_benches,
    rom_field::extra_linguas};

void put_be32(std::uint8_t *b, std::size_t off, std::uint32_t v) {
    b[off] = static_cast<std::uint8_t>(v >> 24);
    b[off + 1] = static_cast<std::uint8_t>(v >> 16);
    b[off + 2] = static_cast<std::uint8_t>(v >> 8);
    b[off + 3] = static_cast<std::uint8_t>(v);
}

// Expected text of a field, found independently of the tool's reader.
std::string_view field_text(const std::uint8_t *b, RomField f) {
    const char *p = reinterpret_cast<const char *>(b + f.offset);
    const void *nul = std::memchr(p, 0, f.size);
    return {p, nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - p) : f.size};
}

struct Walker {
    std::string_view rest;
    const std::uint8_t *block;
    void lit(std::string_view s) {
        if (rest.substr(0, s.size()) != s) std::abort();
        rest.remove_prefix(s.size());
    }
    // A text is printed as it is where it is printable ASCII; every other
    // byte as "\xNN", so no image drives the terminal of whoever reads it.
    void field(RomField f) {
        for (char ch : field_text(block, f)) {
            const auto c = static_cast<unsigned char>(ch);
            char shown[8];
            if (c >= 0x20 && c < 0x7f) std::snprintf(shown, sizeof shown, "%c", c);
            else std::snprintf(shown, sizeof shown, "\\x%02x", c);
            lit(shown);
        }
    }
    void skip_line() {
        std::size_t nl = rest.find('\n');
        if (nl == std::string_view::npos) std::abort();
        rest.remove_prefix(nl + 1);
    }
};

void check_report(const std::uint8_t *b, std::string_view out) {
    using namespace rom_field;
    Walker w{out, b};
    w.lit("Distribution:        ");
    w.field(distro);
    w.lit(" ");
    w.field(distro_version);
    w.lit(" for board ");
    w.field(board);
    w.lit("\nHostname:            ");
    w.field(hostname);
    w.lit("\nCore systems:        u-boot ");
    w.field(uboot_version);
    w.lit(", kernel ");
    w.field(kernel_version);
    w.lit("\nBuilt by:            gcc ");
    w.field(gcc_version);
    w.lit(" with features ");
    w.field(features);
    w.lit("\nBuild date:          ");
    w.skip_line();
    for (int i = 0; i < 8; ++i) w.skip_line();  // numbers only
    w.lit("System utils:        ");
    w.field(system_utils);
    w.lit("\nExtra utils:         ");
    w.field(extra_utils);
    w.lit("\nTest benches:        ");
    w.field(test_benches);
    w.lit("\nExtra linguas:       ");
    w.field(extra_linguas);
    w.lit("\n");
    if (!w.rest.empty()) std::abort();
}

void fuzz_offset(const std::uint8_t *data, std::size_t size) {
    char arg[64];
    std::size_t n = size < sizeof arg - 1 ? size : sizeof arg - 1;
    std::memcpy(arg, data, n);
    arg[n] = '\0';
    (void)rom_parse_offset(arg);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    if (mode == 0xFF) {
        fuzz_offset(data, size);
        return 0;
    }

    // Exactly the block's size on the heap, so any read past it trips ASan.
    auto *b = static_cast<std::uint8_t *>(std::malloc(kRomInfoSize));
    if (b == nullptr) return 0;
    std::memset(b, 0, kRomInfoSize);
    std::memcpy(b, data, size < kRomInfoSize ? size : kRomInfoSize);

    if (mode & 4)
        for (const RomField &f : kTexts)
            for (std::size_t i = 0; i < f.size; ++i)
                if (b[f.offset + i] == 0) b[f.offset + i] = 'A';
    if (mode & 1) {
        put_be32(b, 0, kRomMagic1);
        put_be32(b, 4, kRomMagic2);
    }
    if (mode & 2) put_be32(b, rom_field::crc.offset, rom_crc({b, rom_field::crc.offset}));

    RomBlock block(b, kRomInfoSize);
    if (rom_check(block) == RomCheck::ok) {
        char *out = nullptr;
        std::size_t len = 0;
        std::FILE *f = open_memstream(&out, &len);
        if (f != nullptr) {
            rom_print_info(f, block);
            std::fclose(f);
            check_report(b, {out, len});
            std::free(out);
        }
    }
    std::free(b);
    return 0;
}
