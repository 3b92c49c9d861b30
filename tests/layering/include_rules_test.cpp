// Which folder may include which: the layering of docs/architecture.md,
// read off the #include lines of the sources, so a file that breaks it
// fails here rather than in a review months later.
//
//   board/          nothing of the project but board/
//   fru/            board/ only; never curses, never the console
//   console/        the core includes no page; main alone builds them
//   console/pages/  a page never includes another page (the Boot page
//                   reads the Main page's BMC version; the clock is part
//                   of the Main page)
//   tools/rominfo/  board/ only
//   tools/frutool/  fru/ and board/
//   sim/            board/ only
//   tests/          included by tests and the benchmarks, by no program
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

struct Include {
    std::string header;  // as written between the quotes or brackets
    bool angled;
};

// The include of one line, if it is one: optional blanks, '#', blanks,
// "include", blanks, then <...> or "...". (No std::regex: GCC 12 warns
// falsely inside it at -O2 with the sanitizers, and warnings are errors.)
bool include_of(const std::string &line, Include *out) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return false;
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return false;
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || (line[i] != '<' && line[i] != '"')) return false;
    const char close = line[i] == '<' ? '>' : '"';
    const std::size_t end = line.find(close, i + 1);
    if (end == std::string::npos) return false;
    *out = {line.substr(i + 1, end - i - 1), close == '>'};
    return true;
}

std::vector<Include> includes_of(const std::string &text) {
    std::vector<Include> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        Include inc;
        if (include_of(text.substr(start, end - start), &inc)) out.push_back(inc);
        start = end + 1;
    }
    return out;
}

bool starts(const std::string &s, const std::string &p) { return s.rfind(p, 0) == 0; }

// The page a file of console/pages/ belongs to: the word before its first
// '_' ("main_page.cpp" -> "main"); the clock setting lives on the Main page.
std::string page_of(const std::string &path) {
    std::string stem = fs::path(path).stem().string();
    std::string word = stem.substr(0, stem.find('_'));
    return word == "clock" ? "main" : word;
}

bool curses_header(const std::string &h) {
    for (const char *c : {"curses.h", "ncurses.h", "ncursesw/curses.h", "form.h", "menu.h", "panel.h", "term.h"})
        if (h == c) return true;
    return false;
}

// What is wrong with file (a path relative to the top) including inc;
// "" when the include is allowed.
std::string violation(const std::string &file, const Include &inc) {
    const std::string &h = inc.header;
    if (inc.angled) {
        if ((starts(file, "fru/") || starts(file, "board/") || starts(file, "tools/")) && curses_header(h))
            return "includes curses, which only the console uses";
        return "";
    }
    const bool test_side = starts(file, "tests/") || starts(file, "bench/");
    if (starts(h, "tests/") && !test_side) return "a program or library includes tests/";
    auto only = [&](std::initializer_list<const char *> rooms) -> std::string {
        for (const char *r : rooms)
            if (starts(h, r)) return "";
        return "includes " + h + " from outside its allowed folders";
    };
    if (starts(file, "board/")) return only({"board/"});
    if (starts(file, "fru/")) return only({"fru/", "board/"});
    if (starts(file, "tools/rominfo/")) return only({"tools/rominfo/", "board/"});
    if (starts(file, "tools/frutool/")) return only({"tools/frutool/", "fru/", "board/"});
    if (starts(file, "sim/")) return only({"sim/", "board/"});
    if (starts(file, "console/pages/") && starts(h, "console/pages/")) {
        const std::string from = page_of(file), to = page_of(h);
        if (from == to || (from == "boot" && h == "console/pages/main_page.h")) return "";
        return "a page includes another page (" + h + ")";
    }
    // Pages are settled above; what is left of console/ is the core.
    if (starts(file, "console/") && file != "console/main.cpp" && starts(h, "console/pages/"))
        return "the core includes a page (" + h + ")";
    if (starts(file, "console/")) return only({"console/", "fru/", "board/"});
    return "";
}

bool source_file(const fs::path &p) {
    const std::string ext = p.extension().string();
    return ext == ".cpp" || ext == ".h" || ext == ".cc" || ext == ".hpp";
}

TEST(Layering, EverySourceKeepsTheIncludeRules) {
    const fs::path top = SOURCE_DIR;
    int files = 0;
    for (const char *room : {"board", "fru", "console", "tools", "sim", "fuzz", "bench", "tests"}) {
        ASSERT_TRUE(fs::is_directory(top / room)) << room;
        for (const auto &e : fs::recursive_directory_iterator(top / room)) {
            if (!e.is_regular_file() || !source_file(e.path())) continue;
            const std::string rel = fs::relative(e.path(), top).generic_string();
            std::ifstream f(e.path());
            const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            for (const Include &inc : includes_of(text)) {
                const std::string why = violation(rel, inc);
                EXPECT_EQ(why, "") << rel << ": #include " << inc.header;
            }
            ++files;
        }
    }
    // A wrong top folder would pass on nothing.
    EXPECT_GT(files, 50);
}

TEST(Layering, TheCheckCatchesEachKindOfBreak) {
    struct Case {
        const char *file, *line;
        bool allowed;
    };
    const Case cases[] = {
        {"board/board.cpp", "#include \"fru/fru_store.h\"", false},
        {"board/board.cpp", "#include \"board/files.h\"", true},
        {"fru/fru_store.cpp", "#include <curses.h>", false},
        {"fru/fru_store.cpp", "  #  include \"console/log.h\"", false},
        {"fru/fru_store.cpp", "#include \"board/files.h\"", true},
        {"tools/rominfo/main.cpp", "#include \"fru/fru_format.h\"", false},
        {"tools/rominfo/main.cpp", "#include <form.h>", false},
        {"tools/frutool/main.cpp", "#include \"fru/board_info.h\"", true},
        {"sim/board_tree.cpp", "#include \"console/log.h\"", false},
        {"console/pages/net_page.cpp", "#include \"console/pages/boot_page.h\"", false},
        {"console/pages/main_page.cpp", "#include \"console/pages/recovery_page.h\"", false},
        {"console/pages/boot_page.cpp", "#include \"console/pages/main_page.h\"", true},
        {"console/pages/boot_page.cpp", "#include \"console/pages/clock.h\"", false},
        {"console/pages/main_page.cpp", "#include \"console/pages/clock.h\"", true},
        {"console/main.cpp", "#include \"console/pages/net_page.h\"", true},
        {"console/page_state.cpp", "#include \"console/pages/recovery_page.h\"", false},
        {"console/main.cpp", "#include \"tests/screen/harness.h\"", false},
        {"console/top_menu.cpp", "#include \"sim/board_tree.h\"", false},
        {"bench/console_bench.cpp", "#include \"tests/screen/harness.h\"", true},
        {"tests/fru/x_test.cpp", "#include \"sim/fru_image.h\"", true},
    };
    for (const Case &c : cases) {
        const auto incs = includes_of(c.line);
        ASSERT_EQ(incs.size(), 1u) << c.line;
        EXPECT_EQ(violation(c.file, incs[0]).empty(), c.allowed) << c.file << ": " << c.line;
    }
    // Commented-out and quoted includes are not includes.
    EXPECT_TRUE(includes_of("// #include \"fru/x.h\"\nconst char *s = \"#include <curses.h>\";\n").empty());
}

}  // namespace
