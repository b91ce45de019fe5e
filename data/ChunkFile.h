// Chunk files: the container of the model and motion files, and the relocation lists that name
// the pointer fields of their data chunks.
//
// ChunkFile layout (every number little-endian): chunks back to back to the end of the file,
// each an 8-byte header and a body, with no padding between chunks.
//   +0  tag, four ASCII bytes in file order ("NJCM" model, "NJTL" texture list, "NMDM" motion,
//       "POF0" relocation list of the data chunk right before it; anything else is skipped)
//   +4  size: number of body bytes after the header
//   +8  body
//
// RelocationList layout (the body of a POF0 chunk): entries that walk a cursor over the data
// body in 4-byte words. The cursor starts at word 0 and never resets; each entry advances it by
// n words and names the field under it (n = 0 names the same word again). Kind by the top two
// bits of the first byte; multi-byte entries are big-endian:
//   0x40-0x7F  1 byte   n = low 6 bits
//   0x80-0xBF  2 bytes  n = (low 6 bits << 8) | byte 1
//   0xC0-0xFF  4 bytes  n = (low 6 bits << 24) | byte 1 << 16 | byte 2 << 8 | byte 3
//   0x00-0x3F  1 byte   padding, skipped
// The list ends with the POF0 body; there is no terminator.
//
// Pointer fields keep their offsets (they are 32 bits wide and we are not): "relocating" a body
// checks every named field (whole word inside the body; a non-zero value an offset inside the
// body, at any alignment: a list of 16-bit words or a name may start anywhere) and leaves the
// bytes alone. Readers follow the fields through data/ChunkBody.h, which copies records out
// and needs no alignment, so a body may also start at any address (a relocation list of 1 or
// 3 bytes puts the next chunk at an odd one). Nothing is ever written to the file copy, so
// loading a file twice is harmless.
//
// A bad file is refused as a whole: no output is written, nothing outside the given bytes is
// read, and the result names the reason and the byte offset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/ChunkBody.h"

enum class LoadError : uint8_t {
    None = 0,
    NoData,                 // null file pointer with a non-zero size
    TruncatedHeader,        // fewer than 8 bytes left for a chunk header
    ChunkPastEnd,           // a chunk's size runs past the end of the file
    MissingRelocationList,  // a data chunk not followed by a POF0 chunk
    RelocationEntryCut,     // a 2- or 4-byte entry runs past the end of its list
    CursorOutsideBody,      // an entry moves the cursor past the last whole word of the body
    PointerOutsideBody,     // a named field holds an offset at or past the end of the body
    NotAMotionFile,         // the first chunk of a motion file is not NMDM
};

struct LoadResult {
    LoadError error = LoadError::None;
    // Byte offset of what is wrong. From the loaders and ListChunks: from the start of the file.
    // From mdlRelocate / ReadRelocationFields: from the POF0 header start, except for
    // PointerOutsideBody, which gives the body offset of the bad field.
    uint32_t offset = 0;
    // The offending number: the field's value, the cursor's body offset, a chunk's size.
    uint32_t value = 0;

    bool ok() const { return error == LoadError::None; }
    explicit operator bool() const { return ok(); }
    // A fixed human-readable sentence for the reason (no offsets).
    const char* Message() const;
    // Message with the offset and value, for tools: "relocation entry cut short at offset 20056".
    std::string Describe() const;
};

const char* LoadErrorName(LoadError error);  // "ChunkPastEnd", ...

// Checks the fields of `body` named by the POF0 chunk whose header starts at `pof0Header`, with
// `pof0Available` readable bytes from there. Does not look at the POF0 tag. Returns 8 + the
// POF0 size (the length of that chunk), or 0 if the header cannot be read; `result` (optional)
// receives the outcome.
uint32_t mdlRelocate(ChunkBody body, const uint8_t* pof0Header, uint32_t pof0Available, LoadResult* result);

// Like mdlRelocate, and appends the body offset of every named field, in list order.
LoadResult ReadRelocationFields(ChunkBody body, const uint8_t* pof0Header, uint32_t pof0Available,
                                std::vector<uint32_t>* fields);

// Finds the NJTL and NJCM chunks of a model file and checks their relocation lists. On success
// stores each found body (a later chunk of the same tag wins) into `texList` / `object`; an
// output no chunk matched, or a null output, is left alone. On failure stores nothing.
LoadResult mdlLoadModelFile(uint8_t* file, uint32_t size, ChunkBody* texList, ChunkBody* object);

// Loads a motion file: an NMDM chunk at the very start, its POF0 right after it (later chunks are
// not looked at). Refused with NotAMotionFile, output untouched, if the file does not begin with
// "NMDM".
LoadResult mdlLoadMotionFile(uint8_t* file, uint32_t size, ChunkBody* motion);

// One chunk of a file, for the inspector.
struct ChunkInfo {
    char tag[5] = {};             // the four tag bytes, NUL-terminated (non-printable bytes kept)
    uint32_t offset = 0;          // file offset of the chunk header
    uint32_t size = 0;            // body size
    bool isData = false;          // NJCM, NJTL or NMDM: followed by its relocation list
    bool isRelocation = false;    // a POF0 chunk
    uint32_t entries = 0;         // POF0: entries including padding; data: entries of its list
    uint32_t paddingEntries = 0;  // POF0: padding bytes among the entries
    uint32_t fieldsListed = 0;    // data: fields its list names
    uint32_t nullFields = 0;      // data: named fields holding 0
};

// Walks every chunk of a file in order (data chunks are followed by their POF0 as the model
// loader does, NMDM included) and appends one ChunkInfo per chunk. Stops at the first problem,
// which it returns; the chunks before it are listed, and so is a data chunk whose relocation list
// was refused (its counts left 0).
LoadResult ListChunks(const uint8_t* file, uint32_t size, std::vector<ChunkInfo>* chunks);
