#include "tools/files/OutputFile.h"

#include "tools/files/BoundedRead.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The directory part of `path` with its slash ("" for a name in the working directory).
std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// ".qm-" and twelve random letters and digits: 71 bits nobody can guess, 20 characters in all,
// whatever the length of the target's own name.
bool RandomName(std::string* name) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[12];
    size_t got = 0;
    while (got < sizeof random) {
        const ssize_t n = getrandom(random + got, sizeof random - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    *name = ".qm-";
    for (unsigned char r : random) *name += kAlphabet[r % 62];
    *name += ".tmp";
    return true;
}

}  // namespace

bool CheckOutputTarget(const std::string& path, std::string* error) {
    if (path.empty()) {
        *error = "an empty file name";
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;  // a missing directory shows when the file is created
        *error = std::strerror(errno);
        return false;
    }
    if (S_ISREG(st.st_mode)) return true;
    *error = std::string("is ") + FileKindName(st.st_mode) + "; only a regular file is replaced";
    return false;
}

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Create(const std::string& path, std::string* error) {
    Abandon();
    if (!CheckOutputTarget(path, error)) return false;
    const std::string directory = DirectoryOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name;
        if (!RandomName(&name)) {
            *error = "cannot make a temporary name: " + std::string(std::strerror(errno));
            return false;
        }
        const std::string temporary = directory + name;
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            *error = "cannot create a file beside it: " + std::string(std::strerror(errno));
            return false;
        }
        m_stream = fdopen(fd, "wb");
        if (m_stream == nullptr) {
            *error = std::strerror(errno);
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        m_target = path;
        m_temporary = temporary;
        return true;
    }
    *error = "cannot create a file beside it: every temporary name tried exists";
    return false;
}

bool OutputFile::Close(std::string* error) {
    if (m_stream == nullptr) return true;
    errno = 0;
    const bool flushed = std::fflush(m_stream) == 0 && std::ferror(m_stream) == 0;
    const int flushErrno = errno;
    const bool closed = std::fclose(m_stream) == 0;
    const int closeErrno = errno;
    m_stream = nullptr;
    if (flushed && closed) return true;
    const int cause = !flushed ? flushErrno : closeErrno;
    *error = "cannot write: " + std::string(cause != 0 ? std::strerror(cause) : "write error");
    return false;
}

bool OutputFile::Commit(std::string* error) {
    if (m_temporary.empty()) {
        *error = "nothing was written";
        return false;
    }
    if (!Close(error)) return false;
    // The target may have been replaced by something else since the start.
    if (!CheckOutputTarget(m_target, error)) return false;
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        *error = "cannot write: " + std::string(std::strerror(errno));
        return false;
    }
    m_temporary.clear();
    return true;
}

void OutputFile::Abandon() {
    if (m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_temporary.empty()) {
        unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}
