#pragma once

#include "console/page_panel.h"

void recovery_page_create();
PagePanel *recovery_page_panel();
int recovery_page_handle_key(int key);
void recovery_page_destroy();

#include <cstdio>

int recovery_page_save_state(std::FILE *f);
int recovery_page_load_state(std::FILE *f);
