#pragma once

#include "console/page_panel.h"

void main_page_create();
PagePanel *main_page_panel();
int main_page_handle_key(int key);
void main_page_destroy();
