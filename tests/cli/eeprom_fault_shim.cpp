// LD_PRELOAD shim for the command-line tests. FAIL_EEPROM_WRITE=N: the
// first write to the simulated EEPROM stops at offset N and the rest of it
// fails (EIO), as an I2C error would; "N,always" fails every such write.
// EEPROM_WRITE_SIGNAL=S: signal S comes right after that first write (13:
// standard output becomes a pipe whose reader is gone, as a real one would).
// FAIL_EEPROM_READ=N: reads of the EEPROM fail (EIO) from offset N on.
// FSYNC_LOG=FILE: the path of each descriptor synced is appended to FILE.
// FSYNC_SIGNAL=S: signal S comes right after the first fsync.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>
#include <utility>

static const char *path_of(int fd, char (&path)[4096]) {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    path[n < 0 ? 0 : n] = '\0';
    return path;
}

extern "C" ssize_t pwrite(int fd, const void *buf, size_t count, off_t off) {
    static bool failed = false, first = true;
    const char *fail_at = std::getenv("FAIL_EEPROM_WRITE");
    const char *sig = std::getenv("EEPROM_WRITE_SIGNAL");
    char path[4096];
    bool eeprom = fail_at && std::strstr(path_of(fd, path), "/1-0053/eeprom");
    if (eeprom && (!failed || std::strstr(fail_at, "always"))) {
        off_t keep = std::atol(fail_at);
        if (off >= keep) return failed = true, errno = EIO, -1;
        if (off + static_cast<off_t>(count) > keep) count = static_cast<size_t>(keep - off);
    }
    auto real = reinterpret_cast<decltype(&pwrite)>(dlsym(RTLD_NEXT, "pwrite"));
    ssize_t n = real(fd, buf, count, off);
    int p[2];
    if (eeprom && sig && std::exchange(first, false)) {
        if (std::atoi(sig) != SIGPIPE) raise(std::atoi(sig));
        else if (pipe(p) == 0) close(p[0]), dup2(p[1], STDOUT_FILENO), close(p[1]);
    }
    return n;
}

extern "C" ssize_t pread(int fd, void *buf, size_t count, off_t off) {
    const char *fail_at = std::getenv("FAIL_EEPROM_READ");
    char path[4096];
    if (fail_at && std::strstr(path_of(fd, path), "/1-0053/eeprom")) {
        if (off >= std::atol(fail_at)) return errno = EIO, -1;
        count = std::min(count, static_cast<size_t>(std::atol(fail_at) - off));
    }
    return reinterpret_cast<decltype(&pread)>(dlsym(RTLD_NEXT, "pread"))(fd, buf, count, off);
}

extern "C" int fsync(int fd) {
    static bool first = true;
    char path[4096];
    const char *log = std::getenv("FSYNC_LOG"), *sig = std::getenv("FSYNC_SIGNAL");
    if (std::FILE *f = log ? std::fopen(log, "a") : nullptr)
        std::fprintf(f, "%s\n", path_of(fd, path)), std::fclose(f);
    int r = reinterpret_cast<decltype(&fsync)>(dlsym(RTLD_NEXT, "fsync"))(fd);
    if (sig && std::exchange(first, false)) raise(std::atoi(sig));
    return r;
}
