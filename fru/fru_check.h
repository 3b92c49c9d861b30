// Checks a FRU image part by part, the way a load and a save take it: for a
// backup before it is restored, and for an EEPROM that will not load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum : int {
    FRU_CHECK_OK = 0,        // loads, and a save is allowed
    FRU_CHECK_NO_LOAD = -1,  // the header, an area or a record fails the parse
    FRU_CHECK_NO_SAVE = -2,  // loads, but a save would be refused
};

// image: 4096 bytes, zero-filled behind the size bytes its source held (a
// save needs exactly 4096). Writes one line a part to out ("header: ",
// "board area: ", "product area: ", "records: ", "save: " and what was
// found), nothing when out is null. The parse and the save rules log their
// own lines too: silence the FRU log first for the report alone.
int fru_check_image(const std::uint8_t *image, std::size_t size, std::FILE *out);
