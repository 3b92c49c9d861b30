#include "fru/fru_store.h"

#include <cstdint>
#include <cstring>
#include <sys/stat.h>

#include "board/files.h"
#include "fru/board_info.h"
#include "fru/fru_format.h"
#include "fru/fru_log.h"

namespace {

// The image the load read (table entries point into it, so it is never
// changed afterwards) and the one the save builds.
std::uint8_t loaded[FRU_IMAGE_SIZE];
std::uint8_t output[FRU_IMAGE_SIZE];
std::uint8_t readback[FRU_IMAGE_SIZE];
bool load_ok = false;

// The save keeps only what lies in front of the multirecord area, so an
// area at or behind it would be lost.
bool areas_in_front(const BoardInfo &b) {
    return b.board_offset < b.mrec_offset && b.product_offset < b.mrec_offset;
}

// The EEPROM must take all 4096 bytes; a regular file (the simulated board)
// would otherwise just grow.
bool big_enough() {
    struct ::stat st {};
    if (board::stat(FRU_EEPROM_PATH, &st) != 0) return true;  // the open reports it
    return !S_ISREG(st.st_mode) || st.st_size >= FRU_IMAGE_SIZE;
}

bool verify() {
    board::File f(FRU_EEPROM_PATH, "r");
    if (!f) return false;
    std::size_t n = std::fread(readback, 1, sizeof readback, f.get());
    return n == sizeof readback && std::memcmp(readback, output, sizeof output) == 0;
}

}  // namespace

int fru_load() {
    BoardInfo &b = board_info;
    load_ok = false;
    b.mac_list[0] = b.mac;
    b.mac_list[1] = b.mac2;
    b.mac_list[2] = b.mac3;
    {
        board::File f(FRU_EEPROM_PATH, "r");
        if (!f) {
            fru_log("E[FRU]: FRU: failed to open eeprom\n");
        } else {
            fru_diag("Reading eeprom\n");
            std::size_t n = std::fread(loaded, 1, sizeof loaded, f.get());
            fru_diag("Read %i bytes\n", static_cast<int>(n));
        }
    }
    if (fru_parse(&b, loaded, sizeof loaded) != 0) return -2;
    fru_extract_values();
    load_ok = true;
    return 0;
}

int fru_save() {
    const BoardInfo &b = board_info;
    if (!load_ok) {
        fru_log("E[FRU]: FRU: not loaded, refusing to save\n");
        return -1;
    }
    if (!areas_in_front(b)) {
        fru_log("E[FRU]: FRU: info area behind multirecord area, refusing to save\n");
        return -1;
    }
    std::size_t off = static_cast<std::size_t>(b.mrec_offset);
    std::memset(output, 0, sizeof output);
    std::memcpy(output, loaded, off);
    fru_diag("Put multirecord area at %i\n", b.mrec_offset);
    if (fru_pack_mrec_area(&b, output + off, sizeof output - off) != 0) return -1;
    fru_log("L[FRU]: Writing eeprom ");
    if (!big_enough()) {
        fru_log("E[FRU]: FRU: eeprom is smaller than %i bytes\n", FRU_IMAGE_SIZE);
        return -1;
    }
    board::File f(FRU_EEPROM_PATH, "w");
    if (!f) {
        fru_log("E[FRU]: FRU: failed to open eeprom\n");
        return -1;
    }
    std::size_t n = std::fwrite(output, 1, sizeof output, f.get());
    fru_diag("Wrote %i bytes\n", static_cast<int>(n));
    bool flushed = std::fflush(f.get()) == 0;
    bool closed = f.close() == 0;
    if (n != sizeof output || !flushed || !closed || !verify()) {
        fru_log("E[FRU]: FRU: verify after write failed\n");
        return -1;
    }
    return 0;
}
