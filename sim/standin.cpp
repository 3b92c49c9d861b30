// Stand-in for the board programs the console starts (/bin/ash,
// /sbin/poweroff, /sbin/udhcpc). It records the board path it was started
// as and its exact argument list in the simulated board's effects log, then
// exits 0: nothing happens to the host.
#include <cstdlib>
#include <cstring>

#include "board/board.h"

int main(int argc, char **argv) {
    char line[8192];
    std::size_t n = 0;
    auto append = [&](const char *s) {
        std::size_t len = std::strlen(s);
        if (n + len >= sizeof line) len = sizeof line - 1 - n;
        std::memcpy(line + n, s, len);
        n += len;
        line[n] = '\0';
    };
    const char *program = std::getenv("BOARD_PROGRAM");
    append("exec ");
    append(program != nullptr ? program : argv[0]);
    for (int i = 0; i < argc; ++i) {
        char quoted[4096];
        board::quote_arg(argv[i], quoted, sizeof quoted);
        append(" ");
        append(quoted);
    }
    board::effect(line);
    return 0;
}
