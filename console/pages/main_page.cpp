#include "console/pages/main_page.h"

BmcInfo bmc_info;

namespace {
struct Page {
    PagePanel panel;
} page;
}  // namespace

void main_page_create() { page_panel_create(page.panel); }

PagePanel *main_page_panel() { return &page.panel; }

int main_page_handle_key(int) { return 0; }

void main_page_destroy() { page_panel_destroy(page.panel); }
