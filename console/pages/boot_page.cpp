#include "console/pages/boot_page.h"

#include <array>
#include <cstring>
#include <curses.h>

#include "console/field_utils.h"
#include "console/log.h"
#include "console/page_form.h"
#include "console/pages/main_page.h"
#include "console/top_menu.h"
#include "fru/board_info.h"
#include "fru/fru_store.h"

namespace {

// Row order is form order: Up and Down walk it.
constexpr std::array<FieldDesc, 5> kFields = {{
    field_label(0, 0, 23, "SATA boot priority"),
    field_label(2, 0, 23, "SATA boot port"),
    field_spinner(2, 23, 22, "sata0:0\0sata0:1\0;"),
    field_label(4, 0, 23, "Power restore policy"),
    field_spinner(4, 23, 22, "always off\0always on\0;"),
}};

constexpr std::size_t kPortRow = 2;
constexpr std::size_t kPolicyRow = 4;

// A BMC older than protocol 2.0.2 cannot keep a policy: its cell becomes this.
constexpr FieldDesc kPolicyUnsupported = field_label(4, 23, 22, "N/A");

// Policy codes as the page stores them.
constexpr std::uint8_t kPolicyOff = 0;
constexpr std::uint8_t kPolicyOn = 2;

// At most this many characters of the port buffer are looked at.
constexpr int kBootdevScan = 16;

struct Page {
    PageForm pf;
    // The table as built: the policy row is a label when the BMC cannot keep one.
    std::array<FieldDesc, kFields.size()> rows;
    std::array<FIELD *, kFields.size() + 1> fields;
    bool policy_supported;
} page;

// Compared part by part, so a minor or patch number above 255 cannot pass
// for a newer major version.
bool policy_supported() {
    if (bmc_info.major != 2) return bmc_info.major > 2;
    if (bmc_info.minor != 0) return bmc_info.minor > 0;
    return bmc_info.patch >= 2;
}

FIELD *port_field() { return page.fields[kPortRow]; }
FIELD *policy_field() { return page.fields[kPolicyRow]; }

void save_bootdev() {
    console_log("L[BOOT_PAGE]: Save boot device\n");
    const char *buf = field_buffer(port_field(), 0);
    char text[kBootdevScan + 1] = {};
    console_log("PTR:\n");
    for (int i = 0; buf != nullptr && i < kBootdevScan && buf[i] != '\0'; ++i) {
        console_log("%02x ", static_cast<unsigned>(static_cast<unsigned char>(buf[i])));
        if (buf[i] == ' ') break;
        text[i] = buf[i];
    }
    console_log("\n");
    console_log("L[BOOT_PAGE]: Obtained buffer: [%s]\n", text);
    if (fru_set_bootdev(&board_info, text) == -2)
        top_menu_message("Boot port cannot be stored: the EEPROM's record table is full");
}

void save_policy() {
    console_log("L[BOOT_PAGE]: Save power policy\n");
    if (!page.policy_supported) return;
    std::uint8_t code = kPolicyOff;
    if (spinner_index(policy_field()) == 1) {
        console_log("W[BOOT_PAGE]: PP_KEEP support is disabled\n");
        code = kPolicyOn;
    }
    const bool policy = fru_set_power_policy(&board_info, code) != -2;
    const bool state = fru_set_power_state(&board_info) != -2;
    if (!policy || !state)
        top_menu_message("Power policy cannot be stored: the EEPROM's record table is full");
}

// Enter turns a spinner on and stores its setting at once.
void on_enter(FIELD *current) {
    if (current == port_field()) {
        spinner_next(current);
        save_bootdev();
    } else if (page.policy_supported && current == policy_field()) {
        spinner_next(current);
        save_policy();
    }
}

// Spinners only: nothing is typed. The keyboard comes to the first one.
constexpr PageMeanings kMeanings = {
    .tick = nullptr,
    .own_turn = nullptr,
    .took_keyboard = [] { set_current_field(page.pf.form, page.pf.first_input); },
    .leave_edit = nullptr,
    .enter = on_enter,
    .edit = nullptr,
    .cursor_edits = false,
    .turn_end = nullptr,
};

}  // namespace

void boot_page_create() {
    console_log("L[BOOT_PAGE]: Check power policy spinner\n");
    page.policy_supported = policy_supported();
    page.rows = kFields;
    if (!page.policy_supported) page.rows[kPolicyRow] = kPolicyUnsupported;

    console_log("L[BOOT_PAGE]: Init boot page fields\n");
    page_form_begin(page.pf, page.rows, page.fields);
    page_form_note_eeprom(page.pf, fru_loaded());
    page_form_open(page.pf);

    console_log("L[BOOT_PAGE]: Check port spinner\n");
    // bootdevice fills all 32 bytes without a terminator when full.
    char bootdev[sizeof board_info.bootdevice + 1] = {};
    std::memcpy(bootdev, board_info.bootdevice, sizeof board_info.bootdevice);
    console_log("L[BOOT_PAGE]: fru.bootdevice: %s\n", bootdev);
    if (std::strncmp(bootdev, "sata0:1", 7) == 0) spinner_next(port_field());

    console_log("L[BOOT_PAGE]: Check power policy spinner\n");
    if (!page.policy_supported) return;
    if (board_info.power_policy > 3) {
        // Directly, not through the setter: the stored record stays as it
        // was unless the operator picks a policy.
        board_info.power_policy = kPolicyOff;
    } else if (board_info.power_policy != kPolicyOff) {
        spinner_next(policy_field());
    }
}

std::span<const FieldDesc> boot_page_table() { return kFields; }

PagePanel *boot_page_panel() { return &page.pf.panel; }

int boot_page_handle_key(int key) { return page_form_run_turn(page.pf, kMeanings, key); }

void boot_page_relayout() { page_form_resize(page.pf); }

void boot_page_destroy() {
    page_form_end(page.pf);
    page.fields = {};
}
