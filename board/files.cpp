#include "board/files.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "board/board.h"

namespace board {

File::File(const char *board_path, const char *mode) : f_(board::fopen(board_path, mode)) {}

int File::close() {
    int r = 0;
    if (f_ != nullptr) r = std::fclose(f_);
    f_ = nullptr;
    return r;
}

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

std::FILE *fopen(const char *board_path, const char *mode) {
    Path p = path(board_path);
    if (!p.ok()) {
        errno = ENOENT;
        return nullptr;
    }
    return std::fopen(p.s, mode);
}

int stat(const char *board_path, struct ::stat *st) {
    Path p = path(board_path);
    if (!p.ok()) {
        errno = ENOENT;  // as the board answers for a path that names nothing
        return -1;
    }
    return ::stat(p.s, st);
}

int open(const char *board_path, int flags, int mode) {
    Path p = path(board_path);
    if (!p.ok()) {
        errno = ENOENT;  // as the board answers for a path that names nothing
        return -1;
    }
    return ::open(p.s, flags | O_CLOEXEC, mode);
}

long read_bytes(const char *board_path, void *buf, std::size_t n) {
    File f(board_path, "r");
    if (!f) return -1;
    return static_cast<long>(std::fread(buf, 1, n, f.get()));
}

}  // namespace board
