// One row per page: what main, the tab bar and F10 do with a page. Only
// main names the pages (the core never includes one); the rows it hands
// the tab bar are in tab order.
#pragma once

#include "console/page_panel.h"

struct PageOps {
    const char *name;  // the tab's label
    void (*create)();
    PagePanel *(*panel)();
    // The terminal has a new size: the page again for it.
    void (*relayout)();
    // One key code or ERR, to the page on show only. Always 0.
    int (*handle_key)(int key);
    // F10, before anything is stored or set: false when a typed value is
    // refused (the page's keyboard is then on the refused cell). Null: the
    // page has nothing pending.
    bool (*check_pending)();
    // F10, once every check passed: what was typed is applied as Up or Down
    // would; false when refused after all. Null: nothing to apply.
    bool (*apply_pending)();
    // Typed and not applied yet: F10 would apply it, F6 drop it.
    bool (*has_pending)();
    void (*destroy)();
};

// Room for this many tabs in the bar.
constexpr int kMaxPages = 8;
