#include "tools/export/ExportFiles.h"

#include "tools/files/OutputFile.h"

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

// Writes bytes into an exclusively created temporary file beside `file`'s target and closes it;
// false with a reason (the temporary file is removed with `file`) on failure.
bool WriteTemporary(OutputFile* file, const std::string& path, const void* data, size_t size, std::string* error) {
    std::string reason;
    bool ok = file->Create(path, &reason);
    ok = ok && (size == 0 || std::fwrite(data, 1, size, file->Stream()) == size);
    if (ok && std::fflush(file->Stream()) != 0) ok = false;
    if (ok && fsync(fileno(file->Stream())) != 0) ok = false;
    if (ok && file->Close(&reason)) return true;
    if (reason.empty()) reason = std::string("cannot write: ") + std::strerror(errno);
    *error = path + ": " + reason;
    return false;
}

bool Commit(OutputFile* file, std::string* error) {
    std::string reason;
    if (file->Commit(&reason)) return true;
    *error = file->Target() + ": " + reason;
    return false;
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
    OutputFile main;
    if (!gltfText) {
        const std::vector<uint8_t> glb = PackGlb(document);
        return WriteTemporary(&main, path, glb.data(), glb.size(), error) && Commit(&main, error);
    }
    OutputFile buffer;
    const std::string bin = BufferPath(path);
    if (!WriteTemporary(&buffer, bin, document.buffer.data(), document.buffer.size(), error) ||
        !WriteTemporary(&main, path, document.json.data(), document.json.size(), error) || !Commit(&buffer, error))
        return false;
    if (!Commit(&main, error)) {
        std::remove(bin.c_str());  // a buffer without its document is of no use
        return false;
    }
    return true;
}

}  // namespace qmexport
