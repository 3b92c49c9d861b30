// The Boot page: the SATA boot port and the power-restore policy, stored
// into BoardInfo on Enter and written to the EEPROM only by the F10 save.
#pragma once

#include <span>

#include "console/field_utils.h"
#include "console/page_panel.h"

// Needs bmc_info (main_page_create) and a loaded BoardInfo.
void boot_page_create();
PagePanel *boot_page_panel();
int boot_page_handle_key(int key);
// The terminal has a new size: the page again for it, the form with its
// current field and typed text where it fits, the size notice where not.
void boot_page_relayout();
void boot_page_destroy();

// The page's field table, the policy row as offered from BMC 2.0.2.
std::span<const FieldDesc> boot_page_table();
