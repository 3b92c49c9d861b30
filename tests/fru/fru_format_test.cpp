// Parse and pack of FRU images over byte arrays.
#include <gtest/gtest.h>

#include <cstring>

#include "fru/fru_format.h"
#include "sim/fru_image.h"
#include "tests/fru/fru_test_util.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Parsed {
    BoardInfo info{};
    int rc = 0;
};

Parsed parse(const Bytes &img) {
    Parsed p;
    p.rc = fru_parse(&p.info, img.data(), img.size());
    return p;
}

Bytes header(std::uint8_t ver, std::uint8_t b, std::uint8_t p, std::uint8_t m,
             std::uint8_t byte1 = 0) {
    Bytes h = {ver, byte1, 0, b, p, m, 0};
    h.push_back(zero_sum(h));
    return h;
}

TEST(FruChecksum, SumsModulo256AndEmptyIsZero) {
    const std::uint8_t b[] = {0xF0, 0x20, 0x01};
    EXPECT_EQ(fru_checksum(b, 3), 0x11);
    EXPECT_EQ(fru_checksum(b, 0), 0);
}

TEST(FruHeader, RejectsShortEmptyBadVersionAndChecksumInOrder) {
    LogCapture log;
    Bytes img = sim::make_fru_image();
    EXPECT_EQ(fru_parse(nullptr, img.data(), 7), -1);
    EXPECT_TRUE(log.has("W[FRU]: FRU buffer is too short\n"));

    // Only byte 0 decides emptiness: a valid rest does not help.
    Bytes erased = img;
    erased[0] = 0xFF;
    EXPECT_EQ(parse(erased).rc, -2);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Empty EEPROM detected\n"));

    Bytes zero(4096, 0);
    EXPECT_EQ(parse(zero).rc, -3);
    Bytes v2 = img;
    v2[0] = 2;
    EXPECT_EQ(parse(v2).rc, -3);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Header version is not valid\n"));

    Bytes bad = img;
    bad[6] = static_cast<std::uint8_t>(bad[6] + 3);
    Parsed p = parse(bad);
    EXPECT_EQ(p.rc, -4);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Bad header checksum: 3\n"));
    EXPECT_EQ(p.info.board_offset, 0);  // offsets come after the checks
}

TEST(FruHeader, OffsetsStaySetWhenALaterStepFails) {
    Bytes img = sim::make_fru_image();
    std::size_t b = img[3] * 8u;
    img[b] = 2;  // board area version
    Parsed p = parse(img);
    EXPECT_EQ(p.rc, -5);
    EXPECT_EQ(p.info.board_offset, img[3] * 8);
    EXPECT_EQ(p.info.product_offset, img[4] * 8);
    EXPECT_EQ(p.info.mrec_offset, img[5] * 8);
}

TEST(FruHeader, ZeroOffsetsReadTheHeaderAsEveryArea) {
    // Byte 1 = 1: the "board area" is the 8 header bytes, which sum to 0.
    Bytes img(4096, 0);
    Bytes h = header(1, 0, 0, 0, 1);
    std::copy(h.begin(), h.end(), img.begin());
    LogCapture log;
    Parsed p = parse(img);
    EXPECT_EQ(p.info.board_offset, 0);
    EXPECT_EQ(p.info.mrec_offset, 0);
    EXPECT_EQ(p.info.b_mfg_date[0], 0);
    // Both areas pass their checks; the header read as a record does not.
    EXPECT_EQ(p.rc, -7);
    EXPECT_TRUE(log.has("W[FRU]: FRU: multirecord header checksum is invalid\n"));
    EXPECT_TRUE(log.has("W[FRU]: FRU: Failed to parse multirecord\n"));
}

