// Loaded with LD_PRELOAD into the server under test: a file system that
// turns full or read-only on demand, for the files whose path begins with
// $QIRA_FAULT_PATH (the database and its journal). While the file named by
// $QIRA_FAULT_FLAG holds "full", every write to them fails with ENOSPC;
// while it holds "readonly", every write and every open for writing fails
// with EROFS. Without the flag file, everything passes through.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum class Fault { None, Full, ReadOnly };

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using OpenFunction = int (*)(const char*, int, ...);
using WriteFunction = ssize_t (*)(int, const void*, size_t);
using PwriteFunction = ssize_t (*)(int, const void*, size_t, off64_t);

// Read through the next open and read, so the check never calls itself.
Fault CurrentFault() {
    const char* flag = std::getenv("QIRA_FAULT_FLAG");
    if (!flag) return Fault::None;
    static const auto nextOpen = Next<OpenFunction>("open64");
    const int fd = nextOpen(flag, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fault::None;
    char text[16] = {};
    const ssize_t length = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (length <= 0) return Fault::None;
    if (std::strncmp(text, "full", 4) == 0) return Fault::Full;
    if (std::strncmp(text, "readonly", 8) == 0) return Fault::ReadOnly;
    return Fault::None;
}

bool IsWatched(const char* path) {
    const char* watched = std::getenv("QIRA_FAULT_PATH");
    return watched && path && std::strncmp(path, watched, std::strlen(watched)) == 0;
}

bool IsWatched(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length <= 0) return false;
    path[length] = '\0';
    return IsWatched(path);
}

// The errno a write to `fd` fails with now, or 0.
int WriteFault(int fd) {
    if (fd <= 2 || !IsWatched(fd)) return 0;
    switch (CurrentFault()) {
        case Fault::Full:
            return ENOSPC;
        case Fault::ReadOnly:
            return EROFS;
        case Fault::None:
            return 0;
    }
    return 0;
}

int OpenVia(const char* name, const char* path, int flags, va_list arguments) {
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    const bool writing = (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0;
    if (writing && IsWatched(path) && CurrentFault() == Fault::ReadOnly) {
        errno = EROFS;
        return -1;
    }
    return Next<OpenFunction>(name)(path, flags, mode);
}

}  // namespace

extern "C" {

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = OpenVia("open64", path, flags, arguments);
    va_end(arguments);
    return fd;
}

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = OpenVia("open", path, flags, arguments);
    va_end(arguments);
    return fd;
}

ssize_t write(int fd, const void* data, size_t size) {
    if (const int fault = WriteFault(fd)) {
        errno = fault;
        return -1;
    }
    static const auto next = Next<WriteFunction>("write");
    return next(fd, data, size);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    if (const int fault = WriteFault(fd)) {
        errno = fault;
        return -1;
    }
    static const auto next = Next<PwriteFunction>("pwrite64");
    return next(fd, data, size, offset);
}

}  // extern "C"
