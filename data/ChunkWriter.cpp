#include "data/ChunkWriter.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

void PutLE32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

constexpr uint32_t kMaxWords1 = 0x3F;
constexpr uint32_t kMaxWords2 = 0x3FFF;
constexpr uint32_t kMaxWords4 = 0x3FFFFFFF;

void AppendEntry(std::vector<uint8_t>* out, uint32_t words, int forceBytes) {
    int bytes = words <= kMaxWords1 ? 1 : words <= kMaxWords2 ? 2 : 4;
    if (forceBytes > bytes) bytes = forceBytes;
    switch (bytes) {
        case 1:
            out->push_back(static_cast<uint8_t>(0x40u | words));
            break;
        case 2:
            out->push_back(static_cast<uint8_t>(0x80u | words >> 8));
            out->push_back(static_cast<uint8_t>(words));
            break;
        default:
            out->push_back(static_cast<uint8_t>(0xC0u | words >> 24));
            out->push_back(static_cast<uint8_t>(words >> 16));
            out->push_back(static_cast<uint8_t>(words >> 8));
            out->push_back(static_cast<uint8_t>(words));
            break;
    }
}

void CheckTag(const char tag[4]) {
    if (tag == nullptr) throw std::invalid_argument("chunk tag is null");
    for (int i = 0; i < 4; ++i)
        if (tag[i] == '\0') throw std::invalid_argument("chunk tag must be four bytes");
}

}  // namespace

uint32_t ChunkBodyBuilder::Append(const void* bytes, uint32_t count) {
    const uint32_t offset = Size();
    if (count > 0xFFFFFFFFu - offset) throw std::length_error("chunk body larger than 4 GiB");
    const auto* p = static_cast<const uint8_t*>(bytes);
    m_bytes.insert(m_bytes.end(), p, p + count);
    return offset;
}

uint32_t ChunkBodyBuilder::AppendZeros(uint32_t count) {
    const uint32_t offset = Size();
    if (count > 0xFFFFFFFFu - offset) throw std::length_error("chunk body larger than 4 GiB");
    m_bytes.resize(m_bytes.size() + count, 0);
    return offset;
}

uint32_t ChunkBodyBuilder::AppendU16(uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return Append(b, 2);
}

uint32_t ChunkBodyBuilder::AppendU32(uint32_t value) {
    uint8_t b[4];
    PutLE32(b, value);
    return Append(b, 4);
}

uint32_t ChunkBodyBuilder::AppendF32(float value) {
    uint32_t bits;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    return AppendU32(bits);
}

void ChunkBodyBuilder::AlignTo(uint32_t alignment) {
    if (alignment == 0) throw std::invalid_argument("alignment of 0");
    const uint32_t rest = Size() % alignment;
    if (rest != 0) AppendZeros(alignment - rest);
}

void ChunkBodyBuilder::PutU32(uint32_t offset, uint32_t value) {
    if (offset > Size() || Size() - offset < 4) throw std::out_of_range("word at offset " + std::to_string(offset) +
                                                                      " is outside the body");
    PutLE32(m_bytes.data() + offset, value);
}

void ChunkBodyBuilder::PutPointer(uint32_t fieldOffset, uint32_t targetOffset) {
    // The target may not exist yet (forward references); AddDataChunk checks it.
    MarkPointer(fieldOffset);
    PutU32(fieldOffset, targetOffset);
}

void ChunkBodyBuilder::MarkPointer(uint32_t fieldOffset) {
    if ((fieldOffset & 3u) != 0) throw std::invalid_argument("pointer field at offset " + std::to_string(fieldOffset) +
                                                           " is not word-aligned");
    if (fieldOffset > Size() || Size() - fieldOffset < 4)
        throw std::out_of_range("pointer field at offset " + std::to_string(fieldOffset) + " is outside the body");
    if (!m_fields.empty() && fieldOffset <= m_fields.back()) m_sorted = false;
    m_fields.push_back(fieldOffset);
}

const std::vector<uint32_t>& ChunkBodyBuilder::PointerFields() const {
    if (!m_sorted) {
        std::sort(m_fields.begin(), m_fields.end());
        m_fields.erase(std::unique(m_fields.begin(), m_fields.end()), m_fields.end());
        m_sorted = true;
    }
    return m_fields;
}

std::vector<uint8_t> EncodeRelocationList(std::vector<uint32_t> fieldOffsets, const RelocationOptions& options) {
    const int force = options.forceEntryBytes;
    if (force != 0 && force != 1 && force != 2 && force != 4)
        throw std::invalid_argument("relocation entries are 1, 2 or 4 bytes long");
    std::sort(fieldOffsets.begin(), fieldOffsets.end());
    fieldOffsets.erase(std::unique(fieldOffsets.begin(), fieldOffsets.end()), fieldOffsets.end());

    std::vector<uint8_t> list;
    list.reserve(fieldOffsets.size() * 2 + options.paddingBytes + 3);
    uint32_t cursor = 0;
    for (uint32_t field : fieldOffsets) {
        if ((field & 3u) != 0) throw std::invalid_argument("pointer field offset " + std::to_string(field) +
                                                           " is not word-aligned");
        const uint32_t words = (field - cursor) / 4;
        if (words > kMaxWords4) throw std::out_of_range("pointer field too far from the previous one");
        AppendEntry(&list, words, force);
        cursor = field;
    }
    list.insert(list.end(), options.paddingBytes, 0x00);
    if (options.padToWord)
        while (list.size() % 4 != 0) list.push_back(0x00);
    return list;
}

void ChunkFileWriter::PutHeader(const char tag[4], uint32_t size) {
    CheckTag(tag);
    uint8_t header[8];
    std::memcpy(header, tag, 4);
    PutLE32(header + 4, size);
    m_bytes.insert(m_bytes.end(), header, header + 8);
}

void ChunkFileWriter::AddDataChunk(const char tag[4], const ChunkBodyBuilder& body, const RelocationOptions& options) {
    const std::vector<uint8_t>& bytes = body.Bytes();
    const uint32_t padding = options.padBody ? (4u - bytes.size() % 4u) % 4u : 0u;
    const uint32_t paddedSize = static_cast<uint32_t>(bytes.size() + padding);
    for (uint32_t field : body.PointerFields()) {
        uint32_t target = 0;
        for (int i = 3; i >= 0; --i) target = target << 8 | bytes[field + static_cast<uint32_t>(i)];
        if (target != 0 && target >= paddedSize)
            throw std::out_of_range("pointer field at offset " + std::to_string(field) + " holds " +
                                    std::to_string(target) + ", not an offset inside the body");
    }
    const std::vector<uint8_t> list = EncodeRelocationList(body.PointerFields(), options);
    PutHeader(tag, paddedSize);
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    m_bytes.insert(m_bytes.end(), padding, 0x00);
    PutHeader("POF0", static_cast<uint32_t>(list.size()));
    m_bytes.insert(m_bytes.end(), list.begin(), list.end());
}

void ChunkFileWriter::AddRawChunk(const char tag[4], const std::vector<uint8_t>& body) {
    if (body.size() > 0xFFFFFFFFu) throw std::length_error("chunk body larger than 4 GiB");
    PutHeader(tag, static_cast<uint32_t>(body.size()));
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
}

void ChunkFileWriter::AddRawBytes(const std::vector<uint8_t>& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}
