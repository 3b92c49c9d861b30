// The Maintenance page: the four service jobs that replace the console with
// a board script (external recovery, internal restore, ROM flash, ROM
// download), labelled from the marker files other board software writes
// under /var/run/tolvane.
#pragma once

#include <cstdio>
#include <span>

#include "console/field_utils.h"
#include "console/page_panel.h"

void recovery_page_create();
PagePanel *recovery_page_panel();
// A key code or ERR; re-examines the sources every 3 seconds while shown.
// Always 0.
int recovery_page_handle_key(int key);
// The terminal has a new size: the page again for it, the form with its
// current field and typed text where it fits, the size notice where not.
void recovery_page_relayout();
void recovery_page_destroy();

// Line 2 of the page-state file: the typed download address. Save returns
// fprintf's result (negative on a write error); load returns 0, or -3 when
// the stored word is 1024 characters or longer or holds a byte that is not
// printable ASCII (nothing is restored then).
int recovery_page_save_state(std::FILE *f);
int recovery_page_load_state(std::FILE *f);

// The page's field table (field i is built from row i), for its self-check.
std::span<const FieldDesc> recovery_page_fields();
