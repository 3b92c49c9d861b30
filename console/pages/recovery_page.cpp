#include "console/pages/recovery_page.h"

namespace {
struct Page {
    PagePanel panel;
} page;
}  // namespace

void recovery_page_create() { page_panel_create(page.panel); }

PagePanel *recovery_page_panel() { return &page.panel; }

int recovery_page_handle_key(int) { return 0; }

void recovery_page_destroy() { page_panel_destroy(page.panel); }

int recovery_page_save_state(std::FILE *f) { return std::fprintf(f, "%s\n", ""); }

int recovery_page_load_state(std::FILE *) { return 0; }
