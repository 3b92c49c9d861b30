// Arbitrary bytes as the EEPROM image: the parse, the value extraction and
// a pack of whatever table the parse left must stay inside their buffers,
// a packed table must parse back to the same records, and a save either
// refuses or keeps every area and record but the one that was set. The
// image check agrees with the load and the save: an image it passes is
// restored to an EEPROM file, reads back byte for byte and loads as it
// parses, and saves; one it refuses is refused by the save too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "board/board.h"
#include "fru/board_info.h"
#include "fru/fru_check.h"
#include "fru/fru_format.h"
#include "fru/fru_store.h"

namespace {

std::uint8_t fix(const std::uint8_t *p, std::size_t n) {
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i) s += p[i];
    return static_cast<std::uint8_t>(0x100 - (s & 0xFF));
}

// Random bytes rarely carry valid checksums; this copy gets them set so the
// fuzzer reaches the fields and the records too.
void repair(std::uint8_t *img) {
    img[0] = 1;
    img[7] = 0;
    img[7] = fix(img, 8);
    for (std::size_t off : {img[3] * std::size_t{8}, img[4] * std::size_t{8}}) {
        std::uint8_t *a = img + off;
        std::size_t len = a[1] * std::size_t{8};
        if (off == 0 || len == 0 || off + len > FRU_IMAGE_SIZE) continue;
        a[0] = 1;
        a[len - 1] = 0;
        a[len - 1] = fix(a, len);
    }
    std::size_t at = img[5] * std::size_t{8};
    if (at == 0) return;
    for (int i = 0; i < 8 && at + 5 <= FRU_IMAGE_SIZE; ++i) {
        std::uint8_t *r = img + at;
        std::size_t len = r[2];
        if (at + 5 + len > FRU_IMAGE_SIZE) break;
        r[1] = static_cast<std::uint8_t>((r[1] & 0xF8) | 2);
        r[3] = fix(r + 5, len);
        r[4] = 0;
        r[4] = fix(r, 5);
        at += 5 + len;
    }
}

void check(const std::uint8_t *image);
void check_save(const std::uint8_t *image);
void check_restore(const std::uint8_t *image);
void put_eeprom(const std::uint8_t *image);

// A board tree of the fuzzer's own holding only the EEPROM file; in memory
// where there is a tmpfs (a disk file's rewrite costs more than the rest
// of a run together).
char shm_root[] = "/dev/shm/fuzz-fru-XXXXXX";
char tmp_root[] = "/tmp/fuzz-fru-XXXXXX";
const char *root = nullptr;
constexpr const char *kFolders[] = {"/sys", "/sys/bus", "/sys/bus/i2c", "/sys/bus/i2c/devices",
                                    "/sys/bus/i2c/devices/1-0053"};

void remove_tree() {
    std::remove(board::path(FRU_EEPROM_PATH).c_str());
    for (int i = static_cast<int>(std::size(kFolders)) - 1; i >= 0; --i)
        rmdir(board::path(kFolders[i]).c_str());
    rmdir(root);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    root = mkdtemp(shm_root);
    if (root == nullptr) root = mkdtemp(tmp_root);
    if (root == nullptr) std::abort();
    setenv("BOARD_ROOT", root, 1);
    for (const char *f : kFolders)
        if (mkdir(board::path(f).c_str(), 0755) != 0) std::abort();
    std::atexit(remove_tree);
    static const std::uint8_t zeros[FRU_IMAGE_SIZE] = {};
    put_eeprom(zeros);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The programs always parse a whole 4096-byte image; pad or cut to that,
    // in a buffer of exactly that size so ASan sees any overrun.
    static std::uint8_t image[FRU_IMAGE_SIZE];
    std::memset(image, 0, sizeof image);
    std::memcpy(image, data, size < sizeof image ? size : sizeof image);
    check(image);
    check_save(image);
    check_restore(image);
    repair(image);
    check(image);
    check_save(image);
    check_restore(image);
    return 0;
}

