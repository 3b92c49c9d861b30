#include "fru/fru_store.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "board/files.h"
#include "fru/board_info.h"
#include "fru/fru_format.h"
#include "fru/fru_log.h"

namespace {

// The image the load read (table entries point into it, so it is never
// changed afterwards), what the EEPROM is known to hold (the load's image,
// then each image this run wrote), and the one the save builds.
std::uint8_t loaded[FRU_IMAGE_SIZE];
std::uint8_t known[FRU_IMAGE_SIZE];
std::uint8_t output[FRU_IMAGE_SIZE];
std::uint8_t readback[FRU_IMAGE_SIZE];
std::uint8_t prior[FRU_IMAGE_SIZE];  // what a write found under its lock; the load reads here first
bool load_ok = false;

// All 4096 bytes written from offset 0 and read back the same.
bool write_and_verify(int fd, const std::uint8_t *image) {
    bool written = fru_write_at_start(fd, image, FRU_IMAGE_SIZE);
    fru_diag("Wrote %i bytes\n", written ? FRU_IMAGE_SIZE : 0);
    std::memset(readback, 0, sizeof readback);
    return written && fru_read_at_start(fd, readback, sizeof readback) == FRU_IMAGE_SIZE &&
           std::memcmp(readback, image, sizeof readback) == 0;
}

}  // namespace

long fru_read_at_start(int fd, std::uint8_t *buf, std::size_t count) {
    std::size_t got = 0;
    while (got < count) {
        ssize_t n = ::pread(fd, buf + got, count - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

bool fru_write_at_start(int fd, const std::uint8_t *buf, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(fd, buf + done, count - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int fru_read_image(std::uint8_t *image) {
    board::Fd fd(board::open_board(FRU_EEPROM_PATH, O_RDONLY));
    if (!fd) {
        fru_log("E[FRU]: FRU: failed to open eeprom\n");
        return -1;
    }
    // A writer holds the lock exclusively: never read half its image.
    ::flock(fd.get(), LOCK_SH);
    fru_diag("Reading eeprom\n");
    long n = fru_read_at_start(fd.get(), image, FRU_IMAGE_SIZE);
    if (n < 0) {
        // A bus error is no image: named as what it is, never parsed.
        int e = errno;
        fru_log("E[FRU]: FRU: failed to read eeprom: %s\n", std::strerror(e));
        errno = e;
        return -2;
    }
    fru_diag("Read %i bytes\n", static_cast<int>(n));
    return static_cast<int>(n);
}

bool fru_loaded() { return load_ok; }

int fru_load() {
    BoardInfo &b = board_info;
    load_ok = false;
    b.mac_list[0] = b.mac;
    b.mac_list[1] = b.mac2;
    b.mac_list[2] = b.mac3;
    // Read beside the loaded image: a failed read never touches the bytes
    // an earlier load's table points into. Behind a short read (or none, when
    // the open failed) lie zeros, never the bytes of an earlier load.
    int n = fru_read_image(prior);
    if (n == -2) return FRU_LOAD_UNREADABLE;
    const std::size_t got = n > 0 ? static_cast<std::size_t>(n) : 0;
    std::memcpy(loaded, prior, got);
    std::memset(loaded + got, 0, sizeof loaded - got);
    std::memcpy(known, loaded, sizeof known);
    if (fru_parse(&b, loaded, sizeof loaded) != 0) return FRU_LOAD_PARSE;
    fru_extract_values();
    load_ok = true;
    return FRU_LOAD_OK;
}

int fru_write_image(const std::uint8_t *image, const std::uint8_t *expected) {
    // Read-write without truncation: the board's EEPROM ignores truncation,
    // and a bigger file keeps its tail.
    board::Fd fd(board::open_board(FRU_EEPROM_PATH, O_RDWR));
    if (!fd) {
        fru_log("E[FRU]: FRU: failed to open eeprom\n");
        return FRU_WRITE_UNCHANGED;
    }
    // Held from the re-read through the verify; the close releases it.
    if (::flock(fd.get(), LOCK_EX) != 0) {
        fru_log("E[FRU]: FRU: failed to lock eeprom\n");
        return FRU_WRITE_UNCHANGED;
    }
    struct ::stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size < FRU_IMAGE_SIZE) {
        fru_log("E[FRU]: FRU: eeprom is smaller than %i bytes\n", FRU_IMAGE_SIZE);
        return FRU_WRITE_UNCHANGED;
    }
    // From here to the verify or the write-back; a writer waiting for the
    // lock above could still be stopped.
    const board::HeldSignals held;
    // What the EEPROM holds under the lock: compared with what the caller
    // expects, and written back should the write fail half-way. An EEPROM
    // that cannot be read could not be put back: it is not written.
    long got = fru_read_at_start(fd.get(), prior, sizeof prior);
    if (got < 0) {
        fru_log("E[FRU]: FRU: failed to read eeprom: %s\n", std::strerror(errno));
        return FRU_WRITE_UNCHANGED;
    }
    bool whole = got == FRU_IMAGE_SIZE;
    if (expected != nullptr && (!whole || std::memcmp(prior, expected, sizeof prior) != 0)) {
        fru_log("E[FRU]: FRU: eeprom changed since it was loaded, refusing to save\n");
        return FRU_WRITE_UNCHANGED;
    }
    // A restore does not spend the EEPROM's write endurance on bytes it
    // holds already. (A save writes whatever it finds: the console's F10
    // rewrites the records as loaded.)
    if (expected == nullptr && whole && std::memcmp(prior, image, sizeof prior) == 0)
        return FRU_WRITE_SAME;
    if (write_and_verify(fd.get(), image)) return FRU_WRITE_OK;
    fru_log("E[FRU]: FRU: verify after write failed\n");
    // Bytes may have reached the EEPROM: a mix of two images does not load.
    if (whole && write_and_verify(fd.get(), prior)) {
        fru_log("E[FRU]: FRU: eeprom restored to its previous content\n");
        return FRU_WRITE_UNCHANGED;
    }
    fru_log("E[FRU]: FRU: eeprom may be damaged, restore a backup\n");
    return FRU_WRITE_DAMAGED;
}

int fru_save() {
    const BoardInfo &b = board_info;
    if (!load_ok) {
        fru_log("E[FRU]: FRU: not loaded, refusing to save\n");
        return FRU_WRITE_UNCHANGED;
    }
    if (fru_check_save(&b, loaded) != FRU_SAVE_OK) return FRU_WRITE_UNCHANGED;
    if (fru_build_image(&b, loaded, output) != 0) return FRU_WRITE_UNCHANGED;
    fru_log("L[FRU]: Writing eeprom ");
    int r = fru_write_image(output, known);
    if (r != FRU_WRITE_OK) return r;
    std::memcpy(known, output, sizeof known);
    return FRU_WRITE_OK;
}

bool fru_save_would_change() {
    // What the EEPROM holds already is not written again: its endurance is
    // spent on boards reconfigured at every deployment.
    return !load_ok || fru_build_image(&board_info, loaded, output) != 0 ||
           std::memcmp(output, known, sizeof output) != 0;
}
