#include "console/pages/net_page.h"

#include <arpa/inet.h>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>

#include "console/exit_action.h"
#include "console/field_utils.h"
#include "console/log.h"
#include "console/page_form.h"
#include "console/top_menu.h"
#include "fru/board_info.h"
#include "fru/fru_store.h"

namespace {

constexpr int kPair2 = 2;
constexpr int kPair3 = 3;

// Inactive until Manual; the integer type replaces the pattern once posted.
constexpr FieldDesc octet(int row, int col) {
    FieldDesc d = field_cell(row, col, 3, "   ", "*", false, kPair2);
    d.active = false;
    return d;
}

constexpr FieldDesc mac_byte(int col) {
    return field_cell(12, col, 2, "00", "[0-9a-fA-F][0-9a-fA-F]", true, kPair3);
}

// The table in form order: the mode spinner's line, the four address lines
// (a label, four octets, the three dots between them), Start, the MAC line.
constexpr int kSpinner = 1;
constexpr int kQuadFields = 8;
constexpr int quad_label(int line) { return kSpinner + 1 + kQuadFields * line; }
// Each address line is named by its first octet.
constexpr int kIpRow = quad_label(0) + 1;
constexpr int kNetmaskRow = quad_label(1) + 1;
constexpr int kGatewayRow = quad_label(2) + 1;
constexpr int kDnsRow = quad_label(3) + 1;
constexpr std::array<int, 4> kQuadRows = {kIpRow, kNetmaskRow, kGatewayRow, kDnsRow};
constexpr int kStart = quad_label(4) + 1;
constexpr int kMacFirst = kStart + 2;
constexpr int kMacCount = 6;
constexpr std::size_t kNetRows = kMacFirst + kMacCount;
static_assert(kIpRow == 3 && kNetmaskRow == 11 && kGatewayRow == 19 && kDnsRow == 27,
              "the header names these indices");

using NetTable = std::array<FieldDesc, kNetRows>;

// An address line at screen row `row`: a label, then four octets with dots
// between them.
constexpr void quad_line(NetTable &t, int first, int row, const char *name) {
    const auto at = static_cast<std::size_t>(first);
    t[at - 1] = field_label(row, 0, 23, name);
    for (std::size_t i = 0; i < 4; ++i) {
        const int col = 23 + 4 * static_cast<int>(i);
        t[at + 2 * i] = octet(row, col);
        if (i < 3) t[at + 1 + 2 * i] = field_label(row, col + 3, 1, ".");
    }
}

constexpr NetTable make_fields() {
    NetTable t{};
    t[kSpinner - 1] = field_label(0, 0, 23, "IP settings");
    t[kSpinner] = field_row(FIELD_SPINNER, 0, 23, 17, "Automatic\0Manual\0;", kPair3);
    quad_line(t, kIpRow, 2, "  IP address");
    quad_line(t, kNetmaskRow, 4, "  Netmask");
    quad_line(t, kGatewayRow, 6, "  Gateway");
    quad_line(t, kDnsRow, 8, "  DNS");
    t[kStart - 1] = field_label(10, 0, 23, "Configure network");
    t[kStart] = field_row(FIELD_VALUE, 10, 23, 17, "      Start", kPair3);
    t[kMacFirst - 1] = field_label(12, 0, 23, "MAC address");
    for (int i = 0; i < kMacCount; ++i) t[static_cast<std::size_t>(kMacFirst + i)] = mac_byte(23 + 3 * i);
    return t;
}

constexpr NetTable kFields = make_fields();
static_assert(kNetRows == 43);

constexpr std::size_t kTextSize = 1026;
constexpr std::size_t kHostMax = 1025;  // getnameinfo's host buffer

struct Page {
    PageForm pf;
    char mac_text[18];
    char ip_text[kTextSize];
    char netmask_text[kTextSize];
    char gateway_text[kTextSize];
    char dns_text[kTextSize];
    std::array<FIELD *, kFields.size() + 1> fields;
    bool auto_mode;
} page;

// The interface list, freed on every way out.
class IfAddrs {
public:
    IfAddrs() : ok_(getifaddrs(&list_) == 0) {}
    ~IfAddrs() {
        if (list_ != nullptr) freeifaddrs(list_);
    }
    IfAddrs(const IfAddrs &) = delete;
    IfAddrs &operator=(const IfAddrs &) = delete;
    bool ok() const { return ok_; }
    const ifaddrs *first() const { return list_; }

private:
    ifaddrs *list_ = nullptr;
    bool ok_;
};

// A command's output pipe, closed on every way out.
class Pipe {
public:
    explicit Pipe(const char *command) : f_(popen(command, "r")) {}
    ~Pipe() {
        if (f_ != nullptr) pclose(f_);
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    std::FILE *get() const { return f_; }

private:
    std::FILE *f_;
};

int to_host(const sockaddr *sa, char *host) {
    if (sa == nullptr) return EAI_FAMILY;
    return getnameinfo(sa, sizeof(sockaddr_in), host, kHostMax, nullptr, 0, NI_NUMERICHOST);
}

// Dotted quad to four numbers; what does not parse stays 0.
struct Quad {
    int a = 0, b = 0, c = 0, d = 0;
};

Quad parse_quad(const char *text) {
    Quad q;
    if (std::sscanf(text, "%i.%i.%i.%i", &q.a, &q.b, &q.c, &q.d) != 4) {
        // A partial parse is no address: show nothing of it.
        q = Quad{};
    }
    return q;
}

void show_zeros(int first) { net_page_show_quad(first, 0, 0, 0, 0); }

void show_address_rows() {
    if (net_page_get_address(page.ip_text, page.netmask_text) != 0) {
        show_zeros(kIpRow);
        show_zeros(kNetmaskRow);
        show_zeros(kGatewayRow);
        return;
    }
    Quad ip = parse_quad(page.ip_text);
    console_log("L[NET_PAGE]: IP     : %i.%i.%i.%i\n", ip.a, ip.b, ip.c, ip.d);
    net_page_show_quad(kIpRow, ip.a, ip.b, ip.c, ip.d);
    Quad nm = parse_quad(page.netmask_text);
    console_log("L[NET_PAGE]: NETMASK: %i.%i.%i.%i\n", nm.a, nm.b, nm.c, nm.d);
    net_page_show_quad(kNetmaskRow, nm.a, nm.b, nm.c, nm.d);
    if (net_page_get_gateway(page.gateway_text) != 0) {
        show_zeros(kGatewayRow);
        return;
    }
    Quad gw = parse_quad(page.gateway_text);
    console_log("L[NET_PAGE]: GATEWAY: %i.%i.%i.%i\n", gw.a, gw.b, gw.c, gw.d);
    net_page_show_quad(kGatewayRow, gw.a, gw.b, gw.c, gw.d);
}

void show_name_server() {
    res_init();
    const res_state rs = &_res;
    console_log("L[NET_PAGE]: nscount: %i\n", rs->nscount);
    // An IPv6 first server has no IPv4 address to show: zeros, as for none.
    if (rs->nscount < 1 || rs->nsaddr_list[0].sin_family != AF_INET) {
        std::memset(page.dns_text, 0, sizeof page.dns_text);
        show_zeros(kDnsRow);
        return;
    }
    std::snprintf(page.dns_text, sizeof page.dns_text, "%s", inet_ntoa(rs->nsaddr_list[0].sin_addr));
    console_log("L[NET_PAGE]: dns1: %s\n", page.dns_text);
    Quad q = parse_quad(page.dns_text);
    net_page_show_quad(kDnsRow, q.a, q.b, q.c, q.d);
}

void show_mac() {
    std::memset(page.mac_text, 0, sizeof page.mac_text);
    // Without a loaded EEPROM there is no MAC to point at: show zeros.
    static const std::uint8_t kNoMac[kMacCount] = {};
    const std::uint8_t *mac = board_info.mac_list[0] != nullptr ? board_info.mac_list[0] : kNoMac;
    for (int i = 0; i < kMacCount; ++i) {
        char *slot = page.mac_text + 3 * i;
        std::snprintf(slot, 3, "%02x", static_cast<unsigned>(mac[i]));
        set_field_buffer(page.fields[static_cast<std::size_t>(kMacFirst + i)], 0, slot);
    }
}

FIELD *field(int i) { return page.fields[static_cast<std::size_t>(i)]; }

// The six cells as an address, when each holds two hex digits.
bool read_mac(std::uint8_t (&mac)[kMacCount], int *bad) {
    for (int i = 0; i < kMacCount; ++i) {
        const char *buf = field_buffer(field(kMacFirst + i), 0);
        // The cell's own pattern: two hex digits. Anything else (one digit,
        // a blank, a pasted ":") would be stored as whatever "%02x" reads.
        if (buf == nullptr || !std::isxdigit(static_cast<unsigned char>(buf[0])) ||
            !std::isxdigit(static_cast<unsigned char>(buf[1]))) {
            *bad = i;
            return false;
        }
        unsigned v = 0;
        std::sscanf(buf, "%02x", &v);
        mac[i] = static_cast<std::uint8_t>(v & 0xff);
    }
    return true;
}

// The first cell that is not two hex digits, refused as the operator sees
// it (white on red, a warning, the help line), or -1 with the address in mac.
int refused_mac_cell(std::uint8_t (&mac)[kMacCount]) {
    int i = -1;
    if (read_mac(mac, &i)) return -1;
    FIELD *f = field(kMacFirst + i);
    const char *buf = field_buffer(f, 0);
    field_paint(f, 7);
    console_log("W[NET_PAGE]: Bad MAC byte %i: \"%s\" does not match the cell's pattern\n", i + 1,
                buf != nullptr ? buf : "");
    char message[48];
    std::snprintf(message, sizeof message, "MAC byte %i must be two hex digits", i + 1);
    top_menu_message(message);
    return i;
}

// Six cells that spell the stored address again.
bool mac_unchanged() {
    std::uint8_t mac[kMacCount];
    int bad = -1;
    return read_mac(mac, &bad) && std::memcmp(mac, board_info.mac, sizeof mac) == 0;
}

// Up, Down and F10 after an edit: the MAC is stored. A refused one stays
// pending, so the next Up, Down or F10 tries again.
void leave_field_step() {
    if (!page.pf.edited) return;
    page_form_unmark_edit(page.pf);
    if (net_page_save_mac() != 0) return;
    page.pf.edited = false;
}

void on_enter(FIELD *current) {
    if (current == field(kStart)) {
        if (page.auto_mode) {
            console_log("L[NET_PAGE]: Set start dhcp flag\n");
            ExitAction = EXIT_DHCP;
        } else {
            net_page_build_args();
            console_log("L[NET_PAGE]: Set start ifup flag\n");
            ExitAction = EXIT_NET_CONFIG;
        }
    } else if (current == field(kSpinner)) {
        spinner_next(current);
        page.auto_mode = !page.auto_mode;
        net_page_set_manual(page.auto_mode);
    }
}

bool is_octet(const FIELD *f) {
    for (int first : kQuadRows)
        for (int i = 0; i < 4; ++i)
            if (f != nullptr && f == field(first + 2 * i)) return true;
    return false;
}

// The key of this turn and the field the keyboard was in before it.
int turn_key = ERR;
FIELD *turn_field;

void note_turn(int key) {
    turn_key = key;
    turn_field = page_form_has_keyboard(page.pf) && page.pf.form != nullptr ? current_field(page.pf.form) : nullptr;
}

// Up or Down that left the cursor in an octet: the form refused the cell's
// number. Said on the help line and the cell marked, as a refused MAC byte
// is; the operator would otherwise see only a cursor that does not move.
void turn_end(PageForm &pf) {
    if ((turn_key == KEY_UP || turn_key == KEY_DOWN) && is_octet(turn_field) &&
        page_form_has_keyboard(pf) && pf.form != nullptr && current_field(pf.form) == turn_field) {
        field_paint(turn_field, 7);
        top_menu_message("Address numbers must be 0-255");
    }
    page_form_turn_end(pf);
}

// Left and Right in a MAC cell count as an edit of the address: leaving
// the cells stores what they spell.
constexpr PageMeanings kMeanings = {
    .tick = note_turn,
    .own_turn = nullptr,
    .took_keyboard = nullptr,
    .leave_edit = [](PageForm &) { leave_field_step(); },
    .enter = on_enter,
    .edit = page_form_type,
    .cursor_edits = true,
    .turn_end = turn_end,
};

}  // namespace

int net_page_get_address(char *address, char *netmask) {
    IfAddrs list;
    if (!list.ok()) {
        console_log("E[NET_PAGE]: getifaddrs failed to obtain IP\n");
        return -1;
    }
    if (list.first() == nullptr) return -4;
    bool found = false;
    for (const ifaddrs *ifa = list.first(); ifa != nullptr; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr) continue;
        if (std::strcmp(ifa->ifa_name, "eth0") != 0 || ifa->ifa_addr->sa_family != AF_INET) continue;
        console_log("L[NET_PAGE]: ifa_flags: %08x\n", ifa->ifa_flags);
        to_host(ifa->ifa_addr, address);
        int s = to_host(ifa->ifa_netmask, netmask);
        if (s != 0) {
            console_log("E[NET_PAGE]: getnameinfo() failed: %s\n", gai_strerror(s));
            std::memset(address, 0, kHostMax);
            return -2;
        }
        if (!(ifa->ifa_flags & IFF_UP)) {
            console_log("L[NET_PAGE]: Interface seems to be down\n");
            std::memset(address, 0, kHostMax);
            return -3;
        }
        found = true;
        console_log("L[NET_PAGE]: \tInterface : <%s>\n", ifa->ifa_name);
        console_log("L[NET_PAGE]: \t  Address : <%s>\n", address);
        console_log("L[NET_PAGE]: \t  Netmask : <%s>\n", netmask);
    }
    return found ? 0 : -4;
}

