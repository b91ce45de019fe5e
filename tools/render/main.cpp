// quillmote-render: the viewer's picture without a window. Creates the real view on the
// headless window backend, poses it (options or a mouse log fed to its own handlers), paints
// it and writes what its client area shows.
#include "app/HeadlessViewer.h"
#include "platform/win/HeadlessBackend.h"
#include "resources/QuillmoteResources.h"
#include "tools/inspect/InputFiles.h"
#include "tools/render/FrameOutput.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/ReplayLog.h"
#include "tools/render/WorkLimits.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

int Usage(const std::string& error) {
    std::fprintf(stderr, "quillmote-render: %s\n%s", error.c_str(), kRenderUsage);
    return 2;
}

int Fail(const std::string& line) {
    std::fprintf(stderr, "quillmote-render: %s\n", line.c_str());
    return 1;
}

bool LoadInput(const std::optional<std::string>& path, bool model, InputFile* file) {
    if (!path) {
        if (EmbeddedInputFile(model, file)) return true;
        Fail(std::string("the embedded ") + (model ? "model" : "motion") + " is missing");
        return false;
    }
    std::string error;
    if (ReadInputFile(*path, file, &error)) return true;
    Fail(*path + ": cannot read: " + error);
    return false;
}

void Paint(CViewerView& view) {
    view.InvalidateRect(nullptr, FALSE);
    view.UpdateWindow();
}

}  // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) return Usage(error);
    if (options.help) {
        std::fputs(kRenderHelp, stdout);
        return 0;
    }

    InstallQuillmoteResources();
    InputFile model;
    InputFile motion;
    if (!LoadInput(options.modelPath, true, &model) || !LoadInput(options.motionPath, false, &motion)) return 1;

    WorkLimits limits = DefaultWorkLimits();
    if (options.maxModelSteps) limits.modelSteps = *options.maxModelSteps;
    if (options.maxFragments) limits.fragments = *options.maxFragments;
    if (options.maxFrames) limits.frames = *options.maxFrames;

    // Every problem of both files, before anything is drawn or written.
    const CheckedInputs checked = CheckInputs(model, motion, limits.modelSteps);
    if (!checked.problems.empty()) {
        for (const InputProblem& p : checked.problems) Fail(p.Line());
        return 1;
    }

    std::vector<ReplayEvent> events;
    if (options.replayPath) {
        std::ifstream in(*options.replayPath, std::ios::binary);
        if (!in) return Fail(*options.replayPath + ": cannot read the mouse log");
        std::stringstream text;
        text << in.rdbuf();
        ReplayParseError parseError;
        if (!ParseReplayLog(text.str(), &events, &parseError))
            return Fail(*options.replayPath + ": line " + std::to_string(parseError.line) + ": " + parseError.reason);
    }

    CHeadlessViewer viewer;
    ViewerFiles files;
    if (!model.embedded) files.model = model.Copy();
    if (!motion.embedded) files.motion = motion.Copy();
    if (!viewer.Create(options.width, options.height, std::move(files))) return Fail("the view could not be created");
    AfxPumpMessages();
    CViewerView& view = viewer.View();
    if (!view.m_context.IsOpen()) return Fail("the drawing device could not be opened");

    ApplyWorkLimits(view, limits);

    const uint32_t frameCount = view.MotionFrameCount();
    const uint32_t lastFrame = frameCount >= 2 ? frameCount - 2 : 0;
    if (options.frame && static_cast<uint64_t>(*options.frame) > lastFrame)
        return Usage("--frame " + std::to_string(*options.frame) + " is past the last frame the viewer shows (" +
                     std::to_string(lastFrame) + ")");

    for (const ReplayEvent& e : events) {
        if (e.kind == ReplayEvent::Kind::Down) view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(e.x, e.y));
        else view.SendMessage(WM_MOUSEMOVE, e.leftButton ? MK_LBUTTON : 0, MAKELPARAM(e.x, e.y));
    }
    if (options.frame) view.m_frame = static_cast<float>(*options.frame);
    if (options.angleX) view.m_angleX = *options.angleX;
    if (options.angleY) view.m_angleY = *options.angleY;

    if (options.benchmarkFrames) {
        const int64_t n = *options.benchmarkFrames;
        std::vector<double> ms;
        ms.reserve(static_cast<size_t>(n));
        const uint64_t fragmentsBefore = FragmentCount(view);
        for (int64_t i = 0; i < n; ++i) {
            // A mouse move advances the frame and asks for a paint; the paint is what is timed.
            view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<int>(i % 640), 240));
            const auto start = std::chrono::steady_clock::now();
            view.UpdateWindow();
            const auto end = std::chrono::steady_clock::now();
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            const std::string limit = FrameLimitReached(view, limits, static_cast<uint32_t>(view.m_frame));
            if (!limit.empty()) return Fail(limit);
        }
        const uint64_t fragments = FragmentCount(view) - fragmentsBefore;
        std::sort(ms.begin(), ms.end());
        const double median = ms[ms.size() / 2];
        const double p95 = ms[std::min(ms.size() - 1, static_cast<size_t>(static_cast<double>(ms.size()) * 0.95))];
        std::printf("frames %lld median_ms %.3f p95_ms %.3f fragments %llu\n", static_cast<long long>(n), median, p95,
                    static_cast<unsigned long long>(fragments));
        return 0;
    }

    if (!options.allFrames) {
        Paint(view);
        const std::string limit = FrameLimitReached(view, limits, static_cast<uint32_t>(view.m_frame));
        if (!limit.empty()) return Fail(limit);
        if (!WritePictureFile(*options.output, GrabPicture(view), &error)) return Fail(*options.output + ": " + error);
        return 0;
    }

    // Every frame the viewer shows, streamed to its file(s) as it is drawn.
    const std::string tooMany = FrameCountLimitReached(uint64_t{lastFrame} + 1, frameCount, limits);
    if (!tooMany.empty()) return Fail(tooMany);
    const bool progress = isatty(STDERR_FILENO) != 0;
    png::ApngWriter animation;
    FrameFiles frames;
    if (options.animation && !animation.Open(*options.animation, options.width, options.height, 3, &error))
        return Fail(*options.animation + ": " + error);
    for (uint32_t f = 0; f <= lastFrame; ++f) {
        view.m_frame = static_cast<float>(f);
        Paint(view);
        const std::string limit = FrameLimitReached(view, limits, f);
        if (!limit.empty()) return Fail(limit);
        const png::Image picture = GrabPicture(view);
        if (options.animation) {
            if (!animation.AddFrame(picture.pixels.data(), &error)) return Fail(*options.animation + ": " + error);
        } else if (!frames.Add(FramePath(*options.output, f, lastFrame), picture, &error)) {
            return Fail(error);
        }
        if (progress) std::fprintf(stderr, "\rquillmote-render: frame %u of %u", f + 1, lastFrame + 1);
    }
    if (progress) std::fputc('\n', stderr);
    if (options.animation) {
        if (!animation.Finish(&error)) return Fail(*options.animation + ": " + error);
    } else if (!frames.Commit(&error)) {
        return Fail(error);
    }
    return 0;
}
