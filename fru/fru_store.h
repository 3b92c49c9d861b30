// Loading the FRU EEPROM into BoardInfo and saving it back.
#pragma once

#include <cstddef>
#include <cstdint>

// The board's FRU EEPROM (bus 1, address 0x53).
inline constexpr const char *FRU_EEPROM_PATH = "/sys/bus/i2c/devices/1-0053/eeprom";

// What fru_load returns.
enum FruLoadResult {
    FRU_LOAD_OK = 0,
    FRU_LOAD_PARSE = -2,       // the image does not parse (or the EEPROM did not open)
    FRU_LOAD_UNREADABLE = -3,  // the read failed: nothing was parsed
};

// A FruLoadResult: the EEPROM read, parsed and its values extracted, or why not.
int fru_load();
// Whether the last load succeeded: the records hold the board's values.
bool fru_loaded();

// What fru_save and fru_write_image return.
enum FruWriteResult {
    FRU_WRITE_OK = 0,
    FRU_WRITE_UNCHANGED = -1,  // failed, and the EEPROM holds what it held before
    FRU_WRITE_DAMAGED = -2,    // failed half-way and could not be put back
    FRU_WRITE_SAME = 1,        // fru_write_image without expected: the EEPROM held the image already
};

// FRU_WRITE_OK when all 4096 bytes reached the EEPROM and read back the
// same; otherwise as fru_write_image says, with nothing written when the
// last load failed, when the rewrite would lose an area or record the load
// read, or when the EEPROM changed since this run loaded (or last wrote) it.
[[nodiscard]] int fru_save();
// Whether fru_save would write bytes other than those the EEPROM is known
// to hold (true as well when it would refuse).
bool fru_save_would_change();

// Writes a 4096-byte image to the EEPROM under an exclusive lock and reads
// it back. With expected set, the EEPROM must hold those bytes first (else
// nothing is written); an EEPROM whose image cannot be read is not written
// either. Without expected (a restore), an EEPROM that holds the image
// already is not written: FRU_WRITE_SAME. A FruWriteResult, with its
// "E[FRU]: FRU: ..." lines on failure.
// When the write or its read-back fails ("verify after write failed"), the
// image the EEPROM held under the lock is written back once and read back:
// then "eeprom restored to its previous content" (FRU_WRITE_UNCHANGED), or
// "eeprom may be damaged, restore a backup" (FRU_WRITE_DAMAGED) when that
// fails too or the EEPROM held less than 4096 bytes to put back.
// Hang-up, interrupt, quit, terminate and broken-pipe signals are held
// from the start until the image is verified or put back, then take effect.
[[nodiscard]] int fru_write_image(const std::uint8_t *image, const std::uint8_t *expected);

// Reads the EEPROM's first 4096 bytes into image under a shared lock (a
// writer's image is never read half done): the count read; -1 with
// "E[FRU]: FRU: failed to open eeprom" when it cannot be opened; -2 with
// "E[FRU]: FRU: failed to read eeprom: <reason>" when a read fails (errno
// is kept for the caller's own words).
int fru_read_image(std::uint8_t *image);

// Whole reads and writes from offset 0 of a file: the count read (less at
// the file's end, -1 when a read fails), and whether every byte was written.
long fru_read_at_start(int fd, std::uint8_t *buf, std::size_t count);
bool fru_write_at_start(int fd, const std::uint8_t *buf, std::size_t count);
