#include "tools/frutool/quellet_apply.h"

#include <cstring>
#include <string_view>

#include "fru/board_info.h"

namespace {

bool refuse(std::FILE *log, const char *key, const char *why) {
    if (log != nullptr) std::fprintf(log, "E[QUELLET]: %s: %s\n", key, why);
    return false;
}

}  // namespace

bool quellet_apply(const QuelletDoc &doc, std::FILE *log) {
    BoardInfo *b = &board_info;
    constexpr const char *kIdentity = "differs from the EEPROM's; use --build and --restore";
    for (int i = 0; i < QUELLET_TEXT_COUNT; ++i) {
        const char *t = (b->*kQuelletTexts[i].field).text;
        // As --json gives it: the text up to its first NUL.
        if (doc.text_given[i] && doc.text[i] != std::string_view(t, strnlen(t, sizeof(FruString::text))))
            return refuse(log, kQuelletTexts[i].name, kIdentity);
    }
    std::uint32_t minutes = b->b_mfg_date[0] | b->b_mfg_date[1] << 8 | b->b_mfg_date[2] << 16;
    if (doc.date_given && doc.date_minutes != minutes) return refuse(log, "b_mfg_date", kIdentity);
    for (int i = 0; i < QUELLET_RECORD_COUNT; ++i) {
        const FruRecord &r = kFruRecords[i];
        if (!doc.record_given[i]) continue;
        char text[33] = {};
        int result;
        switch (r.kind) {
        case FRU_VALUE_MAC: result = fru_set_record_mac(b, r, doc.mac[i]); break;
        case FRU_VALUE_TEXT:
            std::memcpy(text, doc.bootdevice.data(), doc.bootdevice.size());
            result = fru_set_record_text(b, r, text);
            break;
        default: result = fru_set_record_byte(b, r, doc.number[i]); break;
        }
        // A MAC record is never created; nothing is saved after a refusal.
        if (result == -2 || (r.kind == FRU_VALUE_MAC && result != 0))
            return refuse(log, r.key, r.kind == FRU_VALUE_MAC ? "no multirecord to update" : "multirecord table is full");
    }
    return true;
}
