// sarvik's command line: output, exit status and nothing on stderr.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sim/rom_image.h"
#include "tests/cli/sarvik_run.h"
#include "tests/rominfo/rom_expected.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using sarvik_test::expect;
using sarvik_test::sarvik;

class Sarvik : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(tmp_.remove());
    }
    // An image holding the block at the offset, the rest 0xFF.
    std::string image(const std::vector<std::uint8_t> &block, std::size_t at = 0,
                      const char *name = "rom.bin", std::size_t tail = 0) {
        std::vector<std::uint8_t> img(at + block.size() + tail, 0xFF);
        std::copy(block.begin(), block.end(), img.begin() + static_cast<long>(at));
        return test_support::write_file(dir_ + "/" + name, img);
    }
    static std::string with_usage(const std::string &msg) { return msg + "\n" + kUsage; }

    test_support::TempDir tmp_{"/tmp/sarvik-cli-XXXXXX"};
    const std::string &dir_ = tmp_.path();
};

// The program as a shell runs it.
std::string program() {
#ifdef SARVIK_EMULATOR
    return "env -u BOARD_ROOT '" SARVIK_EMULATOR "' '" SARVIK_PATH "'";
#else
    return "env -u BOARD_ROOT '" SARVIK_PATH "'";
#endif
}

TEST_F(Sarvik, ValidBlockAtStart) {
    std::string rom = image(sim::make_rom_block(), 0, "rom.bin", 4096);
    expect(sarvik({"-r", rom}), 0, kDefaultReport);
    expect(sarvik({"--rom", rom}), 0, kDefaultReport);
    expect(sarvik({"--rom=" + rom, "-o", "0"}), 0, kDefaultReport);
    // a later -r replaces an earlier one
    expect(sarvik({"-r", dir_ + "/missing", "-r", rom}), 0, kDefaultReport);
}

TEST_F(Sarvik, OffsetFormsSelectTheSameBlock) {
    std::string rom = image(sim::make_rom_block(), 0x1000);
    for (auto args : std::vector<std::vector<std::string>>{
             {"-o", "0x1000"}, {"--offset", "4096"}, {"--offset=4096"}, {"-o4096"},
             {"-o", "010000"}, {"-o", "0X1000"}, {"-o", "4096 bytes"}}) {
        args.insert(args.begin(), {"-r", rom});
        expect(sarvik(args), 0, kDefaultReport);
    }
    // offset 0 of that image holds no block
    expect(sarvik({"-r", rom}), 249, "Error: Invalid info block identifier\n");
    // a pipe cannot seek: the offset is read past; "-" is standard input
    for (std::string cmd : {"cat '" + rom + "' | " + program() + " -r /dev/stdin -o 0x1000",
                            "cat '" + rom + "' | " + program() + " -r - -o 0x1000",
                            program() + " -r - -o 0x1000 < '" + rom + "'"}) {
        cmd += " >'" + dir_ + "/out'";
        EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 0) << cmd;
        EXPECT_EQ(test_support::read_file(dir_ + "/out"), kDefaultReport) << cmd;
    }
}

TEST_F(Sarvik, TrailingCharactersOfTheOffsetIgnored) {
    std::string rom = image(sim::make_rom_block(), 12);
    expect(sarvik({"-r", rom, "-o", "12k"}), 0, kDefaultReport);
    rom = image(sim::make_rom_block(), 16, "b.bin");
    expect(sarvik({"-r", rom, "-o", "16abc"}), 0, kDefaultReport);
}

