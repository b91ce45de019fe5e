// Feeds arbitrary bytes to both chunk file loaders and the chunk lister. Whatever a loader
// accepts is walked: every field its relocation list names is followed through the checked
// accessor and the bytes it leads to are read, so a check that lets a bad offset through shows
// up under AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "data/ChunkBody.h"
#include "data/ChunkFile.h"

namespace {

volatile uint32_t g_sink;

void Touch(const uint8_t* p, uint32_t bytes) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < bytes; ++i) sum += p[i];
    g_sink = sum;
}

// Follows every field of every data chunk (found again through the lister) and reads its target.
void WalkLoaded(std::vector<uint8_t>& file) {
    std::vector<ChunkInfo> chunks;
    const uint32_t size = static_cast<uint32_t>(file.size());
    ListChunks(file.data(), size, &chunks);
    std::vector<uint32_t> fields;
    for (size_t i = 0; i + 1 < chunks.size(); ++i) {
        if (!chunks[i].isData || !chunks[i + 1].isRelocation) continue;
        const ChunkBody body{file.data() + chunks[i].offset + 8, chunks[i].size};
        Touch(body.data, body.size);
        fields.clear();
        const uint32_t list = chunks[i + 1].offset;
        if (!ReadRelocationFields(body, file.data() + list, size - list, &fields).ok()) std::abort();
        for (uint32_t field : fields) {
            uint32_t word = 0;
            if (!ReadRecord(body, field, &word)) std::abort();  // the list was accepted: every field is a whole word
            if (const uint8_t* target = BodyBytesAt(body, word, 4); target != nullptr && word != 0) Touch(target, 4);
            if (const uint8_t* target = BodyBytesAt(body, word, 1); target != nullptr && word != 0) Touch(target, 1);
            else if (word != 0) std::abort();  // accepted non-null fields lead inside the body
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    // A heap copy of exactly the input, so reading one byte past it is caught.
    std::vector<uint8_t> file(data, data + size);
    const uint32_t n = static_cast<uint32_t>(size);

    ChunkBody texList, object, motion;
    const LoadResult model = mdlLoadModelFile(file.data(), n, &texList, &object);
    if (model.ok()) {
        if (texList) Touch(texList.data, texList.size);
        if (object) Touch(object.data, object.size);
        WalkLoaded(file);
    } else if (texList || object) {
        std::abort();  // a refused file must not hand out bodies
    }

    const LoadResult anim = mdlLoadMotionFile(file.data(), n, &motion);
    if (anim.ok()) {
        if (!motion) std::abort();
        Touch(motion.data, motion.size);
        WalkLoaded(file);
    } else if (motion) {
        std::abort();
    }
    return 0;
}
