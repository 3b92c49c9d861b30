// Loading the FRU EEPROM into BoardInfo and saving it back.
#pragma once

#include <cstddef>
#include <cstdint>

// The board's FRU EEPROM (bus 1, address 0x53).
inline constexpr const char *FRU_EEPROM_PATH = "/sys/bus/i2c/devices/1-0053/eeprom";

// 0 when the EEPROM was read, parsed and its values extracted; -2 otherwise.
int fru_load();
// Whether the last load succeeded: the records hold the board's values.
bool fru_loaded();
// 0 when all 4096 bytes reached the EEPROM and read back the same; -1
// otherwise, with nothing written when the last load failed, when the
// rewrite would lose an area or record the load read, or when the EEPROM
// changed since this run loaded (or last wrote) it. A write that fails
// after it began is undone as fru_write_image says.
[[nodiscard]] int fru_save();
// Whether fru_save would write bytes other than those the EEPROM is known
// to hold (true as well when it would refuse).
bool fru_save_would_change();

// Writes a 4096-byte image to the EEPROM under an exclusive lock and reads
// it back. With expected set, the EEPROM must hold those bytes first (else
// nothing is written). 0, or -1 with its "E[FRU]: FRU: ..." lines. When the
// write or its read-back fails ("verify after write failed"), the image the
// EEPROM held under the lock is written back once and read back: then
// "eeprom restored to its previous content", or "eeprom may be damaged,
// restore a backup" when that fails too (or the EEPROM held less than 4096
// bytes to put back).
[[nodiscard]] int fru_write_image(const std::uint8_t *image, const std::uint8_t *expected);

// Reads the EEPROM's first 4096 bytes into image under a shared lock (a
// writer's image is never read half done): the count read, or -1 with
// "E[FRU]: FRU: failed to open eeprom" when it cannot be opened.
int fru_read_image(std::uint8_t *image);

// Whole reads and writes from offset 0 of a file: the count read (less at
// the file's end), and whether every byte was written.
std::size_t fru_read_at_start(int fd, std::uint8_t *buf, std::size_t count);
bool fru_write_at_start(int fd, const std::uint8_t *buf, std::size_t count);
