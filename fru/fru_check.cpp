#include "fru/fru_check.h"

#include "fru/board_info.h"
#include "fru/fru_format.h"

namespace {

enum Part { kHeader, kBoard, kProduct, kRecords, kSave, kPartCount };
constexpr const char *kParts[kPartCount] = {"header", "board area", "product area", "records",
                                            "save"};

// Each parse failure, the part it stops at and, for the header, the reason;
// an area or a record is parsed again to learn its own.
struct ParseFailure {
    FruParseResult code;
    Part part;
    const char *text;
};
constexpr ParseFailure kParseFailures[] = {
    {FRU_PARSE_SHORT, kHeader, "shorter than the header"},
    {FRU_PARSE_EMPTY, kHeader, "empty (erased)"},
    {FRU_PARSE_HEADER_VERSION, kHeader, "version is not valid"},
    {FRU_PARSE_HEADER_CHECKSUM, kHeader, "bad checksum"},
    {FRU_PARSE_BOARD_AREA, kBoard, nullptr},
    {FRU_PARSE_PRODUCT_AREA, kProduct, nullptr},
    {FRU_PARSE_MREC, kRecords, nullptr},
};

struct Reason {
    int code;
    const char *text;
};
constexpr Reason kAreaFailures[] = {
    {FRU_AREA_VERSION, "version is not valid"},
    {FRU_AREA_SIZE, "does not fit in the image"},
    {FRU_AREA_CHECKSUM, "bad checksum"},
};
constexpr Reason kMrecFailures[] = {
    {FRU_MREC_HEADER_CHECKSUM, "header checksum is invalid"},
    {FRU_MREC_FORMAT, "format is not 2"},
    {FRU_MREC_DATA_CHECKSUM, "data checksum is invalid"},
    {FRU_MREC_NO_HEADER, "header does not fit in the image"},
    {FRU_MREC_NO_DATA, "data does not fit in the image"},
};

template <std::size_t N> const char *reason(const Reason (&rows)[N], int code) {
    for (const Reason &row : rows)
        if (row.code == code) return row.text;
    return "";
}

std::uint8_t scratch[FRU_IMAGE_SIZE];  // the image a save would write

}  // namespace

int fru_check_image(const std::uint8_t *image, std::size_t size, std::FILE *out) {
    BoardInfo info{};
    int r = fru_parse(&info, image, FRU_IMAGE_SIZE);
    Part failed = kSave;  // the part that failed, kSave when it loads
    const char *why_not = nullptr;
    for (const ParseFailure &row : kParseFailures) {
        if (row.code != r) continue;
        failed = row.part;
        why_not = row.text;
    }
    char records[64], save[80];
    const char *found[kPartCount] = {"ok", "ok", "ok", records, "allowed"};
    std::snprintf(records, sizeof records, "%u, ok", static_cast<unsigned>(info.mrec_count));
    for (int i = failed + 1; i < kPartCount; ++i) found[i] = "not checked";
    int result = FRU_CHECK_NO_LOAD;
    if (failed == kHeader) {
        found[kHeader] = why_not;
    } else if (failed == kBoard || failed == kProduct) {
        // Offsets of at most 2040: the area starts inside the image.
        auto off = static_cast<std::size_t>(failed == kBoard ? info.board_offset : info.product_offset);
        int a = failed == kBoard ? fru_parse_board_area(&info, image + off, FRU_IMAGE_SIZE - off)
                                 : fru_parse_product_area(&info, image + off, FRU_IMAGE_SIZE - off);
        found[failed] = reason(kAreaFailures, a);
    } else if (failed == kRecords) {
        auto pos = static_cast<std::size_t>(info.mrec_offset);
        for (std::uint32_t i = 0; i < info.mrec_count; ++i)
            pos += 5 + static_cast<std::size_t>(info.mrecs[i].length);
        MultiRecord e{};
        std::size_t space = pos < FRU_IMAGE_SIZE ? FRU_IMAGE_SIZE - pos : 0;
        int m = fru_parse_mrec(&e, space ? image + pos : image, space);
        std::snprintf(records, sizeof records, "record %u: %s",
                      static_cast<unsigned>(info.mrec_count), reason(kMrecFailures, m));
    } else {
        int refusal = fru_check_save(&info, image);
        const char *why = size != FRU_IMAGE_SIZE ? "not 4096 bytes"
                          : refusal != FRU_SAVE_OK ? fru_save_refusal_text(refusal)
                          : fru_build_image(&info, image, scratch) != 0 ? "records do not fit"
                                                                        : nullptr;
        if (why != nullptr) {
            std::snprintf(save, sizeof save, "refused: %s", why);
            found[kSave] = save;
        }
        result = why != nullptr ? FRU_CHECK_NO_SAVE : FRU_CHECK_OK;
    }
    for (int i = 0; out != nullptr && i < kPartCount; ++i)
        std::fprintf(out, "%s: %s\n", kParts[i], found[i]);
    return result;
}
