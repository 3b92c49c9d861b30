// The board's record set: identity texts, settings and the multirecord
// table that a save writes back. One instance per program.
#pragma once

#include <cstddef>
#include <cstdint>

// Board's own multirecord type ids.
enum : std::uint8_t {
    MREC_MAC = 0xC0,
    MREC_BOOTDEV = 0xC1,
    MREC_PASSWD_LINE = 0xC2,
    MREC_TEST_OK = 0xC3,
    MREC_POWER_POLICY = 0xC4,
    MREC_POWER_STATE = 0xC5,
    MREC_MAC2 = 0xC6,
    MREC_MAC3 = 0xC7,
};

inline constexpr int FRU_MREC_MAX = 8;

// One area field: its (capped) length and NUL-terminated text.
struct FruString {
    std::int32_t length;  // 0..31
    char text[32];
};

// One multirecord table entry. data points into the loaded image or,
// after a setter, at the BoardInfo field that holds the value.
struct MultiRecord {
    std::uint8_t type;
    std::uint8_t format;  // record format version, 2
    std::uint8_t end_of_list;
    std::int32_t length;  // 0..255
    const std::uint8_t *data;
};

struct BoardInfo {
    std::uint8_t mac[6];
    std::uint8_t mac2[6];
    std::uint8_t mac3[6];
    std::uint8_t *mac_list[3];  // mac, mac2, mac3; set at each load
    std::uint8_t b_mfg_date[3];
    char bootdevice[32];     // not terminated when all 32 bytes are used
    char passwd_line[128];   // likewise
    std::uint8_t power_policy;
    std::uint8_t power_state;
    std::uint8_t test_ok;    // 1 passed, 2 failed, else unknown
    std::int32_t board_offset;
    std::int32_t product_offset;
    std::int32_t mrec_offset;
    FruString b_mfg_name;
    FruString b_product_name;
    FruString b_serial_number;
    FruString b_part_number;
    FruString b_fru_id;
    FruString p_product_mfg;
    FruString p_product_name;
    FruString p_part_model_number;
    FruString p_product_version;
    FruString p_serial_number;
    FruString p_fru_id;
    MultiRecord mrecs[FRU_MREC_MAX];
    std::uint32_t mrec_count;  // 0..8
};

// The program's one record set, filled by fru_load.
extern BoardInfo board_info;

// Fills the value fields of board_info from its table after a good parse.
void fru_extract_values();

// How a record's value is kept, read, printed and set.
enum FruValueKind : std::uint8_t {
    FRU_VALUE_MAC,     // 6 bytes, "xx:xx:xx:xx:xx:xx"; a record is never created for it
    FRU_VALUE_TEXT,    // bytes up to the field's size, printed to the first NUL
    FRU_VALUE_NUMBER,  // one byte, printed as a decimal number
    FRU_VALUE_FLAG,    // one byte set to 1 by the console only, never read back
};

// Which lines a byte or text setter logs: the check alone, the check, found
// and create lines, or those with the value.
enum FruSetterLog : std::uint8_t { FRU_LOG_CHECK, FRU_LOG_LINES, FRU_LOG_VALUE };

// One of the board's own records. The table below is the one place that
// knows the ids: a new record is a new row (and its BoardInfo field).
struct FruRecord {
    std::uint8_t id;
    FruValueKind kind;
    FruSetterLog lines;
    std::uint16_t offset;    // the value in BoardInfo
    std::uint16_t size;
    const char *key;         // quellet's JSON key; null: not in the JSON
    const char *found;       // what the load's diagnostic line calls it
    const char *setting;     // what the console's log calls it
    const char *number;      // a number quellet could not read: "%s format not recognized"
    const char *name;        // what the setter's lines call it, in lower case
};

