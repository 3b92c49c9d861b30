#include "console/page_state.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "board/files.h"
#include "console/log.h"
#include "console/top_menu.h"

namespace {
constexpr const char *kStateFile = "/var/run/tolvane/recovery.state";
}  // namespace

void save_state(StateLineFn save_line2) {
    board::File f = board::open_shared(kStateFile, "w");
    // Only the tab and the address are lost, but the log says so: the next
    // start on the Main tab is then no mystery.
    bool wrote = f && top_menu_save_state(f.get()) >= 0 && save_line2(f.get()) >= 0;
    if (f && f.close() != 0) wrote = false;
    if (!wrote) console_log("L[MAIN]: Failed to write %s\n", kStateFile);
}

int restore_state(StateLineFn load_line2) {
    struct stat st {};
    int r = board::stat_regular(kStateFile, &st);
    if (r == -2) {
        console_log("L[MAIN]: %s is not a regular file, taken as missing\n", kStateFile);
        return -1;
    }
    if (r != 0) {
        console_log("L[MAIN]: Failed to stat %s: %i, errno: %s\n", kStateFile, r, std::strerror(errno));
        return -1;
    }
    board::File f = board::open_shared(kStateFile, "r");
    if (!f) return -2;
    if (top_menu_load_state(f.get()) != 0) return -3;
    if (load_line2(f.get()) != 0) return -4;
    return 0;
}
