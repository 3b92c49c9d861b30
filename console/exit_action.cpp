#include "console/exit_action.h"

#include <cstdio>
#include <unistd.h>

#include "board/board.h"
#include "board/files.h"
#include "console/log.h"

int ExitAction = 0;
char ext_recovery_tar[256];
char ext_recovery_dev[256];
char int_recovery_tar[256];
char int_recovery_dev[256];
char rom_image_path[1024];
char rom_url[1024];
char net_args[4][1025];

namespace {
constexpr const char *kRecoveryStat = "/var/run/tolvane/recovery.stat";
constexpr const char *kAsh = "/bin/ash";
}  // namespace

int write_recovery_stat() {
    board::File f = board::open_shared(kRecoveryStat, "w");
    if (!f) {
        console_log("L[MAIN]: Failed to open %s for writing\n", kRecoveryStat);
        return -1;
    }
    // A full or failing device must not pass for a written marker: the
    // recovery job would start with no "0\n" for its reader.
    bool wrote = std::fputs("0\n", f.get()) >= 0;
    if (f.close() != 0) wrote = false;
    if (!wrote) {
        console_log("L[MAIN]: Failed to write %s\n", kRecoveryStat);
        return -1;
    }
    return 0;
}

void exit_action_run() {
    switch (ExitAction) {
    case 1: {
        if (write_recovery_stat() != 0) return;
        const char *argv[] = {"ash", "/var/run/tolvane/ext/recovery.rc", ext_recovery_tar,
                              ext_recovery_dev, nullptr};
        board::exec(kAsh, argv);
        return;
    }
    case 2: {
        if (write_recovery_stat() != 0) return;
        const char *argv[] = {"ash", "/var/run/tolvane/int/recovery.rc", int_recovery_tar,
                              int_recovery_dev, nullptr};
        board::exec(kAsh, argv);
        return;
    }
    case 3: {
        const char *argv[] = {"ash", "/usr/bin/btflash.sh", rom_image_path, nullptr};
        board::exec(kAsh, argv);
        return;
    }
    case 4: {
        const char *argv[] = {"ash", "/usr/bin/getrom.sh", rom_url, nullptr};
        board::exec(kAsh, argv);
        return;
    }
    case 5: {
        const char *argv[] = {"ash",       "/usr/bin/netconf.sh", net_args[0], net_args[1],
                              net_args[2], net_args[3],           nullptr};
        board::exec(kAsh, argv);
        return;
    }
    case 6: {
        const char *argv[] = {"udhcpc", nullptr};
        board::exec("/sbin/udhcpc", argv);
        return;
    }
    default:
        return;
    }
}

void exit_action_poweroff() {
    sync();
    const char *argv[] = {"poweroff", nullptr};
    board::exec("/sbin/poweroff", argv);
}
