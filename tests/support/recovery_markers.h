// The marker files the Maintenance page reads under /var/run/tolvane, written
// into a board tree as the board's scripts leave them: a recovery source
// each (its archive path, script, device and button line) and the two ROM
// images' path files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/board_tree.h"

namespace test_support {

inline constexpr std::int64_t kRomSize = 16777216;  // the one size a ROM image may have
inline constexpr const char *kUsbRomMarker = "/var/run/tolvane/update-rom-path";
inline constexpr const char *kWebRomMarker = "/var/run/tolvane/web-update-rom-path";
inline constexpr const char *kUsbRom = "/media/usb0/rom.bin";
inline constexpr const char *kWebRom = "/tmp/web-rom.bin";

inline constexpr const char *kExtTar = "/media/usb0/recovery.tar";
inline constexpr const char *kIntTar = "/mnt/backup/recovery.tar";

// A source's archive at its usual place and its markers; the archive path
// in the marker is written as given, so a test may point it elsewhere or
// spoil it.
inline void write_ext_source(const sim::BoardTree &t, std::string_view tar_path = kExtTar,
                             std::string_view line = "  Start from USB stick") {
    t.write(kExtTar, "archive");
    t.write("/var/run/tolvane/ext/recovery-tar-path", tar_path);
    t.write("/var/run/tolvane/ext/recovery.rc", "#!/bin/ash\n");
    t.write("/var/run/tolvane/ext/recovery-mdev", "/dev/sda1");
    t.write("/var/run/tolvane/ext/line", line);
}

inline void write_int_source(const sim::BoardTree &t, std::string_view tar_path = kIntTar) {
    t.write(kIntTar, "archive");
    t.write("/var/run/tolvane/int/recovery-tar-path", tar_path);
    t.write("/var/run/tolvane/int/recovery.rc", "#!/bin/ash\n");
    t.write("/var/run/tolvane/int/recovery-mdev", "/dev/mmcblk0p3");
    t.write("/var/run/tolvane/int/line", "backup");
}

// A ROM path file naming image (its line ended by end), and the image, sparse.
inline void write_rom(const sim::BoardTree &t, const char *marker, const char *image,
                      std::int64_t size = kRomSize, std::string_view end = "\n") {
    t.write(marker, std::string(image) + std::string(end));
    t.write_sparse(image, size);
}
inline void write_usb_rom(const sim::BoardTree &t, std::int64_t size = kRomSize) {
    write_rom(t, kUsbRomMarker, kUsbRom, size);
}
inline void write_web_rom(const sim::BoardTree &t, std::int64_t size = kRomSize) {
    write_rom(t, kWebRomMarker, kWebRom, size);
}

}  // namespace test_support
