// quellet as a script sees it: standard output, exit status and the
// EEPROM's bytes afterwards, on a simulated board of its own.
#include <gtest/gtest.h>

#include <memory>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "fru/board_info.h"
#include "fru/fru_format.h"
#include "sim/board_tree.h"
#include "tests/fru/fru_test_util.h"
#include "tests/support/child.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::read_bytes;
using test_support::read_file;
using test_support::write_file;
using Bytes = std::vector<std::uint8_t>;
constexpr const char *kEeprom = "/sys/bus/i2c/devices/1-0053/eeprom";

struct Outcome {
    int status = -1;
    std::string out, err;
};

// A run's exit status and its whole standard output.
void expect(const Outcome &r, int status, const std::string &out) {
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, out);
}

// The bytes cut or filled up to n.
Bytes resized(Bytes b, std::size_t n, std::uint8_t fill = 0) {
    b.resize(n, fill);
    return b;
}

class Quellet : public ::testing::Test {
protected:
    void SetUp() override {
        build({});
    }
    void TearDown() override { EXPECT_TRUE(tmp_.remove()); }
    void build(const sim::FruImageContent &layout) {
        sim::TreeOptions o;
        o.fru = layout;
        o.sample_markers = false;
        sim::build_board_tree(root_, o);
    }
    Outcome run(std::vector<std::string> args, bool with_root = true) {
        std::string out = root_ + "/out.txt", err = root_ + "/err.txt";
        return finish(spawn(std::move(args), out, err, with_root), out, err);
    }
    std::unique_ptr<test_support::Child> spawn(std::vector<std::string> args,
                                               const std::string &out, const std::string &err,
                                               bool with_root = true) {
        std::vector<std::string> extra;
        if (with_root) extra.push_back("BOARD_ROOT=" + root_);
        extra.insert(extra.end(), env_.begin(), env_.end());
        args.insert(args.begin(), QUELLET_PATH);
        return std::make_unique<test_support::Child>(
            std::move(args), test_support::environment_without_root(extra), out, err);
    }
    Outcome finish(const std::unique_ptr<test_support::Child> &child, const std::string &out,
                   const std::string &err) {
        int st = child->wait();  // a signal's end as a shell gives it: 128 + its number
        return {WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1,
                read_file(out), read_file(err)};
    }
    // A run whose standard output is a full device.
    Outcome to_full(std::vector<std::string> args) {
        return finish(spawn(std::move(args), "/dev/full", root_ + "/err.txt"), "/dev/null", root_ + "/err.txt");
    }
    Bytes eeprom() const { return read_bytes(root_ + kEeprom); }
    void put(const Bytes &b) { sim::BoardTree(root_).write_bytes(kEeprom, b); }
    // Status of a shell command line on this board, "$Q" naming quellet.
    int sh(const std::string &line) {
        setenv("BOARD_ROOT", root_.c_str(), 1), setenv("Q", QUELLET_PATH, 1);
        return WEXITSTATUS(std::system(line.c_str()));
    }
    // The runs that follow under the fault shim (which ASan lets go first).
    template <class... Settings> void shim(const Settings &...settings) {
        const char *asan = std::getenv("ASAN_OPTIONS");
        // ld.so splits LD_PRELOAD at blanks: a link with a plain path.
        const std::string link = root_ + "/fault-shim.so";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(EEPROM_FAULT_SHIM, link);
        env_ = {"LD_PRELOAD=" + link, std::string(settings)...,
                "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":verify_asan_link_order=0"};
    }
    test_support::TempDir tmp_{"/tmp/quellet-cli-XXXXXX"};
    const std::string &root_ = tmp_.path();
    std::vector<std::string> env_;  // "NAME=value" for each run
};

constexpr const char *kBanner = "L[QUELLET]: Started\nL[QUELLET]: quellet 1.0\n";

TEST_F(Quellet, RefusesToRunWithoutABoardRoot) {
    Outcome r = run({"-r"}, false);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("BOARD_ROOT"), std::string::npos);
}

TEST_F(Quellet, HelpComesFirstAndAlone) {
    const char *help = "  -q : quite; dont print anything unrelated to what you asked\n"
                       "  -h : help; you are reading it already though\n"
                       "  -g : get multirecord by hex id\n"
                       "  -s : set multirecord by hex id, requires -d option to be filled with "
                       "some data\n"
                       "  -d : multirecord data to set; for use with -s option\n"
                       "  -r : display FRU information\n";
    for (auto args : {std::vector<std::string>{"-h"}, {"-q", "-h", "-g", "zz"}, {"-s", "99", "-h"}}) {
        expect(run(args), 0, help);
    }
    // Nothing is loaded: an erased EEPROM does not matter.
    put(Bytes(4096, 0xFF));
    EXPECT_EQ(run({"-h"}).status, 0);
}

// Output a script never got is a failure, quiet or not.
TEST_F(Quellet, OutputThatCannotBeWrittenEndsWith248) {
    const std::string f = root_ + "/b.bin";
    // -s, --backup and --restore end with their own status: 0 when done.
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"-q", "-g", "c0"}, 248}, {{"-r"}, 248},          {{"-h"}, 248},
        {{"--check"}, 248},        {{"-q", "--json"}, 248}, {{"--backup", f}, 0},
        {{"--restore", f}, 0},     {{"-s", "c4", "-d", "6"}, 0}};
    for (const auto &[args, status] : cases) {
        Outcome r = to_full(args);
        EXPECT_EQ(r.status, status) << args[0];
        EXPECT_EQ(r.err, "quellet: standard output could not be written\n");
    }
    EXPECT_EQ(run({"-q", "-g", "c4"}).out, "6\n");
    // A failure keeps its own status.
    put(Bytes(4096, 0xFF));
    EXPECT_EQ(to_full({"-r"}).status, 255);
}

// Whole outputs and statuses on the default board, row by row: no row but
// the last writes the EEPROM (a bad value or a MAC without a record ends
// before the write, -r with -s only displays); the last sets the policy, its
// low 8 bits.
TEST_F(Quellet, DisplayGetAndSetRowByRow) {
    const std::string b = kBanner, unknown = b + "E[QUELLET]: Unknown multirecord id 197\n",
                      display = "b_mfg_name, Norvane Systems\nb_product_name, NV-7400 Service Board\n"
                                "b_serial_number, NV74-000123\nb_part_number, PN-7400-01\n"
                                "b_fru_id, fru-7400-a\np_product_mfg, Norvane Systems\n"
                                "p_product_name, NV-7400\np_part_model_number, NV7400-STD\n"
                                "p_product_version, rev B\np_serial_number, P-000123\np_fru_id, fru-p-7400\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
    } rows[] = {
        {{"-r", "stray", "-g", "c0"}, 0, b + display},
        {{"-q", "-r", "-s", "c4", "-d", "3"}, 0, display},
        {{"-q", "-g", "c0"}, 0, "02:00:5e:10:20:30\n"},
        {{"-q", "-g", "0xC1"}, 0, "sata0:0\n"},
        {{"-q", "-g", "C3"}, 0, "1\n"},
        {{"-q", "-g", "c4"}, 0, "0\n"},
        {{"-q", "-g", "c6"}, 0, "00:00:00:00:00:00\n"},  // absent: zeros
        {{"-q", "-g", "c2"}, 0, "\n"},
        {{"-g", "c0"}, 0, b + "02:00:5e:10:20:30\n"},  // the tool prints no FRU dumps
        {{"-g", "c5"}, 254, unknown},
        {{"-s", "c5", "-d", "1"}, 253, unknown},
        {{"-s", "c0"}, 252, b + "E[QUELLET]: -d is not set, please bother yourself with reading some help\n"},
        {{"-q", "-s", "99"}, 252, ""},
        {{"-s", "c6", "-d", "1:2:3:4:5:6"}, 249, b + "E[QUELLET]: No multirecord to update\n"},  // none to carry it
        {{"-s", "c0", "-d", "01-02-03-04-05-06"}, 251,
         b + "E[QUELLET]: MAC format is not recognized; Example: 01:02:03:04:05:06\n"},
        {{"-s", "c4", "-d", "abc"}, 250, b + "E[QUELLET]: Power policy format not recognized\n"},
        {{"-s", "c4", "-d", "4294967298"}, 250, b + "E[QUELLET]: Power policy format not recognized\n"},  // no int
        {{"-s", "c3", "-d", ""}, 250, b + "E[QUELLET]: Test state format not recognized\n"},
        {{"-s", "c4", "-d", "0x102"}, 0,
         b + "L[FRU]: Checking if power policy mrec already exists\nL[FRU]: Power policy value: 2\n"
             "L[FRU]: Found power policy mrec, updating\nL[FRU]: Updating data: 02\n"
             "L[QUELLET]: Updating multirecord\nL[FRU]: Packing multirecord area\n"
             "L[FRU]: Packing [c0]\nL[FRU]: Packing [c1]\nL[FRU]: Packing [c3]\nL[FRU]: Packing [c4]\n"
             "L[FRU]: Writing eeprom L[QUELLET]: Saving data to EEPROM\n.........."},
    };
    const Bytes before = eeprom();
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args));
        EXPECT_EQ(eeprom(), before);
        expect(run(r.args), r.status, r.out);
    }
    EXPECT_EQ(run({"-q", "-g", "c4"}).out, "2\n");
}

