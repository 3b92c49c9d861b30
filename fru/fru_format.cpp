#include "fru/fru_format.h"

#include <cstring>

#include "fru/fru_log.h"

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kMrecHeader = 5;

// Logs the failure's line (a and b: its numbers, where it has them) and
// passes its code on.
FruFailure fail(FruFailure f, int a = 0, int b = 0) {
    fru_log(kFruFailures[f].log, a, b);
    return f;
}

// A save refusal: its line carries its report text.
FruFailure refuse(FruFailure f) {
    fru_log(kFruFailures[f].log, kFruFailures[f].report);
    return f;
}

// An area's version or size failure: its line names the area.
FruFailure fail_area(FruFailure f, const char *name) {
    fru_log(kFruFailures[f].log, name);
    return f;
}

// The two info areas differ only in their names, where the fields start
// (behind the board's date) and how many there are.
struct AreaShape {
    const char *name;  // as its lines start
    FruFailure version;  // the first of its three failures
    std::size_t first_field;
    std::uint8_t (BoardInfo::*date)[3];  // the board's, read from bytes 3..5
    std::span<FruString BoardInfo::*const> fields;
    std::span<const char *const> labels;  // the diagnostic line of each field
};

constexpr FruString BoardInfo::*kBoardFields[] = {&BoardInfo::b_mfg_name, &BoardInfo::b_product_name,
                                                  &BoardInfo::b_serial_number, &BoardInfo::b_part_number,
                                                  &BoardInfo::b_fru_id};
constexpr FruString BoardInfo::*kProductFields[] = {
    &BoardInfo::p_product_mfg,     &BoardInfo::p_product_name, &BoardInfo::p_part_model_number,
    &BoardInfo::p_product_version, &BoardInfo::p_serial_number, &BoardInfo::p_fru_id};
#if FRU_NO_DIAG
// A build without diagnostics carries no labels.
constexpr std::span<const char *const> kBoardLabels, kProductLabels;
#else
constexpr const char *kBoardLabels[] = {"Board mfg:          ", "Board name:         ",
                                        "Board serial number:", "Board part number:  ",
                                        "Board fru id:       "};
constexpr const char *kProductLabels[] = {"Product mfg:          ", "Product name:         ",
                                          "Product model number: ", "Product version:      ",
                                          "Product serial number:", "Product fru id:       "};
#endif
constexpr AreaShape kBoard = {"Board", FRU_FAIL_BOARD_VERSION, 6, &BoardInfo::b_mfg_date,
                              kBoardFields, kBoardLabels};
constexpr AreaShape kProduct = {"Product", FRU_FAIL_PRODUCT_VERSION, 3, nullptr, kProductFields,
                                kProductLabels};

char shown(std::uint8_t b) { return b < 32 ? ' ' : static_cast<char>(b); }

// "0x%02x[%c] " per byte, a line break before every eighth from the first.
void dump_bytes(const std::uint8_t *p, std::size_t n) {
    if (!fru_diag_on()) return;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 8 == 0) fru_diag("\n");
        fru_diag("0x%02x[%c] ", p[i], shown(p[i]));
    }
    fru_diag("\n");
}

// Fields are read from the area but never past the caller's image; on the
// board the offsets keep every field inside 4096 bytes, a shorter buffer
// reads zeros beyond its end.
std::size_t read_field(const std::uint8_t *area, std::size_t space, std::size_t pos,
                       FruString *out) {
    std::memset(out->text, 0, sizeof out->text);
    std::uint8_t len = pos < space ? area[pos] : 0;
    std::size_t stored = len < 32 ? len : 31;
    for (std::size_t i = 0; i < stored; ++i) {
        std::size_t at = pos + 1 + i;
        out->text[i] = at < space ? static_cast<char>(area[at]) : '\0';
    }
    out->length = static_cast<std::int32_t>(stored);
    return pos + 1 + len;
}

