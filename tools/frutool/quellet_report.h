// What quellet prints of the loaded BoardInfo: the "name, value" lines of
// the display and the same identity as one JSON object.
#pragma once

#include <cstdint>

// "%02x:%02x:%02x:%02x:%02x:%02x" into out.
void quellet_mac_text(const std::uint8_t mac[6], char out[18]);

// The eleven "-r" lines; control bytes and bytes above 126 of the texts
// shown as "\xNN" (board::show_text), so no text drives the terminal.
void quellet_display();

// One JSON object and a line end: "format" 1, the eleven texts,
// "b_mfg_date" as "YYYY-MM-DD HH:MM" in UTC (null when unspecified), "mac",
// "mac2", "mac3", "bootdevice", "test_ok" and "power_policy" (null for a
// record the EEPROM lacks), and "records": every multirecord in order as
// {"id", "length", "data" in hex} (no data for the passwd line). Bytes
// above 127 are taken as Latin-1.
void quellet_json();

// {"format": 1, "error": "..."} on one line, for a board whose EEPROM does
// not load: why, from the image read (size bytes; below 0: it could not be
// read). The parse's own lines go to the FRU log: silence it first.
void quellet_json_error(const std::uint8_t *image, long size);
