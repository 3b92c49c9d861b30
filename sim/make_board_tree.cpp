// sim-board-tree ROOT: build a simulated board in ROOT (for the demo and for
// running the tools by hand).
#include <cstdio>

#include "sim/board_tree.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    sim::TreeOptions opt;
    opt.fast_countdown = false;  // a person watches the countdown as on the board
    sim::build_board_tree(argv[1], opt);
    std::printf("%s\n", argv[1]);
    return 0;
}