TEST_F(Quellet, LoadFailureEndsWith255) {
    put(Bytes(4096, 0xFF));
    expect(run({"-g", "c0"}), 255,
           std::string(kBanner) + "W[FRU]: FRU: Empty EEPROM detected\n"
                                  "E[QUELLET]: Failed to load data from EEPROM\n");
    std::filesystem::remove(root_ + kEeprom);
    expect(run({"-q", "-r"}), 255, "");
}

TEST_F(Quellet, SetsThatCannotBeStoredEndWith249) {
    // A full table: the setter says so.
    build(filler_records(8));
    Bytes before = eeprom();
    Outcome r = run({"-s", "c4", "-d", "1"});
    EXPECT_EQ(r.status, 249);
    EXPECT_NE(r.out.find("W[FRU]: FRU: multirecord table is full\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Updating multirecord"), std::string::npos);
    EXPECT_EQ(eeprom(), before);

    // An EEPROM too small to take the image: the save fails, quietly too.
    build({});
    const Bytes small = resized(eeprom(), 2048);
    put(small);
    r = run({"-s", "c4", "-d", "1"});
    EXPECT_EQ(r.status, 249);
    EXPECT_NE(r.out.find("E[QUELLET]: Failed to save data to EEPROM\n"), std::string::npos);
    EXPECT_EQ(eeprom(), small);
    expect(run({"-q", "-s", "c4", "-d", "1"}), 249, "");
}

// Images a rewrite would damage: the set ends 249 and every byte stays.
TEST_F(Quellet, SetsThatWouldLoseDataEndWith249) {
    std::vector<sim::FruImageContent> layouts = {overlapping(), {}, filler_records(9)};
    layouts[1].chassis_at = 1024;
    layouts[2].records.insert(layouts[2].records.begin(), {0xC1, {'s', 'a', 't', 'a', '0', ':', '0'}});
    for (const auto &l : layouts) {
        build(l);
        Bytes before = eeprom();
        Outcome r = run({"-s", "c1", "-d", "sata0:1"});
        EXPECT_EQ(r.status, 249) << r.out;
        EXPECT_NE(r.out.find("refusing to save\nE[QUELLET]: Failed to save data to EEPROM\n"),
                  std::string::npos) << r.out;
        EXPECT_EQ(eeprom(), before);
        // And the EEPROM still loads.
        EXPECT_EQ(run({"-q", "-g", "c1"}).out, "sata0:0\n");
    }
}

