#pragma once

#include "console/page_panel.h"

void net_page_create();
PagePanel *net_page_panel();
int net_page_handle_key(int key);
void net_page_destroy();
