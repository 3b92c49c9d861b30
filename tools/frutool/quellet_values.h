// How quellet reads record ids and values from its command line.
#pragma once

#include <cstdint>

// Hexadecimal id as strtoul reads it in base 16 ("c0", "C0", "0xc0").
unsigned long quellet_parse_id(const char *text);

// True for the ids the tool can get and set: 0xC0..0xC4, 0xC6, 0xC7.
bool quellet_id_known(unsigned long id);

// "%02x:%02x:%02x:%02x:%02x:%02x": all six must convert, anything behind
// the sixth is ignored.
bool quellet_parse_mac(const char *text, std::uint8_t mac[6]);

// An integer as "%i" reads it (decimal, 0x hex, leading-0 octal; anything
// behind it ignored); its low 8 bits. False when no digit is read or the
// value does not fit an int.
bool quellet_parse_number(const char *text, std::uint8_t *value);
