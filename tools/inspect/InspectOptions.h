// Command line of quillmote-inspect.
#pragma once

#include <string>
#include <vector>

struct InspectOptions {
    std::string modelPath;   // empty: the embedded model
    std::string motionPath;  // empty: the embedded motion
    bool json = false;
    bool help = false;
    bool version = false;
};

// Parses argv[1..]. On a usage error returns false with a one-line reason in `error`.
bool ParseInspectOptions(const std::vector<std::string>& args, InspectOptions* options, std::string* error);

extern const char kInspectUsage[];
extern const char kInspectHelp[];
