// quillmote-export: a chunk model and its motion as one glTF 2.0 file that other programs read.
#include "platform/win/Resources.h"
#include "render/TextureImage.h"
#include "resources/QuillmoteResources.h"
#include "tools/export/ExportFiles.h"
#include "tools/export/ExportOptions.h"
#include "tools/export/GltfWriter.h"
#include "tools/export/SceneCapture.h"
#include "tools/files/CommandLine.h"
#include "tools/files/OutputFile.h"
#include "tools/files/TerminalText.h"
#include "tools/inspect/InputFiles.h"

#include <cstdio>
#include <memory>

namespace {

int Usage(const std::string& error) { return UsageError("quillmote-export", error, kExportUsage); }
int Fail(const std::string& line) { return FailLine("quillmote-export", line); }

bool LoadInput(const std::optional<std::string>& path, bool model, InputFile* file) {
    std::string problem;
    if (LoadInputFile(path, model, file, &problem)) return true;
    Fail(problem);
    return false;
}

// The viewer's one texture, the bitmap pair (colour 138, alpha 140); null when missing.
std::unique_ptr<CTextureImage> EmbeddedTexture() {
    const void* bytes[2] = {nullptr, nullptr};
    DWORD sizes[2] = {0, 0};
    const WORD ids[2] = {138, 140};
    for (int i = 0; i < 2; ++i) {
        HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(ids[i]), "bmpdata");
        if (found == nullptr) return nullptr;
        sizes[i] = SizeofResource(nullptr, found);
        bytes[i] = LockResource(LoadResource(nullptr, found));
        if (bytes[i] == nullptr) return nullptr;
    }
    auto image = std::make_unique<CTextureImage>(static_cast<const uint8_t*>(bytes[0]), sizes[0],
                                                 static_cast<const uint8_t*>(bytes[1]), sizes[1]);
    if (image->IsEmpty()) return nullptr;
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    ExportOptions options;
    std::string error;
    if (!ParseExportOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) return Usage(error);
    if (AnswerHelpOrVersion(options.help, options.version, kExportHelp, "quillmote-export")) return 0;
    // The outputs are checked before any work: only a regular file (or nothing) is replaced.
    const bool gltfText = IsGltfText(options.output);
    for (const std::string& target : {options.output, gltfText ? qmexport::BufferPath(options.output) : std::string()})
        if (!target.empty() && !CheckOutputTarget(target, &error)) return Fail(target + ": " + error);

    InstallQuillmoteResources();
    InputFile model;
    InputFile motion;
    if (!LoadInput(options.modelPath, true, &model) || !LoadInput(options.motionPath, false, &motion)) return 1;
    const CheckedInputs checked = CheckInputs(model, motion);
    if (!checked.problems.empty()) {
        for (const InputProblem& p : checked.problems) Fail(p.Line());
        return 1;
    }

    qmexport::TextureSource texture;
    const std::unique_ptr<CTextureImage> image = EmbeddedTexture();
    if (image) texture = qmexport::TextureSource{image->m_pixels, image->m_width, image->m_height};
    qmexport::CaptureOptions capture;
    capture.keysOnly = options.keysOnly;
    capture.framesPerSecond = options.framesPerSecond;
    const qmexport::ExportScene scene = qmexport::CaptureScene(checked.rootObject, checked.motion, capture, texture);
    if (!scene.refused.empty()) {
        const InputFile& file = scene.refusedInMotion ? motion : model;
        const ChunkBody body = scene.refusedInMotion ? checked.motion : checked.rootObject;
        const uint32_t offset = static_cast<uint32_t>(body.data - file.bytes.get()) + scene.refusedAt;
        return Fail(InputProblem{file.name, offset, scene.refused}.Line());
    }
    if (scene.nodes.size() > 65535) return Fail(model.name + ": offset 0: more than 65535 nodes do not fit a skin");

    qmexport::GltfDocument document;
    const std::string uri = gltfText ? qmexport::BufferUri(options.output) : std::string();
    if (!qmexport::BuildGltf(scene, std::string("quillmote-export ") + QM_VERSION, uri, &document, &error))
        return Fail(options.output + ": " + error);
    if (!qmexport::WriteExportFiles(options.output, gltfText, document, &error)) return Fail(error);
    return 0;
}
