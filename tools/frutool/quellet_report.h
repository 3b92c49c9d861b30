// What quellet prints of the loaded BoardInfo: the "name, value" lines of
// the display and the same identity as one JSON object.
#pragma once

#include <cstdint>

// "%02x:%02x:%02x:%02x:%02x:%02x" into out.
void quellet_mac_text(const std::uint8_t mac[6], char out[18]);

// The eleven "-r" lines; control bytes and bytes above 126 of the texts
// shown as "\xNN" (board::show_text), so no text drives the terminal.
void quellet_display();

// One JSON object and a line end: the eleven texts, "b_mfg_date" as
// "YYYY-MM-DD HH:MM" in UTC, "mac", "mac2", "mac3", "bootdevice",
// "test_ok" and "power_policy". Bytes above 127 are taken as Latin-1.
void quellet_json();
