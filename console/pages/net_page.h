// The Network page: eth0's settings as they stood at start, the board's
// first MAC address, and DHCP or manual configuration through the exit
// actions.
#pragma once

#include <span>

#include "console/field_utils.h"
#include "console/page_panel.h"
#include "console/pages/net_page_gateway.h"

void net_page_create();
PagePanel *net_page_panel();
int net_page_handle_key(int key);
// The terminal has a new size: the page again for it, the form with its
// current field and typed text where it fits, the size notice where not.
void net_page_relayout();
void net_page_destroy();
// F10, before anything is stored or set: a MAC edit still pending (typed,
// not yet stored by Up or Down) is checked as Up or Down would check it,
// whether or not the page is on show. False when a cell is not two hex
// digits: it is refused as on Down, and the page's keyboard goes to it.
[[nodiscard]] bool net_page_check_pending();
// F10, once every pending value passed its check: the pending MAC is
// stored (a board without a MAC record keeps it unstored, as on Down),
// unless it spells the stored address: then nothing is stored or said.
// Always true: nothing is left to refuse.
bool net_page_apply_pending();
// A MAC typed and not stored yet that differs from the address in the
// records: F10 would store it, F6 drop it. Never while the EEPROM was not
// read: nothing would be stored.
bool net_page_has_pending();

// The page's 43-row field table.
std::span<const FieldDesc> net_page_table();

// The page's own steps, offered for its tests. Field indices name the first
// octet of an address row: 3 IP, 11 netmask, 19 gateway, 27 DNS.

// eth0's IPv4 address and netmask as text (buffers of at least 1025 bytes).
// 0 found, -1 no interface list, -2 netmask unconvertible, -3 eth0 down,
// -4 no IPv4 entry for eth0.
int net_page_get_address(char *address, char *netmask);
// The first line the route pipeline prints for eth0's gateway, line end
// included (a buffer of at least 1025 bytes). 0, or -1 when it printed none.
int net_page_get_gateway(char *gateway);
// Each value's low byte, zero-padded to three digits, into one address row.
void net_page_show_quad(int first, int a, int b, int c, int d);
// The four octets of one address row, read as decimal (a blank reads 0).
void net_page_read_quad(int first, unsigned long *a, unsigned long *b, unsigned long *c,
                        unsigned long *d);
// net_args from the four address rows; always 1.
int net_page_build_args();
// Octets inactive in pair 2 (automatic) or active in pair 3 (manual).
void net_page_set_manual(bool automatic);
// The six MAC fields into BoardInfo as MAC 0: 0. Only when every field
// holds two hex digits; else -1, nothing is stored, the first refused field
// turns white on red and a warning names it.
[[nodiscard]] int net_page_save_mac();
