#include "fru/board_info.h"

BoardInfo board_info;

// Placeholder bodies; the records land with the FRU storage.
void fru_extract_values() {}
int fru_set_mac(BoardInfo *, const std::uint8_t[6], int) { return -1; }
int fru_set_bootdev(BoardInfo *, const char *) { return -1; }
int fru_set_passwd_line(BoardInfo *, const char *) { return -1; }
int fru_set_test_ok(BoardInfo *, std::uint8_t) { return -1; }
int fru_set_power_policy(BoardInfo *, std::uint8_t) { return -1; }
int fru_set_power_state(BoardInfo *) { return -1; }