// An offset with no number, or beyond 32 bits (0x100000000 cut to 32 bits
// would read the valid block at 0), is refused; a negative one fails the
// seek; the ends of the range are offsets.
TEST_F(Sarvik, BadOffsetsAreRefusedAndNegativeOnesFailTheSeek) {
    std::string rom = image(sim::make_rom_block(), 0, "rom.bin", 8192);
    for (const char *bad : {"0x", "abc", "", "-", "k12", "0xg", "0x100000000", "4294967296", "0x100001000",
                            "2147483648", "0x80000000", "-2147483649", "99999999999999999999"}) {
        expect(sarvik({"-r", rom, "-o", bad}), 254,
               with_usage(std::string("Error: Couldn't convert offset '") + bad + "' to integer\n"));
    }
    expect(sarvik({"-r", rom, "-o", "2147483647"}), 250, "Error: Failed to read info block of size 2133\n");
    expect(sarvik({"-r", rom, "-o", "-2147483648"}), 252,
           "Error: Could't set offset -2147483648 in file '" + rom + "'\n");
    expect(sarvik({"-r", rom, "-o", "-1"}), 252, "Error: Could't set offset -1 in file '" + rom + "'\n");
    expect(sarvik({"-r", rom, "--offset=-0x10"}), 252, "Error: Could't set offset -16 in file '" + rom + "'\n");
}

TEST_F(Sarvik, OptionErrors) {
    expect(sarvik({"-o"}), 255, with_usage("Error: Option '-o' requires an argument\n"));
    expect(sarvik({"-v", "-o"}), 2, "sarvik v1.0.0\n");
    expect(sarvik({"-r"}), 255, with_usage("Error: Option '-r' requires an argument\n"));
    expect(sarvik({"--offset"}), 255, with_usage("Error: Option '-o' requires an argument\n"));
    expect(sarvik({"-x"}), 254, with_usage("Error: Invalid argument 'x' detected\n"));
    expect(sarvik({"-x", "-v"}), 254, with_usage("Error: Invalid argument 'x' detected\n"));
    expect(sarvik({"-r", "/x", "-q"}), 254, with_usage("Error: Invalid argument 'q' detected\n"));
    // an unknown long option has no letter: it is named whole, never as a NUL byte
    expect(sarvik({"--frob"}), 254, with_usage("Error: Invalid argument '--frob' detected\n"));
    // "sarvik new.bin" would check /dev/mtd2 instead: a word is no image
    expect(sarvik({"-o", "0", "new.bin", "x"}), 254,
           with_usage("Error: Argument 'new.bin' is not an option; give an image as -r FILE\n"));
}

TEST_F(Sarvik, HelpAndVersionActAtOnce) {
    expect(sarvik({"-h"}), 0, kUsage);
    expect(sarvik({"--help"}), 0, kUsage);
    expect(sarvik({"-h", "-x", "-o"}), 0, kUsage);
    expect(sarvik({"-v"}), 2, "sarvik v1.0.0\n");
    expect(sarvik({"--version"}), 2, "sarvik v1.0.0\n");
    expect(sarvik({"-v", "-h"}), 2, "sarvik v1.0.0\n");
    expect(sarvik({"-h", "-v"}), 0, kUsage);
    // options before them are taken first
    expect(sarvik({"-o", "0x", "-v"}), 254,
           with_usage("Error: Couldn't convert offset '0x' to integer\n"));
}

// A report or usage that never reached its reader ends 248; a failure keeps
// its own status.
TEST_F(Sarvik, OutputThatCannotBeWrittenEndsWith248) {
    std::string prog = program();
    std::string rom = image(sim::make_rom_block());
    std::string err = dir_ + "/err";
    for (const std::string &args : std::vector<std::string>{"-h", "-v", "-r '" + rom + "'"}) {
        std::string cmd = prog + " " + args + " >/dev/full 2>'" + err + "'";
        int st = std::system(cmd.c_str());
        EXPECT_EQ(WEXITSTATUS(st), 248) << args;
        EXPECT_EQ(test_support::read_file(err), "sarvik: standard output could not be written\n");
    }
    std::string cmd = prog + " -r '" + dir_ + "/missing' >/dev/full 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 253);
#ifndef SARVIK_EMULATOR  // qemu's own files may hold a closed descriptor
    // A closed standard output is /dev/null, never the image it opens.
    EXPECT_EQ(WEXITSTATUS(std::system((prog + " -r '" + rom + "' >&- <&-").c_str())), 0);
#endif
}

