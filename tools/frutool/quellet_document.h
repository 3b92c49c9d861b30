// The board as a document: the keys quellet's JSON has, and reading such a
// document back (for --build and --apply) with every value checked.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "fru/board_info.h"

// The area texts, in display order (also the JSON's).
struct QuelletText {
    const char *name;
    FruString BoardInfo::*field;
};
inline constexpr QuelletText kQuelletTexts[] = {
    {"b_mfg_name", &BoardInfo::b_mfg_name},
    {"b_product_name", &BoardInfo::b_product_name},
    {"b_serial_number", &BoardInfo::b_serial_number},
    {"b_part_number", &BoardInfo::b_part_number},
    {"b_fru_id", &BoardInfo::b_fru_id},
    {"p_product_mfg", &BoardInfo::p_product_mfg},
    {"p_product_name", &BoardInfo::p_product_name},
    {"p_part_model_number", &BoardInfo::p_part_model_number},
    {"p_product_version", &BoardInfo::p_product_version},
    {"p_serial_number", &BoardInfo::p_serial_number},
    {"p_fru_id", &BoardInfo::p_fru_id},
};
inline constexpr int QUELLET_TEXT_COUNT = 11;
inline constexpr int QUELLET_RECORD_COUNT = static_cast<int>(std::size(kFruRecords));

// First and last minute the board area's 3-byte date can hold (minute 0 is
// IPMI's "unspecified", which the JSON gives as null).
inline constexpr std::uint32_t QUELLET_DATE_MAX = 0xFFFFFF;

// What a document gives; a key that is missing or null is not given.
struct QuelletDoc {
    bool text_given[QUELLET_TEXT_COUNT];
    std::string_view text[QUELLET_TEXT_COUNT];  // the bytes as given, any length
    bool date_given;
    std::uint32_t date_minutes;  // 1..QUELLET_DATE_MAX
    // By the row of kFruRecords; only rows with a JSON key are ever given.
    bool record_given[QUELLET_RECORD_COUNT];
    std::uint8_t mac[QUELLET_RECORD_COUNT][6];
    std::uint8_t number[QUELLET_RECORD_COUNT];
    std::string_view bootdevice;  // at most 32 bytes, no NUL
};

// What reading a document ends with; a negative value is -s's status for
// that kind of value.
enum : int {
    QUELLET_DOC_OK = 0,
    QUELLET_DOC_SYNTAX = 1,       // not JSON, an unknown key or format
    QUELLET_DOC_BAD_MAC = -5,
    QUELLET_DOC_BAD_VALUE = -6,   // a number, text or date that is not one
};

// Reads the document text into doc, which points into this module's pool
// until the next call (never into text). Each refusal is one
// "E[QUELLET]: ..." line to log (null: quiet) naming the key, or the line
// and column of a syntax error. Texts are not checked here: --build and
// --apply take them differently.
int quellet_read_document(std::string_view text, QuelletDoc *doc, std::FILE *log);

// "YYYY-MM-DD HH:MM" (UTC) as minutes since 1996-01-01 00:00, or 0 when the
// text is not such a date or lies outside 1..QUELLET_DATE_MAX; and back.
std::uint32_t quellet_date_minutes(std::string_view text);
void quellet_date_text(std::uint32_t minutes, char out[17]);
