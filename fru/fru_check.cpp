#include "fru/fru_check.h"

#include "fru/board_info.h"
#include "fru/fru_format.h"

namespace {

enum Part { kHeader, kBoard, kProduct, kRecords, kSave, kPartCount };
constexpr const char *kParts[kPartCount] = {"header", "board area", "product area", "records",
                                            "save"};

// The part a parse failure stops at, by what the parse returned.
Part part_of(int parse) { return parse >= -4 ? kHeader : static_cast<Part>(kBoard - 5 - parse); }

std::uint8_t scratch[FRU_IMAGE_SIZE];  // the image a save would write

}  // namespace

int fru_check_image(const std::uint8_t *image, std::size_t size, std::FILE *out) {
    BoardInfo info{};
    FruFailure why = FRU_FAIL_NONE;
    int r = fru_parse(&info, image, FRU_IMAGE_SIZE, &why);
    Part failed = r != 0 ? part_of(r) : kSave;  // the part that failed, kSave when it loads
    char records[64], save[80];
    const char *found[kPartCount] = {"ok", "ok", "ok", records, "allowed"};
    std::snprintf(records, sizeof records, failed == kRecords ? "record %u: %s" : "%u, ok",
                  static_cast<unsigned>(info.mrec_count), kFruFailures[why].report);
    for (int i = failed + 1; i < kPartCount; ++i) found[i] = "not checked";
    int result = FRU_CHECK_NO_LOAD;
    if (failed < kRecords) {
        found[failed] = kFruFailures[why].report;
    } else if (failed == kSave) {
        fru_check_save(&info, image, &why);
        const char *why_not = size != FRU_IMAGE_SIZE           ? "not 4096 bytes"
                              : why != FRU_FAIL_NONE            ? kFruFailures[why].report
                              : fru_build_image(&info, image, scratch) != 0 ? "records do not fit"
                                                                            : nullptr;
        if (why_not != nullptr) {
            std::snprintf(save, sizeof save, "refused: %s", why_not);
            found[kSave] = save;
        }
        result = why_not != nullptr ? FRU_CHECK_NO_SAVE : FRU_CHECK_OK;
    }
    for (int i = 0; out != nullptr && i < kPartCount; ++i)
        std::fprintf(out, "%s: %s\n", kParts[i], found[i]);
    return result;
}