int net_page_get_gateway(char *gateway) {
    Pipe pipe(net_page_gateway_command);
    if (pipe.get() == nullptr) return -1;
    char line[256] = {};
    if (std::fgets(line, sizeof line, pipe.get()) == nullptr) return -1;
    std::snprintf(gateway, kHostMax, "%s", line);
    return 0;
}

void net_page_show_quad(int first, int a, int b, int c, int d) {
    const int v[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%03i", v[i] & 0xff);
        set_field_buffer(field(first + 2 * i), 0, buf);
    }
}

void net_page_read_quad(int first, unsigned long *a, unsigned long *b, unsigned long *c,
                        unsigned long *d) {
    unsigned long *out[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        const char *buf = field_buffer(field(first + 2 * i), 0);
        *out[i] = buf != nullptr ? std::strtoul(buf, nullptr, 10) : 0;
    }
}

int net_page_build_args() {
    for (std::size_t r = 0; r < kQuadRows.size(); ++r) {
        unsigned long q[4];
        net_page_read_quad(kQuadRows[r], &q[0], &q[1], &q[2], &q[3]);
        std::snprintf(net_args[r], sizeof net_args[r], "%lu.%lu.%lu.%lu", q[0], q[1], q[2], q[3]);
    }
    return 1;
}

void net_page_set_manual(bool automatic) {
    for (int first : kQuadRows) {
        for (int i = 0; i < 4; ++i) {
            FIELD *f = field(first + 2 * i);
            field_paint(f, automatic ? 2 : 3);
            if (automatic)
                field_opts_off(f, O_ACTIVE);
            else
                field_opts_on(f, O_ACTIVE);
        }
    }
}

