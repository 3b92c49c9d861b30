#include "fru/fru_log.h"

#include <cstdarg>

namespace {

std::FILE *sink = nullptr;
bool diagnostics = false;
bool line_open = false;  // last text written did not end with a line end

void write(const char *fmt, std::va_list ap) {
    char buf[512];
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (n < 0) return;
    std::fputs(buf, sink);
    std::fflush(sink);
    auto len = static_cast<std::size_t>(n);
    if (len >= sizeof buf) len = sizeof buf - 1;  // vsnprintf counts what did not fit too
    if (len > 0) line_open = buf[len - 1] != '\n';
}

}  // namespace

void fru_log_set_sink(std::FILE *f, bool diag) {
    sink = f;
    diagnostics = diag;
    line_open = false;
}

void fru_log(const char *fmt, ...) {
    if (sink == nullptr) return;
    if (line_open) std::fputc('\n', sink);
    line_open = false;
    std::va_list ap;
    va_start(ap, fmt);
    write(fmt, ap);
    va_end(ap);
}

#if !FRU_NO_DIAG
void fru_diag(const char *fmt, ...) {
    if (sink == nullptr || !diagnostics) return;
    std::va_list ap;
    va_start(ap, fmt);
    write(fmt, ap);
    va_end(ap);
}

bool fru_diag_on() { return sink != nullptr && diagnostics; }
#endif
