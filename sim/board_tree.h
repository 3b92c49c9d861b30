// Builds a complete simulated board in a folder: the files the programs read
// under their board paths, and the stand-ins for the programs they start.
// Tests build their own trees and change only what a case needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/fru_image.h"
#include "sim/rom_image.h"

namespace sim {

struct TreeOptions {
    FruImageContent fru;
    RomBlockContent rom;
    std::string bmc_version = "2.0.2\n";
    std::string bmc_bootreason = "1\n";
    int gpio_base = 504;
    std::uint8_t shred = 0;  // bit i: expander input i reads 1
    std::string temp1_input = "45123\n";
    std::string in1_input = "1012\n";
    std::string recovery_version = "SM-2.4.1\n";
    std::string osrelease = "5.10.120-nv7400\n";
    // Sample marker files under /var/run/tolvane for every source the
    // Maintenance page knows (the demo wants them; many tests do not).
    bool sample_markers = true;
    // The F10 and "quellet -s" countdowns go by without their ten seconds
    // (/sim/fast-countdown); the demo and the test that times the dots
    // keep the board's pace.
    bool fast_countdown = true;
};

class BoardTree {
public:
    explicit BoardTree(std::string root) : root_(std::move(root)) {}
    const std::string &root() const { return root_; }
    // Host path of a board path ("/etc/x" -> ROOT/etc/x).
    std::string host(std::string_view board_path) const;
    // Write a board file, making its folders.
    void write(std::string_view board_path, std::string_view content) const;
    void write_bytes(std::string_view board_path, const std::vector<std::uint8_t> &b) const;
    // Read a board file whole ("" when missing).
    std::string read(std::string_view board_path) const;
    bool exists(std::string_view board_path) const;
    // Remove a file or a whole folder.
    void remove(std::string_view board_path) const;
    void mkdir(std::string_view board_path) const;
    // A sparse file of the given size (ROM images of 16 MiB).
    void write_sparse(std::string_view board_path, std::int64_t size) const;
    // The effects log's lines, and the board clock's offset from the host.
    std::string effects() const { return read("/sim/effects.log"); }
    void set_clock_offset(std::int64_t seconds) const;

private:
    std::string root_;
};

// Build (or rebuild) the tree at root. The stand-in program is copied to
// /bin/ash, /sbin/poweroff and /sbin/udhcpc.
BoardTree build_board_tree(const std::string &root, const TreeOptions &opt = {});

// Path of the stand-in binary this build made.
const char *standin_path();

}  // namespace sim