int net_page_save_mac() {
    std::uint8_t mac[kMacCount];
    if (refused_mac_cell(mac) >= 0) return -1;
    console_log("L[NET_PAGE]: Save MAC: [%02x:%02x:%02x:%02x:%02x:%02x]\n", mac[0], mac[1], mac[2],
                mac[3], mac[4], mac[5]);
    // Cells that spell the stored address change nothing: after a walk
    // through them or an edited octet there is no failure to tell of.
    const bool changed = std::memcmp(mac, board_info.mac, sizeof mac) != 0;
    if (fru_set_mac(&board_info, mac, 0) != 0 && changed)
        top_menu_message("MAC address cannot be stored: the EEPROM has no MAC record");
    return 0;
}

void net_page_create() {
    page_form_begin(page.pf, kFields, page.fields);
    page_form_note_eeprom(page.pf, fru_loaded());
    page_form_open(page.pf);

    for (int first : kQuadRows)
        for (int i = 0; i < 4; ++i) set_field_type(field(first + 2 * i), TYPE_INTEGER, 3, 0L, 255L);

    show_address_rows();
    show_name_server();
    show_mac();

    field_opts_off(field(kMacFirst + kMacCount - 1), O_AUTOSKIP);
    page.auto_mode = true;
}

std::span<const FieldDesc> net_page_table() { return kFields; }

