// Whole files for the tests: what a file holds, and a file of given bytes.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace test_support {

// The file's bytes; empty when it cannot be read.
inline std::string read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline std::vector<std::uint8_t> read_bytes(const std::string &path) {
    const std::string s = read_file(path);
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

// The file holding these bytes alone (created or truncated); its path.
inline std::string write_file(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace test_support
