// The README's pictures come from to_svg: parsed back by a real XML parser,
// they must hold what the screen held, in the colours it showed.
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/screen/harness.h"
#include "tests/screen/svg.h"

namespace {

using namespace std::chrono_literals;

// Parse the SVG with python3's minidom; print each <text> as "fill|content",
// then "lines N" and "rect fill" for each background rectangle. A parse
// error ends python with a traceback and a nonzero status.
constexpr const char *kReader = R"PY(
import sys, xml.dom.minidom
d = xml.dom.minidom.parse(sys.argv[1])
assert d.documentElement.tagName == 'svg'
for t in d.getElementsByTagName('text'):
    print('text|%s|%s' % (t.getAttribute('fill'), ''.join(n.data for n in t.childNodes)))
for r in d.getElementsByTagName('rect'):
    print('rect|%s' % r.getAttribute('fill'))
print('lines|%d' % len(d.getElementsByTagName('line')))
print('title|%s' % d.getElementsByTagName('title')[0].firstChild.data)
)PY";

struct Parsed {
    int status = -1;
    std::string out;
};

Parsed parse_back(const std::string &svg) {
    const std::string dir = testing::TempDir() + "/svg" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    {
        std::ofstream(dir + "/reader.py") << kReader;
        std::ofstream(dir + "/p.svg") << svg;
    }
    Parsed p;
    const std::string cmd = "python3 " + dir + "/reader.py " + dir + "/p.svg 2>&1";
    std::unique_ptr<FILE, int (*)(FILE *)> f(popen(cmd.c_str(), "r"), pclose);
    if (!f) return p;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0) p.out.append(buf.data(), n);
    p.status = pclose(f.release());
    std::filesystem::remove_all(dir);
    return p;
}

bool has(const std::string &hay, const std::string &needle) { return hay.find(needle) != std::string::npos; }

TEST(Svg, ColoursReverseVideoMarkupAndLineDrawingSurviveAParser) {
    screen::Terminal t(4, 20);
    // Red on the default background; reverse video of blue on default;
    // markup characters; a DEC line-drawing box corner and line.
    ASSERT_TRUE(t.start({"/bin/sh", "-c",
                         "printf '\\033[31mred\\033[0m \\033[34;7mrev\\033[0m a<b>&\"c\\r\\n"
                         "\\033(0lqk\\033(B'; exec sleep 5"}));
    ASSERT_TRUE(t.wait_text("a<b>"));
    ASSERT_TRUE(t.wait_quiet(50ms));
    const Parsed p = parse_back(screen::to_svg(t, "a & b"));
    ASSERT_EQ(p.status, 0) << p.out;
    EXPECT_TRUE(has(p.out, "text|#cd0000|red\n")) << p.out;
    // Reverse: the default background becomes the text colour, blue the cell's.
    EXPECT_TRUE(has(p.out, "text|#000000|rev\n")) << p.out;
    EXPECT_TRUE(has(p.out, "rect|#0000ee\n")) << p.out;
    EXPECT_TRUE(has(p.out, "| a<b>&\"c\n")) << p.out;
    EXPECT_TRUE(has(p.out, "title|a & b\n")) << p.out;
    // Corner (2 arms), line (2), corner (2): drawn, not written as text.
    EXPECT_TRUE(has(p.out, "lines|6\n")) << p.out;
    EXPECT_FALSE(has(p.out, "\u2500")) << p.out;
}

class SvgConsole : public screen::ConsoleTest {};

TEST_F(SvgConsole, MainPageRendersWellFormedWithTitleAndTabs) {
    ASSERT_TRUE(start(30, 100));
    ASSERT_TRUE(term().wait_text("Boot status"));
    ASSERT_TRUE(term().wait_idle());
    const Parsed p = parse_back(screen::to_svg(term(), "Main page"));
    ASSERT_EQ(p.status, 0) << p.out;
    for (const char *s : {"Norvane Service Mode", "|Main", "Boot", "Network", "Maintenance", "Boot status",
                          "F10: save and exit"})
        EXPECT_TRUE(has(p.out, s)) << s << "\n" << p.out;
    // The page's frame is drawn in lines, and the title bar is blue.
    EXPECT_GT(std::stoi(p.out.substr(p.out.find("lines|") + 6)), 100);
    EXPECT_TRUE(has(p.out, "rect|#0000ee\n"));
    EXPECT_TRUE(leave());
}

}  // namespace
