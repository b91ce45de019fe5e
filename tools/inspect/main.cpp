// quillmote-inspect: prints what a chunk model and motion file hold.
#include "resources/QuillmoteResources.h"
#include "tools/files/CommandLine.h"
#include "tools/files/TerminalText.h"
#include "tools/inspect/InputFiles.h"
#include "tools/inspect/InspectOptions.h"
#include "tools/inspect/InspectReport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Say(const std::string& line) { PrintErrorLine("quillmote-inspect: " + line); }

int Usage(const std::string& error) { return UsageError("quillmote-inspect", error, kInspectUsage); }

}  // namespace

int main(int argc, char** argv) {
    InspectOptions options;
    std::string error;
    if (!ParseInspectOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) return Usage(error);
    if (AnswerHelpOrVersion(options.help, options.version, kInspectHelp, "quillmote-inspect")) return 0;

    InstallQuillmoteResources();
    InputFile model;
    InputFile motion;
    bool readable = true;
    auto load = [&](const std::string& path, bool isModel, InputFile* file) {
        std::string problem;
        if (LoadInputFile(path.empty() ? std::nullopt : std::optional<std::string>(path), isModel, file, &problem)) return;
        Say(problem);
        readable = false;
    };
    load(options.modelPath, true, &model);
    load(options.motionPath, false, &motion);
    if (!readable) return 1;

    const InspectReport report = BuildInspectReport(model, motion);
    const std::string out = options.json ? InspectJson(report) : InspectText(report);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    for (const InputProblem& p : report.problems) Say(p.Line());
    return report.problems.empty() ? 0 : 1;
}
