#include "console/exit_action.h"

#include <csignal>
#include <cstdio>
#include <curses.h>
#include <term.h>
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
    bool irreversible;   // replaces the OS, the backup or the ROM: nothing may stop it half-way
    const char *program;
    const char *argv[7];
};
constexpr ExitProgram kPrograms[] = {
    {EXIT_EXT_RECOVERY, true, true, kAsh,
     {"ash", kExtRecoveryScript, ext_recovery_tar, ext_recovery_dev, nullptr}},
    {EXIT_INT_RECOVERY, true, true, kAsh,
     {"ash", kIntRecoveryScript, int_recovery_tar, int_recovery_dev, nullptr}},
    {EXIT_ROM_UPDATE, false, true, kAsh, {"ash", "/usr/bin/btflash.sh", rom_image_path, nullptr}},
    {EXIT_ROM_DOWNLOAD, false, false, kAsh, {"ash", "/usr/bin/getrom.sh", rom_url, nullptr}},
    {EXIT_NET_CONFIG, false, false, kAsh,
     {"ash", "/usr/bin/netconf.sh", net_args[0], net_args[1], net_args[2], net_args[3], nullptr}},
    {EXIT_DHCP, false, false, "/sbin/udhcpc", {"udhcpc", nullptr}},
};

constexpr int kKeyboardSignals[] = {SIGINT, SIGQUIT, SIGTSTP};

void set_disposition(int sig, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
}

// Dispositions outlive the exec: an ignored signal stays ignored in the
// program started. SIGPIPE is the console's own business (it handles a
// closed output itself); a script expects the default.
void hand_on_signals(bool keep_ignored) {
    if (!keep_ignored)
        for (int sig : kKeyboardSignals) set_disposition(sig, SIG_DFL);
    set_disposition(SIGPIPE, SIG_DFL);
}

// The exec failed: the console goes on to power off, with its own dispositions.
void take_signals_back() {
    exit_action_hold_signals();
    set_disposition(SIGPIPE, SIG_IGN);
}

int put_stdout(int c) { return std::putchar(c); }

}  // namespace

void exit_action_hold_signals() {
    for (int sig : kKeyboardSignals) set_disposition(sig, SIG_IGN);
}

void exit_action_clean_line() {
    // endwin leaves the cursor on the last line, where the legend still
    // stands on a terminal without an alternate screen (vt100).
    std::fputs("\r", stdout);
    const char *el = tigetstr("el");
    if (el != nullptr && el != reinterpret_cast<char *>(-1)) tputs(el, 1, put_stdout);
    else std::fputs("\n", stdout);
    std::fflush(stdout);
}

void exit_action_run() {
    for (const ExitProgram &p : kPrograms) {
        if (p.action != ExitAction) continue;
        if (p.recovery_stat && write_recovery_stat() != 0) return;
        hand_on_signals(p.irreversible);
        board::exec(p.program, p.argv);
        take_signals_back();
        return;
    }
}

void exit_action_poweroff() {
    sync();
    const char *argv[] = {"poweroff", nullptr};
    hand_on_signals(true);
    board::exec("/sbin/poweroff", argv);
    take_signals_back();
}