TEST(FruArea, VersionSizeAndChecksumFailures) {
    LogCapture log;
    BoardInfo info{};
    Bytes a = {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    a[15] = zero_sum(a);
    EXPECT_EQ(fru_parse_board_area(&info, a.data(), a.size()), 0);
    EXPECT_EQ(fru_parse_board_area(&info, a.data(), 15), -2);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Board area size mismatch\n"));
    EXPECT_EQ(fru_parse_product_area(&info, a.data(), 15), -2);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Product area size mismatch\n"));

    Bytes bad = a;
    bad[4] = 7;
    EXPECT_EQ(fru_parse_board_area(&info, bad.data(), bad.size()), -3);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Bad board area checksum [0-16]: 7\n"));
    EXPECT_EQ(fru_parse_product_area(&info, bad.data(), bad.size()), -3);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Bad product area checksum\n"));

    bad = a;
    bad[0] = 0;
    EXPECT_EQ(fru_parse_board_area(&info, bad.data(), bad.size()), -1);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Board area version is not valid\n"));
    EXPECT_EQ(fru_parse_product_area(&info, bad.data(), bad.size()), -1);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Product area version is not valid\n"));

    Bytes img = sim::make_fru_image();
    img[img[4] * 8u + 5] ^= 1;
    EXPECT_EQ(parse(img).rc, -6);
}

TEST(FruArea, LengthZeroPassesAndReadsFieldsBehindTheStart) {
    BoardInfo info{};
    Bytes a = {1, 0, 0, 0x11, 0x22, 0x33, 3, 'a', 'b', 'c', 2, 'd', 'e', 0, 0, 1, 'z'};
    EXPECT_EQ(fru_parse_board_area(&info, a.data(), a.size()), 0);
    EXPECT_EQ(info.b_mfg_date[0], 0x11);
    EXPECT_EQ(info.b_mfg_date[2], 0x33);
    EXPECT_STREQ(info.b_mfg_name.text, "abc");
    EXPECT_EQ(info.b_mfg_name.length, 3);
    EXPECT_STREQ(info.b_product_name.text, "de");
    EXPECT_STREQ(info.b_fru_id.text, "z");
}

TEST(FruField, LengthByteIsTakenWholeAndTextCappedAt31) {
    Bytes area(400, 'x');
    char text[32];
    std::int32_t len = -1;
    // The length byte at 10, where the next field starts, the text's length.
    // 0xC5 has the ASCII type bits: it reads as a length of 197.
    const struct {
        std::uint8_t byte;
        std::size_t next;
        std::int32_t len;
    } rows[] = {{5, 16, 5}, {0xC5, 10 + 198, 31}, {40, 51, 31}, {0, 11, 0}};
    for (const auto &r : rows) {
        SCOPED_TRACE(static_cast<int>(r.byte));
        area[10] = r.byte;
        std::memset(text, 'q', sizeof text);
        EXPECT_EQ(fru_read_field(area.data(), 10, text, &len), r.next);
        EXPECT_EQ(len, r.len);
        EXPECT_EQ(std::strlen(text), static_cast<std::size_t>(r.len));
        EXPECT_EQ(text[31], '\0');  // zero-filled first
    }
}

TEST(FruArea, ImageTextsAndLongFieldsAreSkippedWhole) {
    sim::FruImageContent layout;
    layout.b_product_name = std::string(40, 'N');
    layout.b_serial_number = "SER";
    Parsed p = parse(sim::make_fru_image(layout));
    ASSERT_EQ(p.rc, 0);
    EXPECT_STREQ(p.info.b_mfg_name.text, "Norvane Systems");
    EXPECT_EQ(std::string(p.info.b_product_name.text), std::string(31, 'N'));
    EXPECT_STREQ(p.info.b_serial_number.text, "SER");
    EXPECT_STREQ(p.info.p_fru_id.text, "fru-p-7400");  // sixth product field
    // Date bytes in stored order (10605600 = 0xA1D420).
    EXPECT_EQ(p.info.b_mfg_date[0], 0x20);
    EXPECT_EQ(p.info.b_mfg_date[1], 0xD4);
    EXPECT_EQ(p.info.b_mfg_date[2], 0xA1);
}

TEST(FruMrec, HeaderAndDataChecks) {
    LogCapture log;
    MultiRecord e{};
    Bytes r = raw_mrec(0xC4, 0x82, {7});
    EXPECT_EQ(fru_parse_mrec(&e, r.data(), r.size()), 6);
    EXPECT_EQ(e.type, 0xC4);
    EXPECT_EQ(e.format, 2);
    EXPECT_EQ(e.end_of_list, 1);
    EXPECT_EQ(e.length, 1);
    EXPECT_EQ(e.data, r.data() + 5);  // points into the image

    EXPECT_EQ(fru_parse_mrec(&e, r.data(), 4), -4);
    EXPECT_TRUE(log.has("W[FRU]: FRU: no space in multirecord buffer, failed to parse header\n"));
    EXPECT_EQ(fru_parse_mrec(&e, r.data(), 5), -5);
    EXPECT_TRUE(log.has("W[FRU]: FRU: no space in multirecord buffer, failed check data\n"));

    Bytes bad = r;
    bad[4] ^= 1;
    EXPECT_EQ(fru_parse_mrec(&e, bad.data(), bad.size()), -1);
    EXPECT_TRUE(log.has("W[FRU]: FRU: multirecord header checksum is invalid\n"));

    Bytes v3 = raw_mrec(0xC4, 0x83, {7});
    EXPECT_EQ(fru_parse_mrec(&e, v3.data(), v3.size()), -2);
    EXPECT_TRUE(log.has("W[FRU]: FRU: multirecord format is unknown [3]\n"));

    bad = raw_mrec(0xC4, 0x02, {7});
    bad[5] = 9;  // data sum now off by 2
    EXPECT_EQ(fru_parse_mrec(&e, bad.data(), bad.size()), -3);
    EXPECT_TRUE(log.has("W[FRU]: FRU: multirecord data checksum is invalid [0x02]\n"));
}

TEST(FruMrec, ZeroLengthAndIgnoredFlagBits) {
    MultiRecord e{};
    Bytes r = raw_mrec(0xC1, 0x02, {});
    ASSERT_EQ(r[3], 0);
    EXPECT_EQ(fru_parse_mrec(&e, r.data(), r.size()), 5);
    EXPECT_EQ(e.length, 0);
    Bytes odd = raw_mrec(0xD0, 0x7A, {1, 2});  // bits 3..6 set
    EXPECT_EQ(fru_parse_mrec(&e, odd.data(), odd.size()), 7);
    EXPECT_EQ(e.format, 2);
    EXPECT_EQ(e.end_of_list, 0);
    EXPECT_EQ(e.type, 0xD0);  // any id is kept
}

TEST(FruList, EndsAtEndBitOrAfterEightRecords) {
    Bytes img = sim::make_fru_image();
    Bytes recs;
    for (int i = 0; i < 10; ++i) {
        Bytes r = raw_mrec(static_cast<std::uint8_t>(0xD0 + i), 0x02, {static_cast<std::uint8_t>(i)});
        recs.insert(recs.end(), r.begin(), r.end());
    }
    put_records(img, recs);
    Parsed p = parse(img);
    EXPECT_EQ(p.rc, 0);
    EXPECT_EQ(p.info.mrec_count, 8u);
    EXPECT_EQ(p.info.mrecs[7].type, 0xD7);

    put_records(img, cat({raw_mrec(0xC0, 0x02, {1, 2, 3, 4, 5, 6}), raw_mrec(0xC3, 0x82, {1}),
                          raw_mrec(0xC4, 0x82, {1})}));
    p = parse(img);
    EXPECT_EQ(p.rc, 0);
    EXPECT_EQ(p.info.mrec_count, 2u);
}

TEST(FruList, FailedRecordKeepsTheOnesBefore) {
    LogCapture log;
    Bytes img = sim::make_fru_image();
    Bytes bad = raw_mrec(0xC3, 0x82, {1});
    bad[3] = static_cast<std::uint8_t>(bad[3] + 0x10);
    bad[4] = static_cast<std::uint8_t>(bad[4] - 0x10);  // header still sums to 0
    put_records(img, cat({raw_mrec(0xC0, 0x02, {1, 2, 3, 4, 5, 6}), bad}));
    Parsed p = parse(img);
    EXPECT_EQ(p.rc, -7);
    EXPECT_EQ(p.info.mrec_count, 1u);
    EXPECT_EQ(p.info.mrecs[0].type, 0xC0);
    EXPECT_TRUE(log.has("invalid [0x10]\nW[FRU]: FRU: Failed to parse multirecord\n"));
    EXPECT_STREQ(p.info.b_mfg_name.text, "Norvane Systems");  // not rolled back
}

TEST(FruList, RecordRunningOffTheImageFails) {
    Bytes img = sim::make_fru_image();
    // A record at the last 5 bytes claiming data beyond the end.
    Bytes r = raw_mrec(0xC2, 0x82, Bytes(20, 1));
    std::size_t at = 4096 - 5;
    img[5] = 0;  // multirecords at byte 0 would be the header; place by hand
    Bytes h = header(1, img[3], img[4], static_cast<std::uint8_t>(at / 8));
    std::copy(h.begin(), h.end(), img.begin());
    std::size_t m = mrec_at(img);
    std::copy(r.begin(), r.begin() + 5, img.begin() + static_cast<long>(m));
    EXPECT_EQ(parse(img).rc, -7);
}

TEST(FruPack, FlagsChecksumsAndSpace) {
    LogCapture log;
    BoardInfo info{};
    const std::uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    const std::uint8_t one = 9;
    info.mrecs[0] = {0xC0, 2, 1, 6, mac};  // its own end flag does not count
    info.mrecs[1] = {0xC3, 2, 0, 1, &one};
    info.mrecs[2] = {0xC4, 2, 0, 0, nullptr};
    info.mrec_count = 3;
    Bytes out(64, 0xEE);
    ASSERT_EQ(fru_pack_mrec_area(&info, out.data(), out.size()), 0);
    EXPECT_EQ(out[1], 0x02);
    EXPECT_EQ(out[11 + 1], 0x02);
    EXPECT_EQ(out[17 + 1], 0x82);
    EXPECT_EQ(out[22], 0xEE);  // nothing behind the last record
    EXPECT_TRUE(log.has("L[FRU]: Packing multirecord area\nL[FRU]: Packing [c0]\n"
                        "L[FRU]: Packing [c3]\nL[FRU]: Packing [c4]\n"));
    // Every packed record parses back.
    MultiRecord e{};
    EXPECT_EQ(fru_parse_mrec(&e, out.data(), 64), 11);
    EXPECT_EQ(std::memcmp(e.data, mac, 6), 0);
    EXPECT_EQ(fru_parse_mrec(&e, out.data() + 11, 53), 6);
    EXPECT_EQ(fru_parse_mrec(&e, out.data() + 17, 47), 5);
    EXPECT_EQ(e.end_of_list, 1);

    // A record needs strictly more than its size.
    EXPECT_EQ(fru_pack_mrec(out.data(), 11, 0xC0, true, mac, 6), -1);
    EXPECT_EQ(fru_pack_mrec(out.data(), 12, 0xC0, true, mac, 6), 11);
    // The area stops at the first record that does not fit, keeping the rest.
    std::fill(out.begin(), out.end(), 0xEE);
    EXPECT_EQ(fru_pack_mrec_area(&info, out.data(), 17), -1);
    EXPECT_TRUE(log.has("W[FRU]: FRU: Failed to pack multirecord\n"));
    EXPECT_EQ(out[0], 0xC0);
    EXPECT_EQ(out[11], 0xEE);
}

TEST(FruPack, EmptyTableWritesNothingAndLengthIsLow8Bits) {
    BoardInfo info{};
    Bytes out(16, 0xEE);
    EXPECT_EQ(fru_pack_mrec_area(&info, out.data(), out.size()), 0);
    EXPECT_EQ(out, Bytes(16, 0xEE));
    const std::uint8_t d[4] = {1, 2, 3, 4};
    info.mrecs[0] = {0xC2, 2, 1, 0x103, d};
    info.mrec_count = 1;
    ASSERT_EQ(fru_pack_mrec_area(&info, out.data(), out.size()), 0);
    EXPECT_EQ(out[2], 3);
}

TEST(FruLog, ConsoleGetsDiagnosticsToolDoesNot) {
    const Bytes img = sim::make_fru_image();
    auto logged = [&](bool diagnostics) {
        LogCapture log(diagnostics);
        BoardInfo info{};
        EXPECT_EQ(fru_parse(&info, img.data(), img.size()), 0);
        return log.text();
    };
    const std::string console = logged(true);
    EXPECT_EQ(logged(false), "");
    EXPECT_NE(console.find("FRU: Checking header [0x01 0x00 0x00 0x01 "), std::string::npos);
    // Header checksum: running sums, eight to a line.
    EXPECT_NE(console.find("CS:\n0x01 0x01 0x01 0x02 "), std::string::npos);
    EXPECT_NE(console.find("L[FRU]: FRU Board area bin:\n0x01[ ] 0x"), std::string::npos)
        << console.substr(0, 400);
    EXPECT_NE(console.find("L[FRU]: Board mfg:          \tNorvane Systems\n"), std::string::npos);
    EXPECT_NE(console.find("L[FRU]: Product fru id:       \tfru-p-7400\n"), std::string::npos);
    EXPECT_NE(console.find("FRU: parsing multirecord 3\n"), std::string::npos);
    EXPECT_NE(console.find("FRU: last multirecord\n"), std::string::npos);
    EXPECT_NE(console.find("L[FRU]: FRU mrec header bin:\n0xc0[\xc0] 0x02[ ] 0x06[ ] "),
              std::string::npos);
}

}  // namespace
