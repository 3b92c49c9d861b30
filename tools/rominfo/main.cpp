// sarvik: check and print the information block of a recovery ROM image.
#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <optional>

#include "board/board.h"
#include "tools/rominfo/rom_offset.h"
#include "tools/rominfo/rom_report.h"
#include "tools/rominfo/rom_show.h"

namespace {

// Exit status when the report or a message could not be written.
constexpr int kOutputFailed = -8;

constexpr option kLongOptions[] = {
    {"rom", required_argument, nullptr, 'r'},
    {"offset", required_argument, nullptr, 'o'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

int run(int argc, char **argv) {
    const char *rom = nullptr;  // a typed path is used as typed
    std::int32_t offset = 0;

    int c;
    while ((c = getopt_long(argc, argv, ":r:o:hv", kLongOptions, nullptr)) != -1) {
        switch (c) {
        case 'r':
            rom = optarg;
            break;
        case 'o': {
            std::optional<std::int32_t> v = rom_parse_offset(optarg);
            if (!v) {
                report(stdout, REPORT_WITH_USAGE,
                       "Error: Couldn't convert offset '%s' to integer\n", optarg);
                return -2;
            }
            offset = *v;
            break;
        }
        case 'h':
            report(stdout, REPORT_USAGE, "%s", "");
            return 0;
        case 'v':
            report(stdout, REPORT_MESSAGE, "sarvik v%s", kSarvikVersion);
            return 2;
        case ':':
            report(stdout, REPORT_WITH_USAGE, "Error: Option '-%c' requires an argument\n",
                   optopt);
            return -1;
        default:
            // An unknown long option has no option character: name it whole
            // rather than print a NUL byte.
            if (optopt == 0 && optind > 0 && optind <= argc)
                report(stdout, REPORT_WITH_USAGE, "Error: Invalid argument '%s' detected\n",
                       argv[optind - 1]);
            else
                report(stdout, REPORT_WITH_USAGE, "Error: Invalid argument '%c' detected\n",
                       optopt);
            return -2;
        }
    }

    // "sarvik new.bin" would report on /dev/mtd2: a word that is no option
    // is refused rather than ignored.
    if (optind < argc) {
        report(stdout, REPORT_WITH_USAGE,
               "Error: Argument '%s' is not an option; give an image as -r FILE\n", argv[optind]);
        return -2;
    }
    if (rom != nullptr) return rom_show(rom, rom, offset, stdout);
    board::Path dev = board::path(kDefaultRom);
    return rom_show(dev.c_str(), kDefaultRom, offset, stdout);
}

}  // namespace

int main(int argc, char **argv) {
    board::fill_standard_fds();
    int r = run(argc, argv);
    // A script reads the report: output that never arrived is a failure.
    bool failed = std::fflush(stdout) != 0;
    failed = std::ferror(stdout) != 0 || failed;
    failed = std::fclose(stdout) != 0 || failed;
    if (failed && (r == 0 || r == 2)) {
        std::fprintf(stderr, "sarvik: standard output could not be written\n");
        return kOutputFailed;
    }
    return r;
}
