#include "tools/rominfo/rom_print.h"

#include <cstring>
#include <ctime>

#include "board/board.h"

namespace {

// A text field as it may reach a terminal: bounded by its field (it need
// not be terminated there), its control bytes and bytes above 126 shown as
// "\xNN" so that a crafted image cannot drive the screen of whoever vets it.
struct Text {
    char s[4 * 512 + 1];  // the longest field, every byte escaped
};

Text text(RomBlock b, RomField f) {
    Text t;
    board::show_text(rom_text(b, f), t.s, sizeof t.s);
    return t;
}

}  // namespace

void rom_build_date(RomBlock b, char (&out)[kRomDateMax]) {
    // strptime wants a terminated string; the field need not be.
    char digits[rom_field::build_date.size + 1] = {};
    std::string_view s = rom_text(b, rom_field::build_date);
    std::memcpy(digits, s.data(), s.size());

    struct tm tm {};
    (void)strptime(digits, "%04Y%02m%02d%02H%02M%02S", &tm);
    if (std::strftime(out, sizeof out, "%c", &tm) == 0) out[0] = '\0';
}

void rom_print_info(std::FILE *out, RomBlock b) {
    using namespace rom_field;
    Text d = text(b, distro), dv = text(b, distro_version), bd = text(b, rom_field::board);
    std::fprintf(out, "Distribution:        %s %s for board %s\n", d.s, dv.s, bd.s);
    Text h = text(b, hostname);
    std::fprintf(out, "Hostname:            %s\n", h.s);
    Text u = text(b, uboot_version), k = text(b, kernel_version);
    std::fprintf(out, "Core systems:        u-boot %s, kernel %s\n", u.s, k.s);
    Text g = text(b, gcc_version), f = text(b, features);
    std::fprintf(out, "Built by:            gcc %s with features %s\n", g.s, f.s);

    char date[kRomDateMax];
    rom_build_date(b, date);
    std::fprintf(out, "Build date:          %s\n", date);

    std::uint32_t fs = rom_number(b, flash_size);
    std::fprintf(out, "SPI-flash info:      address 0x%08x, size %uKB (%u)\n",
                 rom_number(b, flash_addr), fs / 1024, fs);
    std::uint32_t bs = rom_number(b, boot_size), es = rom_number(b, env_size);
    std::uint32_t is = rom_number(b, info_size), ts = rom_number(b, fit_size);
    std::fprintf(out, "Bootloader section:  offset 0x%08x, size %uKB (%u)\n",
                 rom_number(b, boot_offset), bs / 1024, bs);
    std::fprintf(out, "Environment section: offset 0x%08x, size %uKB (%u)\n",
                 rom_number(b, env_offset), es / 1024, es);
    std::fprintf(out, "Information section: offset 0x%08x, size %uKB (%u)\n",
                 rom_number(b, info_offset), is / 1024, is);
    std::fprintf(out, "Fitimage section:    offset 0x%08x, size %uKB (%u), %s\n",
                 rom_number(b, fit_offset), ts / 1024, ts,
                 b[fit_signed.offset] != 0 ? "signed" : "unsigned");

    std::fprintf(out, "Kernel load address: vmlinuz 0x%08x, vmlinux 0x%08x\n",
                 rom_number(b, vmlinuz_addr), rom_number(b, vmlinux_addr));
    std::fprintf(out, "FDT load address:    0x%08x\n", rom_number(b, fdt_addr));
    std::fprintf(out, "Initrd load address: 0x%08x\n", rom_number(b, initrd_addr));

    Text su = text(b, system_utils), eu = text(b, extra_utils);
    Text tb = text(b, test_benches), el = text(b, extra_linguas);
    std::fprintf(out, "System utils:        %s\n", su.s);
    std::fprintf(out, "Extra utils:         %s\n", eu.s);
    std::fprintf(out, "Test benches:        %s\n", tb.s);
    std::fprintf(out, "Extra linguas:       %s\n", el.s);
}
