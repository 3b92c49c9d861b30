// quellet: prints the board's FRU identity and records, or sets one record
// and writes the EEPROM back; backs up, checks and restores the whole image.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include "board/board.h"
#include "board/files.h"
#include "fru/board_info.h"
#include "fru/fru_check.h"
#include "fru/fru_format.h"
#include "fru/fru_log.h"
#include "fru/fru_store.h"
#include "tools/frutool/quellet_apply.h"
#include "tools/frutool/quellet_build.h"
#include "tools/frutool/quellet_document.h"
#include "tools/frutool/quellet_report.h"
#include "tools/frutool/quellet_values.h"

namespace {

// The first two lines of a run, the tool's version (1.0) in the second.
constexpr const char *kStarted = "L[QUELLET]: Started\nL[QUELLET]: quellet 1.0\n";

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
    QUELLET_DAMAGED = -9,  // a write failed half-way and was not undone
};

// Long options: actions that work on the whole image, and --help.
enum : int { OPT_BACKUP = 256, OPT_CHECK, OPT_CHECK_IMAGE, OPT_RESTORE, OPT_JSON, OPT_HELP,
             OPT_BUILD, OPT_APPLY, OPT_FORCE };

constexpr option kLongOptions[] = {
    {"backup", required_argument, nullptr, OPT_BACKUP},
    {"check", no_argument, nullptr, OPT_CHECK},
    {"check-image", required_argument, nullptr, OPT_CHECK_IMAGE},
    {"restore", required_argument, nullptr, OPT_RESTORE},
    {"json", no_argument, nullptr, OPT_JSON},
    {"help", no_argument, nullptr, OPT_HELP},
    {"build", required_argument, nullptr, OPT_BUILD},
    {"apply", required_argument, nullptr, OPT_APPLY},
    {"force", no_argument, nullptr, OPT_FORCE},
    {},
};

bool quiet = false;
// Where the tool's own lines go: standard output, but standard error while
// standard output carries JSON or a backup. Chosen before the first line.
std::FILE *log_out;
// Set for -s, --backup and --restore: their status is the action's, and
// lines that cannot be written do not change it.
bool lines_only = false;
// An image to check or restore, one byte longer than an image so that a
// longer file is seen.
std::uint8_t image[FRU_IMAGE_SIZE + 1];

// Where the tool's lines go now: nowhere when quiet.
std::FILE *lines() { return quiet ? nullptr : log_out; }

// The FRU code's lines go with the tool's.
void fru_lines() { fru_log_set_sink(lines(), false); }

void say(const char *line) {
    if (!quiet) {
        std::fputs(line, log_out);
        std::fflush(log_out);
    }
}

