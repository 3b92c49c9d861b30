// The start-up floor: the least an ncurses program must do to put the
// console's first frame on screen (title, tabs, the Main page's cells in
// their colours). It reads no board file; it waits for keys until killed or
// until F6.
#include <curses.h>

namespace {

struct Text {
    int row, col;
    const char *text;
};

// The Main page's labels and the values the simulated board shows, at the
// screen positions the console draws them (form at screen row 4, column 2).
constexpr Text kCells[] = {
    {0, 0, "Boot status"},          {0, 23, "NORMAL"},
    {2, 0, "MFG HW test status"},   {2, 23, "PASSED"},
    {4, 0, "RTC status"},           {4, 23, "OK"},
    {6, 0, "Time"},                 {6, 23, "00:00:00"},
    {8, 0, "Date"},                 {8, 23, "0000-00-00"},
    {10, 0, "Core temperature"},    {10, 23, "45.123 Deg.C"},
    {12, 0, "Core voltage"},        {12, 23, "1.012 V"},
    {14, 0, "SHRED"},               {14, 23, "0"},
    {16, 0, "BMC protocol version"}, {16, 23, "2.0.2"},
    {18, 0, "Service mode version"}, {18, 23, "SM-2.4.1"},
    {20, 0, "Kernel release"},      {20, 23, "5.10.120-nv7400"},
    {0, 45, "Board MFG date"},      {0, 72, "2016-03-01"},
    {2, 45, "Board manufacturer"},  {2, 72, "Norvane Systems"},
    {4, 45, "Board product name"},  {4, 72, "NV-7400 Service Board"},
    {6, 45, "Board serial number"}, {6, 72, "NV74-000123"},
    {8, 45, "Board part number"},   {8, 72, "PN-7400-01"},
    {10, 45, "Board FRU file ID"},  {10, 72, "fru-7400-a"},
    {12, 45, "Product manufacturer"}, {12, 72, "Norvane Systems"},
    {14, 45, "Product part/model number"}, {14, 72, "NV7400-STD"},
    {16, 45, "Product version"},    {16, 72, "rev B"},
};

constexpr const char *kTitle = "Norvane Service Mode";
constexpr const char *kTabs[] = {"Main", "Boot", "Network", "Maintenance"};

}  // namespace

int main() {
    initscr();
    start_color();
    raw();
    keypad(stdscr, TRUE);
    noecho();
    wtimeout(stdscr, 500);
    init_pair(2, COLOR_BLUE, COLOR_WHITE);
    init_pair(3, COLOR_WHITE, COLOR_BLUE);
    curs_set(0);

    WINDOW *top = newwin(2, COLS, 0, 0);
    WINDOW *page = newwin(LINES - 3, COLS, 2, 0);
    WINDOW *help = newwin(1, COLS, LINES - 1, 0);
    if (top == nullptr || page == nullptr || help == nullptr) {
        endwin();
        return 1;
    }
    wbkgd(top, COLOR_PAIR(3));
    wbkgd(help, COLOR_PAIR(3));
    wbkgd(page, COLOR_PAIR(2));
    int len = 0;
    while (kTitle[len] != '\0') ++len;
    mvwaddstr(top, 0, COLS / 2 - len / 2, kTitle);
    int col = 2;
    for (const char *t : kTabs) {
        if (col == 2) wattron(top, A_REVERSE);
        mvwaddstr(top, 1, col, t);
        if (col == 2) wattroff(top, A_REVERSE);
        int n = 0;
        while (t[n] != '\0') ++n;
        col += n + 1;
    }
    box(page, 0, 0);
    for (const Text &c : kCells) mvwaddstr(page, c.row + 2, c.col + 2, c.text);
    wnoutrefresh(stdscr);
    wnoutrefresh(top);
    wnoutrefresh(page);
    wnoutrefresh(help);
    doupdate();

    for (;;) {
        int key = wgetch(stdscr);
        if (key == KEY_F(6)) break;
    }
    delwin(help);
    delwin(page);
    delwin(top);
    endwin();
    return 0;
}
