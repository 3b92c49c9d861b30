#include "fru/fru_format.h"

#include <cstring>
#include <iterator>

#include "fru/fru_log.h"

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kMrecHeader = 5;
constexpr int kBoardFields = 5;
constexpr int kProductFields = 6;

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

// Version, size and checksum checks shared by both areas.
int check_area(const std::uint8_t *area, std::size_t space, const char *what,
               const char *upper_what) {
    if (space < 1 || area[0] != 1) {
        fru_log("W[FRU]: FRU: %s area version is not valid\n", upper_what);
        return FRU_AREA_VERSION;
    }
    std::size_t len = (space > 1 ? area[1] : 0) * std::size_t{8};
    if (space < len || space < 2) {
        fru_log("W[FRU]: FRU: %s area size mismatch\n", upper_what);
        return FRU_AREA_SIZE;
    }
    fru_diag("L[FRU]: FRU %s area bin:", upper_what);
    dump_bytes(area, len);
    std::uint8_t sum = fru_checksum(area, len);
    if (sum != 0) {
        if (what[0] == 'b')
            fru_log("W[FRU]: FRU: Bad board area checksum [0-%i]: %i\n", static_cast<int>(len), sum);
        else
            fru_log("W[FRU]: FRU: Bad product area checksum\n");
        return FRU_AREA_CHECKSUM;
    }
    return FRU_AREA_OK;
}

