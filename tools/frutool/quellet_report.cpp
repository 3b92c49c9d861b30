#include "tools/frutool/quellet_report.h"

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "fru/board_info.h"
#include "fru/fru_format.h"
#include "tools/frutool/quellet_document.h"

namespace {

// Up to max bytes of s, to its first NUL as "-r" and "-g" print it: quotes,
// backslashes, control characters and bytes above 126 escaped, so any byte
// of the EEPROM is valid JSON.
void json_string(const char *s, std::size_t max) {
    std::fputc('"', stdout);
    for (std::size_t i = 0; i < max && s[i] != '\0'; ++i) {
        unsigned c = static_cast<unsigned char>(s[i]);
        std::printf(c < 0x20 || c > 0x7e ? "\\u%04x" : c == '"' || c == '\\' ? "\\%c" : "%c", c);
    }
    std::fputc('"', stdout);
}

const char *sep;

void key(const char *name) {
    std::printf("%s\"%s\": ", sep, name);
    sep = ", ";
}

// The first entry of the id in the table, or null when it has none.
const MultiRecord *record_of(const BoardInfo &b, std::uint8_t id) {
    for (std::uint32_t i = 0; i < b.mrec_count; ++i)
        if (b.mrecs[i].type == id) return &b.mrecs[i];
    return nullptr;
}

}  // namespace

void quellet_mac_text(const std::uint8_t m[6], char out[18]) {
    std::snprintf(out, 18, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
}

void quellet_display() {
    constexpr std::size_t max = sizeof(FruString::text);
    char shown[4 * max + 1];
    for (const QuelletText &t : kQuelletTexts) {
        const char *text = (board_info.*t.field).text;
        board::show_text({text, strnlen(text, max)}, shown, sizeof shown);
        std::printf("%s, %s\n", t.name, shown);
    }
}

void quellet_json() {
    const BoardInfo &b = board_info;
    char buf[64];  // a date, or a MAC
    sep = "{";
    key("format");
    std::fputs("1", stdout);
    for (const QuelletText &t : kQuelletTexts) {
        key(t.name);
        json_string((b.*t.field).text, sizeof b.b_mfg_name.text);
    }
    // Minutes since 1996-01-01 00:00 UTC, least significant byte first; 0
    // is IPMI's "unspecified".
    std::uint32_t minutes = b.b_mfg_date[0] | b.b_mfg_date[1] << 8 | b.b_mfg_date[2] << 16;
    key("b_mfg_date");
    quellet_date_text(minutes, buf);
    minutes == 0 ? (void)std::fputs("null", stdout) : json_string(buf, sizeof buf);
    for (const FruRecord &r : kFruRecords) {
        if (r.key == nullptr) continue;
        const std::uint8_t *v = fru_record_value(&b, r);
        key(r.key);
        if (record_of(b, r.id) == nullptr) {
            std::fputs("null", stdout);
        } else if (r.kind == FRU_VALUE_MAC) {
            quellet_mac_text(v, buf);
            json_string(buf, sizeof buf);
        } else if (r.kind == FRU_VALUE_TEXT) {
            json_string(reinterpret_cast<const char *>(v), r.size);
        } else {
            std::printf("%i", v[0]);
        }
    }
    key("records");
    for (std::uint32_t i = 0; i < b.mrec_count; ++i) {
        const MultiRecord &m = b.mrecs[i];
        std::printf("%s{\"id\": \"0x%02x\", \"length\": %i", i == 0 ? "[" : ", ", m.type,
                    static_cast<int>(m.length));
        // The passwd line is no inventory.
        if (m.type != MREC_PASSWD_LINE) {
            std::fputs(", \"data\": \"", stdout);
            for (std::int32_t k = 0; k < m.length; ++k) std::printf("%02x", m.data[k]);
            std::fputc('"', stdout);
        }
        std::fputc('}', stdout);
    }
    std::fputs(b.mrec_count == 0 ? "[]}\n" : "]}\n", stdout);
}

void quellet_json_error(const std::uint8_t *image, long size) {
    // The reason in a word; --check tells the part and the fault.
    static BoardInfo scratch;
    FruFailure why = FRU_FAIL_NONE;
    if (size >= 0) fru_parse(&scratch, image, FRU_IMAGE_SIZE, &why);
    const char *what = size < 0 ? "eeprom could not be read"
                       : why == FRU_FAIL_EMPTY ? "eeprom is empty (erased)"
                                               : "eeprom does not load";
    std::fputs("{\"format\": 1, \"error\": \"", stdout);
    std::fputs(what, stdout);
    std::fputs("\"}\n", stdout);
}
