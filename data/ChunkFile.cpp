#include "data/ChunkFile.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kHeaderBytes = 8;

uint32_t ReadLE32(const uint8_t* p) { return LoadLE32(p); }

bool TagIs(const uint8_t* p, const char* tag) {
    return p[0] == static_cast<uint8_t>(tag[0]) && p[1] == static_cast<uint8_t>(tag[1]) &&
           p[2] == static_cast<uint8_t>(tag[2]) && p[3] == static_cast<uint8_t>(tag[3]);
}

LoadResult Fail(LoadError error, uint32_t offset, uint32_t value = 0) {
    LoadResult r;
    r.error = error;
    r.offset = offset;
    r.value = value;
    return r;
}

struct ListStats {
    uint32_t entries = 0;
    uint32_t padding = 0;
    uint32_t fields = 0;
    uint32_t nullFields = 0;
};

// Walks a relocation list over `body`, calling onField(bodyOffset) for every named field after
// checking it. Offsets in the result are from the POF0 header, except field errors (body offset).
template <class OnField>
LoadResult WalkList(ChunkBody body, const uint8_t* pof0, uint32_t available, uint32_t* chunkLength,
                    ListStats* stats, OnField&& onField) {
    *chunkLength = 0;
    if (pof0 == nullptr || available < kHeaderBytes) return Fail(LoadError::TruncatedHeader, 0, available);
    const uint32_t listBytes = ReadLE32(pof0 + 4);
    if (listBytes > available - kHeaderBytes) return Fail(LoadError::ChunkPastEnd, 0, listBytes);
    *chunkLength = kHeaderBytes + listBytes;

    const uint8_t* list = pof0 + kHeaderBytes;
    const uint64_t bodySize = body.data != nullptr ? body.size : 0;
    uint64_t cursor = 0;  // byte offset in the body; 64 bits so 2^30 - 1 words cannot wrap it
    uint32_t pos = 0;
    while (pos < listBytes) {
        const uint8_t first = list[pos];
        const uint32_t kind = first >> 6;
        if (kind == 0) {  // padding
            ++pos;
            ++stats->entries;
            ++stats->padding;
            continue;
        }
        const uint32_t length = kind == 1 ? 1u : kind == 2 ? 2u : 4u;
        if (length > listBytes - pos) return Fail(LoadError::RelocationEntryCut, kHeaderBytes + pos, length);
        uint32_t words = first & 0x3Fu;
        for (uint32_t i = 1; i < length; ++i) words = words << 8 | list[pos + i];
        cursor += static_cast<uint64_t>(words) * 4u;
        if (cursor + 4u > bodySize) {
            const uint32_t shown = cursor > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(cursor);
            return Fail(LoadError::CursorOutsideBody, kHeaderBytes + pos, shown);
        }
        const uint32_t field = static_cast<uint32_t>(cursor);
        const uint32_t value = ReadLE32(body.data + field);
        if (value != 0) {
            // Any offset inside the body: what the field leads to decides the alignment it needs.
            if (value >= bodySize) return Fail(LoadError::PointerOutsideBody, field, value);
        } else {
            ++stats->nullFields;
        }
        ++stats->entries;
        ++stats->fields;
        onField(field);
        pos += length;
    }
    return {};
}

// Counts the entries of a list with no body to walk (a POF0 chunk not after a data chunk).
void CountEntries(const uint8_t* list, uint32_t listBytes, ChunkInfo* info) {
    uint32_t pos = 0;
    while (pos < listBytes) {
        const uint32_t kind = list[pos] >> 6;
        ++info->entries;
        if (kind == 0) ++info->paddingEntries;
        pos += kind == 0 || kind == 1 ? 1u : kind == 2 ? 2u : 4u;
    }
}

ChunkInfo MakeInfo(const uint8_t* header, uint32_t offset, uint32_t size) {
    ChunkInfo info;
    std::memcpy(info.tag, header, 4);
    info.tag[4] = '\0';
    info.offset = offset;
    info.size = size;
    return info;
}

