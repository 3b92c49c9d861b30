#include "fru/board_info.h"

#include <cstring>

#include "fru/fru_log.h"

BoardInfo board_info;

namespace {

// Bit id - 0xC0 for each setting whose last setter call failed.
std::uint8_t unstored = 0;

void note_result(std::uint8_t id, bool stored) {
    auto bit = static_cast<std::uint8_t>(1u << ((id - MREC_MAC) & 7));
    unstored = static_cast<std::uint8_t>(stored ? unstored & ~bit : unstored | bit);
}


// Copies the first n value bytes of a record; bytes the record does not
// have read as 0, so a short record never reaches into its neighbour. After
// a setter the record's data is the field itself: copied out first.
void take(const MultiRecord &e, void *dest, std::size_t n) {
    std::uint8_t value[256];
    std::size_t have = e.length > 0 ? static_cast<std::size_t>(e.length) : 0;
    if (have > n) have = n;
    if (have > sizeof value) have = sizeof value;
    if (e.data == nullptr) have = 0;
    if (have > 0) std::memcpy(value, e.data, have);
    std::memset(dest, 0, n);
    if (have > 0) std::memcpy(dest, value, have);
}

void log_mac(const char *which, const std::uint8_t *m) {
    fru_diag("FRU: found %s mrec [%02x %02x %02x %02x %02x %02x]\n", which, m[0], m[1], m[2], m[3],
             m[4], m[5]);
}

// Which lines a setter logs: the check alone (the power state), the
// check, found and create lines, or those with the value (the power policy).
enum SetterLog { LOG_CHECK, LOG_LINES, LOG_VALUE };

// Points every entry of the id at the value (what is read back is the
// last of them, so all must carry it), or appends one. name is what the
// lines call the record, in lower case: the lines that start with it
// capitalise its first letter.
int find_update_or_create(BoardInfo *info, std::uint8_t id, const std::uint8_t *value,
                          std::int32_t n, const char *name, SetterLog log) {
    const int initial = name[0] - 'a' + 'A';
    fru_log("L[FRU]: Checking if %s mrec already exists\n", name);
    if (log == LOG_VALUE) fru_log("L[FRU]: %c%s value: %i\n", initial, name + 1, value[0]);
    std::uint32_t count = info->mrec_count < FRU_MREC_MAX ? info->mrec_count : FRU_MREC_MAX;
    bool found = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        MultiRecord &e = info->mrecs[i];
        if (e.type != id) continue;
        found = true;
        e.data = value;
        e.length = n;
    }
    note_result(id, found || count < FRU_MREC_MAX);
    if (found) {
        if (log != LOG_CHECK) fru_log("L[FRU]: Found %s mrec, updating\n", name);
        if (log == LOG_VALUE) fru_log("L[FRU]: Updating data: %02x\n", value[0]);
        return 0;
    }
    if (count >= FRU_MREC_MAX) {
        fru_log("W[FRU]: FRU: multirecord table is full\n");
        return -2;
    }
    if (log != LOG_CHECK)
        fru_log("L[FRU]: %c%s mrec not found, creating mrec %i\n", initial, name + 1,
                static_cast<int>(count));
    if (log == LOG_VALUE) fru_log("L[FRU]: Setting data: %02x\n", value[0]);
    MultiRecord &e = info->mrecs[count];
    e.type = id;
    e.format = 2;
    e.end_of_list = 1;
    e.length = n;
    e.data = value;
    info->mrec_count = count + 1;
    return -1;
}

std::int32_t store_text(char *field, std::size_t size, const char *text) {
    std::memset(field, 0, size);
    std::size_t n = text != nullptr ? strnlen(text, size) : 0;
    if (n > 0) std::memcpy(field, text, n);
    return static_cast<std::int32_t>(n);
}

// MAC records longer than the 6-byte field, per table slot, once set.
std::uint8_t long_macs[FRU_MREC_MAX][255];

const std::uint8_t *bytes(const void *p) { return static_cast<const std::uint8_t *>(p); }

}  // namespace

void fru_extract_values() {
    BoardInfo &b = board_info;
    std::uint32_t count = b.mrec_count < FRU_MREC_MAX ? b.mrec_count : FRU_MREC_MAX;
    for (std::uint32_t i = 0; i < count; ++i) {
        const MultiRecord &e = b.mrecs[i];
        const FruRecord *r = fru_record(e.type);
        if (r == nullptr || r->kind == FRU_VALUE_FLAG) continue;
        std::uint8_t *v = fru_record_value(&b, *r);
        take(e, v, r->size);
        switch (r->kind) {
        case FRU_VALUE_MAC: log_mac(r->found, v); break;
        case FRU_VALUE_TEXT:
            fru_diag("FRU: found %s [%.*s]\n", r->found, static_cast<int>(r->size),
                     reinterpret_cast<const char *>(v));
            break;
        default: fru_diag("FRU: found %s record [0x%02x]\n", r->found, v[0]); break;
        }
    }
}

int fru_set_mac(BoardInfo *info, const std::uint8_t value[6], int index) {
    const FruRecord *row = nullptr;
    for (const FruRecord &r : kFruRecords)
        if (r.kind == FRU_VALUE_MAC && r.mac_index == index) row = &r;
    if (row == nullptr) return -1;
    std::uint8_t *field = fru_record_value(info, *row);
    std::memcpy(field, value, 6);
    std::uint32_t count = info->mrec_count < FRU_MREC_MAX ? info->mrec_count : FRU_MREC_MAX;
    int r = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        MultiRecord &e = info->mrecs[i];
        if (e.type != row->id) continue;
        r = 0;
        if (e.length > 6) {
            // A longer record keeps its length and the bytes behind the
            // address: the new address goes in front of a copy of them.
            std::uint8_t *copy = long_macs[i];
            if (e.data != copy) std::memcpy(copy, e.data, static_cast<std::size_t>(e.length));
            std::memcpy(copy, value, 6);
            e.data = copy;
            continue;
        }
        // A shorter one becomes the 6 bytes of the field.
        e.data = field;
        e.length = 6;
    }
    note_result(row->id, r == 0);
    return r;
}

std::uint8_t fru_unstored_settings() { return unstored; }

int fru_set_bootdev(BoardInfo *info, const char *text) {
    std::int32_t n = store_text(info->bootdevice, sizeof info->bootdevice, text);
    return find_update_or_create(info, MREC_BOOTDEV, bytes(info->bootdevice), n, "bootdev",
                                 LOG_LINES);
}

int fru_set_passwd_line(BoardInfo *info, const char *text) {
    std::int32_t n = store_text(info->passwd_line, sizeof info->passwd_line, text);
    return find_update_or_create(info, MREC_PASSWD_LINE, bytes(info->passwd_line), n, "passwd line",
                                 LOG_LINES);
}

int fru_set_test_ok(BoardInfo *info, std::uint8_t value) {
    info->test_ok = value;
    return find_update_or_create(info, MREC_TEST_OK, &info->test_ok, 1, "test ok", LOG_LINES);
}

int fru_set_power_policy(BoardInfo *info, std::uint8_t value) {
    info->power_policy = value;
    return find_update_or_create(info, MREC_POWER_POLICY, &info->power_policy, 1, "power policy",
                                 LOG_VALUE);
}

int fru_set_power_state(BoardInfo *info) {
    info->power_state = 1;
    return find_update_or_create(info, MREC_POWER_STATE, &info->power_state, 1, "power state",
                                 LOG_CHECK);
}
