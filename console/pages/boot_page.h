#pragma once

#include "console/page_panel.h"

void boot_page_create();
PagePanel *boot_page_panel();
int boot_page_handle_key(int key);
void boot_page_destroy();
