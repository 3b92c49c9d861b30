// A seeded stream of what real terminals send (xterm, VT220, the Linux
// console, vt100: function keys, the keypad in both modes, arrows in both
// forms, Alt-letters, control bytes, high bytes, pasted text, position
// reports), with resizes between, on every page. F6, F10 and Enter are left
// out, so the console must never leave, start a program, set the clock other
// than after Up or Down, or change the EEPROM.
//
// Besides, under every TERM with the keypad left in application mode by an
// earlier program: keypad digits, which must type digits, and pastes with
// CR, LF and Tab inside (one write, bracketed or not), which press nothing.
//
// NORVANE_MONKEY_STEPS (per terminal type) and NORVANE_MONKEY_SEED make a
// longer or another run; a failure prints the seed and the steps so far.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "tests/screen/harness.h"

namespace {

using namespace std::chrono_literals;

struct TermLine {
    const char *type;
    bool sizeless;  // a serial line that never answers: a report may come late
};
constexpr TermLine kLines[] = {
    {"xterm-256color", false}, {"vt220", false}, {"linux", false}, {"vt100", true}};

// Every terminal's keys. Those that are F6, F10 or Enter under some TERM are
// kept apart: they are sent only where they are something else.
const std::vector<std::string> kKeys = {
    // xterm and VT220 F1-F12 but F6 and F10
    "\033OP", "\033OQ", "\033OR", "\033OS", "\033[11~", "\033[12~", "\033[13~", "\033[14~",
    "\033[15~", "\033[18~", "\033[19~", "\033[20~", "\033[23~", "\033[24~",
    // the Linux console's F1-F5, modified F-keys
    "\033[[A", "\033[[B", "\033[[C", "\033[[D", "\033[[E", "\033[1;5R", "\033[15;2~",
    // the keypad in application mode but its Enter, in numeric mode
    "\033Op", "\033Oq", "\033Or", "\033Os", "\033Ot", "\033Ov", "\033Ow", "\033Oy",
    "\033Oj", "\033Ok", "\033Ol", "\033Om", "\033On", "\033Oo", "0", "5", "9", ".", "+",
    // arrows in both forms, editing keys, Shift-Tab
    "\033[A", "\033[B", "\033[C", "\033[D", "\033OA", "\033OB", "\033OC", "\033OD",
    "\033[1~", "\033[2~", "\033[3~", "\033[4~", "\033[5~", "\033[6~", "\033[H", "\033[F",
    "\033OH", "\033OF", "\033[Z", "\t", "\177", "\b",
    // bracketed paste and focus reports
    "\033[200~\033[201~", "\033[201~", "\033[I", "\033[O",
};
// "\033Ou" and "\033Ox": keypad keys under xterm, F6 and F10 elsewhere.
const std::vector<std::string> kXtermOnly = {"\033Ou", "\033Ox"};

// Tab and Shift-Tab typed on their own move as Down and Up do.
bool is_up_or_down(const std::string &k) {
    return k == "\033[A" || k == "\033[B" || k == "\033OA" || k == "\033OB" || k == "\t" || k == "\033[Z";
}

// Printable text with CR, LF and Tab among it, never first: the paste comes
// in one write, and half of them between bracketed-paste marks.
std::string paste(std::mt19937 &rng) {
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    // A third are digits, which the clock's cells take.
    const bool digits = pick(3) == 0;
    auto printable = [&] { return static_cast<char>(digits ? '0' + pick(10) : ' ' + pick(95)); };
    std::string p(1, digits ? printable() : static_cast<char>('!' + pick(94)));
    for (std::size_t n = 2 + pick(40); n > 0; --n) p += pick(4) == 0 ? "\r\n\t"[pick(3)] : printable();
    return pick(2) == 0 ? p : "\033[200~" + p + "\033[201~";
}

std::string ch_line(int code) {
    char b[40];
    std::snprintf(b, sizeof b, "L[MAIN]: CH: 0x%08x\n", static_cast<unsigned>(code));
    return b;
}

unsigned long env_number(const char *name, unsigned long fallback) {
    const char *v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::strtoul(v, nullptr, 10) : fallback;
}

class KeyMonkey : public screen::ConsoleTest {
protected:
    // Every key, dropped sequence and resize leaves a log line: wait for it
    // (the wait takes in the frame that follows), so each step is judged on
    // its own.
    testing::AssertionResult read_by_the_console(std::size_t log_size) {
        return term().wait_for([&] { return log().size() > log_size; }, 2000ms, "the key read");
    }
    int clock_effects() const {
        int n = 0;
        for (const std::string &l : effect_lines())
            n += l.rfind("clock_settime ", 0) == 0 || l.rfind("rtc_set_time ", 0) == 0;
        return n;
    }
};

TEST_F(KeyMonkey, NoStrayKeyLeavesStartsOrSaves) {
    const unsigned long steps = env_number("NORVANE_MONKEY_STEPS", 100);
    const unsigned long seed = env_number("NORVANE_MONKEY_SEED", 20261209);
    std::vector<std::uint8_t> eeprom_before;
    for (std::size_t li = 0; li < std::size(kLines); ++li) {
        const TermLine &line = kLines[li];
        std::mt19937 rng(static_cast<std::uint32_t>(seed + li));
        std::mt19937 extra_rng(static_cast<std::uint32_t>(seed * 7 + li));
        auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
        std::string trace;
        SCOPED_TRACE(std::string("TERM=") + line.type + " seed " + std::to_string(seed + li));
        write_state(std::to_string(pick(4)) + "\n");
        serial.sizeless = line.sizeless;
        serial.answers = !line.sizeless;
        // The keypad in application mode, as an earlier program left it.
        ASSERT_TRUE(start(30, 100, {"sh", "-c", "printf '\\033='; exec \"$0\""},
                          {std::string("TERM=") + line.type}));
        if (eeprom_before.empty()) eeprom_before = eeprom();
        const std::size_t effects_before = effect_lines().size();
        int clocks = clock_effects();
        unsigned long last_up_down = 0;
        for (unsigned long step = 1; step <= steps; ++step) {
            std::string k;
            int keypad = -1;
            const std::size_t extra = std::uniform_int_distribution<std::size_t>(0, 7)(extra_rng);
            if (extra == 0) k = paste(extra_rng);
            else if (extra == 1) keypad = static_cast<int>(extra_rng() % 10);
            else if (extra == 2) k = "\033[B";  // into the page: the paste then meets its fields
            else
            switch (pick(10)) {
            case 0: case 1: case 2: case 3: k = kKeys[pick(kKeys.size())]; break;
            case 4:
                k = std::string(line.type) == "xterm-256color" ? kXtermOnly[pick(2)] : "\033[C";
                break;
            case 5: {  // a control byte but Enter's (^J, ^M) and ESC
                char c = static_cast<char>(pick(32));
                k = c == '\n' || c == '\r' || c == '\033' ? std::string(1, '\001') : std::string(1, c);
                break;
            }
            case 6: k = std::string(1, static_cast<char>(0x80 + pick(128))); break;
            case 7: {  // Alt and a letter; ESC O and ESC [ are sequence starts
                char c = static_cast<char>('a' + pick(26));
                k = std::string("\033") + c;
                break;
            }
            case 8:  // pasted text
                for (std::size_t n = 1 + pick(30); n > 0; --n) k += static_cast<char>(' ' + pick(95));
                break;
            default:
                if (pick(2) == 0) {
                    k = "\033[" + std::to_string(2 + pick(60)) + ";" + std::to_string(2 + pick(150)) + "R";
                } else {
                    int rows = static_cast<int>(6 + pick(40)), cols = static_cast<int>(20 + pick(120));
                    trace += "resize " + std::to_string(rows) + "x" + std::to_string(cols) + "\n";
                    const std::size_t before = log().size();
                    term().resize(rows, cols);
                    // A sizeless line learns nothing of it: only the screen changed.
                    if (line.sizeless) ASSERT_TRUE(term().wait_idle(20ms));
                    else ASSERT_TRUE(read_by_the_console(before)) << trace;
                    continue;
                }
            }
            trace += keypad >= 0 ? "keypad " + std::to_string(keypad) + "\n" : testing::PrintToString(k) + "\n";
            if (is_up_or_down(k)) last_up_down = step;
            const std::size_t before = log().size();
            if (keypad >= 0) term().keypad(keypad);
            else term().send_raw(k);
            ASSERT_TRUE(read_by_the_console(before)) << trace;
            if (keypad >= 0) {
                ASSERT_NE(log().find(ch_line('0' + keypad), before), std::string::npos) << trace;
            }
            ASSERT_TRUE(term().running()) << "step " << step << "\n" << trace;
            std::vector<std::string> effects = effect_lines();
            for (std::size_t i = effects_before; i < effects.size(); ++i) {
                const std::string &e = effects[i];
                bool clock = e.rfind("clock_settime ", 0) == 0 || e.rfind("rtc_set_time ", 0) == 0;
                ASSERT_TRUE(clock) << "step " << step << ": " << e << "\n" << trace;
            }
            int now_clocks = clock_effects();
            if (now_clocks != clocks) {
                ASSERT_GT(last_up_down + 3, step) << "the clock set with no Up or Down\n" << trace;
                clocks = now_clocks;
            }
        }
        ASSERT_TRUE(term().wait_idle(200ms));
        ASSERT_TRUE(term().running()) << trace;
        EXPECT_EQ(eeprom(), eeprom_before) << trace;
        ASSERT_TRUE(leave()) << trace;
    }
}

// After F10 the board is powered off whatever follows: once the screen is
// left the line has its signal keys back, and Ctrl-C, Ctrl-\\ and Ctrl-Z
// during the countdown, between other keys, stop nothing. One terminal type
// a run; the board clock moves a second on now and then, so the countdown
// runs its ten seconds with the keys falling in each of them.
TEST_F(KeyMonkey, F10PowersOffWhateverFollows) {
    const unsigned long seed = env_number("NORVANE_MONKEY_SEED", 20261209);
    std::mt19937 rng(static_cast<std::uint32_t>(seed));
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const TermLine &line = kLines[seed % std::size(kLines)];
    SCOPED_TRACE(std::string("TERM=") + line.type + " seed " + std::to_string(seed));
    opts.fast_countdown = false;
    serial.sizeless = line.sizeless;
    serial.answers = !line.sizeless;
    ASSERT_TRUE(start(24, 80, {}, {std::string("TERM=") + line.type}));
    term().fkey(10);
    ASSERT_TRUE(term().wait_for([&] { return term().output().find("Saving ") != std::string::npos; }));
    std::string trace;
    const std::vector<std::string> signal_keys = {"\003", "\034", "\032"};
    const auto until = std::chrono::steady_clock::now() + 15s;  // a stopped console never ends
    while (term().running() && std::chrono::steady_clock::now() < until) {
        const std::string k = pick(3) != 0 ? signal_keys[pick(signal_keys.size())] : kKeys[pick(kKeys.size())];
        trace += testing::PrintToString(k) + "\n";
        term().send_raw(k);
        term().pump(std::chrono::milliseconds(5 + pick(40)));
        if (pick(3) == 0) pass_clock(1);
    }
    ASSERT_TRUE(term().wait_exit(20000ms)) << trace;
    EXPECT_EQ(term().exit_status(), 0) << "signal " << term().term_signal() << "\n" << trace;
    EXPECT_NE(effects().find("exec /sbin/poweroff \"poweroff\""), std::string::npos) << trace;
    EXPECT_EQ(quellet("-g c0"), "02:00:5e:10:20:30\n");  // the EEPROM written whole
}

}  // namespace
