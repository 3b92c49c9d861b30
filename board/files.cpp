#include "board/files.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "board/board.h"

namespace board {

File::File(const char *board_path, const char *mode) : f_(board::fopen_board(board_path, mode)) {}

int File::close() {
    int r = 0;
    if (f_ != nullptr) r = std::fclose(f_);
    f_ = nullptr;
    return r;
}

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

std::FILE *fopen_board(const char *board_path, const char *mode) {
    Path p = path(board_path);
    if (!p.ok()) {
        errno = ENOENT;
        return nullptr;
    }
    return std::fopen(p.s, mode);
}

int stat_board(const char *board_path, struct ::stat *st) {
    Path p = path(board_path);
    if (!p.ok()) {
        errno = ENOENT;  // as the board answers for a path that names nothing
        return -1;
    }
    return ::stat(p.s, st);
}

int open_board(const char *board_path, int flags, int mode) {
    Path p = path(board_path);
    if (!p.ok()) {
        errno = ENOENT;  // as the board answers for a path that names nothing
        return -1;
    }
    return ::open(p.s, flags | O_CLOEXEC, mode);
}

int stat_regular(const char *board_path, struct ::stat *st) {
    if (board::stat_board(board_path, st) != 0) return -1;
    return S_ISREG(st->st_mode) ? 0 : -2;
}

File open_shared(const char *board_path, const char *mode) {
    const bool write = mode[0] == 'w';
    // Non-blocking: a FIFO with no writer (or reader) would hold the console.
    Fd fd(board::open_board(board_path, (write ? O_WRONLY | O_CREAT : O_RDONLY) | O_NONBLOCK | O_NOCTTY,
                      0666));
    if (!fd) return File();
    struct ::stat st {};
    if (fstat(fd.get(), &st) != 0) return File();
    const bool regular = S_ISREG(st.st_mode);
    if (!write && !regular) {
        errno = EINVAL;
        return File();
    }
    if (write && regular && ftruncate(fd.get(), 0) != 0) return File();
    int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return File();
    std::FILE *f = fdopen(fd.get(), mode);
    if (f == nullptr) return File();
    fd.release();
    return File(f);
}

long read_bytes(const char *board_path, void *buf, std::size_t n) {
    File f(board_path, "r");
    if (!f) return -1;
    return static_cast<long>(std::fread(buf, 1, n, f.get()));
}

HeldSignals::HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE}) sigaddset(&held, s);
    sigprocmask(SIG_BLOCK, &held, &before_);
}

HeldSignals::~HeldSignals() { sigprocmask(SIG_SETMASK, &before_, nullptr); }

}  // namespace board
