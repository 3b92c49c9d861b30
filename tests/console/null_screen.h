// A curses screen on /dev/null for unit tests: the form library keeps field
// buffers only once a screen exists, and nothing needs a real terminal.
#pragma once

#include <cstdio>

#include <curses.h>

// The panel library keeps one record for stdscr from the first new_panel to
// the end of the program; no call releases it, so it is not ours to free.
extern "C" const char *__lsan_default_suppressions() { return "leak:new_panel\n"; }

namespace test_screen {

class NullScreen {
public:
    // Open the screen; with pairs, also the console's eight colour pairs.
    void open(const char *term = "xterm-256color", bool pairs = false) {
        out_ = std::fopen("/dev/null", "w");
        in_ = std::fopen("/dev/null", "r");
        screen_ = newterm(term, out_, in_);
        start_color();
        if (!pairs) return;
        const short p[8][2] = {{0, 7}, {4, 7}, {7, 4}, {0, 0}, {2, 7}, {1, 7}, {7, 1}, {7, 0}};
        for (short i = 0; i < 8; ++i) init_pair(static_cast<short>(i + 1), p[i][0], p[i][1]);
    }
    void close() {
        if (screen_ == nullptr) return;
        endwin();
        delscreen(screen_);
        std::fclose(out_);
        std::fclose(in_);
        screen_ = nullptr;
    }
    bool ok() const { return screen_ != nullptr; }

private:
    SCREEN *screen_ = nullptr;
    std::FILE *out_ = nullptr;
    std::FILE *in_ = nullptr;
};

}  // namespace test_screen
