// quillmote-thumbnail: a PNG preview of a chunk model file for file managers (the freedesktop
// thumbnailer entry runs it as quillmote-thumbnail -s SIZE INPUT OUTPUT).
#include "tools/files/CommandLine.h"
#include "tools/inspect/InputFiles.h"
#include "tools/render/FrameOutput.h"
#include "tools/thumbnail/ThumbnailOptions.h"
#include "tools/thumbnail/ThumbnailScene.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

// Messages echo paths: every line goes out terminal-safe.
int Usage(const std::string& error) { return UsageError("quillmote-thumbnail", error, kThumbnailUsage); }
int Fail(const std::string& line) { return FailLine("quillmote-thumbnail", line); }

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    ThumbnailOptions options;
    std::string error;
    if (!ParseThumbnailOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) return Usage(error);
    if (AnswerHelpOrVersion(options.help, options.version, kThumbnailHelp, "quillmote-thumbnail")) return 0;

    InputFile model;
    if (!ReadInputFile(options.input, &model, &error)) return Fail(options.input + ": cannot read: " + error);
    // A motion beside the model poses it; one that is there but unusable is an error, not
    // a quiet fall-back to the stored pose.
    InputFile motion;
    const std::string motionPath = MotionBeside(options.input);
    const bool posed = Exists(motionPath);
    if (posed && !ReadInputFile(motionPath, &motion, &error)) return Fail(motionPath + ": cannot read: " + error);

    const CheckedInputs checked = CheckInputs(model, posed ? &motion : nullptr);
    if (!checked.problems.empty()) {
        for (const InputProblem& p : checked.problems) Fail(p.Line());
        return 1;
    }

    png::Image picture;
    if (!RenderThumbnail(checked.rootObject, checked.motion, options.size, &picture, &error))
        return Fail(options.input + ": " + error);
    if (!WritePictureFile(options.output, picture, &error)) return Fail(options.output + ": " + error);
    return 0;
}
