#include "app/shell/ViewerOptions.h"

#include "tools/files/CommandLine.h"
#include "tools/inspect/InputFiles.h"

#include <utility>

const char kViewerUsage[] =
    "usage: quillmote [--model FILE] [--motion FILE] [--threads N]\n"
    "       quillmote --help | --version\n";

const char kViewerHelp[] =
    "Usage: quillmote [--model FILE] [--motion FILE] [--threads N]\n"
    "quillmote: plays back quillmote, a little 3D songbird, dancing in front of two textured panels.\n"
    "\n"
    "The model, its dance and its texture are carried inside the program. Move the mouse over the\n"
    "picture and the dance advances one frame per move; drag with the left button to turn the\n"
    "scene (0.01 radian per pixel). Nothing moves while the mouse is still. The menu, toolbar,\n"
    "status bar and About box are in Japanese.\n"
    "\n"
    "Options:\n"
    "  --model FILE   chunk model file to show instead of the embedded model\n"
    "  --motion FILE  chunk motion file to play instead of the embedded motion\n"
    "  --threads N    draw with 1 or 2 threads (default 1; 2 splits each scene in two bands); the\n"
    "                 pictures are the same either way\n"
    "  -h, --help     show this help\n"
    "  --version      show the version\n"
    "\n"
    "A file that cannot be shown is refused before the window opens: one line per problem with\n"
    "the file, the byte offset and the reason. It needs a display (X11 or Wayland); without one\n"
    "it says so in one line. Under xvfb-run it runs without a screen.\n"
    "\n"
    "Exit status: 0 when the window was closed; 1 no display or a file that cannot be shown;\n"
    "2 a usage error.\n";

namespace {

ViewerFiles g_startFiles;

}  // namespace

bool ParseViewerOptions(const std::vector<std::string>& args, ViewerOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--version") {
            options->version = true;
        } else if (arg == "--threads") {
            if (i + 1 >= args.size() || (args[i + 1] != "1" && args[i + 1] != "2")) {
                *error = "--threads needs 1 or 2";
                return false;
            }
            options->threads = args[++i] == "1" ? 1 : 2;
        } else if (arg == "--model" || arg == "--motion") {
            std::string path;
            if (!TakeOptionValue(args, i, &path, error)) return false;
            (arg == "--model" ? options->modelPath : options->motionPath) = std::move(path);
        } else {
            *error = "unknown option '" + arg + "'";
            return false;
        }
    }
    return true;
}

bool LoadViewerFiles(const ViewerOptions& options, ViewerFiles* files, std::vector<std::string>* problems) {
    if (!options.modelPath && !options.motionPath) return true;
    InputFile model;
    InputFile motion;
    auto load = [&](const std::optional<std::string>& path, bool isModel, InputFile* file) {
        std::string problem;
        if (LoadInputFile(path, isModel, file, &problem)) return true;
        problems->push_back(problem);
        return false;
    };
    const bool modelRead = load(options.modelPath, true, &model);
    const bool motionRead = load(options.motionPath, false, &motion);
    if (!modelRead || !motionRead) return false;
    const CheckedInputs checked = CheckInputs(model, motion);
    for (const InputProblem& p : checked.problems) problems->push_back(p.Line());
    if (!checked.problems.empty()) return false;
    if (options.modelPath) files->model = model.Copy();
    if (options.motionPath) files->motion = motion.Copy();
    return true;
}

void SetViewerStartFiles(ViewerFiles files) { g_startFiles = std::move(files); }

ViewerFiles TakeViewerStartFiles() { return std::exchange(g_startFiles, ViewerFiles{}); }
