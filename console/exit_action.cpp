#include "console/exit_action.h"

#include <cstdio>
#include <unistd.h>

#include "board/board.h"
#include "board/files.h"
#include "console/log.h"

int ExitAction = EXIT_NONE;
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

namespace {

// The program of each action and its argument list, argument 0 first.
struct ExitProgram {
    int action;
    bool recovery_stat;  // "0\n" into recovery.stat first
    const char *program;
    const char *argv[7];
};
constexpr ExitProgram kPrograms[] = {
    {EXIT_EXT_RECOVERY, true, kAsh,
     {"ash", kExtRecoveryScript, ext_recovery_tar, ext_recovery_dev, nullptr}},
    {EXIT_INT_RECOVERY, true, kAsh,
     {"ash", kIntRecoveryScript, int_recovery_tar, int_recovery_dev, nullptr}},
    {EXIT_ROM_UPDATE, false, kAsh, {"ash", "/usr/bin/btflash.sh", rom_image_path, nullptr}},
    {EXIT_ROM_DOWNLOAD, false, kAsh, {"ash", "/usr/bin/getrom.sh", rom_url, nullptr}},
    {EXIT_NET_CONFIG, false, kAsh,
     {"ash", "/usr/bin/netconf.sh", net_args[0], net_args[1], net_args[2], net_args[3], nullptr}},
    {EXIT_DHCP, false, "/sbin/udhcpc", {"udhcpc", nullptr}},
};

}  // namespace

void exit_action_run() {
    for (const ExitProgram &p : kPrograms) {
        if (p.action != ExitAction) continue;
        if (p.recovery_stat && write_recovery_stat() != 0) return;
        board::exec(p.program, p.argv);
        return;
    }
}

void exit_action_poweroff() {
    sync();
    const char *argv[] = {"poweroff", nullptr};
    board::exec("/sbin/poweroff", argv);
}
