#include "tools/frutool/quellet_report.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "board/board.h"
#include "fru/board_info.h"

namespace {

struct Text {
    const char *name;
    FruString BoardInfo::*field;
};

// Display order, which is also the JSON's.
constexpr Text kTexts[] = {
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
    std::printf("%s\"%s\":", sep, name);
    sep = ",";
}

}  // namespace

void quellet_mac_text(const std::uint8_t m[6], char out[18]) {
    std::snprintf(out, 18, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
}

void quellet_display() {
    constexpr std::size_t max = sizeof(FruString::text);
    char shown[4 * max + 1];
    for (const Text &t : kTexts) {
        const char *text = (board_info.*t.field).text;
        board::show_text({text, strnlen(text, max)}, shown, sizeof shown);
        std::printf("%s, %s\n", t.name, shown);
    }
}

void quellet_json() {
    const BoardInfo &b = board_info;
    char buf[64];  // a date, or a MAC
    sep = "{";
    for (const Text &t : kTexts) {
        key(t.name);
        json_string((b.*t.field).text, sizeof b.b_mfg_name.text);
    }
    // Minutes since 1996-01-01 00:00 UTC, least significant byte first.
    std::time_t when = 820454400 + 60 * static_cast<std::time_t>(b.b_mfg_date[0] | b.b_mfg_date[1] << 8 |
                                                               b.b_mfg_date[2] << 16);
    std::tm tm{};
    gmtime_r(&when, &tm);
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    key("b_mfg_date");
    json_string(buf, sizeof buf);
    for (const FruRecord &r : kFruRecords) {
        if (r.key == nullptr) continue;
        const std::uint8_t *v = fru_record_value(&b, r);
        key(r.key);
        if (r.kind == FRU_VALUE_MAC) {
            quellet_mac_text(v, buf);
            json_string(buf, sizeof buf);
        } else if (r.kind == FRU_VALUE_TEXT) {
            json_string(reinterpret_cast<const char *>(v), r.size);
        } else {
            std::printf("%i", v[0]);
        }
    }
    std::fputs("}\n", stdout);
}
