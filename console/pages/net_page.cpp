#include "console/pages/net_page.h"

namespace {
struct Page {
    PagePanel panel;
} page;
}  // namespace

void net_page_create() { page_panel_create(page.panel); }

PagePanel *net_page_panel() { return &page.panel; }

int net_page_handle_key(int) { return 0; }

void net_page_destroy() { page_panel_destroy(page.panel); }
