// The FRU image: parse a 4096-byte image into BoardInfo, pack the
// multirecord table back, and the 8-bit zero checksum both use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "fru/board_info.h"

inline constexpr int FRU_IMAGE_SIZE = 4096;

// 8-bit sum of count bytes (0 for none).
std::uint8_t fru_checksum(const std::uint8_t *bytes, std::size_t count);

// What fru_parse returns.
enum FruParseResult {
    FRU_PARSE_OK = 0,
    FRU_PARSE_SHORT = -1,            // buffer shorter than the header
    FRU_PARSE_EMPTY = -2,            // erased EEPROM
    FRU_PARSE_HEADER_VERSION = -3,
    FRU_PARSE_HEADER_CHECKSUM = -4,
    FRU_PARSE_BOARD_AREA = -5,
    FRU_PARSE_PRODUCT_AREA = -6,
    FRU_PARSE_MREC = -7,             // a multirecord
};

// What the area parses return.
enum FruAreaResult {
    FRU_AREA_OK = 0,
    FRU_AREA_VERSION = -1,
    FRU_AREA_SIZE = -2,              // does not fit in the image
    FRU_AREA_CHECKSUM = -3,
};

// What fru_parse_mrec returns when it fails (otherwise the record's size).
enum FruMrecResult {
    FRU_MREC_HEADER_CHECKSUM = -1,
    FRU_MREC_FORMAT = -2,            // format is not 2
    FRU_MREC_DATA_CHECKSUM = -3,
    FRU_MREC_NO_HEADER = -4,         // no room for the header
    FRU_MREC_NO_DATA = -5,           // no room for the data
};

// A FruParseResult. info keeps what was filled before the failing step.
// Table entries point into image.
int fru_parse(BoardInfo *info, const std::uint8_t *image, std::size_t length);

// space: image bytes from the area start to the image end. A FruAreaResult.
int fru_parse_board_area(BoardInfo *info, const std::uint8_t *area, std::size_t space);
int fru_parse_product_area(BoardInfo *info, const std::uint8_t *area, std::size_t space);

// Reads the type/length field at position into the 32-byte text (zeroed
// first; the length byte is taken whole, the text capped at 31); returns
// the next field's position.
std::size_t fru_read_field(const std::uint8_t *area, std::size_t position, char text[32],
                           std::int32_t *length);

// Size of the record (5 + data length), or a FruMrecResult.
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

// Packs a board or product info area: version 1, its length, head (the
// language, and a board's date), each field with its length as the
// type/length byte, the end-of-fields byte 0xC1, zeros up to whole 8-byte
// units and the zero checksum last. Its size, or -1 when a field is longer
// than 63 bytes or the area does not fit space.
int fru_pack_info_area(std::uint8_t *dest, std::size_t space, std::span<const std::uint8_t> head,
                       std::span<const std::string_view> fields);