// The sets below pay the ten-second wait.
TEST_F(Quellet, QuietMacSetPrintsNothingAndStoresTheAddress) {
    expect(run({"-q", "-s", "c0", "-d", "1:2:3:4:5:6:junk"}), 0, "");
    Bytes img = eeprom();
    ASSERT_EQ(img.size(), 4096u);
    std::size_t m = img[5] * 8u;
    EXPECT_EQ(img[m], 0xC0);
    EXPECT_EQ(Bytes(img.begin() + static_cast<long>(m) + 5, img.begin() + static_cast<long>(m) + 11),
              (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(run({"-q", "-g", "c0"}).out, "01:02:03:04:05:06\n");
}

// Two boot device records and a MAC record with bytes behind the address:
// what is read back after a set is what was set, and the tail stays.
TEST_F(Quellet, SetsReachEveryRecordOfTheirIdAndKeepLongMacTails) {
    sim::FruImageContent l;
    l.records = {{0xC1, {'s', 'a', 't', 'a', '0', ':', '0'}},
                 {0xC0, {2, 0, 0x5e, 0x10, 0x20, 0x30, 0xAA, 0xBB}},
                 {0xC1, {'s', 'a', 't', 'a', '0', ':', '0'}}};
    build(l);
    EXPECT_EQ(run({"-q", "-s", "c1", "-d", "sata0:1"}).status, 0);
    EXPECT_EQ(run({"-q", "-g", "c1"}).out, "sata0:1\n");
    EXPECT_EQ(run({"-q", "-s", "c0", "-d", "1:2:3:4:5:6"}).status, 0);
    EXPECT_EQ(run({"-q", "-g", "c0"}).out, "01:02:03:04:05:06\n");
    Bytes img = eeprom();
    std::size_t mac = img[5] * 8u + 12;
    ASSERT_EQ(img[mac], 0xC0);
    EXPECT_EQ(img[mac + 2], 8);
    EXPECT_EQ(Bytes(img.begin() + static_cast<long>(mac) + 5, img.begin() + static_cast<long>(mac) + 13),
              (Bytes{1, 2, 3, 4, 5, 6, 0xAA, 0xBB}));
    EXPECT_EQ(img[mac + 13], 0xC1);
    EXPECT_EQ(img[mac + 13 + 5 + 6], '1');
}

// Two sets at once: each ends with its true status and the EEPROM holds
// both changes, or the one that ran first with the other refused; never a
// mix. The EEPROM is bigger than 4096 bytes: its tail stays.
TEST_F(Quellet, TwoSetsAtOnceNeverMixAndABiggerFileKeepsItsTail) {
    put(resized(eeprom(), 5000, 0x77));
    std::string o1 = root_ + "/o1", e1 = root_ + "/e1", o2 = root_ + "/o2", e2 = root_ + "/e2";
    auto a = spawn({"-s", "c1", "-d", "sata0:1"}, o1, e1);
    auto b = spawn({"-s", "c4", "-d", "2"}, o2, e2);
    Outcome ra = finish(a, o1, e1), rb = finish(b, o2, e2);
    EXPECT_TRUE(ra.status == 0 || ra.status == 249) << ra.out;
    EXPECT_TRUE(rb.status == 0 || rb.status == 249) << rb.out;
    EXPECT_TRUE(ra.status == 0 || rb.status == 0);
    for (const Outcome *r : {&ra, &rb}) {
        if (r->status != 249) continue;
        EXPECT_NE(r->out.find("E[FRU]: FRU: eeprom changed since it was loaded, refusing to save\n"),
                  std::string::npos) << r->out;
    }
    EXPECT_EQ(run({"-q", "-g", "c1"}).out, ra.status == 0 ? "sata0:1\n" : "sata0:0\n");
    EXPECT_EQ(run({"-q", "-g", "c4"}).out, rb.status == 0 ? "2\n" : "0\n");
    Bytes after = eeprom();
    ASSERT_EQ(after.size(), 5000u);
    EXPECT_EQ(Bytes(after.begin() + 4096, after.end()), Bytes(904, 0x77));
}

// What python3 prints for these arguments (a script and its file, or -c
// and code), line by line.
std::istringstream python(const std::string &args, const std::string &out) {
    EXPECT_EQ(std::system(("/usr/bin/python3 " + args + " > '" + out + "' 2>&1").c_str()), 0) << read_file(out);
    return std::istringstream(read_file(out));
}

// What two independent FRU parsers see, as "parser key value" lines.
std::map<std::string, std::string> foreign_view(const std::string &image) {
    std::istringstream in = python("'" QUELLET_INTEROP "' '" + image + "'", image + ".view");
    std::map<std::string, std::string> v;
    std::string line;
    int mrec = 0;
    while (std::getline(in, line)) {
        if (line.rfind("pyipmi mrec ", 0) == 0) {
            v["mrec" + std::to_string(mrec++)] = line.substr(12);
        } else if (line.rfind("ipmifru error", 0) == 0) {
            v["error"] += line + "\n";
        } else if (line.rfind("ipmifru recerror", 0) == 0) {
            v["recerror"] += line + "\n";
        } else {
            auto sp = line.rfind(' ');
            v[line.substr(0, sp)] = line.substr(sp + 1);
        }
    }
    return v;
}

std::string hex(std::string_view s) {
    static const char *d = "0123456789abcdef";
    std::string h;
    for (unsigned char b : s) h += {d[b >> 4], d[b & 15]};
    return h;
}

// Our parse of the image against theirs: area texts and every record.
void expect_agreement(const Bytes &img, const std::string &dir, bool short_records = false) {
    BoardInfo info{};
    ASSERT_EQ(fru_parse(&info, img.data(), img.size()), 0);
    auto v = foreign_view(write_file(dir + "/interop.bin", img));
    auto h = [](const FruString &f) { return hex({f.text, static_cast<std::size_t>(f.length)}); };
    const std::tuple<FruString BoardInfo::*, const char *, const char *> texts[] = {
        {&BoardInfo::b_mfg_name, "board.manufacturer", "FRU Board Manufacturer:"},
        {&BoardInfo::b_product_name, "board.product_name", "FRU Board Product Name:"},
        {&BoardInfo::b_serial_number, "board.serial_number", "FRU Board Serial Number:"},
        {&BoardInfo::b_part_number, "board.part_number", "FRU Board Part Number:"},
        {&BoardInfo::b_fru_id, "board.fru_file_id", "FRU FRU File ID:"},
        {&BoardInfo::p_product_mfg, "product.manufacturer", "FRU Product Manufacturer Name:"},
        {&BoardInfo::p_product_name, "product.name", "FRU Product Name:"},
        {&BoardInfo::p_part_model_number, "product.part_number", "FRU Product Part/Model Number:"},
        {&BoardInfo::p_product_version, "product.version", "FRU Product Version:"},
        {&BoardInfo::p_serial_number, "product.serial_number", "FRU Product Serial Number:"},
        {&BoardInfo::p_fru_id, "product.asset_tag", "FRU Product Asset Tag:"},
    };
    for (const auto &[text, pyipmi, ipmifru] : texts) {
        EXPECT_EQ(v[std::string("pyipmi ") + pyipmi], h(info.*text)) << pyipmi;
        EXPECT_EQ(v[std::string("ipmifru ") + ipmifru], h(info.*text)) << ipmifru;
    }
    for (std::uint32_t i = 0; i < info.mrec_count; ++i) {
        const MultiRecord &e = info.mrecs[i];
        char head[16];
        std::snprintf(head, sizeof head, "%02x %d ", e.type, e.end_of_list);
        EXPECT_EQ(v["mrec" + std::to_string(i)],
                  head + hex({reinterpret_cast<const char *>(e.data), static_cast<std::size_t>(e.length)}));
    }
    EXPECT_EQ(v.count("mrec" + std::to_string(info.mrec_count)), 0u);
    EXPECT_EQ(v["error"], "");
    // ipmi-fru gives up on records under three bytes, a limit of its own.
    if (!short_records) {
        EXPECT_EQ(v["recerror"], "");
    }
}

// Records of three bytes or more: ipmi-fru stops at shorter OEM records.
sim::FruImageContent long_records() {
    sim::FruImageContent s;
    s.records = {{0xC0, {0x02, 0x00, 0x5e, 0x10, 0x20, 0x30}},
                 {0xC1, {'s', 'a', 't', 'a', '0', ':', '1'}},
                 {0xC2, {'r', 'o', 'o', 't', ':', 'x', ':', '0'}},
                 {0xC6, {0x02, 0x00, 0x5e, 0x10, 0x20, 0x31}},
                 {0xC7, {0x02, 0x00, 0x5e, 0x10, 0x20, 0x32}}};
    return s;
}

TEST_F(Quellet, ForeignParsersAgreeOnTheTestImages) {
    expect_agreement(sim::make_fru_image(long_records()), root_);
    expect_agreement(sim::make_fru_image(), root_, true);  // one-byte records too
    sim::FruImageContent other;
    other.b_product_name = "X";
    other.p_product_version = "";
    other.p_fru_file_id = "file-7";
    other.mfg_minutes = 0;
    other.records = {{0xC3, {2}}, {0xC4, {1}}, {0xC5, {1}}, {0xD5, {}}};
    expect_agreement(sim::make_fru_image(other), root_, true);
}

TEST_F(Quellet, ForeignParsersAgreeAfterASet) {
    build(long_records());
    Outcome r = run({"-q", "-s", "c1", "-d", "sata0:0"});
    EXPECT_EQ(r.status, 0);
    Bytes img = eeprom();
    expect_agreement(img, root_);
    EXPECT_EQ(run({"-q", "-g", "c1"}).out, "sata0:0\n");
    r = run({"-q", "-s", "c1", "-d", ""});
    EXPECT_EQ(r.status, 0);
    img = eeprom();
    std::size_t m = img[5] * 8u;
    EXPECT_EQ(img[m + 11], 0xC1);
    EXPECT_EQ(img[m + 11 + 2], 0);  // empty boot device, a record of length 0
    expect_agreement(img, root_, true);
}

// Whole images: back up, check, restore, and the identity as JSON.

// Names in a folder other than the board tree's own.
std::vector<std::string> left_in(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir)) {
        std::string n = e.path().filename();
        if (n != "sys" && n != "etc" && n != "proc" && n != "dev" && n != "var" && n != "bin" &&
            n != "sbin" && n != "sim" && n != "out.txt" && n != "err.txt")
            names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::string kCheckGood = "header: ok\nboard area: ok\nproduct area: ok\nrecords: 4, ok\n"
                               "save: allowed\n";

// The board area's checksum no longer holds: the EEPROM does not load.
Bytes damaged(Bytes img) {
    img[img[3] * 8u + 8] ^= 0x20;
    return img;
}

TEST_F(Quellet, BackupIsTheEepromByteForByteWhetherItLoadsOrNot) {
    const Bytes good = eeprom();
    const std::string f = root_ + "/backup.bin", other = root_ + "/other-name.bin";
    expect(run({"--backup", f}), 0, std::string(kBanner) + "L[QUELLET]: EEPROM saved\n");
    EXPECT_EQ(read_bytes(f), good);

    // A damaged EEPROM is what a repair starts from. The existing backup is
    // replaced by a new file, never rewritten in place: its other name keeps it.
    ASSERT_EQ(link(f.c_str(), other.c_str()), 0);
    put(damaged(good));
    expect(run({"-q", "--backup", f}), 0, "");
    EXPECT_EQ(read_bytes(f), damaged(good));
    EXPECT_EQ(read_bytes(other), good);
    EXPECT_EQ(run({"-q", "-r"}).status, 255);

    put(Bytes(4096, 0xFF));  // erased
    EXPECT_EQ(run({"-q", "--backup", f}).status, 0);
    EXPECT_EQ(read_bytes(f), Bytes(4096, 0xFF));
    put(resized(good, 5000, 0x77));  // an EEPROM file with more behind: its first 4096 bytes
    EXPECT_EQ(run({"-q", "--backup", f}).status, 0);
    EXPECT_EQ(read_bytes(f), good);
    EXPECT_EQ(left_in(root_), (std::vector<std::string>{"backup.bin", "other-name.bin"}));
}

TEST_F(Quellet, BackupFailuresLeaveNothingBehindAndEndNonzero) {
    const std::string missing = root_ + "/missing/b.bin";
    expect(run({"--backup", missing}), 248,
           std::string(kBanner) + "E[QUELLET]: Failed to write " + missing +
               ": No such file or directory\n");
    // A folder nobody may write to (immutable: root ignores the mode bits).
    const std::string ro = root_ + "/ro";
    std::filesystem::create_directory(ro);
    ASSERT_EQ(std::system(("chattr +i '" + ro + "'").c_str()), 0);
    Outcome r = run({"-q", "--backup", ro + "/b.bin"});
    std::system(("chattr -i '" + ro + "'").c_str());
    EXPECT_EQ(r.status, 248);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(std::filesystem::is_empty(ro));

    // A timeout's signal while the new file is synced waits for its rename:
    // the backup is whole, and no new file is left beside it.
    const std::string f = root_ + "/b.bin";
    shim("FSYNC_SIGNAL=15");
    EXPECT_EQ(run({"-q", "--backup", f}).status, 128 + 15);
    env_.clear();
    std::filesystem::remove(root_ + "/fault-shim.so");
    EXPECT_EQ(read_bytes(f), eeprom());

    // An EEPROM that cannot be read whole: the old backup stays as it was.
    write_file(f, {'o', 'l', 'd'});
    put(resized(eeprom(), 2048));
    expect(run({"--backup", f}), 255,
           std::string(kBanner) + "E[QUELLET]: Failed to read 4096 bytes from EEPROM\n");
    std::filesystem::remove(root_ + kEeprom);
    expect(run({"--backup", f}), 255,
           std::string(kBanner) + "E[FRU]: FRU: failed to open eeprom\n"
                                  "E[QUELLET]: Failed to read 4096 bytes from EEPROM\n");
    EXPECT_EQ(read_bytes(f), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(left_in(root_), (std::vector<std::string>{"b.bin", "ro"}));
}

// 0 loads and may be saved, 255 does not load, 249 loads but a save is
// refused; the same for the EEPROM and for an image file; -q the status
// alone. A restore of an image that fails the check writes nothing, not even
// over an EEPROM that needs repair.
TEST_F(Quellet, CheckCheckImageAndRestoreGiveTheThreeStatuses) {
    const Bytes good = eeprom();
    expect(run({"--check"}), 0, kBanner + kCheckGood);
    const std::string f = root_ + "/image.bin";
    auto refused_restore = [&](const Bytes &img) {
        put(damaged(good));
        write_file(f, img);
        Outcome r = run({"--restore", f});
        EXPECT_EQ(r.status, 249);
        EXPECT_NE(r.out.find("\nE[QUELLET]: Image failed the check, nothing written\n"), std::string::npos) << r.out;
        EXPECT_EQ(eeprom(), damaged(good));
        expect(run({"-q", "--restore", f}), 249, "");
    };
    const struct {
        const char *what;
        Bytes img;
        int status;
        const char *line;
    } cases[] = {
        {"good", good, 0, "save: allowed\n"},
        {"damaged", damaged(good), 255, "board area: bad checksum\n"},
        {"erased", Bytes(4096, 0xFF), 255, "header: empty (erased)\n"},
        {"overlapping", sim::make_fru_image(overlapping()), 249,
         "save: refused: board area reaches into multirecord area\n"},
        {"short", resized(good, 4095), 249, "save: refused: not 4096 bytes\n"},
        {"long", resized(good, 4097), 249, "save: refused: not 4096 bytes\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.status != 0) refused_restore(c.img);
        write_file(f, c.img);
        Outcome r = run({"--check-image", f});
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 7) << r.out;
        expect(run({"-q", "--check-image", f}), c.status, "");
        EXPECT_EQ(sh("cat '" + f + "' | \"$Q\" -q --check-image /dev/stdin"), c.status);  // a pipe
        if (c.what[0] == 's' || c.what[0] == 'l') continue;  // an EEPROM file may be bigger
        put(c.img);
        r = run({"--check"});
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
        EXPECT_EQ(run({"-q", "--check"}).out, "");
    }
    refused_restore(Bytes{});
    std::filesystem::remove(f);
    Outcome r = run({"--restore", f});
    EXPECT_EQ(r.status, 249);
    EXPECT_NE(r.out.find("E[QUELLET]: Failed to read " + f), std::string::npos) << r.out;
    EXPECT_EQ(eeprom(), damaged(good));
    expect(run({"--check-image", root_ + "/none.bin"}), 255,
           std::string(kBanner) + "E[QUELLET]: Failed to read " + root_ +
               "/none.bin: No such file or directory\n");
    std::filesystem::remove(root_ + kEeprom);
    expect(run({"--check"}), 255, std::string(kBanner) + "E[FRU]: FRU: failed to open eeprom\n");
}

TEST_F(Quellet, RestoreOfABackupRepairsACorruptedEeprom) {
    build(long_records());
    const Bytes good = eeprom();
    const std::string f = root_ + "/backup.bin";
    ASSERT_EQ(run({"-q", "--backup", f}).status, 0);
    const std::string shown = run({"-q", "-r"}).out, mac = run({"-q", "-g", "c0"}).out;
    for (const Bytes &bad : {damaged(good), Bytes(4096, 0xFF), Bytes(4096, 0)}) {
        put(bad);
        ASSERT_EQ(run({"-q", "-r"}).status, 255);
        expect(run({"--restore", f}), 0,
               kBanner + kCheckGood.substr(0, kCheckGood.find("records")) +
                   "records: 5, ok\nsave: allowed\n"
                   "L[QUELLET]: Writing image to EEPROM\nL[QUELLET]: EEPROM restored\n");
        EXPECT_EQ(eeprom(), good);
        EXPECT_EQ(run({"-q", "-r"}).out, shown);
        EXPECT_EQ(run({"-q", "-g", "c0"}).out, mac);
        EXPECT_EQ(run({"-q", "-g", "c1"}).out, "sata0:1\n");
    }
    expect_agreement(eeprom(), root_);
    // Quiet: the status alone. "-" reads standard input, a pipe too.
    put(damaged(good));
    expect(run({"-q", "--restore", f}), 0, "");
    EXPECT_EQ(eeprom(), good);
    put(damaged(good));
    EXPECT_EQ(sh("cat '" + f + "' | \"$Q\" -q --restore -"), 0);
    EXPECT_EQ(eeprom(), good);
}

// A write that does not read back the same is a failure, whatever the write
// said; one that cannot be put back either may have damaged the EEPROM.
TEST_F(Quellet, RestoreThatDoesNotReadBackFails) {
    const std::string f = root_ + "/backup.bin";
    ASSERT_EQ(run({"-q", "--backup", f}).status, 0);
    const std::string dev = root_ + kEeprom;
    for (const char *target : {"/dev/full", "/dev/null"}) {
        SCOPED_TRACE(target);
        std::filesystem::remove(dev);
        std::filesystem::create_symlink(target, dev);
        Outcome r = run({"--restore", f});
        EXPECT_EQ(r.status, 247);
        EXPECT_NE(r.out.find("L[QUELLET]: Writing image to EEPROM\n"
                             "E[FRU]: FRU: verify after write failed\n"),
                  std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("restored"), std::string::npos);
    }
    // An EEPROM that cannot be opened for writing.
    std::filesystem::remove(dev);
    put(damaged(read_bytes(f)));
    ASSERT_EQ(std::system(("chattr +i '" + dev + "'").c_str()), 0);
    Outcome r = run({"--restore", f});
    std::system(("chattr -i '" + dev + "'").c_str());
    EXPECT_EQ(r.status, 249);
    EXPECT_NE(r.out.find("E[FRU]: FRU: failed to open eeprom\n"), std::string::npos) << r.out;
    EXPECT_EQ(eeprom(), damaged(read_bytes(f)));
}

// As scripts call the tool: closed streams, special files, failed writes.

TEST_F(Quellet, ClosedStandardDescriptorsNeverBecomeTheEeprom) {
    const Bytes small = resized(eeprom(), 2048);  // the save's error line would land in it
    put(small);
    EXPECT_EQ(sh("\"$Q\" -s c4 -d 1 >&-"), 249);
    EXPECT_EQ(eeprom(), small);
#ifdef TOLVANE_PATH  // nor curses' word on an unknown terminal (which leaks) in the console's log
    sh("ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0 TERM=no-such-terminal '" TOLVANE_PATH "'"
       " </dev/null >/dev/null 2>&-");
    std::string log = read_file(root_ + "/var/log/tolvane.log");
    EXPECT_TRUE(log.find("Started log") != std::string::npos && log.find("no-such") == std::string::npos);
#endif
}

TEST_F(Quellet, BackupWritesIntoWhatItIsGiven) {
    const std::string f = root_ + "/good.bin", fifo = root_ + "/fifo", null = root_ + "/null";
    write_file(f, eeprom());
    // Standard output ("-", or named by a link like /dev/stdout, but the
    // test's own) gets the image alone; a FIFO and a device stay as they are.
    std::filesystem::create_symlink("/proc/self/fd/1", root_ + "/stdout");
    std::filesystem::create_symlink("/dev/null", null);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (std::string to : {std::string("-"), root_ + "/stdout"})
        EXPECT_EQ(sh("\"$Q\" --backup '" + to + "' 2>/dev/null | cmp -s - '" + f + "'"), 0) << to;
    EXPECT_EQ(sh("(timeout 9 cat '" + fifo + "' | cmp -s - '" + f + "') & \"$Q\" -q --backup '" + fifo +
                 "' && \"$Q\" -q --backup '" + null + "' && wait $!"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(root_ + "/stdout") && std::filesystem::is_symlink(null) &&
                std::filesystem::is_fifo(fifo));
    // A link is followed and stays; the folder is synced after the rename.
    std::filesystem::create_directory(root_ + "/usb");
    std::filesystem::create_symlink("usb/board.fru", root_ + "/link");
    shim("FSYNC_LOG=" + root_ + "/fsync.log");
    EXPECT_EQ(run({"-q", "--backup", root_ + "/link"}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(root_ + "/link"));
    EXPECT_EQ(read_bytes(root_ + "/usb/board.fru"), read_bytes(f));
    EXPECT_NE(read_file(root_ + "/fsync.log").find(root_ + "/usb\n"), std::string::npos);
}

// A name of the tool's own descriptor is written through it: a file opened
// for appending keeps its content and its mode; an endless stream is read
// one byte past an image.
TEST_F(Quellet, DescriptorNamesAndEndlessStreams) {
    const Bytes img = eeprom();
    const std::string log = root_ + "/app.log";
    write_file(log, {'h', 'i'});
    ASSERT_EQ(chmod(log.c_str(), 0644), 0);
    Bytes want = {'h', 'i'};
    for (const std::string to : {"/dev/stdout >>", "/proc/self/fd/1 >>", "/dev/fd/3 3>>"}) {
        EXPECT_EQ(sh("\"$Q\" --backup " + to + log + " 2>/dev/null"), 0) << to;
        want.insert(want.end(), img.begin(), img.end());
        struct ::stat st {};
        EXPECT_TRUE(read_bytes(log) == want && stat(log.c_str(), &st) == 0 &&
                    (st.st_mode & 07777) == 0644) << to;
    }
    put(damaged(img));
    EXPECT_EQ(sh("timeout 20 \"$Q\" -q --check-image /dev/zero"), 255);
    EXPECT_EQ(sh("{ tail -c 4096 " + log + "; cat /dev/zero; } | timeout 20 \"$Q\" -q --restore -"), 249);
    EXPECT_TRUE(eeprom() == damaged(img));
}

// The shim lets a write put 2048 bytes into the EEPROM and fails the rest.
TEST_F(Quellet, WriteThatFailsHalfWayIsUndone) {
    const Bytes before = eeprom();
    const std::string f = root_ + "/other.bin", failed = "E[FRU]: FRU: verify after write failed\n";
    write_file(f, sim::make_fru_image(long_records()));
    // A write-back that fails as well has a status of its own: it tells a
    // script to restore a backup.
    const struct {
        const char *fault;
        int status;
        const char *then;
    } faults[] = {{"2048", 249, "E[FRU]: FRU: eeprom restored to its previous content\n"},
                  {"2048,always", 247, "E[FRU]: FRU: eeprom may be damaged, restore a backup\n"}};
    for (const auto &c : faults)
        for (auto args : {std::vector<std::string>{"-s", "c4", "-d", "2"}, {"--restore", f}}) {
            shim(std::string("FAIL_EEPROM_WRITE=") + c.fault);
            Outcome r = run(args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_NE(r.out.find(failed + c.then), std::string::npos) << r.out;
            if (c.status == 249) {
                EXPECT_EQ(eeprom(), before);
            }
        }
}

// A dropped line (SIGHUP), a timeout (SIGTERM) or a reader gone (a broken
// pipe) during a write that fails half-way: the old image, never a mix; a
// signal takes effect once the image is whole again.
TEST_F(Quellet, SignalsDuringAWriteLeaveTheOldImageOrTheNew) {
    const Bytes before = eeprom();
    const std::string f = root_ + "/other.bin", cut = std::to_string(before[5] * 8 + 16);  // in c1
    write_file(f, sim::make_fru_image(long_records()));
    const std::vector<std::string> set = {"-s", "c1", "-d", "sata0:1"}, restore = {"--restore", f};
    const std::tuple<std::vector<std::string>, std::string, int, int> cases[] = {
        {set, cut, 13, 249},  // the lines are lost, the undo goes on
        {set, cut, 1, 128 + 1}, {restore, "2048", 15, 128 + 15}, {restore, "2048", 13, 249}};
    for (const auto &[args, fail, sig, status] : cases) {
        SCOPED_TRACE(args[0] + " " + std::to_string(sig));
        shim("FAIL_EEPROM_WRITE=" + fail, "EEPROM_WRITE_SIGNAL=" + std::to_string(sig));
        EXPECT_EQ(run(args).status, status);
        EXPECT_TRUE(eeprom() == before);
    }
    EXPECT_EQ(sh("{ env LD_PRELOAD='" + root_ + "/fault-shim.so' FAIL_EEPROM_WRITE=" + cut +  // as a script meets it
                 " ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0 \"$Q\" -s c1 -d sata0:1; echo $? >" +
                 f + "; } | head -c 300 >/dev/null"), 0);
    EXPECT_EQ(read_file(f), "249\n");
    EXPECT_TRUE(eeprom() == before);
}

// An I2C error while reading is said as one: nothing parsed, nothing written.
TEST_F(Quellet, ReadErrorsOfTheEepromAreNamed) {
    const Bytes before = eeprom();
    const std::string f = root_ + "/b.bin",
                      failed = "E[FRU]: FRU: failed to read eeprom: Input/output error\n";
    write_file(f, before);
    shim("FAIL_EEPROM_READ=2048");
    expect(run({"--check"}), 255, kBanner + failed + "eeprom: could not be read: Input/output error\n");
    expect(run({"-r"}), 255, kBanner + failed + "E[QUELLET]: Failed to load data from EEPROM\n");
    put(damaged(before));  // a restore could not undo what it cannot read: nothing written
    Outcome r = run({"--restore", f});
    EXPECT_EQ(r.status, 249);
    EXPECT_NE(r.out.find("Writing image to EEPROM\n" + failed), std::string::npos) << r.out;
    EXPECT_TRUE(eeprom() == damaged(before));
}

// What a JSON parser makes of the output: "key hex-of-latin-1-bytes" for
// texts, "key n<number>" for numbers, in order.
std::vector<std::pair<std::string, std::string>> json_view(const std::string &path) {
    std::istringstream in = python(
        "-c 'import json, sys\n"
        "d = json.loads(open(sys.argv[1], \"rb\").read().decode(\"ascii\"))\n"
        "for k, v in d.items():\n"
        "    if isinstance(v, list): v = \";\".join(\"%s/%d/%s\" % (r[\"id\"], r[\"length\"], r.get(\"data\", \"-\")) for r in v)\n"
        "    print(k, v.encode(\"latin-1\").hex() if isinstance(v, str) else \"n%d\" % v)\n"
        "' '" + path + "'",
        path + ".view");
    std::vector<std::pair<std::string, std::string>> v;
    std::string line;
    while (std::getline(in, line)) {
        auto sp = line.find(' ');
        v.emplace_back(line.substr(0, sp), sp == std::string::npos ? "" : line.substr(sp + 1));
    }
    return v;
}

TEST_F(Quellet, JsonCarriesEveryByteAndAgreesWithDisplayAndGet) {
    sim::FruImageContent l = long_records();
    l.b_mfg_name = "Quote\" back\\slash /";
    l.b_product_name = std::string("ctl\x01\x1f\t\n\r\b\f\x7f end");
    l.b_serial_number = "\xe9\xff\x80\xa0 latin";
    l.p_product_version = "";
    l.p_fru_id = std::string(31, '~');
    l.mfg_minutes = 10605600 + 61;  // 2016-03-01 01:01 UTC
    l.records.push_back({0xC1, {'q', '"', '\\', 0xe9}});
    l.records.push_back({0xC3, {2}});
    l.records.push_back({0xC4, {0xfe}});
    build(l);
    env_ = {"TZ=NZST-12NZDT"};  // local time has no say in the date
    Outcome j = run({"--json"});
    env_.clear();
    EXPECT_EQ(j.status, 0);
    EXPECT_EQ(j.err, kBanner);  // the tool's lines, never on standard output
    ASSERT_FALSE(j.out.empty());
    EXPECT_EQ(j.out.find('\n'), j.out.size() - 1);
    Outcome q = run({"-q", "--json"});
    EXPECT_EQ(q.status, 0);
    EXPECT_EQ(q.out, j.out);
    EXPECT_EQ(q.err, "");

    const std::string path = root_ + "/inventory.json";
    std::ofstream(path) << j.out;
    auto v = json_view(path);
    std::vector<std::pair<std::string, std::string>> want;
    // The display's lines, one a text: bytes that would drive a terminal
    // are shown as "\xNN", which stands for the byte here.
    const std::string shown = run({"-q", "-r"}).out;
    std::istringstream lines(shown);
    for (std::string line; std::getline(lines, line);) {
        std::string text = line.substr(line.find(", ") + 2), bytes;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "\\x") != 0) {
                bytes += text[i];
                continue;
            }
            bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        }
        want.emplace_back(line.substr(0, line.find(", ")), hex(bytes));
    }
    ASSERT_EQ(want.size(), 11u) << shown;
    EXPECT_NE(shown.find("\nb_product_name, ctl\\x01\\x1f\\x09\\x0a\\x0d\\x08\\x0c\\x7f end\n"
                         "b_serial_number, \\xe9\\xff\\x80\\xa0 latin\n"),
              std::string::npos) << shown;
    EXPECT_EQ(want[1].second, hex(l.b_product_name));
    EXPECT_EQ(want[0].second, hex(l.b_mfg_name));
    want.emplace_back("b_mfg_date", hex(std::string("2016-03-01 01:01")));
    auto got = [&](const char *id) {
        std::string s = run({"-q", "-g", id}).out;
        return s.substr(0, s.size() - 1);
    };
    want.emplace_back("mac", hex(got("c0")));
    want.emplace_back("mac2", hex(got("c6")));
    want.emplace_back("mac3", hex(got("c7")));
    want.emplace_back("bootdevice", hex(got("c1")));
    want.emplace_back("test_ok", "n" + got("c3"));
    want.emplace_back("power_policy", "n" + got("c4"));
    // Every record in order; the passwd line's data stays out.
    want.emplace_back("records", hex(std::string("0xc0/6/02005e102030;0xc1/7/73617461303a31;0xc2/8/-;"
                                                 "0xc6/6/02005e102031;0xc7/6/02005e102032;"
                                                 "0xc1/4/71225ce9;0xc3/1/02;0xc4/1/fe")));
    want.insert(want.begin(), {"format", "n1"});
    EXPECT_EQ(v, want);
    EXPECT_EQ(got("c1"), "q\"\\\xe9");
    EXPECT_EQ(got("c4"), "254");
    EXPECT_EQ(j.out.find("passwd"), std::string::npos);
    EXPECT_EQ(j.out.find("root:x"), std::string::npos);  // the 0xC2 line is not inventory
}

// A fleet's inventory has a line for every board, and the load's status.
TEST_F(Quellet, JsonOfAnEepromThatDoesNotLoadIsAnErrorLine) {
    const Bytes good = eeprom();
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes(4096, 0xFF), "eeprom is empty (erased)"},
        {damaged(good), "eeprom does not load"},
        {Bytes{}, "eeprom could not be read"},
    };
    for (const auto &[img, why] : cases) {
        put(img);
        if (img.empty()) std::filesystem::remove(root_ + kEeprom);
        Outcome r = run({"--json"});
        expect(r, 255, "{\"format\": 1, \"error\": \"" + why + "\"}\n");
        EXPECT_NE(r.err.find("E[QUELLET]: Failed to load data from EEPROM\n"), std::string::npos);
        r = run({"-q", "--json"});
        expect(r, 255, "{\"format\": 1, \"error\": \"" + why + "\"}\n");
        EXPECT_EQ(r.err, "");
    }
}

// Option errors go to standard error with status 1, before anything else.
TEST_F(Quellet, OptionErrorsLongOptionsAndOneActionAtATime) {
    const std::string six = run({"-h"}).out;
    Outcome r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out.rfind(six, 0), 0u);
    for (const char *opt : {"--backup FILE", "--check ", "--check-image FILE", "--restore FILE",
                            "--json ", "--build FILE", "--apply FILE", "--force ", "--help "})
        EXPECT_NE(r.out.find(std::string("\n  ") + opt), std::string::npos) << opt;
    EXPECT_EQ(run({"-h", "--json"}).out, six);
    EXPECT_EQ(run({"--help", "--bogus-id", "-g", "zz"}).status, 1);  // an option error comes first

    const Bytes before = eeprom();
    const std::string f = root_ + "/b.bin";
    ASSERT_EQ(run({"-q", "--backup", f}).status, 0);
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string one = "Give one of --backup, --check, --check-image, --restore, --json, --build, "
                            "--apply, -r, -s, -g.\n";
    const Case cases[] = {
        {{"-q", "-g"}, "Option -g requires an argument.\n"},
        {{"-x"}, "Unknown option `-x'.\n"},
        {{"-\x01"}, "Unknown option character `\\x1'.\n"},
        {{"-\xe9"}, "Unknown option character `\\xe9'.\n"},  // a byte above 127 is named as itself
        {{"--bogus"}, "Unknown option `--bogus'.\n"},
        {{"-q", "--json=1"}, "Unknown option `--json=1'.\n"},
        {{"--backup"}, "Option --backup requires an argument.\n"},
        {{"--restore"}, "Option --restore requires an argument.\n"},
        {{"--json", "-r"}, one},
        {{"--check", "--json"}, one},
        {{"--restore", f, "-s", "c1", "-d", "sata0:1"}, one},
        {{"--backup", f, "--restore", f}, one},
        {{"--build"}, "Option --build requires an argument.\n"},
        {{"--apply"}, "Option --apply requires an argument.\n"},
        {{"--build", f, "--apply", f}, one},
        {{"--apply", f, "-s", "c1", "-d", "sata0:1"}, one},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        r = run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(eeprom(), before);
    // A repeated option is the same action; long names may be shortened.
    EXPECT_EQ(run({"-q", "--check", "--check"}).status, 0);
    EXPECT_EQ(run({"-q", "--check-i", f}).status, 0);
}

// Documents for --build and --apply: what is written, and the --json line
// the board gives back once it holds the image.
struct Document {
    std::vector<std::pair<std::string, std::string>> in;  // key, value as written
    std::string json;
};

std::string json_escaped(const std::string &t) {
    std::string o;
    for (char c : t) o += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return o;
}

Document random_document(std::mt19937 &rng) {
    auto pick = [&](unsigned n) { return static_cast<int>(rng() % n); };
    auto printable = [&](unsigned max) {
        std::string t(static_cast<std::size_t>(pick(max + 1)), ' ');
        for (char &c : t) c = static_cast<char>(0x20 + pick(95));
        return t;
    };
    // Escapes any writer may use: \uXXXX in either case, \/ for '/'.
    auto loose = [&](const std::string &t) {
        std::string o = "\"";
        for (char c : t) {
            char u[8];
            std::snprintf(u, sizeof u, pick(2) ? "\\u%04x" : "\\u%04X", c);
            o += pick(8) == 0 ? std::string(u) : c == '/' && pick(2) ? "\\/" : json_escaped(std::string(1, c));
        }
        return o + "\"";
    };
    Document d;
    d.json = "{\"format\": 1";
    // Missing, null or a value: 1 in 4, 1 in 4, 1 in 2.
    auto give = [&](const std::string &key, const std::string &written, const std::string &shown,
                    const std::string &absent) {
        int how = pick(4);
        if (how == 1) d.in.emplace_back(key, "null");
        if (how >= 2) d.in.emplace_back(key, written);
        d.json += ", \"" + key + "\": " + (how >= 2 ? shown : absent);
        return how >= 2;
    };
    for (const char *key : {"b_mfg_name", "b_product_name", "b_serial_number", "b_part_number", "b_fru_id",
                            "p_product_mfg", "p_product_name", "p_part_model_number", "p_product_version",
                            "p_serial_number", "p_fru_id"}) {
        std::string t = printable(31);
        give(key, loose(t), "\"" + json_escaped(t) + "\"", "\"\"");
    }
    std::time_t when = 820454400 + 60 * static_cast<std::time_t>(1 + rng() % 0xFFFFFF);
    char date[32];
    std::strftime(date, sizeof date, "\"%Y-%m-%d %H:%M\"", std::gmtime(&when));
    give("b_mfg_date", date, date, "null");
    std::string records;
    const std::pair<const char *, const char *> rows[] = {{"mac", "0xc0"},        {"mac2", "0xc6"},
                                                          {"mac3", "0xc7"},       {"bootdevice", "0xc1"},
                                                          {"test_ok", "0xc3"},    {"power_policy", "0xc4"}};
    for (const auto &[key, id] : rows) {
        std::string value, shown, data;
        if (key[0] == 'm') {
            for (int i = 0; i < 6; ++i) data += hex(std::string(1, static_cast<char>(rng())));
            for (int i = 0; i < 6; ++i) shown += (i ? ":" : "\"") + data.substr(2 * i, 2);
            value = shown += "\"";
            for (char &c : value) c = pick(2) ? static_cast<char>(std::toupper(c)) : c;
        } else if (key[0] == 'b') {
            std::string t = printable(32);
            value = loose(t), shown = "\"" + json_escaped(t) + "\"", data = hex(t);
        } else {
            int n = pick(256);
            value = shown = std::to_string(n), data = hex(std::string(1, static_cast<char>(n)));
        }
        if (give(key, value, shown, "null"))
            records += (records.empty() ? "" : ", ") + std::string("{\"id\": \"") + id + "\", \"length\": " +
                       std::to_string(data.size() / 2) + ", \"data\": \"" + data + "\"}";
    }
    d.json += ", \"records\": [" + records + "]}\n";
    if (pick(2)) d.in.emplace_back("format", "1");
    if (pick(2)) d.in.emplace_back("records", "[{\"id\": \"0xd5\", \"length\": 0, \"data\": \"\"}]");
    std::shuffle(d.in.begin(), d.in.end(), rng);
    return d;
}

std::string written(const std::vector<std::pair<std::string, std::string>> &in, std::mt19937 &rng) {
    const char *blank[] = {"", " ", "\n", "\t ", "\r\n  "};
    auto b = [&] { return blank[rng() % 5]; };
    std::string o = std::string(b()) + "{";
    for (std::size_t i = 0; i < in.size(); ++i)
        o += std::string(i ? "," : "") + b() + "\"" + in[i].first + "\"" + b() + ":" + b() + in[i].second + b();
    return o + "}" + b();
}

// Random valid documents come back from the board value for value; one bad
// value refuses the whole document, and nothing is written anywhere.
TEST_F(Quellet, BuildGivesBackEveryValueAndOneBadValueRefusesTheWhole) {
    std::mt19937 rng(20261209);
    const std::string f = root_ + "/board.json";
    Document d;
    for (int round = 0; round < 20; ++round) {
        d = random_document(rng);
        std::ofstream(f) << written(d.in, rng);
        Outcome r = round % 2 ? run({"-q", "--build", f})  // and from standard input:
                              : Outcome{sh("\"$Q\" -q --build - <" + f + " >" + root_ + "/out.txt"), read_file(root_ + "/out.txt"), ""};
        if (d.json.find("\"records\": []") != std::string::npos) {  // the board loads none such
            EXPECT_EQ(r.status, 249);
            EXPECT_EQ(r.out, "");
            continue;
        }
        ASSERT_EQ(r.status, 0) << read_file(f) << r.err;
        ASSERT_EQ(r.out.size(), 4096u);
        put(Bytes(r.out.begin(), r.out.end()));
        EXPECT_EQ(run({"-q", "--json"}).out, d.json) << read_file(f);
        if (round % 10 == 0) {
            EXPECT_EQ(run({"-q", "--check"}).status, 0);
            expect_agreement(eeprom(), root_, true);
        }
    }
    struct Bad {
        const char *key;
        std::string value;
        int build, apply;  // statuses
    };
    const Bad bad[] = {
        {"b_serial_number", "\"" + std::string(32, 'x') + "\"", 250, 249},
        {"p_fru_id", "\"tab\\there\"", 250, 249},
        {"b_mfg_name", "\"\\u00e9\"", 250, 249},
        {"b_part_number", "7", 250, 250},
        {"mac", "\"01:02:03:04:05\"", 251, 251},
        {"mac2", "\"01-02-03-04-05-06\"", 251, 251},
        {"mac3", "\"1:2:3:4:5:6\"", 251, 251},
        {"mac", "\"01:02:03:04:05:06:07\"", 251, 251},
        {"mac", "5", 251, 251},
        {"test_ok", "256", 250, 250},
        {"power_policy", "-1", 250, 250},
        {"test_ok", "\"1\"", 250, 250},
        {"bootdevice", "\"" + std::string(33, 'b') + "\"", 250, 250},
        {"bootdevice", "\"a\\u0000b\"", 250, 250},
        {"b_mfg_date", "\"1995-12-31 23:59\"", 250, 250},
        {"b_mfg_date", "\"2016-02-30 00:00\"", 250, 250},
        {"b_mfg_date", "\"1996-01-01 00:00\"", 250, 250},
        {"b_mfg_date", "5", 250, 250},
        {"b_mfg_date", "\"2027-11-24 20:16\"", 250, 250},  // beyond three bytes of minutes
        {"b_mfg_date", "\"2016-03-01T00:00\"", 250, 250},
        {"serial", "\"x\"", 1, 1},
        {"format", "2", 1, 1},
        {"records", "5", 1, 1},
    };
    const Bytes before = eeprom();
    for (const Bad &b : bad) {
        SCOPED_TRACE(std::string(b.key) + " " + b.value);
        auto in = d.in;
        in.erase(std::remove_if(in.begin(), in.end(), [&](const auto &p) { return p.first == b.key; }), in.end());
        in.insert(in.begin() + static_cast<long>(rng() % (in.size() + 1)), {b.key, b.value});
        std::ofstream(f) << written(in, rng);
        Outcome r = run({"--build", f});
        EXPECT_EQ(r.status, b.build);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(std::string("E[QUELLET]: ") + b.key + ": "), std::string::npos) << r.err;
        r = run({"--apply", f});
        EXPECT_EQ(r.status, b.apply);
        EXPECT_NE(r.out.find(std::string("E[QUELLET]: ") + b.key + ": "), std::string::npos) << r.out;
    }
    EXPECT_EQ(eeprom(), before);
}

