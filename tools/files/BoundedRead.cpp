#include "tools/files/BoundedRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

const char* FileKindName(unsigned mode) {
    switch (mode & S_IFMT) {
        case S_IFREG: return "a regular file";
        case S_IFDIR: return "a directory";
        case S_IFLNK: return "a symbolic link";
        case S_IFIFO: return "a FIFO";
        case S_IFSOCK: return "a socket";
        case S_IFCHR: return "a character device";
        case S_IFBLK: return "a block device";
        default: return "not a regular file";
    }
}

bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>* bytes, std::string* error) {
    bytes->clear();
    // Non-blocking, so that opening a FIFO without a writer returns at once (it is refused below).
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        *error = std::strerror(errno);
        close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = std::string(FileKindName(st.st_mode)) + ", not a regular file";
        close(fd);
        return false;
    }
    const std::string tooLarge = "file too large (more than " + std::to_string(maxBytes) + " bytes)";
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        *error = tooLarge;
        close(fd);
        return false;
    }
    // The size is only a hint: the file may grow or shrink while it is read.
    bytes->resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    for (;;) {
        if (got == bytes->size()) {
            if (got > maxBytes) break;
            bytes->resize(std::min<uint64_t>(maxBytes + 1, got + 65536));
        }
        const ssize_t n = read(fd, bytes->data() + got, bytes->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *error = std::strerror(errno);
            close(fd);
            bytes->clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    if (got > maxBytes) {
        *error = tooLarge;
        bytes->clear();
        return false;
    }
    bytes->resize(got);
    return true;
}
