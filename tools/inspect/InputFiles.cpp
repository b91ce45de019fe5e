#include "tools/inspect/InputFiles.h"

#include "model/ModelInspect.h"
#include "platform/win/Resources.h"
#include "tools/files/BoundedRead.h"

#include <cstring>

std::string InputProblem::Line() const { return file + ": offset " + std::to_string(offset) + ": " + reason; }

namespace {

std::unique_ptr<uint8_t[]> Block(uint64_t size) {
    // One spare byte keeps an empty file's block non-null; new[] aligns for any record.
    return std::make_unique<uint8_t[]>(static_cast<size_t>(size) + 1);
}

std::string LoaderReason(const LoadResult& r) {
    std::string reason = r.Message();
    switch (r.error) {
        case LoadError::PointerOutsideBody:
            reason += " (it holds " + std::to_string(r.value) + ")";
            break;
        case LoadError::ChunkPastEnd:
            reason += " (size " + std::to_string(r.value) + ")";
            break;
        case LoadError::CursorOutsideBody:
            reason += " (cursor at body offset " + std::to_string(r.value) + ")";
            break;
        default:
            break;
    }
    return reason;
}

// File offset of a body offset.
uint32_t InFile(const InputFile& file, ChunkBody body, uint32_t bodyOffset) {
    return static_cast<uint32_t>(body.data - file.bytes.get()) + bodyOffset;
}

}  // namespace

bool ReadInputFile(const std::string& path, InputFile* file, std::string* error) {
    std::vector<uint8_t> data;
    if (!ReadRegularFile(path, kMaxInputBytes, &data, error)) return false;
    file->name = path;
    file->embedded = false;
    file->size = static_cast<uint32_t>(data.size());
    file->bytes = Block(data.size());
    if (!data.empty()) std::memcpy(file->bytes.get(), data.data(), data.size());
    return true;
}

bool EmbeddedInputFile(bool model, InputFile* file) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(model ? 132 : 133), model ? "modeldata" : "motiondata");
    if (found == nullptr) return false;
    const DWORD size = SizeofResource(nullptr, found);
    const void* bytes = LockResource(LoadResource(nullptr, found));
    if (bytes == nullptr) return false;
    file->name = model ? "embedded model" : "embedded motion";
    file->embedded = true;
    file->size = size;
    file->bytes = Block(size);
    if (size != 0) std::memcpy(file->bytes.get(), bytes, size);
    return true;
}

bool LoadInputFile(const std::optional<std::string>& path, bool model, InputFile* file, std::string* problem) {
    if (!path) {
        if (EmbeddedInputFile(model, file)) return true;
        *problem = std::string("the embedded ") + (model ? "model" : "motion") + " is missing";
        return false;
    }
    std::string error;
    if (ReadInputFile(*path, file, &error)) return true;
    *problem = *path + ": cannot read: " + error;
    return false;
}

CheckedInputs CheckInputs(const InputFile& model, const InputFile& motion, uint64_t maxNodeVisits) {
    return CheckInputs(model, &motion, maxNodeVisits);
}

CheckedInputs CheckInputs(const InputFile& model, const InputFile* motion, uint64_t maxNodeVisits) {
    CheckedInputs checked;
    auto problem = [&](const InputFile& file, uint32_t offset, std::string reason) {
        checked.problems.push_back(InputProblem{file.name, offset, std::move(reason)});
    };

    const LoadResult modelLoad = mdlLoadModelFile(model.bytes.get(), model.size, &checked.texList, &checked.rootObject);
    if (!modelLoad) problem(model, modelLoad.offset, LoaderReason(modelLoad));
    else if (!checked.rootObject) problem(model, 0, "no model chunk (NJCM) in the file");

    if (motion != nullptr) {
        const LoadResult motionLoad = mdlLoadMotionFile(motion->bytes.get(), motion->size, &checked.motion);
        if (!motionLoad) problem(*motion, motionLoad.offset, LoaderReason(motionLoad));
    }

    int32_t nodeCount = -1;
    if (checked.rootObject) {
        const ModelReport report = mdlInspectModel(checked.rootObject, 2048, 64, maxNodeVisits);
        for (const InspectProblem& p : report.problems) {
            std::string reason = p.reason;
            if (report.visitsCut && p.offset == 0 && reason.find("node visits") != std::string::npos)
                reason += " (quillmote-render --max-model-steps raises it)";
            problem(model, InFile(model, checked.rootObject, p.offset), reason);
        }
        // A tree cut short has no node count to hold the motion against.
        if (!report.visitsCut) nodeCount = static_cast<int32_t>(report.nodes.size());
    }
    if (checked.motion) {
        // Without a readable tree the motion is still checked on its own.
        const MotionReport report = mdlInspectMotion(checked.motion, nodeCount < 0 ? 0 : nodeCount);
        for (const InspectProblem& p : report.problems) problem(*motion, InFile(*motion, checked.motion, p.offset), p.reason);
    }
    return checked;
}