std::string replaced(std::string s, const std::string &from, const std::string &to) {
    auto at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

TEST_F(Quellet, ApplySetsManyRecordsInOneWriteAndNothingUnchangedIsWritten) {
    const std::string f = root_ + "/board.json", dev = root_ + kEeprom;
    const std::string line = run({"-q", "--json"}).out;
    auto mtime = [&] {
        struct stat st {};
        stat(dev.c_str(), &st);
        return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    };
    const Bytes before = eeprom();
    const std::string stamp = mtime();
    // What the EEPROM holds already: no write, no wait; a restore of it too.
    std::ofstream(f) << line;
    const std::string same = write_file(root_ + "/same.bin", before);
    for (auto args : {std::vector<std::string>{"--apply", f}, {"-s", "c4", "-d", "0"}, {"-s", "c1", "-d", "sata0:0"},
                      {"-s", "c0", "-d", "02:00:5E:10:20:30"}, {"--restore", same}}) {
        SCOPED_TRACE(args[1]);
        Outcome r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(r.out.size() - 30), "L[QUELLET]: Nothing to change\n") << r.out;
        EXPECT_EQ(r.out.find("Saving"), std::string::npos);
        args.insert(args.begin(), "-q");
        expect(run(args), 0, "");
    }
    EXPECT_EQ(mtime(), stamp);
    // Refused whole, nothing written: a text of the areas, a MAC with no
    // record, a syntax error, an EEPROM that does not load.
    const std::pair<std::string, std::string> refused[] = {
        {replaced(line, "NV74-000123", "NV74-000124"),
         "E[QUELLET]: b_serial_number: differs from the EEPROM's; use --build and --restore\n"},
        {replaced(line, "\"b_mfg_date\": \"2016-03-01 00:00\"", "\"b_mfg_date\": \"2016-03-01 00:01\""),
         "E[QUELLET]: b_mfg_date: differs"},
        {replaced(replaced(line, "\"mac2\": null", "\"mac2\": \"02:00:5e:10:20:31\""), "\"power_policy\": 0",
                  "\"power_policy\": 2"),
         "E[QUELLET]: mac2: no multirecord to update\n"},
        {"{\"test_ok\": 2,\n \"power_policy\": 2,\n}", "E[QUELLET]: JSON error at line 3, column 1: bad key\n"},
    };
    for (const auto &[doc, message] : refused) {
        std::ofstream(f) << doc;
        Outcome r = run({"--apply", f});
        EXPECT_EQ(r.status, message.find("JSON") != std::string::npos ? 1 : 249);
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    }
    put(Bytes(4096, 0xFF));
    EXPECT_EQ(run({"-q", "--apply", f}).status, 1);
    std::ofstream(f) << "{\"test_ok\": 2}";
    EXPECT_EQ(run({"-q", "--apply", f}).status, 255);
    put(before);
    EXPECT_EQ(eeprom(), before);

    // An edited inventory line: three records, one load, one write, one wait.
    std::ofstream(f) << replaced(replaced(replaced(line, "sata0:0", "sata0:1"), "\"test_ok\": 1", "\"test_ok\": 2"),
                                 "\"mac\": \"02:00:5e:10:20:30\"", "\"mac\": \"0A:0b:0c:0d:0e:0f\"");
    Outcome r = run({"--apply", f});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(r.out.size() - 11), "\n..........") << r.out;
    EXPECT_EQ(r.out.find("Updating multirecord"), r.out.rfind("Updating multirecord"));
    for (const auto &[id, value] : {std::pair{"c0", "0a:0b:0c:0d:0e:0f\n"}, {"c1", "sata0:1\n"}, {"c3", "2\n"}})
        EXPECT_EQ(run({"-q", "-g", id}).out, value);
    EXPECT_NE(run({"-q", "--json"}).out.find("\"mac2\": null, \"mac3\": null"), std::string::npos);
}

