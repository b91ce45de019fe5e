// Reading a whole input file, never more than a limit, and only from a regular file: a
// directory, a device (/dev/zero), a FIFO or a socket is refused before anything is read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads `path` into `bytes`. False with a one-line reason in `error` (no path in it) when the
// file cannot be opened or read, is not a regular file, or holds more than `maxBytes` bytes.
bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>* bytes, std::string* error);

// What a file of mode `mode` (st_mode) is, for messages: "a directory", "a FIFO", ...
const char* FileKindName(unsigned mode);
