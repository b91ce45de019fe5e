// Reading and checking the model and motion files the tools are given (or the embedded ones),
// shared by quillmote-render and quillmote-inspect.
#pragma once

#include "model/ModelTypes.h"

#include "data/ChunkBody.h"
#include "data/ChunkFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One thing wrong with an input, printed as "NAME: offset N: reason".
struct InputProblem {
    std::string file;     // path, or "embedded model" / "embedded motion"
    uint32_t offset = 0;  // byte offset in that file
    std::string reason;

    std::string Line() const;
};

// A model or motion file held in a block of its own (4-byte aligned, as the loaders need).
struct InputFile {
    std::string name;       // path, or "embedded model" / "embedded motion"
    bool embedded = false;
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t size = 0;

    std::vector<uint8_t> Copy() const { return std::vector<uint8_t>(bytes.get(), bytes.get() + size); }
};

// Files larger than this are refused before reading (the chunk format counts in 32 bits, and
// the viewer's own files are about 20 KB).
constexpr uint64_t kMaxInputBytes = 64u * 1024u * 1024u;

// Reads a whole regular file of at most kMaxInputBytes. False with a one-line reason (no offset)
// when it cannot be read, is larger, or is a directory, a device, a FIFO or a socket.
bool ReadInputFile(const std::string& path, InputFile* file, std::string* error);
// The embedded model (resource modeldata 132) or motion (motiondata 133); false if missing.
bool EmbeddedInputFile(bool model, InputFile* file);
// The file at `path`, or the embedded model or motion when there is none. False with the
// one-line problem ("PATH: cannot read: ...") in `problem`.
bool LoadInputFile(const std::optional<std::string>& path, bool model, InputFile* file, std::string* problem);

// Both files loaded and checked: the loader's result for each, then the model tree, the
// vertex and polygon lists, and the motion against that tree.
struct CheckedInputs {
    ChunkBody texList;
    ChunkBody rootObject;
    ChunkBody motion;
    std::vector<InputProblem> problems;
};

// Loads both files (in place, read-only) and collects every problem found. The bodies are
// set only for files that load.
// `maxNodeVisits`: the node visits one frame may take (quillmote-render's --max-model-steps).
CheckedInputs CheckInputs(const InputFile& model, const InputFile& motion, uint64_t maxNodeVisits = kDefaultWorkLimit);
// The same with the motion optional: null checks the model alone (its stored pose).
CheckedInputs CheckInputs(const InputFile& model, const InputFile* motion, uint64_t maxNodeVisits = kDefaultWorkLimit);