// A golden image never clones another board's identity by mistake.
TEST_F(Quellet, RestoreKeepsABoardsSerialNumberUnlessForced) {
    const std::string f = root_ + "/board.json", img = root_ + "/golden.bin";
    std::string line = run({"-q", "--json"}).out;
    std::ofstream(f) << replaced(line, "NV74-000123", "NV74-000999");
    ASSERT_EQ(sh("\"$Q\" -q --build " + f + " > " + img), 0);
    const Bytes mine = eeprom(), golden = read_bytes(img);
    Outcome r = run({"--restore", img});
    EXPECT_EQ(r.status, 249);
    EXPECT_NE(r.out.find("E[QUELLET]: EEPROM holds board NV74-000123, image is board NV74-000999; "
                         "--force restores anyway\n"), std::string::npos) << r.out;
    EXPECT_EQ(eeprom(), mine);
    expect(run({"-q", "--restore", img}), 249, "");
    expect(run({"-q", "--restore", img, "--force"}), 0, "");
    EXPECT_EQ(eeprom(), golden);
    // An empty serial number, or a blank EEPROM, takes any image: provisioning.
    sim::FruImageContent unnamed;
    unnamed.b_serial_number = "";
    build(unnamed);
    EXPECT_EQ(run({"-q", "--restore", img}).status, 0);
    EXPECT_EQ(eeprom(), golden);
    put(Bytes(4096, 0xFF));
    EXPECT_EQ(sh("\"$Q\" -q --build " + f + " | \"$Q\" -q --restore -"), 0);
    EXPECT_EQ(run({"-q", "-g", "c1"}).out, "sata0:0\n");
    EXPECT_EQ(eeprom(), golden);
    // Never an image on a terminal.
    EXPECT_EQ(sh("script -qec '\"$Q\" -q --build " + f + "' /dev/null > " + root_ + "/tty.txt"), 1);
    EXPECT_EQ(read_file(root_ + "/tty.txt").find('\x01'), std::string::npos);
}

}  // namespace
