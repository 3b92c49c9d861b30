// LD_PRELOAD shim for the command-line tests. FAIL_EEPROM_WRITE=N: the
// first write to the simulated EEPROM stops at offset N and the rest of it
// fails (EIO), as an I2C error would; "N,always" fails every such write.
// FSYNC_LOG=FILE: the path of each descriptor synced is appended to FILE.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

static const char *path_of(int fd, char (&path)[4096]) {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    path[n < 0 ? 0 : n] = '\0';
    return path;
}

extern "C" ssize_t pwrite(int fd, const void *buf, size_t count, off_t off) {
    static bool failed = false;
    const char *fail_at = std::getenv("FAIL_EEPROM_WRITE");
    char path[4096];
    if (fail_at && std::strstr(path_of(fd, path), "/1-0053/eeprom") && (!failed || std::strstr(fail_at, "always"))) {
        off_t keep = std::atol(fail_at);
        if (off >= keep) return failed = true, errno = EIO, -1;
        if (off + static_cast<off_t>(count) > keep) count = static_cast<size_t>(keep - off);
    }
    return reinterpret_cast<decltype(&pwrite)>(dlsym(RTLD_NEXT, "pwrite"))(fd, buf, count, off);
}

extern "C" int fsync(int fd) {
    char path[4096];
    const char *log = std::getenv("FSYNC_LOG");
    if (std::FILE *f = log ? std::fopen(log, "a") : nullptr)
        std::fprintf(f, "%s\n", path_of(fd, path)), std::fclose(f);
    return reinterpret_cast<decltype(&fsync)>(dlsym(RTLD_NEXT, "fsync"))(fd);
}
