// A complete image in the board's layout from a document, for a blank or
// corrupt EEPROM (quellet --build).
#pragma once

#include <cstdint>
#include <cstdio>

#include "tools/frutool/quellet_document.h"

// Checks the texts (at most 31 bytes of printable ASCII each; a text not
// given is empty) and builds the 4096 bytes: header, board area, product
// area, then the records given in kFruRecords order, the last one ending the
// list, zeros behind. 0; QUELLET_DOC_BAD_VALUE for a text, told to log (null:
// quiet) with its key; -1 when no record is given or the image does not
// fit, told too.
int quellet_build_image(const QuelletDoc &doc, std::uint8_t *image, std::FILE *log);
