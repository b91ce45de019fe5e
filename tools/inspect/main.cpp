// quillmote-inspect: prints what a chunk model and motion file hold.
#include "resources/QuillmoteResources.h"
#include "tools/inspect/InputFiles.h"
#include "tools/inspect/InspectReport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] = "usage: quillmote-inspect [--model FILE] [--motion FILE] [--json]\n"
                      "       quillmote-inspect --help | --version\n";

const char kHelp[] =
    "quillmote-inspect: a look inside chunk model and motion files.\n"
    "\n"
    "Prints, for the embedded model and motion or the given files: the chunks with their tags,\n"
    "sizes and relocation counts; the node tree in drawing order (index, depth, flags, position,\n"
    "rotation in units and radians, scale, model); per model its vertex chunks (type, flags,\n"
    "entry range) and polygon list (materials with colours, strip chunks, strip and vertex\n"
    "counts, cache and call slots); the motion (frame count, flags, lists per node and, per\n"
    "node, the key counts and frame range of each list).\n"
    "\n"
    "Options:\n"
    "  --model FILE    chunk model file to inspect instead of the embedded model\n"
    "  --motion FILE   chunk motion file to inspect instead of the embedded motion\n"
    "  --json          print the same as one JSON document\n"
    "  -h, --help      show this help\n"
    "  --version       show the version\n"
    "\n"
    "Exit status: 0 both files are sound; 1 a problem was found (one line each on standard\n"
    "error: file, byte offset, reason; what could be read is still printed) or a file could not\n"
    "be read; 2 a usage error.\n";

int Usage(const std::string& error) {
    std::fprintf(stderr, "quillmote-inspect: %s\n%s", error.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string modelPath;
    std::string motionPath;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("quillmote-inspect %s\n", QM_VERSION);
            return 0;
        }
        if (arg == "--json") {
            if (json) return Usage("--json given twice");
            json = true;
        } else if (arg == "--model" || arg == "--motion") {
            std::string& target = arg == "--model" ? modelPath : motionPath;
            if (!target.empty()) return Usage(arg + " given twice");
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage(arg + " needs a file");
            target = argv[++i];
        } else {
            return Usage("unknown option '" + arg + "'");
        }
    }

    InstallQuillmoteResources();
    InputFile model;
    InputFile motion;
    bool readable = true;
    auto load = [&](const std::string& path, bool isModel, InputFile* file) {
        std::string error;
        if (path.empty()) {
            if (!EmbeddedInputFile(isModel, file)) {
                std::fprintf(stderr, "quillmote-inspect: the embedded %s is missing\n", isModel ? "model" : "motion");
                readable = false;
            }
        } else if (!ReadInputFile(path, file, &error)) {
            std::fprintf(stderr, "quillmote-inspect: %s: cannot read: %s\n", path.c_str(), error.c_str());
            readable = false;
        }
    };
    load(modelPath, true, &model);
    load(motionPath, false, &motion);
    if (!readable) return 1;

    const InspectReport report = BuildInspectReport(model, motion);
    const std::string out = json ? InspectJson(report) : InspectText(report);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    for (const InputProblem& p : report.problems) std::fprintf(stderr, "quillmote-inspect: %s\n", p.Line().c_str());
    return report.problems.empty() ? 0 : 1;
}
