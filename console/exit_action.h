// What the console does once the screen is left: the action a page asked
// for, its argument buffers, and starting the board program.
#pragma once

// The values of ExitAction; 7 or more counts as EXIT_NONE.
enum : int {
    EXIT_NONE = 0,           // power off
    EXIT_EXT_RECOVERY = 1,   // recovery from the external archive
    EXIT_INT_RECOVERY = 2,   // restore the internal backup
    EXIT_ROM_UPDATE = 3,     // flash the ROM image
    EXIT_ROM_DOWNLOAD = 4,   // download a ROM image
    EXIT_NET_CONFIG = 5,     // configure the network by hand
    EXIT_DHCP = 6,           // configure the network by DHCP
};

extern int ExitAction;

// The recovery scripts: the Maintenance page offers a job only while its
// script is there, and the exit action runs that same script.
constexpr const char *kExtRecoveryScript = "/var/run/tolvane/ext/recovery.rc";
constexpr const char *kIntRecoveryScript = "/var/run/tolvane/int/recovery.rc";

extern char ext_recovery_tar[256];
extern char ext_recovery_dev[256];
extern char int_recovery_tar[256];
extern char int_recovery_dev[256];
extern char rom_image_path[1024];
extern char rom_url[1024];
extern char net_args[4][1025];

// "0\n" into /var/run/tolvane/recovery.stat; 0, or -1 (logged) when the file
// cannot be opened or the bytes do not reach it.
[[nodiscard]] int write_recovery_stat();

// From the moment the screen is left until the exec, the line has its
// signal keys back: Ctrl-C, Ctrl-\ and Ctrl-Z stop nothing (SIGINT, SIGQUIT
// and SIGTSTP ignored), so a countdown or a power-off is never cut short.
void exit_action_hold_signals();

// After endwin: the cursor at the start of a cleared line, so what the
// console or a started program prints next never stands on the old screen.
void exit_action_clean_line();

// Replace the console with the program of ExitAction. Returns only when
// there is nothing to start, a precondition failed or the exec failed. The
// three jobs that replace the OS, the backup or the ROM keep the keyboard's
// signals ignored; the download and the network jobs get them back, so an
// operator may stop them. Every program gets SIGPIPE back.
void exit_action_run();

// Sync, then replace the console with /sbin/poweroff, which keeps the
// keyboard's signals ignored. Returns if that fails.
void exit_action_poweroff();