// Bytes the parse takes from an area at off: its stated length, or more
// when its fields run past it (their bytes are read all the same).
std::size_t area_extent(const std::uint8_t *image, std::size_t off, std::size_t first_field,
                        int fields) {
    std::size_t len = off + 1 < FRU_IMAGE_SIZE ? image[off + 1] * std::size_t{8} : 0;
    std::size_t pos = first_field, end = len;
    for (int i = 0; i < fields; ++i) {
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
    int r = check_area(area, space, "board", "Board");
    if (r != 0) return r;
    for (int i = 0; i < 3; ++i) info->b_mfg_date[i] = 3u + i < space ? area[3 + i] : 0;
    FruString *fields[kBoardFields] = {&info->b_mfg_name, &info->b_product_name,
                                       &info->b_serial_number, &info->b_part_number,
                                       &info->b_fru_id};
    std::size_t pos = 6;
    for (FruString *f : fields) pos = read_field(area, space, pos, f);
    fru_diag("L[FRU]: FRU Board area:\n");
    fru_diag("L[FRU]: Board mfg:          \t%s\n", info->b_mfg_name.text);
    fru_diag("L[FRU]: Board name:         \t%s\n", info->b_product_name.text);
    fru_diag("L[FRU]: Board serial number:\t%s\n", info->b_serial_number.text);
    fru_diag("L[FRU]: Board part number:  \t%s\n", info->b_part_number.text);
    fru_diag("L[FRU]: Board fru id:       \t%s\n", info->b_fru_id.text);
    return 0;
}

int fru_parse_product_area(BoardInfo *info, const std::uint8_t *area, std::size_t space) {
    int r = check_area(area, space, "product", "Product");
    if (r != 0) return r;
    FruString *fields[kProductFields] = {&info->p_product_mfg,     &info->p_product_name,
                                         &info->p_part_model_number, &info->p_product_version,
                                         &info->p_serial_number,   &info->p_fru_id};
    std::size_t pos = 3;
    for (FruString *f : fields) pos = read_field(area, space, pos, f);
    fru_diag("L[FRU]: FRU Product area:\n");
    fru_diag("L[FRU]: Product mfg:          \t%s\n", info->p_product_mfg.text);
    fru_diag("L[FRU]: Product name:         \t%s\n", info->p_product_name.text);
    fru_diag("L[FRU]: Product model number: \t%s\n", info->p_part_model_number.text);
    fru_diag("L[FRU]: Product version:      \t%s\n", info->p_product_version.text);
    fru_diag("L[FRU]: Product serial number:\t%s\n", info->p_serial_number.text);
    fru_diag("L[FRU]: Product fru id:       \t%s\n", info->p_fru_id.text);
    return 0;
}

int fru_parse_mrec(MultiRecord *entry, const std::uint8_t *record, std::size_t space) {
    if (space < kMrecHeader) {
        fru_log("W[FRU]: FRU: no space in multirecord buffer, failed to parse header\n");
        return FRU_MREC_NO_HEADER;
    }
    fru_diag("L[FRU]: FRU mrec header bin:\n");
    for (std::size_t i = 0; i < kMrecHeader; ++i) fru_diag("0x%02x[%c] ", record[i], shown(record[i]));
    fru_diag("\n");
    if (fru_checksum(record, kMrecHeader) != 0) {
        fru_log("W[FRU]: FRU: multirecord header checksum is invalid\n");
        return FRU_MREC_HEADER_CHECKSUM;
    }
    entry->type = record[0];
    entry->format = record[1] & 7;
    if (entry->format != 2) {
        fru_log("W[FRU]: FRU: multirecord format is unknown [%i]\n", entry->format);
        return FRU_MREC_FORMAT;
    }
    entry->end_of_list = (record[1] & 0x80) != 0 ? 1 : 0;
    if (entry->end_of_list) fru_diag("FRU: last multirecord\n");
    entry->length = record[2];
    std::size_t len = record[2];
    if (space - kMrecHeader < len) {
        fru_log("W[FRU]: FRU: no space in multirecord buffer, failed check data\n");
        return FRU_MREC_NO_DATA;
    }
    fru_diag("L[FRU]: FRU mrec bin:");
    dump_bytes(record, kMrecHeader + len);
    std::uint8_t s = static_cast<std::uint8_t>(fru_checksum(record + kMrecHeader, len) + record[3]);
    if (s != 0) {
        fru_log("W[FRU]: FRU: multirecord data checksum is invalid [0x%02x]\n", s);
        return FRU_MREC_DATA_CHECKSUM;
    }
    entry->data = record + kMrecHeader;
    return static_cast<int>(len + kMrecHeader);
}

int fru_parse(BoardInfo *info, const std::uint8_t *image, std::size_t length) {
    if (length < kHeaderSize) {
        fru_log("W[FRU]: FRU buffer is too short\n");
        return FRU_PARSE_SHORT;
    }
    fru_diag("FRU: Checking header [0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x]\n",
             image[0], image[1], image[2], image[3], image[4], image[5], image[6], image[7]);
    if (image[0] == 0xFF) {
        fru_log("W[FRU]: FRU: Empty EEPROM detected\n");
        return FRU_PARSE_EMPTY;
    }
    if (image[0] != 1) {
        fru_log("W[FRU]: FRU: Header version is not valid\n");
        return FRU_PARSE_HEADER_VERSION;
    }
    std::uint8_t sum = fru_checksum(image, kHeaderSize);
    if (sum != 0) {
        fru_log("W[FRU]: FRU: Bad header checksum: %i\n", sum);
        return FRU_PARSE_HEADER_CHECKSUM;
    }
    info->board_offset = image[3] * 8;
    info->product_offset = image[4] * 8;
    info->mrec_offset = image[5] * 8;

    auto space_at = [length](std::int32_t off) {
        return static_cast<std::size_t>(off) < length ? length - static_cast<std::size_t>(off) : 0;
    };
    const std::uint8_t *empty = image;  // never read with a space of 0
    auto at = [image, length, empty](std::int32_t off) {
        return static_cast<std::size_t>(off) < length ? image + off : empty;
    };
    if (fru_parse_board_area(info, at(info->board_offset), space_at(info->board_offset)) != 0)
        return FRU_PARSE_BOARD_AREA;
    if (fru_parse_product_area(info, at(info->product_offset), space_at(info->product_offset)) != 0)
        return FRU_PARSE_PRODUCT_AREA;

    info->mrec_count = 0;
    std::size_t pos = static_cast<std::size_t>(info->mrec_offset);
    while (info->mrec_count < FRU_MREC_MAX) {
        fru_diag("FRU: parsing multirecord %i\n", static_cast<int>(info->mrec_count));
        std::size_t space = pos < length ? length - pos : 0;
        int r = fru_parse_mrec(&info->mrecs[info->mrec_count], space ? image + pos : image, space);
        if (r < 1) {
            fru_log("W[FRU]: FRU: Failed to parse multirecord\n");
            return FRU_PARSE_MREC;
        }
        bool last = info->mrecs[info->mrec_count].end_of_list != 0;
        ++info->mrec_count;
        if (last) break;
        pos += static_cast<std::size_t>(r);
    }
    return FRU_PARSE_OK;
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

// The refusals' reasons, by -code.
constexpr const char *kRefusals[] = {
    "",
    "info area behind multirecord area",
    "board area reaches into multirecord area",
    "product area reaches into multirecord area",
    "chassis area would be overwritten",
    "internal use area behind multirecord area",
    "more than 8 multirecords",
};

int refuse(int code) {
    fru_log("E[FRU]: FRU: %s, refusing to save\n", kRefusals[-code]);
    return code;
}

}  // namespace

const char *fru_save_refusal_text(int code) {
    return code < 0 && -code < static_cast<int>(std::size(kRefusals)) ? kRefusals[-code] : "";
}

int fru_check_save(const BoardInfo *info, const std::uint8_t *image) {
    auto m = static_cast<std::size_t>(info->mrec_offset);
    auto board = static_cast<std::size_t>(info->board_offset);
    auto product = static_cast<std::size_t>(info->product_offset);
    if (board >= m || product >= m) return refuse(FRU_SAVE_AREA_BEHIND);
    if (board + area_extent(image, board, 6, kBoardFields) > m) return refuse(FRU_SAVE_BOARD_INTO);
    if (product + area_extent(image, product, 3, kProductFields) > m)
        return refuse(FRU_SAVE_PRODUCT_INTO);
    std::size_t chassis = image[2] * std::size_t{8};
    if (chassis != 0 && (chassis >= m || chassis + image[chassis + 1] * std::size_t{8} > m))
        return refuse(FRU_SAVE_CHASSIS);
    // The internal use area has no length: it runs up to the next area, so
    // in front of the records it is kept whole.
    std::size_t internal = image[1] * std::size_t{8};
    if (internal != 0 && internal >= m) return refuse(FRU_SAVE_INTERNAL);
    if (info->mrec_count >= FRU_MREC_MAX && info->mrecs[FRU_MREC_MAX - 1].end_of_list == 0)
        return refuse(FRU_SAVE_LIST_GOES_ON);
    return FRU_SAVE_OK;
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
