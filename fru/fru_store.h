// Loading the FRU EEPROM into BoardInfo and saving it back.
#pragma once

// The board's FRU EEPROM (bus 1, address 0x53).
inline constexpr const char *FRU_EEPROM_PATH = "/sys/bus/i2c/devices/1-0053/eeprom";

// 0 when the EEPROM was read, parsed and its values extracted; -2 otherwise.
int fru_load();
// 0 when all 4096 bytes reached the EEPROM and read back the same; -1
// otherwise (also when the last load failed: nothing is then written).
[[nodiscard]] int fru_save();