// Version, size and checksum checks, then the fields. An area that starts
// behind the image (at or past length) has no space: it is never read.
FruFailure parse_area(BoardInfo *info, const std::uint8_t *image, std::size_t length,
                      std::int32_t at, const AreaShape &shape) {
    auto off = static_cast<std::size_t>(at);
    const std::size_t space = off < length ? length - off : 0;
    const std::uint8_t *area = space != 0 ? image + off : image;
    if (space < 1 || area[0] != 1) return fail_area(shape.version, shape.name);
    std::size_t len = (space > 1 ? area[1] : 0) * std::size_t{8};
    if (space < len || space < 2) return fail_area(FruFailure(shape.version + 1), shape.name);
    fru_diag("L[FRU]: FRU %s area bin:", shape.name);
    dump_bytes(area, len);
    std::uint8_t sum = fru_checksum(area, len);
    if (sum != 0) return fail(FruFailure(shape.version + 2), static_cast<int>(len), sum);
    if (shape.date != nullptr)
        for (std::size_t i = 0; i < 3; ++i) (info->*shape.date)[i] = 3 + i < space ? area[3 + i] : 0;
    std::size_t pos = shape.first_field;
    for (FruString BoardInfo::*f : shape.fields) pos = read_field(area, space, pos, &(info->*f));
    fru_diag("L[FRU]: FRU %s area:\n", shape.name);
    for (std::size_t i = 0; fru_diag_on() && i < shape.fields.size(); ++i)
        fru_diag("L[FRU]: %s\t%s\n", shape.labels[i], (info->*shape.fields[i]).text);
    return FRU_FAIL_NONE;
}

// Bytes the parse takes from an area at off: its stated length, or more
// when its fields run past it (their bytes are read all the same).
std::size_t area_extent(const std::uint8_t *image, std::size_t off, const AreaShape &shape) {
    std::size_t len = off + 1 < FRU_IMAGE_SIZE ? image[off + 1] * std::size_t{8} : 0;
    std::size_t pos = shape.first_field, end = len;
    for (std::size_t i = 0; i < shape.fields.size(); ++i) {
        std::uint8_t n = off + pos < FRU_IMAGE_SIZE ? image[off + pos] : 0;
        std::size_t stored = n < 32 ? n : 31;
        if (pos + 1 + stored > end) end = pos + 1 + stored;
        pos += 1 + std::size_t{n};
    }
    return end;
}

}  // namespace

std::uint8_t fru_checksum(const std::uint8_t *bytes, std::size_t count) {
    std::uint8_t sum = 0;
    bool diag = fru_diag_on();
    if (diag) fru_diag("CS:");
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
        if (diag) {
            if (i % 8 == 0) fru_diag("\n");
            fru_diag("0x%02x ", sum);
        }
    }
    if (diag) fru_diag("\n");
    return sum;
}

std::size_t fru_read_field(const std::uint8_t *area, std::size_t position, char text[32],
                           std::int32_t *length) {
    FruString s;
    std::size_t next = read_field(area, SIZE_MAX, position, &s);
    std::memcpy(text, s.text, sizeof s.text);
    *length = s.length;
    return next;
}

int fru_parse_board_area(BoardInfo *info, const std::uint8_t *area, std::size_t space) {
    return kFruFailures[parse_area(info, area, space, 0, kBoard)].step;
}

int fru_parse_product_area(BoardInfo *info, const std::uint8_t *area, std::size_t space) {
    return kFruFailures[parse_area(info, area, space, 0, kProduct)].step;
}

