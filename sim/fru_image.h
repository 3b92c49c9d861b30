// FRU EEPROM images for the simulated board and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct FruRecord {
    std::uint8_t type;
    std::vector<std::uint8_t> data;
};

// What the simulated EEPROM holds. Texts are stored with type bits 00 (the
// type/length byte is the length), as the board's own tools write them.
struct FruImageContent {
    std::string b_mfg_name = "Norvane Systems";
    std::string b_product_name = "NV-7400 Service Board";
    std::string b_serial_number = "NV74-000123";
    std::string b_part_number = "PN-7400-01";
    std::string b_fru_id = "fru-7400-a";
    std::string p_product_mfg = "Norvane Systems";
    std::string p_product_name = "NV-7400";
    std::string p_part_model_number = "NV7400-STD";
    std::string p_product_version = "rev B";
    std::string p_serial_number = "P-000123";
    std::string p_fru_id = "fru-p-7400";
    // Minutes since 1996-01-01 00:00, stored least significant byte first.
    std::uint32_t mfg_minutes = 10605600;  // 2016-03-01
    std::vector<FruRecord> records = {
        {0xC0, {0x02, 0x00, 0x5e, 0x10, 0x20, 0x30}},
        {0xC1, {'s', 'a', 't', 'a', '0', ':', '0'}},
        {0xC3, {0x01}},
        {0xC4, {0x00}},
    };
    // Product area's seventh field (the FRU file id in IPMI terms); other
    // FRU parsers want it. Written when product_seventh_field is set.
    bool product_seventh_field = true;
    std::string p_fru_file_id = "";
    // The 0xC1 end-of-fields marker behind the fields of both areas.
    bool end_markers = true;
    // Set the end-of-list bit on the last record (off: a list without one).
    bool end_of_list = true;
    // Bits 3..6 of the record flags, ORed into every record's flags byte.
    std::uint8_t extra_flag_bits = 0;
    // Where the multirecord area starts, in bytes (a multiple of 8); 0 puts
    // it right behind the product area.
    std::size_t mrec_at = 0;
    // Nonzero: the area's length byte claims this many 8-byte units and its
    // checksum, in the claimed last byte, covers whatever lies there (other
    // areas and records included), so the image still loads.
    std::uint8_t board_claim_units = 0;
    std::uint8_t product_claim_units = 0;
    // A small valid chassis info area and an internal use area at these
    // byte offsets (multiples of 8 below 2048); 0: none.
    std::size_t chassis_at = 0;
    std::size_t internal_at = 0;
};

// A complete, valid 4096-byte image.
std::vector<std::uint8_t> make_fru_image(const FruImageContent &layout = {});

}  // namespace sim
