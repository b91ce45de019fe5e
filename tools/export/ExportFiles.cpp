#include "tools/export/ExportFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace qmexport {

namespace {

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes bytes to `path` + ".part"; false with a reason (and no file) on failure.
bool WritePart(const std::string& path, const void* data, size_t size, std::string* error) {
    const std::string part = path + ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (f == nullptr) {
        *error = "cannot create " + part + ": " + std::strerror(errno);
        return false;
    }
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    const int writeErrno = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::remove(part.c_str());
        *error = "cannot write " + part + ": " + std::strerror(writeErrno);
        return false;
    }
    return true;
}

bool Commit(const std::string& path, std::string* error) {
    const std::string part = path + ".part";
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        *error = "cannot rename " + part + " to " + path + ": " + std::strerror(errno);
        std::remove(part.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string BufferPath(const std::string& gltfPath) {
    return gltfPath.substr(0, gltfPath.size() - 5) + ".bin";
}

std::string BufferUri(const std::string& gltfPath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (unsigned char c : FileName(BufferPath(gltfPath))) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

bool WriteExportFiles(const std::string& path, bool gltfText, const GltfDocument& document, std::string* error) {
    if (!gltfText) {
        const std::vector<uint8_t> glb = PackGlb(document);
        return WritePart(path, glb.data(), glb.size(), error) && Commit(path, error);
    }
    const std::string bin = BufferPath(path);
    if (!WritePart(bin, document.buffer.data(), document.buffer.size(), error)) return false;
    if (!WritePart(path, document.json.data(), document.json.size(), error)) {
        std::remove((bin + ".part").c_str());
        return false;
    }
    if (!Commit(bin, error)) {
        std::remove((path + ".part").c_str());
        return false;
    }
    if (!Commit(path, error)) {
        std::remove(bin.c_str());
        return false;
    }
    return true;
}

}  // namespace qmexport
