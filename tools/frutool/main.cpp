// quellet: prints the board's FRU identity and records, or sets one record
// and writes the EEPROM back.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

#include "board/board.h"
#include "fru/board_info.h"
#include "fru/fru_log.h"
#include "fru/fru_store.h"
#include "tools/frutool/quellet_values.h"

namespace {

constexpr const char *kVersion = "1.0";

// Exit results; a negative one reaches the shell modulo 256.
enum : int {
    QUELLET_OK = 0,
    QUELLET_OPTION = 1,
    QUELLET_LOAD = -1,
    QUELLET_GET_ID = -2,
    QUELLET_SET_ID = -3,
    QUELLET_NO_DATA = -4,
    QUELLET_BAD_MAC = -5,
    QUELLET_BAD_NUMBER = -6,
    QUELLET_NOT_STORED = -7,
    QUELLET_OUTPUT = -8,
};

bool quiet = false;

void say(const char *line) {
    if (!quiet) {
        std::fputs(line, stdout);
        std::fflush(stdout);
    }
}

void print_help() {
    std::fputs("  -q : quite; dont print anything unrelated to what you asked\n"
               "  -h : help; you are reading it already though\n"
               "  -g : get multirecord by hex id\n"
               "  -s : set multirecord by hex id, requires -d option to be filled with some data\n"
               "  -d : multirecord data to set; for use with -s option\n"
               "  -r : display FRU information\n",
               stdout);
}

void display() {
    const BoardInfo &b = board_info;
    std::printf("b_mfg_name, %s\n", b.b_mfg_name.text);
    std::printf("b_product_name, %s\n", b.b_product_name.text);
    std::printf("b_serial_number, %s\n", b.b_serial_number.text);
    std::printf("b_part_number, %s\n", b.b_part_number.text);
    std::printf("b_fru_id, %s\n", b.b_fru_id.text);
    std::printf("p_product_mfg, %s\n", b.p_product_mfg.text);
    std::printf("p_product_name, %s\n", b.p_product_name.text);
    std::printf("p_part_model_number, %s\n", b.p_part_model_number.text);
    std::printf("p_product_version, %s\n", b.p_product_version.text);
    std::printf("p_serial_number, %s\n", b.p_serial_number.text);
    std::printf("p_fru_id, %s\n", b.p_fru_id.text);
}

void print_mac(const std::uint8_t *m) {
    std::printf("%02x:%02x:%02x:%02x:%02x:%02x\n", m[0], m[1], m[2], m[3], m[4], m[5]);
}

int get(const char *id_text) {
    unsigned long id = quellet_parse_id(id_text);
    if (!quellet_id_known(id)) {
        if (!quiet) std::printf("E[QUELLET]: Unknown multirecord id %i\n", static_cast<int>(id));
        return QUELLET_GET_ID;
    }
    const BoardInfo &b = board_info;
    switch (id) {
    case MREC_MAC: print_mac(b.mac); break;
    case MREC_MAC2: print_mac(b.mac2); break;
    case MREC_MAC3: print_mac(b.mac3); break;
    case MREC_BOOTDEV: std::printf("%.32s\n", b.bootdevice); break;
    case MREC_PASSWD_LINE: std::printf("%.128s\n", b.passwd_line); break;
    case MREC_TEST_OK: std::printf("%i\n", b.test_ok); break;
    case MREC_POWER_POLICY: std::printf("%i\n", b.power_policy); break;
    default: break;
    }
    return QUELLET_OK;
}

// The setter's result for the id: 0 updated, -1 created (or, for a MAC, no
// record to carry it), -2 table full; a bad value ends the run.
int call_setter(unsigned long id, const char *data, int *result) {
    BoardInfo *b = &board_info;
    std::uint8_t mac[6];
    std::uint8_t v = 0;
    switch (id) {
    case MREC_MAC:
    case MREC_MAC2:
    case MREC_MAC3:
        if (!quellet_parse_mac(data, mac)) {
            say("E[QUELLET]: MAC format is not recognized; Example: 01:02:03:04:05:06\n");
            return QUELLET_BAD_MAC;
        }
        *result = fru_set_mac(b, mac, id == MREC_MAC ? 0 : id == MREC_MAC2 ? 1 : 2);
        if (*result != 0) {
            say("E[QUELLET]: No multirecord to update\n");
            return QUELLET_NOT_STORED;
        }
        return QUELLET_OK;
    case MREC_BOOTDEV: *result = fru_set_bootdev(b, data); break;
    case MREC_PASSWD_LINE: *result = fru_set_passwd_line(b, data); break;
    case MREC_TEST_OK:
        if (!quellet_parse_number(data, &v)) {
            say("E[QUELLET]: Test state format not recognized\n");
            return QUELLET_BAD_NUMBER;
        }
        *result = fru_set_test_ok(b, v);
        break;
    case MREC_POWER_POLICY:
        if (!quellet_parse_number(data, &v)) {
            say("E[QUELLET]: Power policy format not recognized\n");
            return QUELLET_BAD_NUMBER;
        }
        *result = fru_set_power_policy(b, v);
        break;
    default: break;
    }
    // A full table: the setter said so; nothing is written.
    return *result == -2 ? QUELLET_NOT_STORED : QUELLET_OK;
}

int set(const char *id_text, const char *data) {
    unsigned long id = quellet_parse_id(id_text);
    if (data == nullptr) {
        say("E[QUELLET]: -d is not set, please bother yourself with reading some help\n");
        return QUELLET_NO_DATA;
    }
    if (!quellet_id_known(id)) {
        if (!quiet) std::printf("E[QUELLET]: Unknown multirecord id %i\n", static_cast<int>(id));
        return QUELLET_SET_ID;
    }
    int result = 0;
    int r = call_setter(id, data, &result);
    if (r != QUELLET_OK) return r;
    say("L[QUELLET]: Updating multirecord\n");
    if (fru_save() != 0) {
        say("E[QUELLET]: Failed to save data to EEPROM\n");
        return QUELLET_NOT_STORED;
    }
    say("L[QUELLET]: Saving data to EEPROM\n");
    // The EEPROM driver writes in the background; give it time before the
    // caller powers off or reads back.
    for (int i = 0; i < 10; ++i) {
        sleep(1);
        say(".");
        std::fflush(stdout);
    }
    sync();
    return QUELLET_OK;
}

int run(int argc, char **argv) {
    bool help = false, show = false;
    const char *get_id = nullptr, *set_id = nullptr, *data = nullptr;
    opterr = 0;
    int c;
    while ((c = getopt(argc, argv, "rqhg:s:d:")) != -1) {
        switch (c) {
        case 'r': show = true; break;
        case 'q': quiet = true; break;
        case 'h': help = true; break;
        case 'g': get_id = optarg; break;
        case 's': set_id = optarg; break;
        case 'd': data = optarg; break;
        default:
            if (optopt == 'g' || optopt == 's' || optopt == 'd')
                std::fprintf(stderr, "Option -%c requires an argument.\n", optopt);
            else if (std::isprint(static_cast<unsigned char>(optopt)))
                std::fprintf(stderr, "Unknown option `-%c'.\n", optopt);
            else  // the byte itself: optopt holds a sign-extended char
                std::fprintf(stderr, "Unknown option character `\\x%x'.\n",
                             static_cast<unsigned>(static_cast<unsigned char>(optopt)));
            return QUELLET_OPTION;
        }
    }
    if (help) {
        print_help();
        return QUELLET_OK;
    }
    fru_log_set_sink(quiet ? nullptr : stdout, false);
    say("L[QUELLET]: Started\n");
    if (!quiet) std::printf("L[QUELLET]: quellet %s\n", kVersion);

    if (fru_load() != 0) {
        say("E[QUELLET]: Failed to load data from EEPROM\n");
        return QUELLET_LOAD;
    }
    if (show) {
        display();
        return QUELLET_OK;
    }
    if (set_id != nullptr) return set(set_id, data);
    if (get_id != nullptr) return get(get_id);
    return QUELLET_OK;
}

}  // namespace

int main(int argc, char **argv) {
    if (!board::require_root("quellet")) return 2;
    int r = run(argc, argv);
    // A script reads what was printed: output that never arrived is a failure.
    bool failed = std::fflush(stdout) != 0;
    failed = std::ferror(stdout) != 0 || failed;
    failed = std::fclose(stdout) != 0 || failed;
    if (failed && r == QUELLET_OK) {
        std::fprintf(stderr, "quellet: standard output could not be written\n");
        return QUELLET_OUTPUT;
    }
    return r;
}
