#include "tools/thumbnail/ThumbnailOptions.h"

#include "tools/files/CommandLine.h"
#include "tools/thumbnail/ThumbnailScene.h"

#include <charconv>

const char kThumbnailUsage[] =
    "usage: quillmote-thumbnail [-s SIZE] INPUT OUTPUT\n"
    "       quillmote-thumbnail --help | --version\n";

const char kThumbnailHelp[] =
    "Usage: quillmote-thumbnail [-s SIZE] INPUT OUTPUT\n"
    "quillmote-thumbnail: a PNG preview of a chunk model file, for file managers.\n"
    "\n"
    "Draws the model of INPUT alone, lit as the viewer lights it and turned towards the viewer's\n"
    "camera, framed so that all it draws fills the picture, on a transparent background, and\n"
    "writes it to OUTPUT as a SIZE x SIZE RGBA PNG. The pose is frame 0 of the motion beside the\n"
    "model (the same name with the extension .motion) when there is one, else the pose stored in\n"
    "the model.\n"
    "\n"
    "Options:\n"
    "  -s, --size SIZE   side of the picture in pixels, 1 to 1024 (default 128)\n"
    "  -h, --help        show this help\n"
    "  --version         show the version\n"
    "\n"
    "Both files are checked as the other quillmote tools check them (chunk framing, pointers\n"
    "and relocations, node tree, work buffer and matrix stack bounds, motion against the tree);\n"
    "each problem is one line on standard error with the file, the byte offset and the reason.\n"
    "OUTPUT is written whole or not at all.\n"
    "\n"
    "Exit status: 0 done; 1 a bad or unreadable input, a model that draws nothing, or an output\n"
    "that could not be written; 2 a usage error.\n";

bool ParseThumbnailOptions(const std::vector<std::string>& args, ThumbnailOptions* options, std::string* error) {
    *options = ThumbnailOptions{};
    bool sizeGiven = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--version") {
            options->version = true;
        } else if (arg == "-s" || arg == "--size") {
            std::string v;
            if (!FirstTime(arg, sizeGiven, error) || !TakeOptionValue(args, i, &v, error)) return false;
            int64_t n = 0;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (v.empty() || ec != std::errc() || end != v.data() + v.size() || n < kMinThumbnailSize ||
                n > kMaxThumbnailSize) {
                *error = arg + " needs a size from " + std::to_string(kMinThumbnailSize) + " to " +
                         std::to_string(kMaxThumbnailSize) + " pixels, not '" + v + "'";
                return false;
            }
            options->size = static_cast<int32_t>(n);
            sizeGiven = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option '" + arg + "'";
            return false;
        } else {
            files.push_back(arg);
        }
    }
    if (options->help || options->version) return true;
    if (files.size() != 2) {
        *error = files.size() < 2 ? "needs an INPUT model file and an OUTPUT png" : "too many files";
        return false;
    }
    if (files[0].empty() || files[1].empty()) {
        *error = "empty file name";
        return false;
    }
    options->input = files[0];
    options->output = files[1];
    return true;
}

std::string MotionBeside(const std::string& modelPath) {
    const size_t slash = modelPath.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = modelPath.find_last_of('.');
    // A dot that starts the name (a hidden file) is not an extension.
    if (dot == std::string::npos || dot <= nameStart) return modelPath + ".motion";
    return modelPath.substr(0, dot) + ".motion";
}
