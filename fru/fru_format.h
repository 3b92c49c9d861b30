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

// Each way a parse or a save fails, one row of kFruFailures.
enum FruFailure : std::uint8_t {
    FRU_FAIL_NONE,
    FRU_FAIL_SHORT,
    FRU_FAIL_EMPTY,
    FRU_FAIL_HEADER_VERSION,
    FRU_FAIL_HEADER_CHECKSUM,
    FRU_FAIL_BOARD_VERSION,  // an area's three: version, size, checksum
    FRU_FAIL_BOARD_SIZE,
    FRU_FAIL_BOARD_CHECKSUM,
    FRU_FAIL_PRODUCT_VERSION,
    FRU_FAIL_PRODUCT_SIZE,
    FRU_FAIL_PRODUCT_CHECKSUM,
    FRU_FAIL_MREC_NO_HEADER,
    FRU_FAIL_MREC_HEADER_CHECKSUM,
    FRU_FAIL_MREC_FORMAT,
    FRU_FAIL_MREC_NO_DATA,
    FRU_FAIL_MREC_DATA_CHECKSUM,
    FRU_FAIL_SAVE_AREA_BEHIND,
    FRU_FAIL_SAVE_BOARD_INTO,
    FRU_FAIL_SAVE_PRODUCT_INTO,
    FRU_FAIL_SAVE_CHASSIS,
    FRU_FAIL_SAVE_INTERNAL,
    FRU_FAIL_SAVE_LIST_GOES_ON,
};

struct FruFailureRow {
    FruFailure code;
    std::int8_t parse;  // what fru_parse returns for it; 0 for a save refusal
    std::int8_t step;   // what its own step returns (area, record, save rules)
    const char *log;    // its line, with the step's values: an area's name or numbers;
                        // a refusal's takes the report text
    const char *report; // what the image check reports
};

inline constexpr const char *kRefusing = "E[FRU]: FRU: %s, refusing to save\n";
inline constexpr FruFailureRow kFruFailures[] = {
    {FRU_FAIL_NONE, 0, 0, "", ""},
    {FRU_FAIL_SHORT, -1, -1, "W[FRU]: FRU buffer is too short\n", "shorter than the header"},
    {FRU_FAIL_EMPTY, -2, -2, "W[FRU]: FRU: Empty EEPROM detected\n", "empty (erased)"},
    {FRU_FAIL_HEADER_VERSION, -3, -3, "W[FRU]: FRU: Header version is not valid\n",
     "version is not valid"},
    {FRU_FAIL_HEADER_CHECKSUM, -4, -4, "W[FRU]: FRU: Bad header checksum: %i\n", "bad checksum"},
    {FRU_FAIL_BOARD_VERSION, -5, -1, "W[FRU]: FRU: %s area version is not valid\n",
     "version is not valid"},
    {FRU_FAIL_BOARD_SIZE, -5, -2, "W[FRU]: FRU: %s area size mismatch\n",
     "does not fit in the image"},
    {FRU_FAIL_BOARD_CHECKSUM, -5, -3, "W[FRU]: FRU: Bad board area checksum [0-%i]: %i\n",
     "bad checksum"},
    {FRU_FAIL_PRODUCT_VERSION, -6, -1, "W[FRU]: FRU: %s area version is not valid\n",
     "version is not valid"},
    {FRU_FAIL_PRODUCT_SIZE, -6, -2, "W[FRU]: FRU: %s area size mismatch\n",
     "does not fit in the image"},
    {FRU_FAIL_PRODUCT_CHECKSUM, -6, -3, "W[FRU]: FRU: Bad product area checksum\n",
     "bad checksum"},
    {FRU_FAIL_MREC_NO_HEADER, -7, -4,
     "W[FRU]: FRU: no space in multirecord buffer, failed to parse header\n",
     "header does not fit in the image"},
    {FRU_FAIL_MREC_HEADER_CHECKSUM, -7, -1, "W[FRU]: FRU: multirecord header checksum is invalid\n",
     "header checksum is invalid"},
    {FRU_FAIL_MREC_FORMAT, -7, -2, "W[FRU]: FRU: multirecord format is unknown [%i]\n",
     "format is not 2"},
    {FRU_FAIL_MREC_NO_DATA, -7, -5,
     "W[FRU]: FRU: no space in multirecord buffer, failed check data\n",
     "data does not fit in the image"},
    {FRU_FAIL_MREC_DATA_CHECKSUM, -7, -3,
     "W[FRU]: FRU: multirecord data checksum is invalid [0x%02x]\n", "data checksum is invalid"},
    {FRU_FAIL_SAVE_AREA_BEHIND, 0, -1, kRefusing, "info area behind multirecord area"},
    {FRU_FAIL_SAVE_BOARD_INTO, 0, -2, kRefusing, "board area reaches into multirecord area"},
    {FRU_FAIL_SAVE_PRODUCT_INTO, 0, -3, kRefusing, "product area reaches into multirecord area"},
    {FRU_FAIL_SAVE_CHASSIS, 0, -4, kRefusing, "chassis area would be overwritten"},
    {FRU_FAIL_SAVE_INTERNAL, 0, -5, kRefusing, "internal use area behind multirecord area"},
    {FRU_FAIL_SAVE_LIST_GOES_ON, 0, -6, kRefusing, "more than 8 multirecords"},
};
static_assert([] {
    int i = 0;
    for (const FruFailureRow &row : kFruFailures)
        if (row.code != i++) return false;
    return true;
}(), "a row's code is its place in the table");

// Whether the image parses: 0, or the row's parse value (-1..-4 the header,
// -5 the board area, -6 the product area, -7 a record), with why set to the
// row when given. info keeps what was filled before the failing step.
// Table entries point into image.
int fru_parse(BoardInfo *info, const std::uint8_t *image, std::size_t length,
              FruFailure *why = nullptr);

// space: image bytes from the area start to the image end. 0, or -1 bad
// version, -2 does not fit, -3 bad checksum.
int fru_parse_board_area(BoardInfo *info, const std::uint8_t *area, std::size_t space);
int fru_parse_product_area(BoardInfo *info, const std::uint8_t *area, std::size_t space);

// Reads the type/length field at position into the 32-byte text (zeroed
// first; the length byte is taken whole, the text capped at 31); returns
// the next field's position.
std::size_t fru_read_field(const std::uint8_t *area, std::size_t position, char text[32],
                           std::int32_t *length);

// Size of the record (5 + data length), or its failure's step value.
int fru_parse_mrec(MultiRecord *entry, const std::uint8_t *record, std::size_t space);

// Writes one record; its size, or -1 unless strictly more than that fits.
int fru_pack_mrec(std::uint8_t *dest, std::size_t space, std::uint8_t type, bool last,
                  const std::uint8_t *data, std::uint8_t length);

// Writes the whole table in order, the last flagged end of list. 0 or -1.
int fru_pack_mrec_area(const BoardInfo *info, std::uint8_t *dest, std::size_t space);

inline constexpr int FRU_SAVE_OK = 0;

// A save keeps the image's bytes in front of the multirecord area and
// rewrites the area from info's table: FRU_SAVE_OK when that keeps every
// area and record the parse read; otherwise the refusal's line, its step
// value, and why set to it when given.
int fru_check_save(const BoardInfo *info, const std::uint8_t *image, FruFailure *why = nullptr);

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
