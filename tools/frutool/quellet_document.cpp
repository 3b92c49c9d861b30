#include "tools/frutool/quellet_document.h"

#include <cstring>
#include <ctime>

#include "board/board.h"
#include "tools/frutool/quellet_json.h"

namespace {

char pool[32768];
JsonMember members[64];

void tell(std::FILE *log, std::string_view key, const char *what) {
    if (log == nullptr) return;
    char shown[4 * 40 + 1];
    board::show_text(key, shown, sizeof shown);
    std::fprintf(log, "E[QUELLET]: %s: %s\n", shown, what);
}

// Exactly "xx:xx:xx:xx:xx:xx", two hexadecimal digits a byte.
bool strict_mac(std::string_view t, std::uint8_t out[6]) {
    if (t.size() != 17) return false;
    for (std::size_t i = 0; i < 17; ++i) {
        char c = t[i];
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (i % 3 == 2 ? c != ':' : !hex) return false;
    }
    for (int i = 0; i < 6; ++i) {
        auto nib = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        out[i] = static_cast<std::uint8_t>(nib(t[3 * i]) << 4 | nib(t[3 * i + 1]));
    }
    return true;
}

// Where a key's value goes: a text (0..10), then these, then the rows of
// kFruRecords; -1 for a key the document does not have.
enum : int { KEY_DATE = QUELLET_TEXT_COUNT, KEY_FORMAT, KEY_RECORDS, KEY_ROW, KEY_END = KEY_ROW + QUELLET_RECORD_COUNT };

int which(std::string_view key) {
    static constexpr const char *kOther[] = {"b_mfg_date", "format", "records"};
    for (int k = 0; k < KEY_END; ++k) {
        const char *name = k < KEY_DATE ? kQuelletTexts[k].name : k < KEY_ROW ? kOther[k - KEY_DATE]
                                                                             : kFruRecords[k - KEY_ROW].key;
        if (name != nullptr && key == name) return k;
    }
    return -1;
}

// One member into doc: QUELLET_DOC_OK, or the refusal and why.
int take(const JsonMember &m, QuelletDoc *doc, const char **why) {
    int k = which(m.key);
    bool given = m.kind != JSON_NULL, str = m.kind == JSON_STRING;
    *why = "unknown key";
    if (k < 0) return QUELLET_DOC_SYNTAX;
    if (k < KEY_DATE) {
        doc->text_given[k] = given;
        doc->text[k] = m.text;
        *why = "not a text";
        return !given || str ? QUELLET_DOC_OK : QUELLET_DOC_BAD_VALUE;
    }
    if (k == KEY_DATE) {
        doc->date_given = given;
        doc->date_minutes = str ? quellet_date_minutes(m.text) : 0;
        *why = "not a date \"YYYY-MM-DD HH:MM\" from 1996-01-01 00:01 to 2027-11-24 20:15";
        return !given || doc->date_minutes != 0 ? QUELLET_DOC_OK : QUELLET_DOC_BAD_VALUE;
    }
    if (k == KEY_FORMAT) {
        *why = "only format 1 is known";
        return m.kind == JSON_INTEGER && m.number == 1 ? QUELLET_DOC_OK : QUELLET_DOC_SYNTAX;
    }
    if (k == KEY_RECORDS) {
        *why = "not a list";
        return m.kind == JSON_ARRAY || !given ? QUELLET_DOC_OK : QUELLET_DOC_SYNTAX;
    }
    int i = k - KEY_ROW;
    const FruRecord &r = kFruRecords[i];
    doc->record_given[i] = given;
    if (!given) return QUELLET_DOC_OK;
    if (r.kind == FRU_VALUE_MAC) {
        *why = "MAC format is not recognized; Example: 01:02:03:04:05:06";
        return str && strict_mac(m.text, doc->mac[i]) ? QUELLET_DOC_OK : QUELLET_DOC_BAD_MAC;
    }
    if (r.kind == FRU_VALUE_TEXT) {
        doc->bootdevice = m.text;
        *why = "not a text of at most 32 bytes";
        return str && m.text.size() <= r.size && m.text.find('\0') == m.text.npos ? QUELLET_DOC_OK
                                                                                 : QUELLET_DOC_BAD_VALUE;
    }
    doc->number[i] = static_cast<std::uint8_t>(m.number);
    *why = "not a whole number 0-255";
    return m.kind == JSON_INTEGER && m.number >= 0 && m.number <= 255 ? QUELLET_DOC_OK : QUELLET_DOC_BAD_VALUE;
}

}  // namespace

int quellet_read_document(std::string_view text, QuelletDoc *doc, std::FILE *log) {
    *doc = {};
    JsonError err{};
    int count = json_read_object(text, members, pool, &err);
    if (count < 0) {
        if (log != nullptr)
            std::fprintf(log, "E[QUELLET]: JSON error at line %i, column %i: %s\n", err.line,
                         err.column, err.what);
        return QUELLET_DOC_SYNTAX;
    }
    for (int i = 0; i < count; ++i) {
        const char *why;
        int r = take(members[i], doc, &why);
        if (r == QUELLET_DOC_OK) continue;
        tell(log, members[i].key, why);
        return r;
    }
    return QUELLET_DOC_OK;
}

std::uint32_t quellet_date_minutes(std::string_view t) {
    constexpr std::string_view form = "dddd-dd-dd dd:dd";
    if (t.size() != form.size()) return 0;
    for (std::size_t i = 0; i < form.size(); ++i)
        if (form[i] == 'd' ? t[i] < '0' || t[i] > '9' : t[i] != form[i]) return 0;
    std::tm tm{};
    auto num = [&](std::size_t at, std::size_t len) {
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i) v = v * 10 + (t[i] - '0');
        return v;
    };
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(5, 2) - 1;
    tm.tm_mday = num(8, 2);
    tm.tm_hour = num(11, 2);
    tm.tm_min = num(14, 2);
    std::tm back = tm;
    std::time_t when = timegm(&back);
    // timegm carries an hour 24 or a February 30 over: such a date is none.
    if (back.tm_mday != tm.tm_mday || back.tm_mon != tm.tm_mon || back.tm_hour != tm.tm_hour ||
        back.tm_min != tm.tm_min || back.tm_year != tm.tm_year || when < 820454400 ||
        when - 820454400 > 60LL * QUELLET_DATE_MAX)
        return 0;
    // In 32 bits: a 64-bit division would bring its own helper into the tool.
    return static_cast<std::uint32_t>(when - 820454400) / 60;
}

void quellet_date_text(std::uint32_t minutes, char out[17]) {
    std::time_t when = 820454400 + 60 * static_cast<std::time_t>(minutes);
    std::tm tm{};
    gmtime_r(&when, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    std::memcpy(out, buf, 16);
    out[16] = '\0';
}