// In the order quellet's JSON gives them; the MACs in index order.
inline constexpr FruRecord kFruRecords[] = {
    {MREC_MAC, FRU_VALUE_MAC, FRU_LOG_LINES, offsetof(BoardInfo, mac), 6, "mac", "MAC",
     "MAC address", nullptr, nullptr},
    {MREC_MAC2, FRU_VALUE_MAC, FRU_LOG_LINES, offsetof(BoardInfo, mac2), 6, "mac2", "MAC2",
     "record", nullptr, nullptr},
    {MREC_MAC3, FRU_VALUE_MAC, FRU_LOG_LINES, offsetof(BoardInfo, mac3), 6, "mac3", "MAC3",
     "record", nullptr, nullptr},
    {MREC_BOOTDEV, FRU_VALUE_TEXT, FRU_LOG_LINES, offsetof(BoardInfo, bootdevice), 32,
     "bootdevice", "SATA boot device", "boot device", nullptr, "bootdev"},
    {MREC_PASSWD_LINE, FRU_VALUE_TEXT, FRU_LOG_LINES, offsetof(BoardInfo, passwd_line), 128,
     nullptr, "passwd line", "record", nullptr, "passwd line"},
    {MREC_TEST_OK, FRU_VALUE_NUMBER, FRU_LOG_LINES, offsetof(BoardInfo, test_ok), 1, "test_ok",
     "test ok", "record", "Test state", "test ok"},
    {MREC_POWER_POLICY, FRU_VALUE_NUMBER, FRU_LOG_VALUE, offsetof(BoardInfo, power_policy), 1,
     "power_policy", "power policy", "power policy", "Power policy", "power policy"},
    {MREC_POWER_STATE, FRU_VALUE_FLAG, FRU_LOG_CHECK, offsetof(BoardInfo, power_state), 1,
     nullptr, nullptr, "power state", nullptr, "power state"},
};
inline constexpr int FRU_RECORD_COUNT = static_cast<int>(sizeof kFruRecords / sizeof kFruRecords[0]);

// The row of id, or null for an id the board does not use.
constexpr const FruRecord *fru_record(unsigned long id) {
    for (const FruRecord &r : kFruRecords)
        if (r.id == id) return &r;
    return nullptr;
}

// Where the row's value lives in info.
inline std::uint8_t *fru_record_value(BoardInfo *info, const FruRecord &r) {
    return reinterpret_cast<std::uint8_t *>(info) + r.offset;
}
inline const std::uint8_t *fru_record_value(const BoardInfo *info, const FruRecord &r) {
    return reinterpret_cast<const std::uint8_t *>(info) + r.offset;
}

// The setters, one per kind; each stores the value in the row's field first.
// A MAC: 0 when every record of the id now carries it (one longer than 6
// bytes keeps its length and its bytes behind the address), -1 when there
// is none (no record is created).
int fru_set_record_mac(BoardInfo *info, const FruRecord &r, const std::uint8_t value[6]);
// A text (at most the field's size of it) or a byte: 0 when the existing
// records of the id were updated (all of them), -1 when one was created,
// -2 when one had to be created but the table is full (nothing changed but
// the value).
int fru_set_record_text(BoardInfo *info, const FruRecord &r, const char *text);
int fru_set_record_byte(BoardInfo *info, const FruRecord &r, std::uint8_t value);

// By name, over the row-driven setters. index 0..2 selects mac/mac2/mac3
// (ids 0xC0, 0xC6, 0xC7); -1 as well for an index out of range.
int fru_set_mac(BoardInfo *info, const std::uint8_t value[6], int index);
int fru_set_bootdev(BoardInfo *info, const char *text);
int fru_set_passwd_line(BoardInfo *info, const char *text);
int fru_set_test_ok(BoardInfo *info, std::uint8_t value);
int fru_set_power_policy(BoardInfo *info, std::uint8_t value);
int fru_set_power_state(BoardInfo *info);

// Whether the row's last setter call could not store its value (a MAC with
// no record, a record that did not fit the full table).
bool fru_record_unstored(const FruRecord &r);