namespace {

void check(const std::uint8_t *image) {

    board_info = BoardInfo{};
    int rc = fru_parse(&board_info, image, sizeof image);
    if (rc == 0) fru_extract_values();
    if (board_info.mrec_count > FRU_MREC_MAX) std::abort();

    // Pack what the parse left (after a failure too: the console saves that).
    static std::uint8_t packed[FRU_IMAGE_SIZE];
    std::memset(packed, 0, sizeof packed);
    if (fru_pack_mrec_area(&board_info, packed, sizeof packed) != 0) std::abort();  // 8 x 260 fits

    std::size_t at = 0;
    for (std::uint32_t i = 0; i < board_info.mrec_count; ++i) {
        const MultiRecord &want = board_info.mrecs[i];
        MultiRecord got{};
        int n = fru_parse_mrec(&got, packed + at, sizeof packed - at);
        if (n != want.length + 5) std::abort();
        if (got.type != want.type || got.format != 2 || got.length != want.length) std::abort();
        if ((got.end_of_list != 0) != (i + 1 == board_info.mrec_count)) std::abort();
        if (want.length > 0 && std::memcmp(got.data, want.data, static_cast<std::size_t>(want.length)) != 0)
            std::abort();
        at += static_cast<std::size_t>(n);
    }

    // The setters on the parsed table, then a pack: never past the table.
    static const std::uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    fru_set_mac(&board_info, mac, image[1] % 3);
    fru_set_bootdev(&board_info, "sata0:1");
    fru_set_power_policy(&board_info, image[2]);
    if (board_info.mrec_count > FRU_MREC_MAX) std::abort();
    fru_pack_mrec_area(&board_info, packed, sizeof packed);
}

bool same_text(const FruString &a, const FruString &b) {
    return a.length == b.length && std::memcmp(a.text, b.text, sizeof a.text) == 0;
}

// Every text of the display, board and product areas.
constexpr const FruString BoardInfo::*kTexts[] = {
    &BoardInfo::b_mfg_name,        &BoardInfo::b_product_name, &BoardInfo::b_serial_number,
    &BoardInfo::b_part_number,     &BoardInfo::b_fru_id,       &BoardInfo::p_product_mfg,
    &BoardInfo::p_product_name,    &BoardInfo::p_part_model_number,
    &BoardInfo::p_product_version, &BoardInfo::p_serial_number, &BoardInfo::p_fru_id};

bool same_texts(const BoardInfo &a, const BoardInfo &b) {
    for (auto t : kTexts)
        if (!same_text(a.*t, b.*t)) return false;
    return true;
}

bool same_record(const MultiRecord &a, const MultiRecord &b) {
    return a.type == b.type && a.length == b.length &&
           (a.length == 0 || std::memcmp(a.data, b.data, static_cast<std::size_t>(a.length)) == 0);
}

// A save either refuses or writes an image from which every area and record
// the load read comes back unchanged, apart from the records of the id set.
void check_save(const std::uint8_t *image) {
    static BoardInfo before;
    before = BoardInfo{};
    if (fru_parse(&before, image, FRU_IMAGE_SIZE) != 0) return;
    board_info = BoardInfo{};
    if (fru_parse(&board_info, image, FRU_IMAGE_SIZE) != 0) std::abort();
    fru_extract_values();

    static const std::uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    std::uint8_t set_id = 0;
    switch (image[6] % 4) {
    case 0: set_id = MREC_MAC; fru_set_mac(&board_info, mac, 0); break;
    case 1: set_id = MREC_BOOTDEV; fru_set_bootdev(&board_info, "sata0:1"); break;
    case 2: set_id = MREC_POWER_POLICY; fru_set_power_policy(&board_info, 2); break;
    default: set_id = MREC_MAC3; fru_set_mac(&board_info, mac, 2); break;
    }
    if (fru_check_save(&board_info, image) != FRU_SAVE_OK) return;
    static std::uint8_t out[FRU_IMAGE_SIZE];
    if (fru_build_image(&board_info, image, out) != 0) return;

    static BoardInfo after;
    after = BoardInfo{};
    if (fru_parse(&after, out, FRU_IMAGE_SIZE) != 0) std::abort();
    if (after.board_offset != before.board_offset || after.product_offset != before.product_offset ||
        after.mrec_offset != before.mrec_offset)
        std::abort();
    if (std::memcmp(after.b_mfg_date, before.b_mfg_date, sizeof before.b_mfg_date) != 0) std::abort();
    if (!same_texts(after, before)) std::abort();
    // Bytes in front of the records (header, every area there) come back whole.
    if (std::memcmp(out, image, static_cast<std::size_t>(before.mrec_offset)) != 0) std::abort();

    // The records that were not set, in order; the set ones carry the value.
    std::uint32_t j = 0;
    for (std::uint32_t i = 0; i < after.mrec_count; ++i) {
        const MultiRecord &got = after.mrecs[i];
        if (got.type == set_id) continue;
        while (j < before.mrec_count && before.mrecs[j].type == set_id) ++j;
        if (j >= before.mrec_count || !same_record(got, before.mrecs[j])) std::abort();
        ++j;
    }
    while (j < before.mrec_count && before.mrecs[j].type == set_id) ++j;
    if (j != before.mrec_count) std::abort();
    // A set id that has a record now reads back as what was set.
    bool has = false;
    for (std::uint32_t i = 0; i < after.mrec_count; ++i) has |= after.mrecs[i].type == set_id;
    if (!has && set_id != MREC_MAC && set_id != MREC_MAC3 && before.mrec_count < FRU_MREC_MAX)
        std::abort();  // a missing record is created when the table has room
    if (!has) return;
    board_info = after;
    fru_extract_values();
    if (set_id == MREC_BOOTDEV && std::strcmp(board_info.bootdevice, "sata0:1") != 0) std::abort();
    if (set_id == MREC_POWER_POLICY && board_info.power_policy != 2) std::abort();
    if (set_id == MREC_MAC && std::memcmp(board_info.mac, mac, 6) != 0) std::abort();
    if (set_id == MREC_MAC3 && std::memcmp(board_info.mac3, mac, 6) != 0) std::abort();
}

void put_eeprom(const std::uint8_t *image) {
    std::FILE *f = std::fopen(board::path(FRU_EEPROM_PATH).c_str(), "wb");
    if (f == nullptr || std::fwrite(image, 1, FRU_IMAGE_SIZE, f) != FRU_IMAGE_SIZE) std::abort();
    std::fclose(f);
}

void expect_eeprom(const std::uint8_t *image) {
    static std::uint8_t got[FRU_IMAGE_SIZE + 1];
    std::FILE *f = std::fopen(board::path(FRU_EEPROM_PATH).c_str(), "rb");
    if (f == nullptr) std::abort();
    std::size_t n = std::fread(got, 1, sizeof got, f);
    std::fclose(f);
    if (n != FRU_IMAGE_SIZE || std::memcmp(got, image, FRU_IMAGE_SIZE) != 0) std::abort();
}

// What the load made of the EEPROM is what a parse makes of the image.
void expect_loaded_as(const BoardInfo &want) {
    const BoardInfo &b = board_info;
    if (b.board_offset != want.board_offset || b.product_offset != want.product_offset ||
        b.mrec_offset != want.mrec_offset || b.mrec_count != want.mrec_count ||
        std::memcmp(b.b_mfg_date, want.b_mfg_date, sizeof b.b_mfg_date) != 0)
        std::abort();
    if (!same_texts(b, want)) std::abort();
    for (std::uint32_t i = 0; i < want.mrec_count; ++i)
        if (!same_record(b.mrecs[i], want.mrecs[i])) std::abort();
}

void check_restore(const std::uint8_t *image) {
    int verdict = fru_check_image(image, FRU_IMAGE_SIZE, nullptr);
    static BoardInfo parsed;
    parsed = BoardInfo{};
    bool loads = fru_parse(&parsed, image, FRU_IMAGE_SIZE) == 0;
    if (loads != (verdict != FRU_CHECK_NO_LOAD)) std::abort();
    if (verdict == FRU_CHECK_NO_LOAD) return;  // a restore writes nothing
    if (verdict == FRU_CHECK_NO_SAVE) {
        // The save refuses it too, and leaves every byte.
        put_eeprom(image);
        board_info = BoardInfo{};
        if (fru_load() != 0 || fru_save() == 0) std::abort();
        expect_eeprom(image);
        return;
    }
    // Restored over whatever the EEPROM held (or found there already): the
    // image reads back whole.
    const int written = fru_write_image(image, nullptr);
    if (written != FRU_WRITE_OK && written != FRU_WRITE_SAME) std::abort();
    expect_eeprom(image);
    board_info = BoardInfo{};
    if (fru_load() != 0) std::abort();
    expect_loaded_as(parsed);
    // And a save of it is allowed and loads back the same.
    if (fru_save() != 0) std::abort();
    board_info = BoardInfo{};
    if (fru_load() != 0) std::abort();
    expect_loaded_as(parsed);
}

}  // namespace
