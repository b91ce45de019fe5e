#include "tools/inspect/InspectOptions.h"

const char kInspectUsage[] = "usage: quillmote-inspect [--model FILE] [--motion FILE] [--json]\n"
                             "       quillmote-inspect --help | --version\n";

const char kInspectHelp[] =
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

bool ParseInspectOptions(const std::vector<std::string>& args, InspectOptions* options, std::string* error) {
    *options = InspectOptions{};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options->help = true;
            return true;
        }
        if (arg == "--version") {
            options->version = true;
            return true;
        }
        if (arg == "--json") {
            if (options->json) {
                *error = "--json given twice";
                return false;
            }
            options->json = true;
        } else if (arg == "--model" || arg == "--motion") {
            std::string& target = arg == "--model" ? options->modelPath : options->motionPath;
            if (!target.empty()) {
                *error = arg + " given twice";
                return false;
            }
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                *error = arg + " needs a file";
                return false;
            }
            target = args[++i];
        } else {
            *error = "unknown option '" + arg + "'";
            return false;
        }
    }
    return true;
}
