#include "tools/rominfo/rom_show.h"

#include <cstdlib>
#include <sys/types.h>

#include "board/files.h"
#include "tools/rominfo/rom_block.h"
#include "tools/rominfo/rom_print.h"
#include "tools/rominfo/rom_report.h"

namespace {

// The block's heap buffer, freed on every way out.
struct Buffer {
    std::uint8_t *p;
    ~Buffer() { std::free(p); }
};

}  // namespace

int rom_show(const char *open_path, const char *shown_path, std::int32_t offset,
             std::FILE *out, RomAlloc alloc) {
    board::File f(std::fopen(open_path, "rb"));
    if (!f) {
        report(out, REPORT_MESSAGE, "Error: File '%s' couldn't be opened", shown_path);
        return ROM_SHOW_OPEN;
    }
    if (fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
        f.close();
        report(out, REPORT_MESSAGE, "Error: Could't set offset %d in file '%s'",
               static_cast<int>(offset), shown_path);
        return ROM_SHOW_SEEK;
    }

    Buffer buf{static_cast<std::uint8_t *>((alloc ? alloc : std::malloc)(kRomInfoSize))};
    if (buf.p == nullptr) {
        f.close();
        report(out, REPORT_MESSAGE, "Error: No memory for info");
        return ROM_SHOW_NO_MEMORY;
    }
    if (std::fread(buf.p, 1, kRomInfoSize, f.get()) != kRomInfoSize) {
        f.close();
        report(out, REPORT_MESSAGE, "Error: Failed to read info block of size %d",
               static_cast<int>(kRomInfoSize));
        return ROM_SHOW_SHORT;
    }

    RomBlock block(buf.p, kRomInfoSize);
    switch (rom_check(block)) {
    case RomCheck::bad_identifier:
        f.close();
        report(out, REPORT_MESSAGE, "Error: Invalid info block identifier");
        return ROM_SHOW_INVALID;
    case RomCheck::bad_crc:
        f.close();
        report(out, REPORT_MESSAGE, "Error: Invalid info block crc");
        return ROM_SHOW_INVALID;
    case RomCheck::ok:
        break;
    }
    rom_print_info(out, block);
    return ROM_SHOW_OK;
}
