// The image check: one line a part, and the verdict a load and a save would
// give the same image.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fru/fru_check.h"
#include "fru/fru_format.h"
#include "fru/fru_store.h"
#include "fru_test_util.h"
#include "sim/fru_image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Report {
    int result;
    std::string text;
};

Report check(const Bytes &img, std::size_t size = FRU_IMAGE_SIZE) {
    Bytes whole(img);
    whole.resize(FRU_IMAGE_SIZE);
    std::FILE *f = std::tmpfile();
    int r;
    {
        LogCapture quiet;  // the parse's own lines are not the report
        r = fru_check_image(whole.data(), size, f);
    }
    std::rewind(f);
    std::string s(8192, '\0');
    s.resize(std::fread(s.data(), 1, s.size(), f));
    std::fclose(f);
    return {r, s};
}

std::string lines(const char *header, const char *board, const char *product, const char *records,
                  const char *save) {
    return std::string("header: ") + header + "\nboard area: " + board + "\nproduct area: " +
           product + "\nrecords: " + records + "\nsave: " + save + "\n";
}

TEST(Check, AGoodImageLoadsAndMaySave) {
    Report r = check(sim::make_fru_image());
    EXPECT_EQ(r.result, FRU_CHECK_OK);
    EXPECT_EQ(r.text, lines("ok", "ok", "ok", "4, ok", "allowed"));
    // No output wanted: the verdict alone.
    Bytes img = sim::make_fru_image();
    EXPECT_EQ(fru_check_image(img.data(), img.size(), nullptr), FRU_CHECK_OK);
}

// Each part that fails the parse is named with what was wrong; the parts
// behind it are not checked, and the image does not load.
TEST(Check, TheFirstPartThatFailsIsNamedAndTheRestNotChecked) {
    const Bytes good = sim::make_fru_image();
    const std::size_t board = good[3] * 8u, product = good[4] * 8u, m = mrec_at(good);
    struct Case {
        const char *what;
        Bytes img;
        std::string text;
    };
    std::vector<Case> cases;
    auto with = [&](auto change) {
        Bytes b = good;
        change(b);
        return b;
    };
    const char *nc = "not checked";
    cases.push_back({"erased", Bytes(4096, 0xFF), lines("empty (erased)", nc, nc, nc, nc)});
    cases.push_back({"zeros", Bytes(4096, 0), lines("version is not valid", nc, nc, nc, nc)});
    cases.push_back({"header sum", with([](Bytes &b) { b[6] ^= 1; }),
                     lines("bad checksum", nc, nc, nc, nc)});
    cases.push_back({"board version", with([&](Bytes &b) { b[board] = 2; b[board + 1] ^= 0; }),
                     lines("ok", "version is not valid", nc, nc, nc)});
    cases.push_back({"board sum", with([&](Bytes &b) { b[board + 8] ^= 0x20; }),
                     lines("ok", "bad checksum", nc, nc, nc)});
    cases.push_back({"product sum", with([&](Bytes &b) { b[product + 4] ^= 0x20; }),
                     lines("ok", "ok", "bad checksum", nc, nc)});
    Bytes recs = cat({raw_mrec(0xC0, 0x02, {1, 2, 3, 4, 5, 6}), raw_mrec(0xC1, 0x82, {'a'})});
    cases.push_back({"record header sum", with([&](Bytes &b) {
                         put_records(b, recs);
                         b[m + 11 + 4] ^= 1;
                     }),
                     lines("ok", "ok", "ok", "record 1: header checksum is invalid", nc)});
    cases.push_back({"record format", with([&](Bytes &b) {
                         put_records(b, cat({raw_mrec(0xC0, 0x03, {1})}));
                     }),
                     lines("ok", "ok", "ok", "record 0: format is not 2", nc)});
    cases.push_back({"record data sum", with([&](Bytes &b) {
                         put_records(b, recs);
                         b[m + 5] ^= 1;
                     }),
                     lines("ok", "ok", "ok", "record 0: data checksum is invalid", nc)});
    cases.push_back({"no end of list", with([&](Bytes &b) {
                         put_records(b, cat({raw_mrec(0xC0, 0x02, {1})}));  // zeros behind
                     }),
                     lines("ok", "ok", "ok", "record 1: format is not 2", nc)});
    cases.push_back({"data past the end", records_to_the_end(good, 255),
                     lines("ok", "ok", "ok", "record 7: data does not fit in the image", nc)});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Report r = check(c.img);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.result, FRU_CHECK_NO_LOAD);
        BoardInfo info{};
        LogCapture quiet;
        FruFailure why = FRU_FAIL_NONE;
        EXPECT_NE(fru_parse(&info, c.img.data(), c.img.size(), &why), 0);  // the load agrees
        // The same row gives the parse its value and the report its words.
        EXPECT_EQ(fru_parse(&info, c.img.data(), c.img.size()), kFruFailures[why].parse);
        EXPECT_NE(c.text.find(kFruFailures[why].report), std::string::npos);
    }
}

// Images that load but whose save would lose or could not hold data: the
// reason is the save rules' own, and the verdict is the save's.
TEST(Check, ASaveTheRulesRefuseIsNamed) {
    struct Case {
        const char *what;
        Bytes img;
        std::size_t size;
        const char *records, *save;
    };
    const Bytes good = sim::make_fru_image();
    sim::FruImageContent chassis;
    chassis.chassis_at = 1024;
    const Case cases[] = {
        {"overlap", sim::make_fru_image(overlapping()), 4096, "4", "refused: board area reaches into multirecord area"},
        {"chassis", sim::make_fru_image(chassis), 4096, "4", "refused: chassis area would be overwritten"},
        {"nine records", sim::make_fru_image(filler_records(9)), 4096, "8", "refused: more than 8 multirecords"},
        {"records to the very end", records_to_the_end(good, 231), 4096, "8", "refused: records do not fit"},
        {"short", good, 4095, "4", "refused: not 4096 bytes"},
        {"long", good, 4097, "4", "refused: not 4096 bytes"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Report r = check(c.img, c.size);
        EXPECT_EQ(r.result, FRU_CHECK_NO_SAVE);
        EXPECT_EQ(r.text.substr(r.text.find("records: ")),
                  std::string("records: ") + c.records + ", ok\nsave: " + c.save + "\n")
            << r.text;
    }
}

}  // namespace
