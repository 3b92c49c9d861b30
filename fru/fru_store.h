// Loading the FRU EEPROM into BoardInfo and saving it back.
#pragma once

#include <cstdint>

// The board's FRU EEPROM (bus 1, address 0x53).
inline constexpr const char *FRU_EEPROM_PATH = "/sys/bus/i2c/devices/1-0053/eeprom";

// 0 when the EEPROM was read, parsed and its values extracted; -2 otherwise.
int fru_load();
// 0 when all 4096 bytes reached the EEPROM and read back the same; -1
// otherwise, with nothing written when the last load failed, when the
// rewrite would lose an area or record the load read, or when the EEPROM
// changed since this run loaded (or last wrote) it.
[[nodiscard]] int fru_save();

// Writes a 4096-byte image to the EEPROM under an exclusive lock and reads
// it back. With expected set, the EEPROM must hold those bytes first (else
// nothing is written). 0, or -1 with one "E[FRU]: FRU: ..." line.
[[nodiscard]] int fru_write_image(const std::uint8_t *image, const std::uint8_t *expected);