void say_file(const char *fmt, const char *file) {
    if (!quiet) std::fprintf(log_out, fmt, file, std::strerror(errno));
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

void print_long_help() {
    std::fputs("  --backup FILE : save the EEPROM's 4096 bytes to FILE (-: standard output)\n"
               "  --check : check the EEPROM: 0 good, 255 does not load, 249 a save is refused\n"
               "  --check-image FILE : check the image in FILE (-: standard input) the same way\n"
               "  --restore FILE : write the image in FILE (-: standard input) to the EEPROM\n"
               "  --json : print the board's identity and records as JSON\n"
               "  --build FILE : write the image the JSON in FILE (-: stdin) describes to stdout\n"
               "  --apply FILE : set the records the JSON in FILE (-: stdin) gives\n"
               "  --force : --restore over another board's serial number\n"
               "  --help : this text\n",
               stdout);
}

// The row of the record id_text names, or null after saying it is unknown.
const FruRecord *known_record(const char *id_text) {
    unsigned long id = quellet_parse_id(id_text);
    if (quellet_id_known(id)) return fru_record(id);
    if (!quiet) std::printf("E[QUELLET]: Unknown multirecord id %i\n", static_cast<int>(id));
    return nullptr;
}

int get(const char *id_text) {
    const FruRecord *r = known_record(id_text);
    if (r == nullptr) return QUELLET_GET_ID;
    const std::uint8_t *v = fru_record_value(&board_info, *r);
    if (r->kind != FRU_VALUE_MAC && r->kind != FRU_VALUE_TEXT) {
        std::printf("%i\n", v[0]);
        return QUELLET_OK;
    }
    // A text to its first NUL within the field; a MAC as its 17 characters.
    const char *text = reinterpret_cast<const char *>(v);
    int width = r->size;
    char mac[18];
    if (r->kind == FRU_VALUE_MAC) {
        quellet_mac_text(v, mac);
        text = mac;
        width = 17;
    }
    std::printf("%.*s\n", width, text);
    return QUELLET_OK;
}

// The record set from data: QUELLET_OK when the table carries the value.
int call_setter(const FruRecord &r, const char *data) {
    BoardInfo *b = &board_info;
    std::uint8_t mac[6];
    std::uint8_t v = 0;
    char line[80];
    int result;
    switch (r.kind) {
    case FRU_VALUE_MAC:
        if (!quellet_parse_mac(data, mac)) {
            say("E[QUELLET]: MAC format is not recognized; Example: 01:02:03:04:05:06\n");
            return QUELLET_BAD_MAC;
        }
        // No record of the id to carry it: a MAC record is never created.
        if (fru_set_record_mac(b, r, mac) != 0) {
            say("E[QUELLET]: No multirecord to update\n");
            return QUELLET_NOT_STORED;
        }
        return QUELLET_OK;
    case FRU_VALUE_TEXT: result = fru_set_record_text(b, r, data); break;
    default:
        if (!quellet_parse_number(data, &v)) {
            std::snprintf(line, sizeof line, "E[QUELLET]: %s format not recognized\n", r.number);
            say(line);
            return QUELLET_BAD_NUMBER;
        }
        result = fru_set_record_byte(b, r, v);
        break;
    }
    // A full table (-2): the setter said so; nothing is written.
    return result == -2 ? QUELLET_NOT_STORED : QUELLET_OK;
}

// A failed write's status: a script restores a backup only when the
// EEPROM may no longer hold either image.
int not_written(int write_result) {
    return write_result == FRU_WRITE_DAMAGED ? QUELLET_DAMAGED : QUELLET_NOT_STORED;
}

// Writes board_info back, unless the EEPROM holds those bytes already.
int store() {
    fru_log_set_sink(nullptr, false);  // the packing lines belong to the save
    bool change = fru_save_would_change();
    fru_lines();
    if (!change) {
        say("L[QUELLET]: Nothing to change\n");
        return QUELLET_OK;
    }
    say("L[QUELLET]: Updating multirecord\n");
    if (int saved = fru_save(); saved != FRU_WRITE_OK) {
        say("E[QUELLET]: Failed to save data to EEPROM\n");
        return not_written(saved);
    }
    say("L[QUELLET]: Saving data to EEPROM\n");
    // The EEPROM driver writes in the background; give it time before the
    // caller powers off or reads back.
    for (int i = 0; i < 10; ++i) {
        board::countdown_second();
        say(".");
        std::fflush(stdout);
    }
    sync();
    return QUELLET_OK;
}

int set(const char *id_text, const char *data) {
    if (data == nullptr) {
        say("E[QUELLET]: -d is not set, please bother yourself with reading some help\n");
        return QUELLET_NO_DATA;
    }
    const FruRecord *row = known_record(id_text);
    if (row == nullptr) return QUELLET_SET_ID;
    int r = call_setter(*row, data);
    return r != QUELLET_OK ? r : store();
}


// "-" names standard input or output.
bool is_dash(const char *file) { return file[0] == '-' && file[1] == '\0'; }

// The descriptor a name stands for in every process: /dev/stdin,
// /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N; -1 for others.
int descriptor_name(const char *name) {
    constexpr const char *kStd[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
    for (int fd = 0; fd < 3; ++fd)
        if (std::strcmp(name, kStd[fd]) == 0) return fd;
    for (const char *dir : {"/dev/fd/", "/proc/self/fd/"}) {
        std::size_t len = std::strlen(dir);
        if (std::strncmp(name, dir, len) != 0 || name[len] == '\0') continue;
        int fd = 0;
        const char *d = name + len;
        for (; *d >= '0' && *d <= '9' && fd <= (INT_MAX - 9) / 10; ++d) fd = fd * 10 + (*d - '0');
        if (*d == '\0') return fd;
    }
    return -1;
}

// The program's own descriptor that file names ("-" is dash), as it is or
// through one link, or -1. Such a file is read and written through the
// descriptor: opening its name again would start a file opened for
// appending from its first byte, or replace it.
int own_descriptor(const char *file, int dash) {
    if (is_dash(file)) return dash;
    char link[PATH_MAX];
    ssize_t n = ::readlink(file, link, sizeof link - 1);
    link[n > 0 ? n : 0] = '\0';
    int fd = descriptor_name(file);
    return fd >= 0 ? fd : descriptor_name(link);
}

// The EEPROM whole (file null: the count, or fru_read_image's -1 or -2),
// or FILE (standard input for "-") read with read(), so a pipe gives its
// bytes too: the size, or -1. One byte more than an image is read, enough
// to see a longer file: an endless stream is not read forever.
long read_file(const char *file, std::uint8_t *into, std::size_t size) {
    int in = own_descriptor(file, STDIN_FILENO);
    board::Fd own(in >= 0 ? -1 : ::open(file, O_RDONLY | O_CLOEXEC));
    int fd = in >= 0 ? in : own.get();
    std::size_t got = 0;
    ssize_t n = 0;
    while (fd >= 0 && got < size && (n = ::read(fd, into + got, size - got)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (fd < 0 || n < 0) {
        say_file("E[QUELLET]: Failed to read %s: %s\n", file);
        return -1;
    }
    return static_cast<long>(got);
}

long read_image(const char *file) {
    return file == nullptr ? fru_read_image(image) : read_file(file, image, sizeof image);
}

// A JSON document (for --build and --apply) into doc; a status.
int read_document(const char *file, QuelletDoc *doc, std::FILE *log) {
    // A --json line is under 6 KiB; the rest is room for hand-written layout.
    static std::uint8_t text[32768];
    long n = read_file(file, text, sizeof text);
    if (n < 0) return QUELLET_OPTION;
    if (n == sizeof text) {
        say("E[QUELLET]: The document is too large\n");
        return QUELLET_OPTION;
    }
    return quellet_read_document({reinterpret_cast<const char *>(text), static_cast<std::size_t>(n)}, doc, log);
}

// All of image to fd with write(), which pipes and terminals take too, then
// to the medium where it has one.
bool write_all(int fd) {
    for (std::size_t done = 0; done < FRU_IMAGE_SIZE;) {
        ssize_t n = ::write(fd, image + done, FRU_IMAGE_SIZE - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return ::fsync(fd) == 0 || errno == EINVAL;  // a pipe or terminal has no medium
}

// The name a chain of symbolic links from file ends at (file itself when
// it is no link): that file is replaced and the links stay.
bool link_target(const char *file, char (&out)[PATH_MAX]) {
    std::size_t len = strnlen(file, sizeof out);
    if (len == sizeof out) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(out, file, len + 1);
    for (int hops = 0;; ++hops) {
        struct ::stat st {};
        if (::lstat(out, &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char link[PATH_MAX];
        ssize_t n = hops < 40 ? ::readlink(out, link, sizeof link) : (errno = ELOOP, -1);
        if (n < 0) return false;
        // A relative link is taken from the link's own folder.
        const char *slash = std::strrchr(out, '/');
        std::size_t dir =
            link[0] == '/' || slash == nullptr ? 0 : static_cast<std::size_t>(slash - out + 1);
        if (dir + static_cast<std::size_t>(n) >= sizeof out) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::memcpy(out + dir, link, static_cast<std::size_t>(n));
        out[dir + static_cast<std::size_t>(n)] = '\0';
    }
}

// Writes file in full or leaves it as it was: a new file beside it (mode
// 0600: the image holds the passwd line) takes the bytes and then its name,
// and the folder is synced so that the name lasts too.
bool replace_file(const char *file) {
    // A hang-up, Ctrl-C or timeout between the new file and its rename
    // would leave the new file behind: such a signal waits for the rename.
    const board::HeldSignals held;
    char tmp[PATH_MAX + 8];
    std::snprintf(tmp, sizeof tmp, "%s.XXXXXX", file);
    board::Fd fd(mkostemp(tmp, O_CLOEXEC));
    if (!fd) return false;
    bool ok = write_all(fd.get()) && std::rename(tmp, file) == 0;
    int e = errno;
    if (!ok) unlink(tmp);
    errno = e;
    if (!ok) return false;
    const char *slash = std::strrchr(tmp, '/');
    std::size_t end = slash == nullptr || slash == tmp ? 1 : static_cast<std::size_t>(slash - tmp);
    if (slash == nullptr) tmp[0] = '.';
    tmp[end] = '\0';
    board::Fd dir(::open(tmp, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir && (::fsync(dir.get()) == 0 || errno == EINVAL);
}

// A name of one of the program's descriptors ("-" is standard output)
// takes the bytes through it, appending where it was opened so. A missing
// path or a regular file is replaced whole (through its links); anything
// else (a device, a FIFO, a terminal) takes the bytes in place.
bool write_backup(const char *file) {
    if (int own = own_descriptor(file, STDOUT_FILENO); own >= 0) return write_all(own);
    struct ::stat st {};
    bool exists = ::stat(file, &st) == 0;
    if (!exists && errno != ENOENT) return false;
    char target[PATH_MAX];
    if (!exists || S_ISREG(st.st_mode)) {
        if (!link_target(file, target)) return false;
        struct ::stat t {};
        // A link of /proc (/dev/stdout on a file) may name no path that
        // leads to the same file: then that file is written in place.
        if (!exists || (::stat(target, &t) == 0 && t.st_dev == st.st_dev && t.st_ino == st.st_ino))
            return replace_file(target);
    }
    board::Fd fd(::open(file, O_WRONLY | O_NOCTTY | O_CLOEXEC | (S_ISREG(st.st_mode) ? O_TRUNC : 0)));
    return fd && write_all(fd.get());
}

// Whether a backup to file goes to standard output itself ("-", or the same
// pipe, file or terminal): then the tool's lines go to standard error.
bool backup_to_stdout(const char *file) {
    struct ::stat a {}, b {};
    if (own_descriptor(file, STDOUT_FILENO) == STDOUT_FILENO) return true;
    return ::stat(file, &a) == 0 && ::fstat(STDOUT_FILENO, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino && (!S_ISCHR(a.st_mode) || isatty(STDOUT_FILENO));
}

int backup(const char *file) {
    if (read_image(nullptr) != FRU_IMAGE_SIZE) {
        say("E[QUELLET]: Failed to read 4096 bytes from EEPROM\n");
        return QUELLET_LOAD;
    }
    if (!write_backup(file)) {
        say_file("E[QUELLET]: Failed to write %s: %s\n", file);
        return QUELLET_OUTPUT;
    }
    say("L[QUELLET]: EEPROM saved\n");
    return QUELLET_OK;
}

// The EEPROM's image (file null) or a file's, part by part.
int check(const char *file) {
    long n = read_image(file);
    if (n == -2 && file == nullptr && !quiet)  // the bus failed: no part was checked
        std::printf("eeprom: could not be read: %s\n", std::strerror(errno));
    if (n < 0) return QUELLET_LOAD;
    // The report alone: the parse's own lines would repeat it.
    fru_log_set_sink(nullptr, false);
    int r = fru_check_image(image, static_cast<std::size_t>(n), quiet ? nullptr : stdout);
    fru_lines();
    return r == FRU_CHECK_OK ? QUELLET_OK : r == FRU_CHECK_NO_LOAD ? QUELLET_LOAD : QUELLET_NOT_STORED;
}

// Whether the EEPROM may take image: not when it holds a board whose serial
// number is set and differs from the image's (a golden image would clone it).
bool keeps_identity() {
    fru_log_set_sink(nullptr, false);
    BoardInfo incoming{};
    bool loads = fru_load() == 0 && fru_parse(&incoming, image, FRU_IMAGE_SIZE) == 0;
    fru_lines();
    const char *have = board_info.b_serial_number.text, *want = incoming.b_serial_number.text;
    if (!loads || have[0] == '\0' || std::strcmp(have, want) == 0) return true;
    char a[4 * 32 + 1], b[4 * 32 + 1];
    board::show_text(have, a, sizeof a);
    board::show_text(want, b, sizeof b);
    if (!quiet)
        std::fprintf(log_out, "E[QUELLET]: EEPROM holds board %s, image is board %s; --force restores anyway\n",
                     a, b);
    return false;
}

int restore(const char *file, bool force) {
    if (check(file) != QUELLET_OK) {
        say("E[QUELLET]: Image failed the check, nothing written\n");
        return QUELLET_NOT_STORED;
    }
    if (!force && !keeps_identity()) return QUELLET_NOT_STORED;
    say("L[QUELLET]: Writing image to EEPROM\n");
    int written = fru_write_image(image, nullptr);
    if (written < FRU_WRITE_OK) return not_written(written);
    if (written == FRU_WRITE_SAME) {
        say("L[QUELLET]: Nothing to change\n");
        return QUELLET_OK;
    }
    sync();
    say("L[QUELLET]: EEPROM restored\n");
    return QUELLET_OK;
}

// The image a JSON document describes, to standard output (never a terminal).
int build(const char *file) {
    if (isatty(STDOUT_FILENO)) {
        say("E[QUELLET]: Refusing to write an image to a terminal\n");
        return QUELLET_OPTION;
    }
    QuelletDoc doc;
    std::FILE *log = lines();
    int r = read_document(file, &doc, log);
    if (r == QUELLET_OK) r = quellet_build_image(doc, image, log);
    if (r != QUELLET_OK) return r == -1 ? QUELLET_NOT_STORED : r;
    if (!write_all(STDOUT_FILENO)) {
        say_file("E[QUELLET]: Failed to write %s: %s\n", "standard output");
        return QUELLET_OUTPUT;
    }
    say("L[QUELLET]: Image built\n");
    return QUELLET_OK;
}

// Every record a JSON document gives, in one load and one write.
int apply(const char *file) {
    QuelletDoc doc;
    std::FILE *log = lines();
    int r = read_document(file, &doc, log);
    if (r != QUELLET_OK) return r;
    if (fru_load() != 0) {
        say("E[QUELLET]: Failed to load data from EEPROM\n");
        return QUELLET_LOAD;
    }
    return quellet_apply(doc, log) ? store() : QUELLET_NOT_STORED;
}

// What the command line asked for.
struct Options {
    bool help, long_help, show, clash, force;
    const char *get_id, *set_id, *data;
    // An action on the whole image (OPT_BACKUP..OPT_JSON) or 0, and its file.
    int action;
    const char *file;
};

// What isprint says in the C locale, which the tool never leaves.
bool printable(int c) {
    auto b = static_cast<unsigned char>(c);
    return b >= 0x20 && b < 0x7f;
}

// A bad option, told as getopt would have told it.
void print_bad_option(int c, char **argv) {
    if (optopt == 0 || optopt >= OPT_BACKUP) {
        // A long option: named as it was written.
        std::fprintf(stderr, c == ':' ? "Option %s requires an argument.\n" : "Unknown option `%s'.\n",
                     argv[optind - 1]);
    } else if (c == ':')
        std::fprintf(stderr, "Option -%c requires an argument.\n", optopt);
    else if (printable(optopt))
        std::fprintf(stderr, "Unknown option `-%c'.\n", optopt);
    else  // the byte itself: optopt holds a sign-extended char
        std::fprintf(stderr, "Unknown option character `\\x%x'.\n",
                     static_cast<unsigned>(static_cast<unsigned char>(optopt)));
}

// False after a bad option was told. -q takes effect at once.
bool parse_options(int argc, char **argv, Options *o) {
    opterr = 0;
    int c;
    // The leading colon tells a missing argument (':') from an unknown option.
    while ((c = getopt_long(argc, argv, ":rqhg:s:d:", kLongOptions, nullptr)) != -1) {
        switch (c) {
        case 'r': o->show = true; break;
        case 'q': quiet = true; break;
        case 'h': o->help = true; break;
        case 'g': o->get_id = optarg; break;
        case 's': o->set_id = optarg; break;
        case 'd': o->data = optarg; break;
        case OPT_HELP: o->long_help = true; break;
        case OPT_FORCE: o->force = true; break;
        case OPT_BACKUP:
        case OPT_CHECK:
        case OPT_CHECK_IMAGE:
        case OPT_RESTORE:
        case OPT_JSON:
        case OPT_BUILD:
        case OPT_APPLY:
            o->clash = o->clash || (o->action != 0 && o->action != c);
            o->action = c;
            o->file = optarg;
            break;
        default: print_bad_option(c, argv); return false;
        }
    }
    return true;
}

// Where the lines go and what decides the status, then the first lines.
void start_output(const Options &o) {
    bool out_taken = o.action == OPT_JSON || o.action == OPT_BUILD || (o.action == OPT_BACKUP && backup_to_stdout(o.file));
    log_out = out_taken ? stderr : stdout;
    lines_only = o.action == OPT_BACKUP || o.action == OPT_RESTORE || o.action == OPT_APPLY ||
                 (o.action == 0 && !o.show && o.set_id != nullptr);
    fru_lines();
    say(kStarted);
}

// The one action asked for; the record actions on the loaded EEPROM.
int act(const Options &o) {
    switch (o.action) {
    case OPT_BACKUP: return backup(o.file);
    case OPT_CHECK: return check(nullptr);
    case OPT_CHECK_IMAGE: return check(o.file);
    case OPT_RESTORE: return restore(o.file, o.force);
    case OPT_BUILD: return build(o.file);
    case OPT_APPLY: return apply(o.file);
    default: break;
    }
    if (fru_load() != 0) {
        say("E[QUELLET]: Failed to load data from EEPROM\n");
        // A fleet's inventory gets a line for this board too.
        if (o.action == OPT_JSON) {
            fru_log_set_sink(nullptr, false);
            quellet_json_error(image, read_image(nullptr));
        }
        return QUELLET_LOAD;
    }
    if (o.action == OPT_JSON) {
        quellet_json();
        return QUELLET_OK;
    }
    if (o.show) {
        quellet_display();
        return QUELLET_OK;
    }
    if (o.set_id != nullptr) return set(o.set_id, o.data);
    if (o.get_id != nullptr) return get(o.get_id);
    return QUELLET_OK;
}

int run(int argc, char **argv) {
    Options o{};
    if (!parse_options(argc, argv, &o)) return QUELLET_OPTION;
    if (o.help || o.long_help) {
        print_help();
        if (o.long_help) print_long_help();
        return QUELLET_OK;
    }
    if (o.clash || (o.action != 0 && (o.show || o.set_id != nullptr || o.get_id != nullptr))) {
        std::fputs("Give one of --backup, --check, --check-image, --restore, --json, --build, --apply,"
                   " -r, -s, -g.\n",
                   stderr);
        return QUELLET_OPTION;
    }
    start_output(o);
    return act(o);
}

// A script reads what was printed: output that never arrived is a failure,
// unless the output was only the lines of an action that did what it was
// asked.
int leave(int r) {
    bool failed = std::fflush(stdout) != 0;
    failed = std::ferror(stdout) != 0 || failed;
    failed = std::fclose(stdout) != 0 || failed;
    if (failed && r == QUELLET_OK) {
        std::fprintf(stderr, "quellet: standard output could not be written\n");
        if (!lines_only) return QUELLET_OUTPUT;
    }
    return r;
}

}  // namespace

int main(int argc, char **argv) {
    board::fill_standard_fds();
    // A reader that went away is an output error the run tells of; it never
    // ends the run, least of all between an EEPROM write and its undo.
    std::signal(SIGPIPE, SIG_IGN);
    if (!board::require_root("quellet")) return 2;
    return leave(run(argc, argv));
}
