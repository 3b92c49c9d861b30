#include "tools/rominfo/rom_report.h"

#include <cstdarg>

namespace {

void put_line(std::FILE *out, const char *s) {
    std::fputs(s, out);
    std::fputc('\n', out);
}

}  // namespace

void report_usage(std::FILE *out) {
    put_line(out,
             "Usage: sarvik [OPTIONS]\nExtract information from Vellan Recovery ROM-image.\n\n"
             "Options:");
    std::fprintf(out, " -r, --rom=name        ROM-image file name (default %s)\n", kDefaultRom);
    std::fprintf(out, " -o, --offset=address  Info-section address (default 0x%08x)\n", 0u);
    put_line(out, " -h, --help            Print this help message and exit");
    put_line(out, " -v, --version         Output version information and exit\n");
    put_line(out, "For mor information see sarvik(1)");
}

void report(std::FILE *out, int mode, const char *fmt, ...) {
    if (mode != REPORT_USAGE) {
        va_list ap;
        va_start(ap, fmt);
        std::vfprintf(out, fmt, ap);
        va_end(ap);
        std::fputc('\n', out);
    }
    if (mode != REPORT_MESSAGE) report_usage(out);
}
