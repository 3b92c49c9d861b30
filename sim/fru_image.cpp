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
    std::size_t mrec_at = product_at + product.size();
    Bytes header = {1, 0, 0, static_cast<std::uint8_t>(board_at / 8),
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
    return img;
}

}  // namespace sim
