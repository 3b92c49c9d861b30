// sim-board-tree ROOT: build a simulated board in ROOT (for the demo and for
// running the tools by hand).
#include <cstdio>

#include "sim/board_tree.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    sim::build_board_tree(argv[1]);
    std::printf("%s\n", argv[1]);
    return 0;
}
