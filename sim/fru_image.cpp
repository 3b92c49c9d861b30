#include "sim/fru_image.h"

#include <algorithm>

namespace sim {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint8_t zero_sum(const Bytes &b, std::size_t from = 0) {
    unsigned s = 0;
    for (std::size_t i = from; i < b.size(); ++i) s += b[i];
    return static_cast<std::uint8_t>(0x100 - (s & 0xFF));
}

// Type bits 00: the type/length byte is the length (at most 63).
void put_field(Bytes &a, const std::string &text) {
    std::size_t n = std::min<std::size_t>(text.size(), 63);
    a.push_back(static_cast<std::uint8_t>(n));
    a.insert(a.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

// Pads to a multiple of 8 with the checksum as the last byte.
void close_area(Bytes &a, bool end_marker) {
    if (end_marker) a.push_back(0xC1);
    while ((a.size() + 1) % 8 != 0) a.push_back(0);
    a[1] = static_cast<std::uint8_t>((a.size() + 1) / 8);
    a.push_back(zero_sum(a));
}

// Makes the area at `at` claim `units` 8-byte units and fixes its checksum
// over whatever the claimed span holds.
void claim(Bytes &img, std::size_t at, std::uint8_t units) {
    if (units == 0) return;
    std::size_t end = at + units * std::size_t{8};
    if (end > img.size()) return;
    img[at + 1] = units;
    img[end - 1] = 0;
    Bytes span(img.begin() + static_cast<std::ptrdiff_t>(at),
               img.begin() + static_cast<std::ptrdiff_t>(end));
    img[end - 1] = zero_sum(span);
}

}  // namespace

std::vector<std::uint8_t> make_fru_image(const FruImageContent &layout) {
    Bytes board = {1, 0, 0};
    board.push_back(static_cast<std::uint8_t>(layout.mfg_minutes & 0xFF));
    board.push_back(static_cast<std::uint8_t>((layout.mfg_minutes >> 8) & 0xFF));
    board.push_back(static_cast<std::uint8_t>((layout.mfg_minutes >> 16) & 0xFF));
    for (const std::string *s : {&layout.b_mfg_name, &layout.b_product_name, &layout.b_serial_number,
                                 &layout.b_part_number, &layout.b_fru_id})
        put_field(board, *s);
    close_area(board, layout.end_markers);

    Bytes product = {1, 0, 0};
    for (const std::string *s : {&layout.p_product_mfg, &layout.p_product_name,
                                 &layout.p_part_model_number, &layout.p_product_version,
                                 &layout.p_serial_number, &layout.p_fru_id})
        put_field(product, *s);
    if (layout.product_seventh_field) put_field(product, layout.p_fru_file_id);
    close_area(product, layout.end_markers);

    Bytes img(4096, 0);
    std::size_t board_at = 8;
    std::size_t product_at = board_at + board.size();
    std::size_t mrec_at = layout.mrec_at != 0 ? layout.mrec_at : product_at + product.size();
    Bytes header = {1, static_cast<std::uint8_t>(layout.internal_at / 8),
                    static_cast<std::uint8_t>(layout.chassis_at / 8),
                    static_cast<std::uint8_t>(board_at / 8),
                    static_cast<std::uint8_t>(product_at / 8),
                    static_cast<std::uint8_t>(mrec_at / 8), 0};
    header.push_back(zero_sum(header));
    std::copy(header.begin(), header.end(), img.begin());
    std::copy(board.begin(), board.end(), img.begin() + static_cast<std::ptrdiff_t>(board_at));
    std::copy(product.begin(), product.end(),
              img.begin() + static_cast<std::ptrdiff_t>(product_at));

    std::size_t at = mrec_at;
    for (std::size_t i = 0; i < layout.records.size(); ++i) {
        const FruRecord &r = layout.records[i];
        bool last = layout.end_of_list && i + 1 == layout.records.size();
        Bytes rec = {r.type,
                     static_cast<std::uint8_t>(0x02 | (last ? 0x80 : 0) |
                                               (layout.extra_flag_bits & 0x78)),
                     static_cast<std::uint8_t>(r.data.size()), zero_sum(r.data)};
        rec.push_back(zero_sum(rec));
        rec.insert(rec.end(), r.data.begin(), r.data.end());
        if (at + rec.size() > img.size()) break;
        std::copy(rec.begin(), rec.end(), img.begin() + static_cast<std::ptrdiff_t>(at));
        at += rec.size();
    }
    if (layout.chassis_at != 0) {
        // Version, one unit, type "main server chassis", empty part and
        // serial numbers, end of fields, checksum.
        Bytes chassis = {1, 1, 0x17, 0xC0, 0xC0, 0xC1, 0};
        chassis.push_back(zero_sum(chassis));
        std::copy(chassis.begin(), chassis.end(),
                  img.begin() + static_cast<std::ptrdiff_t>(layout.chassis_at));
    }
    if (layout.internal_at != 0) {
        const Bytes internal = {1, 'i', 'n', 't', 'e', 'r', 'n', 'a', 'l'};
        std::copy(internal.begin(), internal.end(),
                  img.begin() + static_cast<std::ptrdiff_t>(layout.internal_at));
    }
    claim(img, board_at, layout.board_claim_units);
    claim(img, product_at, layout.product_claim_units);
    return img;
}

}  // namespace sim
