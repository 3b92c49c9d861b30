#include "fru/board_info.h"

#include <cstring>

#include "fru/fru_log.h"

BoardInfo board_info;

namespace {

// By row: whether its last setter call failed.
bool unstored[FRU_RECORD_COUNT];

void note_result(const FruRecord &r, bool stored) { unstored[&r - kFruRecords] = !stored; }

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

// Points every entry of the id at the value (what is read back is the
// last of them, so all must carry it), or appends one. The lines that
// start with the row's name capitalise its first letter.
int find_update_or_create(BoardInfo *info, const FruRecord &r, std::int32_t n) {
    const std::uint8_t *value = fru_record_value(info, r);
    const char *name = r.name;
    const FruSetterLog log = r.lines;
    const int initial = name[0] - 'a' + 'A';
    fru_log("L[FRU]: Checking if %s mrec already exists\n", name);
    if (log == FRU_LOG_VALUE) fru_log("L[FRU]: %c%s value: %i\n", initial, name + 1, value[0]);
    std::uint32_t count = info->mrec_count < FRU_MREC_MAX ? info->mrec_count : FRU_MREC_MAX;
    bool found = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        MultiRecord &e = info->mrecs[i];
        if (e.type != r.id) continue;
        found = true;
        e.data = value;
        e.length = n;
    }
    note_result(r, found || count < FRU_MREC_MAX);
    if (found) {
        if (log != FRU_LOG_CHECK) fru_log("L[FRU]: Found %s mrec, updating\n", name);
        if (log == FRU_LOG_VALUE) fru_log("L[FRU]: Updating data: %02x\n", value[0]);
        return 0;
    }
    if (count >= FRU_MREC_MAX) {
        fru_log("W[FRU]: FRU: multirecord table is full\n");
        return -2;
    }
    if (log != FRU_LOG_CHECK)
        fru_log("L[FRU]: %c%s mrec not found, creating mrec %i\n", initial, name + 1,
                static_cast<int>(count));
    if (log == FRU_LOG_VALUE) fru_log("L[FRU]: Setting data: %02x\n", value[0]);
    MultiRecord &e = info->mrecs[count];
    e.type = r.id;
    e.format = 2;
    e.end_of_list = 1;
    e.length = n;
    e.data = value;
    info->mrec_count = count + 1;
    return -1;
}

// MAC records longer than the 6-byte field, per table slot, once set.
std::uint8_t long_macs[FRU_MREC_MAX][255];

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

int fru_set_record_mac(BoardInfo *info, const FruRecord &row, const std::uint8_t value[6]) {
    std::uint8_t *field = fru_record_value(info, row);
    std::memcpy(field, value, 6);
    std::uint32_t count = info->mrec_count < FRU_MREC_MAX ? info->mrec_count : FRU_MREC_MAX;
    int r = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        MultiRecord &e = info->mrecs[i];
        if (e.type != row.id) continue;
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
    note_result(row, r == 0);
    return r;
}

int fru_set_record_text(BoardInfo *info, const FruRecord &r, const char *text) {
    char *field = reinterpret_cast<char *>(fru_record_value(info, r));
    std::memset(field, 0, r.size);
    std::size_t n = text != nullptr ? strnlen(text, r.size) : 0;
    if (n > 0) std::memcpy(field, text, n);
    return find_update_or_create(info, r, static_cast<std::int32_t>(n));
}

int fru_set_record_byte(BoardInfo *info, const FruRecord &r, std::uint8_t value) {
    *fru_record_value(info, r) = value;
    return find_update_or_create(info, r, 1);
}

bool fru_record_unstored(const FruRecord &r) { return unstored[&r - kFruRecords]; }

int fru_set_mac(BoardInfo *info, const std::uint8_t value[6], int index) {
    for (const FruRecord &r : kFruRecords)
        if (r.kind == FRU_VALUE_MAC && index-- == 0) return fru_set_record_mac(info, r, value);
    return -1;
}

int fru_set_bootdev(BoardInfo *info, const char *text) {
    return fru_set_record_text(info, *fru_record(MREC_BOOTDEV), text);
}

int fru_set_passwd_line(BoardInfo *info, const char *text) {
    return fru_set_record_text(info, *fru_record(MREC_PASSWD_LINE), text);
}

int fru_set_test_ok(BoardInfo *info, std::uint8_t value) {
    return fru_set_record_byte(info, *fru_record(MREC_TEST_OK), value);
}

int fru_set_power_policy(BoardInfo *info, std::uint8_t value) {
    return fru_set_record_byte(info, *fru_record(MREC_POWER_POLICY), value);
}

int fru_set_power_state(BoardInfo *info) {
    return fru_set_record_byte(info, *fru_record(MREC_POWER_STATE), 1);
}
