// Helpers shared by the FRU and quellet tests: a log capture, image
// patching and the layouts a save must refuse.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fru/fru_log.h"
#include "sim/fru_image.h"

// Routes the FRU lines into a temporary file for the life of the object.
class LogCapture {
public:
    explicit LogCapture(bool diagnostics = false) : f_(std::tmpfile()) {
        fru_log_set_sink(f_, diagnostics);
    }
    ~LogCapture() {
        fru_log_set_sink(nullptr, false);
        std::fclose(f_);
    }
    std::string text() const {
        std::fflush(f_);
        long end = std::ftell(f_);
        std::string s(static_cast<std::size_t>(end), '\0');
        std::rewind(f_);
        std::size_t n = std::fread(s.data(), 1, s.size(), f_);
        s.resize(n);
        std::fseek(f_, 0, SEEK_END);
        return s;
    }
    bool has(const std::string &line) const { return text().find(line) != std::string::npos; }

private:
    std::FILE *f_;
};

inline std::uint8_t zero_sum(const std::vector<std::uint8_t> &b, std::size_t from = 0,
                             std::size_t to = SIZE_MAX) {
    unsigned s = 0;
    for (std::size_t i = from; i < b.size() && i < to; ++i) s += b[i];
    return static_cast<std::uint8_t>(0x100 - (s & 0xFF));
}

// One raw multirecord: header with valid checksums unless told otherwise.
inline std::vector<std::uint8_t> raw_mrec(std::uint8_t type, std::uint8_t flags,
                                          const std::vector<std::uint8_t> &data) {
    std::vector<std::uint8_t> r = {type, flags, static_cast<std::uint8_t>(data.size()),
                                   zero_sum(data)};
    r.push_back(zero_sum(r));
    r.insert(r.end(), data.begin(), data.end());
    return r;
}

// Multirecord offset of an image, in bytes.
inline std::size_t mrec_at(const std::vector<std::uint8_t> &img) { return img[5] * 8u; }

// Replace everything from the multirecord offset on with the given bytes.
inline void put_records(std::vector<std::uint8_t> &img, const std::vector<std::uint8_t> &recs) {
    std::size_t at = mrec_at(img);
    std::fill(img.begin() + static_cast<long>(at), img.end(), 0);
    std::copy(recs.begin(), recs.end(), img.begin() + static_cast<long>(at));
}

inline std::vector<std::uint8_t> cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Records from byte 2040 on: seven of 255 data bytes, then one with the
// given data length that ends the list (231 ends it exactly at the end).
inline std::vector<std::uint8_t> records_to_the_end(std::vector<std::uint8_t> b, std::uint8_t last) {
    b[5] = 2040 / 8;
    b[7] = 0;
    b[7] = zero_sum(b, 0, 8);
    std::vector<std::uint8_t> recs;
    for (int i = 0; i < 7; ++i) recs = cat({recs, raw_mrec(0xD0, 0x02, std::vector<std::uint8_t>(255, 7))});
    recs = cat({recs, raw_mrec(0xD1, 0x82, std::vector<std::uint8_t>(last, 1))});
    recs.resize(4096 - 2040);
    std::copy(recs.begin(), recs.end(), b.begin() + 2040);
    return b;
}

// The board area (or the product area) claims six 8-byte units of the record
// area: the image loads, and a save would overwrite records.
inline sim::FruImageContent overlapping(bool product = false) {
    const std::vector<std::uint8_t> plain = sim::make_fru_image();
    sim::FruImageContent l;
    (product ? l.product_claim_units : l.board_claim_units) =
        static_cast<std::uint8_t>(plain[5] - plain[product ? 4 : 3] + 6);
    return l;
}

// A record table of n one-byte records 0xD0, 0xD1, ... holding 0, 1, ...
inline sim::FruImageContent filler_records(int n) {
    sim::FruImageContent l;
    l.records.clear();
    for (int i = 0; i < n; ++i)
        l.records.push_back({static_cast<std::uint8_t>(0xD0 + i), {static_cast<std::uint8_t>(i)}});
    return l;
}