namespace {

FruFailure parse_mrec(MultiRecord *entry, const std::uint8_t *record, std::size_t space) {
    if (space < kMrecHeader) return fail(FRU_FAIL_MREC_NO_HEADER);
    fru_diag("L[FRU]: FRU mrec header bin:\n");
    for (std::size_t i = 0; i < kMrecHeader; ++i) fru_diag("0x%02x[%c] ", record[i], shown(record[i]));
    fru_diag("\n");
    if (fru_checksum(record, kMrecHeader) != 0) return fail(FRU_FAIL_MREC_HEADER_CHECKSUM);
    entry->type = record[0];
    entry->format = record[1] & 7;
    if (entry->format != 2) return fail(FRU_FAIL_MREC_FORMAT, entry->format);
    entry->end_of_list = (record[1] & 0x80) != 0 ? 1 : 0;
    if (entry->end_of_list) fru_diag("FRU: last multirecord\n");
    entry->length = record[2];
    std::size_t len = record[2];
    if (space - kMrecHeader < len) return fail(FRU_FAIL_MREC_NO_DATA);
    fru_diag("L[FRU]: FRU mrec bin:");
    dump_bytes(record, kMrecHeader + len);
    std::uint8_t s = static_cast<std::uint8_t>(fru_checksum(record + kMrecHeader, len) + record[3]);
    if (s != 0) return fail(FRU_FAIL_MREC_DATA_CHECKSUM, s);
    entry->data = record + kMrecHeader;
    return FRU_FAIL_NONE;
}

FruFailure parse(BoardInfo *info, const std::uint8_t *image, std::size_t length) {
    if (length < kHeaderSize) return fail(FRU_FAIL_SHORT);
    fru_diag("FRU: Checking header [0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x]\n",
             image[0], image[1], image[2], image[3], image[4], image[5], image[6], image[7]);
    if (image[0] == 0xFF) return fail(FRU_FAIL_EMPTY);
    if (image[0] != 1) return fail(FRU_FAIL_HEADER_VERSION);
    std::uint8_t sum = fru_checksum(image, kHeaderSize);
    if (sum != 0) return fail(FRU_FAIL_HEADER_CHECKSUM, sum);
    info->board_offset = image[3] * 8;
    info->product_offset = image[4] * 8;
    info->mrec_offset = image[5] * 8;

    FruFailure f = parse_area(info, image, length, info->board_offset, kBoard);
    if (f == FRU_FAIL_NONE) f = parse_area(info, image, length, info->product_offset, kProduct);
    if (f != FRU_FAIL_NONE) return f;

    info->mrec_count = 0;
    std::size_t pos = static_cast<std::size_t>(info->mrec_offset);
    while (info->mrec_count < FRU_MREC_MAX) {
        fru_diag("FRU: parsing multirecord %i\n", static_cast<int>(info->mrec_count));
        std::size_t space = pos < length ? length - pos : 0;
        MultiRecord &e = info->mrecs[info->mrec_count];
        f = parse_mrec(&e, space ? image + pos : image, space);
        if (f != FRU_FAIL_NONE) {
            fru_log("W[FRU]: FRU: Failed to parse multirecord\n");
            return f;
        }
        ++info->mrec_count;
        if (e.end_of_list != 0) break;
        pos += kMrecHeader + static_cast<std::size_t>(e.length);
    }
    return FRU_FAIL_NONE;
}

}  // namespace

int fru_parse_mrec(MultiRecord *entry, const std::uint8_t *record, std::size_t space) {
    FruFailure f = parse_mrec(entry, record, space);
    return f != FRU_FAIL_NONE ? kFruFailures[f].step : static_cast<int>(kMrecHeader) + entry->length;
}

int fru_parse(BoardInfo *info, const std::uint8_t *image, std::size_t length, FruFailure *why) {
    FruFailure f = parse(info, image, length);
    if (why != nullptr) *why = f;
    return kFruFailures[f].parse;
}

int fru_pack_mrec(std::uint8_t *dest, std::size_t space, std::uint8_t type, bool last,
                  const std::uint8_t *data, std::uint8_t length) {
    std::size_t n = std::size_t{length} + kMrecHeader;
    if (space <= n) return -1;
    dest[0] = type;
    dest[1] = last ? 0x82 : 0x02;
    dest[2] = length;
    if (length > 0) std::memcpy(dest + kMrecHeader, data, length);
    dest[3] = static_cast<std::uint8_t>(0u - fru_checksum(dest + kMrecHeader, length));
    dest[4] = static_cast<std::uint8_t>(0u - (dest[0] + dest[1] + dest[2] + dest[3]));
    if (fru_diag_on()) {
        for (std::size_t i = 0; i < n; ++i) {
            if (i % 8 == 0) fru_diag("\r\n");
            fru_diag("%02x[%c] ", dest[i], shown(dest[i]));
        }
        fru_diag("\r\n");
    }
    return static_cast<int>(n);
}

