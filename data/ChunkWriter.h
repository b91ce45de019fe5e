// Builds chunk files (data chunks, each followed by its relocation list) from records laid out
// in memory with their pointer fields marked. Used by tests, fuzz seeds and the asset
// authoring tool; the viewer itself only reads.
//
// A pointer field is a 32-bit little-endian word at a 4-byte aligned body offset holding the
// body offset of its target (0 = null). Every marked field, null or not, is listed in the
// relocation list written after the body.
//
// Misuse (a field that is misaligned or lies outside the body, a marked field whose target is not
// an offset inside the body when the chunk is added, an overwrite past the end, a tag that is
// not four bytes) throws std::invalid_argument / std::out_of_range: the writer never produces a
// file the loaders would refuse unless asked to through AddRawChunk / AddRawBytes.
//
// By default bodies and lists are zero-padded to whole words, so every chunk starts on a word;
// RelocationOptions::Packed() writes them with no padding at all (the next chunk may then start
// at any offset), as the format allows.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

class ChunkBodyBuilder {
public:
    // Current body size: the offset the next appended byte gets.
    uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }

    // Appends raw bytes; returns the body offset where they start.
    uint32_t Append(const void* bytes, uint32_t count);

    // Appends `count` zero bytes (room for records whose fields are filled in later).
    uint32_t AppendZeros(uint32_t count);

    // Appends a record exactly as it lies in memory (our records are little-endian PODs).
    template <class T>
    uint32_t AppendRecord(const T& record) {
        static_assert(std::is_trivially_copyable_v<T>, "records are copied byte for byte");
        return Append(&record, static_cast<uint32_t>(sizeof record));
    }

    uint32_t AppendU16(uint16_t value);  // little-endian
    uint32_t AppendU32(uint32_t value);  // little-endian
    uint32_t AppendF32(float value);     // IEEE single, little-endian

    // Pads with zero bytes until Size() is a multiple of `alignment` (1, 2, 4, 8 ...).
    void AlignTo(uint32_t alignment);

    // Overwrites the 32-bit little-endian word at `offset` (must lie inside the body).
    void PutU32(uint32_t offset, uint32_t value);

    // Writes `targetOffset` into the field at `fieldOffset` and marks it as a pointer field.
    // A target of 0 is a null field (still listed, stays null when loaded). The target may be
    // appended later; it is checked when the chunk is added to a file.
    void PutPointer(uint32_t fieldOffset, uint32_t targetOffset);

    // Marks an already-written word as a pointer field (null ones too: they stay 0).
    void MarkPointer(uint32_t fieldOffset);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    // Marked field offsets, ascending, each once.
    const std::vector<uint32_t>& PointerFields() const;

private:
    std::vector<uint8_t> m_bytes;
    mutable std::vector<uint32_t> m_fields;
    mutable bool m_sorted = true;
};

struct RelocationOptions {
    // 0 = the shortest entry that holds each distance; 1, 2 or 4 = that entry length wherever
    // the distance fits in it (longer entries are used where it does not).
    int forceEntryBytes = 0;
    // Padding entries (0x00) appended after the last real entry.
    uint32_t paddingBytes = 0;
    // Pads the list with further 0x00 entries to a multiple of 4 bytes, so the chunk after it
    // starts on a word.
    bool padToWord = true;
    // Zero-pads the data body to a multiple of 4 bytes (AddDataChunk).
    bool padBody = true;

    // No padding anywhere: bodies and lists exactly as long as their contents.
    static RelocationOptions Packed() {
        RelocationOptions o;
        o.padToWord = false;
        o.padBody = false;
        return o;
    }
};

// Encodes a relocation list naming `fieldOffsets` (body offsets, multiples of 4; any order,
// duplicates listed once).
std::vector<uint8_t> EncodeRelocationList(std::vector<uint32_t> fieldOffsets, const RelocationOptions& options = {});

class ChunkFileWriter {
public:
    // A data chunk (e.g. "NJCM", "NJTL", "NMDM") and, right after it, its "POF0" relocation list.
    // The body is zero-padded to a multiple of 4 bytes unless options.padBody is false.
    void AddDataChunk(const char tag[4], const ChunkBodyBuilder& body, const RelocationOptions& options = {});

    // Any chunk exactly as given (unknown tags, hand-made relocation lists, odd sizes).
    void AddRawChunk(const char tag[4], const std::vector<uint8_t>& body);

    // Raw bytes with no chunk framing (truncated or trailing garbage for tests).
    void AddRawBytes(const std::vector<uint8_t>& bytes);

    uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    void PutHeader(const char tag[4], uint32_t size);
    std::vector<uint8_t> m_bytes;
};
