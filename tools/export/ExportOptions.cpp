#include "tools/export/ExportOptions.h"

#include "tools/files/CommandLine.h"

#include <cmath>
#include <cstdlib>

const char kExportUsage[] =
    "usage: quillmote-export [--model FILE] [--motion FILE] [--keys-only] [--fps N] -o OUT.glb|OUT.gltf\n"
    "       quillmote-export --help | --version\n";

const char kExportHelp[] =
    "quillmote-export: a chunk model and its motion as one glTF 2.0 file.\n"
    "\n"
    "Writes the node tree (nodes node_00, node_01 ... in drawing order, with their stored\n"
    "position, rotation and scale), one skinned mesh (every strip vertex bound to the node or\n"
    "nodes whose vertex chunks wrote it, one material per material chunk, the texture as PNG\n"
    "where a texture chunk names it) and the motion as one animation.\n"
    "\n"
    "Inputs:\n"
    "  --model FILE   chunk model file (default: the embedded model)\n"
    "  --motion FILE  chunk motion file (default: the embedded motion)\n"
    "\n"
    "Output:\n"
    "  -o OUT.glb     one binary file with everything inside\n"
    "  -o OUT.gltf    a JSON file and its buffer OUT.bin beside it\n"
    "  --keys-only    write the motion's own keys instead of one key at every frame; other\n"
    "                 programs then interpolate rotations as quaternions (the shortest way in\n"
    "                 space) where quillmote interpolates angles, so poses between keys differ\n"
    "  --fps N        frames a second of the animation (default 30)\n"
    "  -h, --help     show this help\n"
    "  --version      show the version\n"
    "\n"
    "The same inputs give the same bytes. Output files are written whole or not at all.\n"
    "\n"
    "Exit status: 0 done; 1 a bad input file (one line per problem: file, byte offset, reason)\n"
    "or an output that could not be written; 2 a usage error.\n";

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

}  // namespace

bool IsGltfText(const std::string& path) { return EndsWith(path, ".gltf"); }

bool ParseExportOptions(const std::vector<std::string>& args, ExportOptions* options, std::string* error) {
    bool haveOutput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) { return TakeOptionValue(args, i, out, error); };
        std::string text;
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--version") {
            options->version = true;
        } else if (arg == "--model") {
            if (!value(&text)) return false;
            options->modelPath = text;
        } else if (arg == "--motion") {
            if (!value(&text)) return false;
            options->motionPath = text;
        } else if (arg == "-o") {
            if (!value(&options->output)) return false;
            haveOutput = true;
        } else if (arg == "--keys-only") {
            options->keysOnly = true;
        } else if (arg == "--fps") {
            if (!value(&text)) return false;
            char* end = nullptr;
            const double fps = std::strtod(text.c_str(), &end);
            if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(fps) || fps <= 0.0 ||
                fps > kMaxFramesPerSecond) {
                *error = "--fps takes a number above 0 and at most 1000, not '" + text + "'";
                return false;
            }
            options->framesPerSecond = static_cast<float>(fps);
        } else {
            *error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (options->help || options->version) return true;
    if (!haveOutput) {
        *error = "-o OUT.glb or -o OUT.gltf is required";
        return false;
    }
    if (!EndsWith(options->output, ".glb") && !EndsWith(options->output, ".gltf")) {
        *error = "the output name must end in .glb or .gltf, not '" + options->output + "'";
        return false;
    }
    return true;
}
