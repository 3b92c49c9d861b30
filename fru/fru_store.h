// Loading the FRU EEPROM into BoardInfo and saving it back.
#pragma once

// 0 when the EEPROM was read, parsed and its values extracted; -2 otherwise.
int fru_load();
// 0 when all 4096 bytes reached the EEPROM; -1 otherwise.
[[nodiscard]] int fru_save();
