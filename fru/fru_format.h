// The FRU image: parse a 4096-byte image into BoardInfo, pack the
// multirecord table back, and the 8-bit zero checksum both use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fru/board_info.h"

inline constexpr int FRU_IMAGE_SIZE = 4096;

// 8-bit sum of count bytes (0 for none).
std::uint8_t fru_checksum(const std::uint8_t *bytes, std::size_t count);

// 0, or -1 short buffer, -2 empty (erased), -3 header version, -4 header
// checksum, -5 board area, -6 product area, -7 a multirecord. info keeps
// what was filled before the failing step. Table entries point into image.
int fru_parse(BoardInfo *info, const std::uint8_t *image, std::size_t length);

// space: image bytes from the area start to the image end.
// 0, -1 bad version, -2 does not fit, -3 bad checksum.
int fru_parse_board_area(BoardInfo *info, const std::uint8_t *area, std::size_t space);
int fru_parse_product_area(BoardInfo *info, const std::uint8_t *area, std::size_t space);

// Reads the type/length field at position into the 32-byte text (zeroed
// first; the length byte is taken whole, the text capped at 31); returns
// the next field's position.
std::size_t fru_read_field(const std::uint8_t *area, std::size_t position, char text[32],
                           std::int32_t *length);

// Size of the record (5 + data length), or -4 no room for the header,
// -1 header checksum, -2 format not 2, -5 no room for the data, -3 data checksum.
int fru_parse_mrec(MultiRecord *entry, const std::uint8_t *record, std::size_t space);

// Writes one record; its size, or -1 unless strictly more than that fits.
int fru_pack_mrec(std::uint8_t *dest, std::size_t space, std::uint8_t type, bool last,
                  const std::uint8_t *data, std::uint8_t length);

// Writes the whole table in order, the last flagged end of list. 0 or -1.
int fru_pack_mrec_area(const BoardInfo *info, std::uint8_t *dest, std::size_t space);

// Why a save of info over the image it was parsed from would lose bytes.
enum FruSaveRefusal {
    FRU_SAVE_OK = 0,
    FRU_SAVE_AREA_BEHIND = -1,       // board or product area at or behind the records
    FRU_SAVE_BOARD_INTO = -2,        // board area reaches into the records
    FRU_SAVE_PRODUCT_INTO = -3,      // product area likewise
    FRU_SAVE_CHASSIS = -4,           // chassis area at or behind, or reaching into, them
    FRU_SAVE_INTERNAL = -5,          // internal use area at or behind them
    FRU_SAVE_LIST_GOES_ON = -6,      // eight records and the eighth does not end the list
};

// A save keeps the image's bytes in front of the multirecord area and
// rewrites the area from info's table: 0 when that keeps every area and
// record the parse read; otherwise one "E[FRU]: FRU: ..." line and the reason.
int fru_check_save(const BoardInfo *info, const std::uint8_t *image);
// The reason of a refusal code, as that line gives it ("" for none).
const char *fru_save_refusal_text(int code);

// The image a save writes: image's bytes in front of the multirecord area,
// info's table packed there, zeros behind. 0, or -1 when the table does not fit.
int fru_build_image(const BoardInfo *info, const std::uint8_t *image, std::uint8_t *out);
