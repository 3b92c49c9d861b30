#include "sim/board_tree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace sim {

std::string BoardTree::host(std::string_view board_path) const {
    return root_ + std::string(board_path);
}

void BoardTree::mkdir(std::string_view board_path) const {
    std::error_code ec;
    fs::create_directories(host(board_path), ec);
}

void BoardTree::write(std::string_view board_path, std::string_view content) const {
    fs::path p = host(board_path);
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

void BoardTree::write_bytes(std::string_view board_path, const std::vector<std::uint8_t> &b) const {
    write(board_path, std::string_view(reinterpret_cast<const char *>(b.data()), b.size()));
}

std::string BoardTree::read(std::string_view board_path) const {
    std::ifstream in(host(board_path), std::ios::binary);
    if (!in) return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool BoardTree::exists(std::string_view board_path) const {
    std::error_code ec;
    return fs::exists(fs::symlink_status(host(board_path), ec));
}

void BoardTree::remove(std::string_view board_path) const {
    std::error_code ec;
    fs::remove_all(host(board_path), ec);
}

void BoardTree::write_sparse(std::string_view board_path, std::int64_t size) const {
    write(board_path, "");
    std::error_code ec;
    fs::resize_file(host(board_path), static_cast<std::uintmax_t>(size), ec);
}

// A running console reads the offset at every tick: it must find the old
// one or the new one, never the empty file of a write in progress (which
// reads as the clock set back to the host's).
void BoardTree::set_clock_offset(std::int64_t seconds) const {
    write("/sim/clock-offset.new", std::to_string(seconds) + "\n");
    std::error_code ec;
    fs::rename(host("/sim/clock-offset.new"), host("/sim/clock-offset"), ec);
}

const char *standin_path() { return SIM_STANDIN_PATH; }

BoardTree build_board_tree(const std::string &root, const TreeOptions &opt) {
    BoardTree t(root);
    std::error_code ec;
    fs::create_directories(root, ec);

    t.write_bytes("/sys/bus/i2c/devices/1-0053/eeprom", make_fru_image(opt.fru));
    t.write("/sys/bus/i2c/drivers/vellan-bmc/version", opt.bmc_version);
    t.write("/sys/bus/i2c/drivers/vellan-bmc/bootreason", opt.bmc_bootreason);

    const std::string chip = "gpiochip" + std::to_string(opt.gpio_base);
    t.write("/sys/bus/i2c/devices/1-0021/gpio/" + chip + "/base",
            std::to_string(opt.gpio_base) + "\n");
    t.write("/sys/class/gpio/export", "");
    for (int i = 0; i < 8; ++i) {
        t.write("/sys/class/gpio/gpio" + std::to_string(opt.gpio_base + i) + "/value",
                (opt.shred >> i) & 1 ? "1\n" : "0\n");
    }
    t.write("/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/temp1_input", opt.temp1_input);
    t.write("/sys/bus/platform/drivers/pvt-hwmon/1f200000.pvt/in1_input", opt.in1_input);
    t.write("/etc/recovery-version", opt.recovery_version);
    t.write("/proc/sys/kernel/osrelease", opt.osrelease);
    t.write("/dev/rtc0", "");

    std::vector<std::uint8_t> mtd(4096, 0xFF);
    std::vector<std::uint8_t> block = make_rom_block(opt.rom);
    std::copy(block.begin(), block.end(), mtd.begin());
    t.write_bytes("/dev/mtd2", mtd);

    t.mkdir("/var/log");
    t.mkdir("/var/run/tolvane");
    t.mkdir("/sim");
    t.write("/sim/effects.log", "");
    t.remove("/sim/clock-offset");
    if (opt.fast_countdown) t.write("/sim/fast-countdown", "");
    else t.remove("/sim/fast-countdown");

    if (opt.sample_markers) {
        t.write("/var/run/tolvane/ext/recovery-tar-path", "/media/usb0/recovery.tar");
        t.write("/var/run/tolvane/ext/recovery.rc", "#!/bin/ash\necho external recovery \"$@\"\n");
        t.write("/var/run/tolvane/ext/recovery-mdev", "/dev/sda1");
        t.write("/var/run/tolvane/ext/line", "  Start from USB stick");
        t.write("/media/usb0/recovery.tar", "sample archive\n");
        t.write("/var/run/tolvane/int/recovery-tar-path", "/mnt/backup/recovery.tar");
        t.write("/var/run/tolvane/int/recovery.rc", "#!/bin/ash\necho internal recovery \"$@\"\n");
        t.write("/var/run/tolvane/int/recovery-mdev", "/dev/mmcblk0p3");
        t.write("/var/run/tolvane/int/line", "backup");
        t.write("/mnt/backup/recovery.tar", "sample archive\n");
        t.write("/var/run/tolvane/update-rom-path", "/media/usb0/rom.bin\n");
        t.write_sparse("/media/usb0/rom.bin", 16777216);
        t.write("/var/run/tolvane/web-update-rom-path", "/tmp/web-rom.bin\n");
        t.write_sparse("/tmp/web-rom.bin", 16777216);
    }

    for (const char *prog : {"/bin/ash", "/sbin/poweroff", "/sbin/udhcpc"}) {
        fs::path dst = t.host(prog);
        fs::create_directories(dst.parent_path(), ec);
        fs::remove(dst, ec);
        fs::copy_file(standin_path(), dst, fs::copy_options::overwrite_existing, ec);
        fs::permissions(dst, fs::perms::owner_all | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec, ec);
    }
    return t;
}

}  // namespace sim