TEST_F(Sarvik, OpenFailures) {
    expect(sarvik({"-r", dir_ + "/missing"}), 253,
           "Error: File '" + dir_ + "/missing' couldn't be opened\n");
    expect(sarvik({"-r", ""}), 253, "Error: File '' couldn't be opened\n");
}

TEST_F(Sarvik, ShortImages) {
    const std::string msg = "Error: Failed to read info block of size 2133\n";
    auto block = sim::make_rom_block();
    std::vector<std::uint8_t> short_block(block.begin(), block.end() - 1);
    expect(sarvik({"-r", image(short_block)}), 250, msg);
    std::string rom = image(block, 0, "full.bin");
    expect(sarvik({"-r", rom, "-o", "1"}), 250, msg);
    expect(sarvik({"-r", rom, "-o", "0x100000"}), 250, msg);  // past the end
    expect(sarvik({"-r", image({}, 0, "empty.bin")}), 250, msg);
    expect(sarvik({"-r", dir_}), 250, msg);  // a folder opens but does not read
}

TEST_F(Sarvik, IdentifierAndCrcChecks) {
    auto block = sim::make_rom_block();
    auto bad_id = block;
    bad_id[7] = 0x0C;
    sim::fix_rom_block_crc(bad_id);
    expect(sarvik({"-r", image(bad_id, 0, "id.bin")}), 249, "Error: Invalid info block identifier\n");

    auto bad_crc = block;
    bad_crc[2130] ^= 0x40;
    expect(sarvik({"-r", image(bad_crc, 0, "crc.bin")}), 249, "Error: Invalid info block crc\n");
    auto changed = block;
    changed[1000] = 'X';
    expect(sarvik({"-r", image(changed, 0, "data.bin")}), 249, "Error: Invalid info block crc\n");
}

TEST_F(Sarvik, ReportFields) {
    sim::RomBlockContent layout;
    layout.fit_signed = 0;
    layout.boot_size = 1536;
    layout.env_size = 1536;
    auto r = sarvik({"-r", image(sim::make_rom_block(layout))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(report_line(r.out, "Fitimage"),
              "Fitimage section:    offset 0x00100000, size 15360KB (15728640), unsigned");
    EXPECT_EQ(report_line(r.out, "Bootloader"), "Bootloader section:  offset 0x00000000, size 1KB (1536)");
    EXPECT_EQ(report_line(r.out, "Environment"), "Environment section: offset 0x000e0000, size 1KB (1536)");

    layout.fit_signed = 1;
    r = sarvik({"-r", image(sim::make_rom_block(layout), 0, "signed.bin")});
    EXPECT_EQ(report_line(r.out, "Fitimage"),
              "Fitimage section:    offset 0x00100000, size 15360KB (15728640), signed");
    layout.hostname = "\x1b[2Jclear\t\x7f\xff";  // a crafted image drives no terminal
    r = sarvik({"-r", image(sim::make_rom_block(layout), 0, "crafted.bin")});
    EXPECT_EQ(report_line(r.out, "Hostname"), "Hostname:            \\x1b[2Jclear\\x09\\x7f\\xff");
}

TEST_F(Sarvik, BuildDateInTheCLocaleWhateverTheEnvironment) {
    std::string rom = image(sim::make_rom_block());  // 20190305140203
    for (const char *lang : {"LANG=C", "LC_ALL=C.UTF-8", "LC_ALL=de_DE.UTF-8", "TZ=Asia/Tokyo"}) {
        auto r = sarvik({"-r", rom}, {lang});
        EXPECT_EQ(r.status, 0) << lang;
        EXPECT_EQ(report_line(r.out, "Build date"), "Build date:          Tue Mar  5 14:02:03 2019") << lang;
    }
}

}  // namespace