// Checks the data chunk whose header is at `pos` (its size already known to fit) and the POF0
// chunk after it. On success fills `body`, the two infos and `next` (offset after the POF0).
template <class OnField>
LoadResult CheckDataChunk(const uint8_t* file, uint32_t size, uint32_t pos, ChunkBody* body, ChunkInfo* dataInfo,
                          ChunkInfo* listInfo, uint32_t* next, OnField&& onField) {
    const uint32_t bodySize = ReadLE32(file + pos + 4);
    const uint32_t bodyStart = pos + kHeaderBytes;
    const uint32_t listPos = bodyStart + bodySize;
    *dataInfo = MakeInfo(file + pos, pos, bodySize);
    dataInfo->isData = true;

    const uint32_t remaining = size - listPos;
    if (remaining == 0) return Fail(LoadError::MissingRelocationList, listPos);
    if (remaining < kHeaderBytes) return Fail(LoadError::TruncatedHeader, listPos, remaining);
    if (!TagIs(file + listPos, "POF0")) return Fail(LoadError::MissingRelocationList, listPos);

    body->data = const_cast<uint8_t*>(file + bodyStart);  // never written through here
    body->size = bodySize;
    ListStats stats;
    uint32_t listLength = 0;
    LoadResult r = WalkList(*body, file + listPos, remaining, &listLength, &stats, onField);
    if (!r.ok()) {
        r.offset += r.error == LoadError::PointerOutsideBody ? bodyStart : listPos;
        return r;
    }
    dataInfo->entries = stats.entries;
    dataInfo->fieldsListed = stats.fields;
    dataInfo->nullFields = stats.nullFields;
    *listInfo = MakeInfo(file + listPos, listPos, listLength - kHeaderBytes);
    listInfo->isRelocation = true;
    listInfo->entries = stats.entries;
    listInfo->paddingEntries = stats.padding;
    *next = listPos + listLength;
    return {};
}

// Walks a whole file as the model loader does. onChunk(info, body) is called for every chunk in
// order (body set for checked data chunks only; a refused data chunk comes last, without a body);
// onField(bodyOffset) for every named field.
template <class OnChunk, class OnField>
LoadResult WalkFile(const uint8_t* file, uint32_t size, bool motionIsData, OnChunk&& onChunk, OnField&& onField) {
    if (file == nullptr) return size == 0 ? LoadResult{} : Fail(LoadError::NoData, 0, size);
    uint32_t pos = 0;
    while (pos < size) {
        if (size - pos < kHeaderBytes) return Fail(LoadError::TruncatedHeader, pos, size - pos);
        const uint8_t* header = file + pos;
        const uint32_t bodySize = ReadLE32(header + 4);
        if (bodySize > size - pos - kHeaderBytes) return Fail(LoadError::ChunkPastEnd, pos, bodySize);
        const bool isData =
            TagIs(header, "NJTL") || TagIs(header, "NJCM") || (motionIsData && TagIs(header, "NMDM"));
        if (!isData) {
            ChunkInfo info = MakeInfo(header, pos, bodySize);
            if (TagIs(header, "POF0")) {
                info.isRelocation = true;
                CountEntries(header + kHeaderBytes, bodySize, &info);
            }
            onChunk(info, ChunkBody{});
            pos += kHeaderBytes + bodySize;
            continue;
        }
        ChunkBody body;
        ChunkInfo dataInfo, listInfo;
        uint32_t next = 0;
        LoadResult r = CheckDataChunk(file, size, pos, &body, &dataInfo, &listInfo, &next, onField);
        if (!r.ok()) {
            onChunk(dataInfo, ChunkBody{});  // listed without a body, so the lister shows what was refused
            return r;
        }
        onChunk(dataInfo, body);
        onChunk(listInfo, ChunkBody{});
        pos = next;
    }
    return {};
}

}  // namespace

const char* LoadErrorName(LoadError error) {
    switch (error) {
        case LoadError::None: return "None";
        case LoadError::NoData: return "NoData";
        case LoadError::TruncatedHeader: return "TruncatedHeader";
        case LoadError::ChunkPastEnd: return "ChunkPastEnd";
        case LoadError::MissingRelocationList: return "MissingRelocationList";
        case LoadError::RelocationEntryCut: return "RelocationEntryCut";
        case LoadError::CursorOutsideBody: return "CursorOutsideBody";
        case LoadError::PointerOutsideBody: return "PointerOutsideBody";
        case LoadError::NotAMotionFile: return "NotAMotionFile";
    }
    return "Unknown";
}

