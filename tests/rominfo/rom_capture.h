// Collect what a routine writes to a FILE.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

template <typename F>
std::string capture(F &&write) {
    char *buf = nullptr;
    std::size_t len = 0;
    std::FILE *f = open_memstream(&buf, &len);
    if (f == nullptr) return "<open_memstream failed>";
    write(f);
    std::fclose(f);
    std::string s(buf, len);
    std::free(buf);
    return s;
}