PagePanel *net_page_panel() { return &page.pf.panel; }

int net_page_handle_key(int key) { return page_form_run_turn(page.pf, kMeanings, key); }

bool net_page_check_pending() {
    if (!page.pf.edited || page.pf.form == nullptr) return true;
    std::uint8_t mac[kMacCount];
    int bad = -1;
    if (read_mac(mac, &bad)) return true;
    page_form_unmark_edit(page.pf);
    refused_mac_cell(mac);
    page_form_give_keyboard(page.pf, field(kMacFirst + bad));
    return false;
}

bool net_page_apply_pending() {
    if (page.pf.form == nullptr || !page.pf.edited) return true;
    // Six cells that spell the stored address are no change: nothing is
    // stored and nothing said (a board without a MAC record would otherwise
    // call a cursor walk through the cells a failed save).
    if (mac_unchanged()) {
        page_form_unmark_edit(page.pf);
        page.pf.edited = false;
        return true;
    }
    leave_field_step();
    return true;
}

bool net_page_has_pending() {
    // Cells that are no address yet are a change all the same.
    return fru_loaded() && page.pf.edited && page.pf.form != nullptr && !mac_unchanged();
}

void net_page_relayout() { page_form_resize(page.pf); }

void net_page_destroy() {
    page_form_end(page.pf);
    page.fields = {};
}
