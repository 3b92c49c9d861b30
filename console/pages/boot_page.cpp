#include "console/pages/boot_page.h"

namespace {
struct Page {
    PagePanel panel;
} page;
}  // namespace

void boot_page_create() { page_panel_create(page.panel); }

PagePanel *boot_page_panel() { return &page.panel; }

int boot_page_handle_key(int) { return 0; }

void boot_page_destroy() { page_panel_destroy(page.panel); }