const char* LoadResult::Message() const {
    switch (error) {
        case LoadError::None: return "loaded";
        case LoadError::NoData: return "no file data";
        case LoadError::TruncatedHeader: return "file ends inside a chunk header";
        case LoadError::ChunkPastEnd: return "chunk size runs past the end of the file";
        case LoadError::MissingRelocationList: return "data chunk is not followed by a POF0 relocation list";
        case LoadError::RelocationEntryCut: return "relocation entry cut short by the end of its list";
        case LoadError::CursorOutsideBody: return "relocation cursor moves past the end of the data chunk";
        case LoadError::PointerOutsideBody: return "pointer field points outside its data chunk";
        case LoadError::NotAMotionFile: return "not a motion file (does not begin with NMDM)";
    }
    return "unknown error";
}

std::string LoadResult::Describe() const {
    if (ok()) return Message();
    char text[160];
    switch (error) {
        case LoadError::PointerOutsideBody:
            std::snprintf(text, sizeof text, "%s (field at offset %u holds %u)", Message(), offset, value);
            break;
        case LoadError::CursorOutsideBody:
            std::snprintf(text, sizeof text, "%s (entry at offset %u, cursor at body offset %u)", Message(), offset,
                          value);
            break;
        case LoadError::ChunkPastEnd:
            std::snprintf(text, sizeof text, "%s (chunk at offset %u, size %u)", Message(), offset, value);
            break;
        default:
            std::snprintf(text, sizeof text, "%s (at offset %u)", Message(), offset);
            break;
    }
    return text;
}

uint32_t mdlRelocate(ChunkBody body, const uint8_t* pof0Header, uint32_t pof0Available, LoadResult* result) {
    ListStats stats;
    uint32_t length = 0;
    const LoadResult r = WalkList(body, pof0Header, pof0Available, &length, &stats, [](uint32_t) {});
    if (result != nullptr) *result = r;
    return length;
}

LoadResult ReadRelocationFields(ChunkBody body, const uint8_t* pof0Header, uint32_t pof0Available,
                                std::vector<uint32_t>* fields) {
    ListStats stats;
    uint32_t length = 0;
    return WalkList(body, pof0Header, pof0Available, &length, &stats, [fields](uint32_t field) {
        if (fields != nullptr) fields->push_back(field);
    });
}

LoadResult mdlLoadModelFile(uint8_t* file, uint32_t size, ChunkBody* texList, ChunkBody* object) {
    ChunkBody foundTexList, foundObject;
    const LoadResult r = WalkFile(
        file, size, false,
        [&](const ChunkInfo& info, ChunkBody body) {
            if (!info.isData || !body) return;
            if (std::memcmp(info.tag, "NJTL", 4) == 0) foundTexList = body;
            else foundObject = body;
        },
        [](uint32_t) {});
    if (!r.ok()) return r;
    // Only a file that checked out whole is handed over.
    if (foundTexList && texList != nullptr) *texList = foundTexList;
    if (foundObject && object != nullptr) *object = foundObject;
    return r;
}

LoadResult mdlLoadMotionFile(uint8_t* file, uint32_t size, ChunkBody* motion) {
    if (file == nullptr) return Fail(LoadError::NoData, 0, size);
    if (size < 4) return Fail(LoadError::TruncatedHeader, 0, size);
    if (!TagIs(file, "NMDM")) return Fail(LoadError::NotAMotionFile, 0);
    if (size < kHeaderBytes) return Fail(LoadError::TruncatedHeader, 0, size);
    const uint32_t bodySize = ReadLE32(file + 4);
    if (bodySize > size - kHeaderBytes) return Fail(LoadError::ChunkPastEnd, 0, bodySize);
    ChunkBody body;
    ChunkInfo dataInfo, listInfo;
    uint32_t next = 0;
    const LoadResult r = CheckDataChunk(file, size, 0, &body, &dataInfo, &listInfo, &next, [](uint32_t) {});
    if (r.ok() && motion != nullptr) *motion = body;
    return r;
}

LoadResult ListChunks(const uint8_t* file, uint32_t size, std::vector<ChunkInfo>* chunks) {
    return WalkFile(
        file, size, true,
        [chunks](const ChunkInfo& info, ChunkBody) {
            if (chunks != nullptr) chunks->push_back(info);
        },
        [](uint32_t) {});
}
