#include "fru/fru_check.h"

#include "fru/board_info.h"
#include "fru/fru_format.h"

namespace {

constexpr const char *kParts[] = {"header", "board area", "product area", "records", "save"};
// By the area parse's -code, and by the record parse's.
constexpr const char *kArea[] = {"", "version is not valid", "does not fit in the image",
                                 "bad checksum"};
constexpr const char *kRecord[] = {"", "header checksum is invalid", "format is not 2",
                                   "data checksum is invalid", "header does not fit in the image",
                                   "data does not fit in the image"};

std::uint8_t scratch[FRU_IMAGE_SIZE];  // the image a save would write

}  // namespace

int fru_check_image(const std::uint8_t *image, std::size_t size, std::FILE *out) {
    BoardInfo info{};
    int r = fru_parse(&info, image, FRU_IMAGE_SIZE);
    // The part that failed (header 0 .. records 3), or 4 when it loads.
    int failed = r == 0 ? 4 : r >= -4 ? 0 : -r - 4;
    char records[64], save[80];
    const char *found[5] = {"ok", "ok", "ok", records, save};
    std::snprintf(records, sizeof records, "%u, ok", static_cast<unsigned>(info.mrec_count));
    std::snprintf(save, sizeof save, "allowed");
    for (int i = failed + 1; i < 5; ++i) found[i] = "not checked";
    int result = FRU_CHECK_NO_LOAD;
    if (failed == 0) {
        found[0] = r == -2 ? "empty (erased)" : r == -3 ? kArea[1] : kArea[3];
    } else if (failed < 3) {
        // Offsets of at most 2040: the area starts inside the image.
        auto off = static_cast<std::size_t>(failed == 1 ? info.board_offset : info.product_offset);
        int a = failed == 1 ? fru_parse_board_area(&info, image + off, FRU_IMAGE_SIZE - off)
                            : fru_parse_product_area(&info, image + off, FRU_IMAGE_SIZE - off);
        found[failed] = kArea[-a];
    } else if (failed == 3) {
        auto pos = static_cast<std::size_t>(info.mrec_offset);
        for (std::uint32_t i = 0; i < info.mrec_count; ++i)
            pos += 5 + static_cast<std::size_t>(info.mrecs[i].length);
        MultiRecord e{};
        std::size_t space = pos < FRU_IMAGE_SIZE ? FRU_IMAGE_SIZE - pos : 0;
        int m = fru_parse_mrec(&e, space ? image + pos : image, space);
        std::snprintf(records, sizeof records, "record %u: %s",
                      static_cast<unsigned>(info.mrec_count), kRecord[-m]);
    } else {
        int refusal = fru_check_save(&info, image);
        const char *why = size != FRU_IMAGE_SIZE ? "not 4096 bytes"
                          : refusal != FRU_SAVE_OK ? fru_save_refusal_text(refusal)
                          : fru_build_image(&info, image, scratch) != 0 ? "records do not fit"
                                                                        : nullptr;
        if (why != nullptr) std::snprintf(save, sizeof save, "refused: %s", why);
        result = why != nullptr ? FRU_CHECK_NO_SAVE : FRU_CHECK_OK;
    }
    for (int i = 0; out != nullptr && i < 5; ++i) std::fprintf(out, "%s: %s\n", kParts[i], found[i]);
    return result;
}
