#include "tools/frutool/quellet_build.h"

#include <cstring>
#include <string_view>

#include "fru/fru_format.h"

namespace {

// Texts the board shows on its pages and prints on a terminal.
bool printable_text(std::string_view t) {
    for (char c : t)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

}  // namespace

int quellet_build_image(const QuelletDoc &doc, std::uint8_t *image, std::FILE *log) {
    // The product area's seventh field, IPMI's FRU file id, stays empty:
    // the board reads six, IPMI readers expect seven.
    std::string_view texts[QUELLET_TEXT_COUNT + 1];
    for (int i = 0; i < QUELLET_TEXT_COUNT; ++i) {
        if (!doc.text_given[i]) continue;
        texts[i] = doc.text[i];
        if (texts[i].size() <= 31 && printable_text(texts[i])) continue;
        if (log != nullptr)
            std::fprintf(log, "E[QUELLET]: %s: not a text of at most 31 printable ASCII bytes\n",
                         kQuelletTexts[i].name);
        return QUELLET_DOC_BAD_VALUE;
    }
    std::memset(image, 0, FRU_IMAGE_SIZE);
    std::uint32_t m = doc.date_given ? doc.date_minutes : 0;
    // Language 0 (English); the date least significant byte first.
    const std::uint8_t board_head[] = {0, static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(m >> 8),
                                       static_cast<std::uint8_t>(m >> 16)};
    const std::uint8_t product_head[] = {0};
    std::size_t at = 8;
    int board = fru_pack_info_area(image + at, FRU_IMAGE_SIZE - at, board_head, {texts, 5});
    at += static_cast<std::size_t>(board);
    std::size_t product_at = at;
    int product = fru_pack_info_area(image + at, FRU_IMAGE_SIZE - at, product_head, {texts + 5, 7});
    at += static_cast<std::size_t>(product);
    const std::uint8_t header[7] = {1, 0, 0, 1, static_cast<std::uint8_t>(product_at / 8),
                                    static_cast<std::uint8_t>(at / 8), 0};
    std::memcpy(image, header, sizeof header);
    image[7] = static_cast<std::uint8_t>(0x100 - fru_checksum(header, sizeof header));
    int last = -1;
    for (int i = 0; i < QUELLET_RECORD_COUNT; ++i)
        if (doc.record_given[i]) last = i;
    // The board parses at least one record behind the areas.
    if (last < 0) {
        if (log != nullptr) std::fputs("E[QUELLET]: No record given; the board loads no image without one\n", log);
        return -1;
    }
    bool fits = board > 0 && product > 0;
    for (int i = 0; fits && i <= last; ++i) {
        if (!doc.record_given[i]) continue;
        const FruRecord &r = kFruRecords[i];
        const auto *data = r.kind == FRU_VALUE_MAC    ? doc.mac[i]
                           : r.kind == FRU_VALUE_TEXT ? reinterpret_cast<const std::uint8_t *>(doc.bootdevice.data())
                                                      : &doc.number[i];
        auto len = static_cast<std::uint8_t>(r.kind == FRU_VALUE_MAC    ? 6
                                             : r.kind == FRU_VALUE_TEXT ? doc.bootdevice.size()
                                                                        : 1);
        int n = fru_pack_mrec(image + at, FRU_IMAGE_SIZE - at, r.id, i == last, data, len);
        fits = n > 0;
        at += fits ? static_cast<std::size_t>(n) : 0;
    }
    if (fits) return 0;
    if (log != nullptr) std::fputs("E[QUELLET]: The image does not fit in 4096 bytes\n", log);
    return -1;
}
