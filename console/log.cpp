#include "console/log.h"

#include <cstdarg>

std::FILE *log_file = nullptr;

void console_log(const char *fmt, ...) {
    if (log_file == nullptr) return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(log_file, fmt, ap);
    va_end(ap);
    std::fflush(log_file);
}
