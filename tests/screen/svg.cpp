#include "tests/screen/svg.h"

#include <array>
#include <cstdio>

namespace screen {
namespace {

constexpr int kCellW = 9;
constexpr int kCellH = 18;
constexpr int kBaseline = 14;
constexpr int kFontSize = 15;

// A dark terminal: light grey on black, as a serial emulator usually is.
constexpr const char *kDefaultFg = "#c0c0c0";
constexpr const char *kDefaultBg = "#000000";

// xterm's 16 colours; the 6x6x6 cube and the grey ramp are computed.
constexpr std::array<const char *, 16> kBase = {
    "#000000", "#cd0000", "#00cd00", "#cdcd00", "#0000ee", "#cd00cd", "#00cdcd", "#e5e5e5",
    "#7f7f7f", "#ff0000", "#00ff00", "#ffff00", "#5c5cff", "#ff00ff", "#00ffff", "#ffffff"};

std::string palette(int index, bool fg) {
    if (index < 0 || index > 255) return fg ? kDefaultFg : kDefaultBg;
    if (index < 16) return kBase[static_cast<std::size_t>(index)];
    int r, g, b;
    if (index < 232) {
        const int i = index - 16;
        auto level = [](int v) { return v == 0 ? 0 : 55 + 40 * v; };
        r = level(i / 36);
        g = level(i / 6 % 6);
        b = level(i % 6);
    } else {
        r = g = b = 8 + 10 * (index - 232);
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", r, g, b);
    return buf;
}

struct Look {
    std::string fg, bg;
    bool bold = false, underline = false;
    bool operator==(const Look &) const = default;
};

Look look_of(const Cell &c) {
    Look l{palette(c.fg, true), palette(c.bg, false), c.bold, c.underline};
    if (c.reverse) std::swap(l.fg, l.bg);
    return l;
}

// Arms of a box-drawing character: left, right, up, down.
struct Arms {
    bool l, r, u, d;
};

bool box_arms(std::string_view ch, Arms *a) {
    struct Box {
        std::string_view ch;
        Arms arms;
    };
    static constexpr Box kBoxes[] = {
        {"\u2500", {true, true, false, false}},  {"\u2502", {false, false, true, true}},
        {"\u250c", {false, true, false, true}},  {"\u2510", {true, false, false, true}},
        {"\u2514", {false, true, true, false}},  {"\u2518", {true, false, true, false}},
        {"\u251c", {false, true, true, true}},   {"\u2524", {true, false, true, true}},
        {"\u252c", {true, true, false, true}},   {"\u2534", {true, true, true, false}},
        {"\u253c", {true, true, true, true}},
    };
    for (const Box &b : kBoxes)
        if (b.ch == ch) {
            *a = b.arms;
            return true;
        }
    return false;
}

void escape_into(std::string &out, std::string_view s) {
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control bytes are not allowed in XML 1.0 text.
            if (static_cast<unsigned char>(c) < 0x20) out += ' ';
            else out += c;
        }
    }
}

void printf_into(std::string &out, const char *fmt, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    out += buf;
}

}  // namespace

std::string to_svg(const Terminal &t, std::string_view title) {
    const int rows = t.rows(), cols = t.cols();
    std::string out;
    printf_into(out,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                "viewBox=\"0 0 %d %d\" font-family=\"DejaVu Sans Mono, Menlo, Consolas, monospace\" "
                "font-size=\"%d\" xml:space=\"preserve\">\n",
                cols * kCellW, rows * kCellH, cols * kCellW, rows * kCellH, kFontSize);
    out += "<title>";
    escape_into(out, title);
    out += "</title>\n";
    printf_into(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"%s\"/>\n", kDefaultBg);

    std::string text, lines;
    for (int r = 0; r < rows; ++r) {
        std::vector<Cell> row;
        std::vector<Look> looks;
        for (int c = 0; c < cols; ++c) {
            row.push_back(t.cell(r, c));
            looks.push_back(look_of(row.back()));
        }
        // Backgrounds: one rectangle per run of a colour other than the default.
        for (int c = 0; c < cols;) {
            int e = c + 1;
            while (e < cols && looks[static_cast<std::size_t>(e)].bg == looks[static_cast<std::size_t>(c)].bg) ++e;
            if (looks[static_cast<std::size_t>(c)].bg != kDefaultBg)
                printf_into(out, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n",
                            c * kCellW, r * kCellH, (e - c) * kCellW, kCellH,
                            looks[static_cast<std::size_t>(c)].bg.c_str());
            c = e;
        }
        // Text: one element per run of one look, pinned to the grid.
        for (int c = 0; c < cols;) {
            const auto at = [&](int i) -> const Cell & { return row[static_cast<std::size_t>(i)]; };
            Arms arms{};
            if (box_arms(at(c).text, &arms)) {
                const int x = c * kCellW, y = r * kCellH, mx = x + kCellW / 2, my = y + kCellH / 2;
                const char *fg = looks[static_cast<std::size_t>(c)].fg.c_str();
                auto seg = [&](int x1, int y1, int x2, int y2) {
                    printf_into(lines, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\"/>\n",
                                x1, y1, x2, y2, fg);
                };
                if (arms.l) seg(x, my, mx, my);
                if (arms.r) seg(mx, my, x + kCellW, my);
                if (arms.u) seg(mx, y, mx, my);
                if (arms.d) seg(mx, my, mx, y + kCellH);
                ++c;
                continue;
            }
            int e = c + 1;
            while (e < cols && looks[static_cast<std::size_t>(e)] == looks[static_cast<std::size_t>(c)] &&
                   !box_arms(at(e).text, &arms))
                ++e;
            // Trailing blanks carry nothing but their background.
            int last = e;
            while (last > c && at(last - 1).text == " ") --last;
            std::string run;
            for (int i = c; i < last; ++i) run += at(i).text;
            if (last > c) {
                const Look &l = looks[static_cast<std::size_t>(c)];
                printf_into(text, "<text x=\"%d\" y=\"%d\" textLength=\"%d\" lengthAdjust=\"spacingAndGlyphs\" fill=\"%s\"%s%s>",
                            c * kCellW, r * kCellH + kBaseline, (last - c) * kCellW, l.fg.c_str(),
                            l.bold ? " font-weight=\"bold\"" : "",
                            l.underline ? " text-decoration=\"underline\"" : "");
                escape_into(text, run);
                text += "</text>\n";
            }
            c = e;
        }
    }
    out += "<g stroke-width=\"1\">\n" + lines + "</g>\n";
    out += text;
    out += "</svg>\n";
    return out;
}

}  // namespace screen
