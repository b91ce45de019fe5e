// quillmote-render: the viewer's picture without a window. Creates the real view on the
// headless window backend, poses it (options or a mouse log fed to its own handlers), paints
// it and writes what its client area shows.
#include "app/HeadlessViewer.h"
#include "platform/d3d/Device.h"
#include "platform/win/HeadlessBackend.h"
#include "resources/QuillmoteResources.h"
#include "tools/files/BoundedRead.h"
#include "tools/files/CommandLine.h"
#include "tools/files/Interrupt.h"
#include "tools/files/OutputFile.h"
#include "tools/files/TerminalText.h"
#include "tools/inspect/InputFiles.h"
#include "tools/render/FrameOutput.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/ReplayLog.h"
#include "tools/render/WorkLimits.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

// Messages echo paths, option values and log text: every line goes out terminal-safe.
int Usage(const std::string& error) { return UsageError("quillmote-render", error, kRenderUsage); }
int Fail(const std::string& line) { return FailLine("quillmote-render", line); }

bool ReadReplayLog(const std::string& path, std::vector<ReplayEvent>* events) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadRegularFile(path, kMaxReplayLogBytes, &bytes, &error)) {
        Fail(path + ": cannot read the mouse log: " + error);
        return false;
    }
    ReplayParseError parseError;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (ParseReplayLog(text, events, &parseError)) return true;
    Fail(path + ": line " + std::to_string(parseError.line) + ": " + parseError.reason);
    return false;
}

// Every file the run would replace, checked before anything is drawn.
bool CheckOutputs(const RenderOptions& options, uint32_t lastFrame) {
    auto check = [](const std::string& target) {
        std::string error;
        if (CheckOutputTarget(target, &error)) return true;
        Fail(target + ": " + error);
        return false;
    };
    if (options.animation) return check(*options.animation);
    if (!options.allFrames) return !options.output || check(*options.output);
    for (uint32_t f = 0; f <= lastFrame; ++f)
        if (!check(FramePath(*options.output, f, lastFrame))) return false;
    return true;
}

bool LoadInput(const std::optional<std::string>& path, bool model, InputFile* file) {
    std::string problem;
    if (LoadInputFile(path, model, file, &problem)) return true;
    Fail(problem);
    return false;
}

// CPU time of every thread of the process: on a shared machine the wall time of a frame also
// holds the time other programs ran.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
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
    if (AnswerHelpOrVersion(options.help, options.version, kRenderHelp, "quillmote-render")) return 0;

    if (options.threads) platform::SetDefaultDrawThreads(*options.threads);
    InstallQuillmoteResources();
    InputFile model;
    InputFile motion;
    if (!LoadInput(options.modelPath, true, &model) || !LoadInput(options.motionPath, false, &motion)) return 1;

    WorkLimits limits = DefaultWorkLimits();
    if (options.maxModelSteps) limits.modelSteps = *options.maxModelSteps;
    if (options.renderSize) limits.fragments = DefaultFragmentLimit(options.renderSize->width, options.renderSize->height);
    if (options.maxFragments) limits.fragments = *options.maxFragments;
    if (options.maxFrames) limits.frames = *options.maxFrames;

    // Every problem of both files, before anything is drawn or written.
    const CheckedInputs checked = CheckInputs(model, motion, limits.modelSteps);
    if (!checked.problems.empty()) {
        for (const InputProblem& p : checked.problems) Fail(p.Line());
        return 1;
    }

    std::vector<ReplayEvent> events;
    if (options.replayPath && !ReadReplayLog(*options.replayPath, &events)) return 1;

    CHeadlessViewer viewer;
    ViewerFiles files;
    if (!model.embedded) files.model = model.Copy();
    if (!motion.embedded) files.motion = motion.Copy();
    if (options.renderSize) viewer.View().SetRenderSize(options.renderSize->width, options.renderSize->height);
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
    if (options.allFrames) {
        // The count first: checking the output of every frame of a motion claiming billions of
        // frames would itself never end.
        const std::string tooMany = FrameCountLimitReached(uint64_t{lastFrame} + 1, frameCount, limits);
        if (!tooMany.empty()) return Fail(tooMany);
    }
    if (!CheckOutputs(options, lastFrame)) return 1;
    // From here on an interrupt stops the run at the next frame; temporary files go with it.
    CatchInterrupts();

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
        std::vector<double> cpuMs;
        ms.reserve(static_cast<size_t>(n));
        cpuMs.reserve(static_cast<size_t>(n));
        const uint64_t fragmentsBefore = FragmentCount(view);
        for (int64_t i = 0; i < n; ++i) {
            // A mouse move advances the frame and asks for a paint; the paint is what is timed.
            view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<int>(i % 640), 240));
            const double cpuStart = ProcessCpuMs();
            const auto start = std::chrono::steady_clock::now();
            view.UpdateWindow();
            const auto end = std::chrono::steady_clock::now();
            cpuMs.push_back(ProcessCpuMs() - cpuStart);
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            const std::string limit = FrameLimitReached(view, limits, static_cast<uint32_t>(view.m_frame));
            if (!limit.empty()) return Fail(limit);
        }
        const uint64_t fragments = FragmentCount(view) - fragmentsBefore;
        std::sort(ms.begin(), ms.end());
        std::sort(cpuMs.begin(), cpuMs.end());
        const double median = ms[ms.size() / 2];
        const double p95 = ms[std::min(ms.size() - 1, static_cast<size_t>(static_cast<double>(ms.size()) * 0.95))];
        std::printf("frames %lld median_ms %.3f p95_ms %.3f fragments %llu cpu_median_ms %.3f\n",
                    static_cast<long long>(n), median, p95, static_cast<unsigned long long>(fragments),
                    cpuMs[cpuMs.size() / 2]);
        return 0;
    }

    if (!options.allFrames) {
        Paint(view);
        const std::string limit = FrameLimitReached(view, limits, static_cast<uint32_t>(view.m_frame));
        if (!limit.empty()) return Fail(limit);
        const png::Image picture = GrabPicture(view);
        if (const int signal = CaughtInterrupt()) return InterruptExitStatus(signal);
        if (!WritePictureFile(*options.output, picture, &error)) return Fail(*options.output + ": " + error);
        return 0;
    }

    // Every frame the viewer shows, streamed to its file(s) as it is drawn.
    const bool progress = isatty(STDERR_FILENO) != 0;
    png::ApngWriter animation;
    OutputFile animationFile;
    FrameFiles frames;
    if (options.animation && (!animationFile.Create(*options.animation, &error) ||
                              !animation.Open(animationFile.Stream(), options.width, options.height, 3, &error)))
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
        if (const int signal = CaughtInterrupt()) {
            if (progress) std::fputc('\n', stderr);
            return InterruptExitStatus(signal);
        }
    }
    if (progress) std::fputc('\n', stderr);
    if (options.animation) {
        if (!animation.Finish(&error) || !animationFile.Commit(&error)) return Fail(*options.animation + ": " + error);
    } else if (!frames.Commit(&error)) {
        return Fail(error);
    }
    return 0;
}