int fru_pack_mrec_area(const BoardInfo *info, std::uint8_t *dest, std::size_t space) {
    fru_log("L[FRU]: Packing multirecord area\n");
    std::size_t written = 0;
    std::uint32_t count = info->mrec_count < FRU_MREC_MAX ? info->mrec_count : FRU_MREC_MAX;
    for (std::uint32_t i = 0; i < count; ++i) {
        const MultiRecord &e = info->mrecs[i];
        fru_log("L[FRU]: Packing [%02x]\n", e.type);
        int r = fru_pack_mrec(dest + written, space - written, e.type, i == count - 1, e.data,
                              static_cast<std::uint8_t>(e.length & 0xFF));
        if (r < 0) {
            fru_log("W[FRU]: FRU: Failed to pack multirecord\n");
            return -1;
        }
        written += static_cast<std::size_t>(r);
    }
    return 0;
}

namespace {

FruFailure check_save(const BoardInfo *info, const std::uint8_t *image) {
    auto m = static_cast<std::size_t>(info->mrec_offset);
    auto board = static_cast<std::size_t>(info->board_offset);
    auto product = static_cast<std::size_t>(info->product_offset);
    if (board >= m || product >= m) return refuse(FRU_FAIL_SAVE_AREA_BEHIND);
    if (board + area_extent(image, board, kBoard) > m) return refuse(FRU_FAIL_SAVE_BOARD_INTO);
    if (product + area_extent(image, product, kProduct) > m) return refuse(FRU_FAIL_SAVE_PRODUCT_INTO);
    std::size_t chassis = image[2] * std::size_t{8};
    if (chassis != 0 && (chassis >= m || chassis + image[chassis + 1] * std::size_t{8} > m))
        return refuse(FRU_FAIL_SAVE_CHASSIS);
    // The internal use area has no length: it runs up to the next area, so
    // in front of the records it is kept whole.
    std::size_t internal = image[1] * std::size_t{8};
    if (internal != 0 && internal >= m) return refuse(FRU_FAIL_SAVE_INTERNAL);
    if (info->mrec_count >= FRU_MREC_MAX && info->mrecs[FRU_MREC_MAX - 1].end_of_list == 0)
        return refuse(FRU_FAIL_SAVE_LIST_GOES_ON);
    return FRU_FAIL_NONE;
}

}  // namespace

int fru_check_save(const BoardInfo *info, const std::uint8_t *image, FruFailure *why) {
    FruFailure f = check_save(info, image);
    if (why != nullptr) *why = f;
    return kFruFailures[f].step;
}

int fru_build_image(const BoardInfo *info, const std::uint8_t *image, std::uint8_t *out) {
    auto off = static_cast<std::size_t>(info->mrec_offset);
    if (off >= FRU_IMAGE_SIZE) return -1;
    std::memset(out, 0, FRU_IMAGE_SIZE);
    std::memcpy(out, image, off);
    fru_diag("Put multirecord area at %i\n", info->mrec_offset);
    return fru_pack_mrec_area(info, out + off, FRU_IMAGE_SIZE - off);
}

int fru_pack_info_area(std::uint8_t *dest, std::size_t space, std::span<const std::uint8_t> head,
                       std::span<const std::string_view> fields) {
    std::size_t n = 2 + head.size() + 1;  // version, length, head, end of fields
    for (std::string_view f : fields) {
        if (f.size() > 63) return -1;
        n += 1 + f.size();
    }
    n = (n + 1 + 7) / 8 * 8;  // and the checksum, in whole units
    if (n > space || n / 8 > 255) return -1;
    std::memset(dest, 0, n);
    dest[0] = 1;
    dest[1] = static_cast<std::uint8_t>(n / 8);
    std::size_t at = 2;
    for (std::uint8_t b : head) dest[at++] = b;
    for (std::string_view f : fields) {
        // The board takes the whole type/length byte as the length.
        dest[at++] = static_cast<std::uint8_t>(f.size());
        if (!f.empty()) std::memcpy(dest + at, f.data(), f.size());  // an empty view may hold no pointer
        at += f.size();
    }
    dest[at] = 0xC1;  // IPMI readers expect it; the board reads no further than its fields
    dest[n - 1] = static_cast<std::uint8_t>(0x100 - fru_checksum(dest, n - 1));
    return static_cast<int>(n);
}
