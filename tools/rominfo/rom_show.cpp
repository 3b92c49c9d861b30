#include "tools/rominfo/rom_show.h"

#include <cerrno>
#include <cstdlib>
#include <sys/types.h>
#include <unistd.h>

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

// A pipe cannot seek: read up to the offset instead. False only on a read
// error; the end of the data leaves the block short.
bool skip(std::FILE *f, std::int32_t offset) {
    char buf[512];
    for (std::int32_t left = offset; left > 0;) {
        std::size_t n = std::fread(buf, 1, left < 512 ? static_cast<std::size_t>(left) : 512, f);
        if (n == 0) return !std::ferror(f);
        left -= static_cast<std::int32_t>(n);
    }
    return true;
}

// Standard input through a copy of its descriptor: closing the image
// leaves standard input to the program.
std::FILE *open_standard_input() {
    board::Fd fd(::dup(STDIN_FILENO));
    std::FILE *f = fd ? ::fdopen(fd.get(), "rb") : nullptr;
    if (f != nullptr) fd.release();
    return f;
}

}  // namespace

int rom_show(const char *open_path, const char *shown_path, std::int32_t offset,
             std::FILE *out, RomAlloc alloc) {
    bool in = open_path[0] == '-' && open_path[1] == '\0';
    board::File f(in ? open_standard_input() : std::fopen(open_path, "rb"));
    if (!f) {
        report(out, REPORT_MESSAGE, "Error: File '%s' couldn't be opened", shown_path);
        return ROM_SHOW_OPEN;
    }
    if (fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0 &&
        (errno != ESPIPE || offset < 0 || !skip(f.get(), offset))) {
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
