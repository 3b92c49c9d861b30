// Small RAII holders and readers for board files. Every reader takes a board
// path and resolves it through board::path().
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <sys/stat.h>

namespace board {

// A FILE that closes itself.
class File {
public:
    File() = default;
    File(const char *board_path, const char *mode);
    explicit File(std::FILE *f) : f_(f) {}
    ~File() { close(); }
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    File(File &&o) noexcept : f_(o.f_) { o.f_ = nullptr; }
    File &operator=(File &&o) noexcept {
        if (this != &o) { close(); f_ = o.f_; o.f_ = nullptr; }
        return *this;
    }
    explicit operator bool() const { return f_ != nullptr; }
    std::FILE *get() const { return f_; }
    // fclose's result, or 0 when nothing was open.
    int close();

private:
    std::FILE *f_ = nullptr;
};

// A file descriptor that closes itself.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    explicit operator bool() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Hand the descriptor over (to fdopen): it is no longer closed here.
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// fopen, stat and open(2) of a board path. Named apart from the C
// library's: a host path goes to ::fopen, ::stat or ::open, and a call
// inside namespace board never picks one or the other unseen.
std::FILE *fopen_board(const char *board_path, const char *mode);
int stat_board(const char *board_path, struct ::stat *st);
int open_board(const char *board_path, int flags, int mode = 0);

// Files other board software writes (marker files, the page state): only a
// regular file counts, anything else (a FIFO, a device, a folder) is taken
// as missing, and opening never blocks. 0 regular, -1 stat failed (errno
// set), -2 something else.
int stat_regular(const char *board_path, struct ::stat *st);

// fopen of such a file, mode "r" or "w", that never blocks. "r" opens only
// a regular file (else empty, errno EINVAL). "w" creates a missing file and
// truncates a regular one; a FIFO without a reader fails at once.
File open_shared(const char *board_path, const char *mode);

// Read at most n bytes of a board file into buf in one fread. Returns the
// count read, or -1 when the file cannot be opened. buf is not terminated.
long read_bytes(const char *board_path, void *buf, std::size_t n);

// A dropped ssh line, Ctrl-C, Ctrl-\, a timeout or a closed pipe waits
// while this lives, so a program never ends between a file's first byte and
// its last step (the EEPROM's verify or write-back, a backup's rename); the
// signal that came takes effect when it goes.
class HeldSignals {
public:
    HeldSignals();
    ~HeldSignals();
    HeldSignals(const HeldSignals &) = delete;
    HeldSignals &operator=(const HeldSignals &) = delete;

private:
    sigset_t before_;
};

}  // namespace board
