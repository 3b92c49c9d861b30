#pragma once

#include <cstdint>

#include "console/page_panel.h"

// What the BMC driver reported at start: its protocol version and the boot
// status code. All zero until main_page_create has read them; the Boot page
// decides from the version whether the power-restore policy can be set.
struct BmcInfo {
    int major, minor, patch;
    std::uint8_t boot_reason;     // bits 0..7 of the boot-reason number
    std::uint8_t boot_reason_hi;  // bits 8..15, only logged
};

extern BmcInfo bmc_info;

// Builds the status page and reads every value; must run before boot_page_create.
void main_page_create();
PagePanel *main_page_panel();
// One key code or ERR after a silent tick; always 0.
int main_page_handle_key(int key);
// The terminal has a new size: the page again for it. From 100x27 on the
// two columns, below that down to 73x24 one column of the same fields; what
// was typed and not applied, the current cell and the keyboard stay. Where
// not even that fits, the edit is dropped and the cells follow the clock.
void main_page_relayout();
// F10: a clock edit still pending is applied as Up or Down would apply it.
// False when it was refused: nothing was set, and the page's keyboard is on
// the refused cell.
[[nodiscard]] bool main_page_apply_pending();
// Clock cells typed into and not applied yet: F10 would set the clock.
bool main_page_has_pending();
void main_page_destroy();
