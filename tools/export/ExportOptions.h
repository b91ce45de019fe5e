// Command line of quillmote-export.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ExportOptions {
    std::optional<std::string> modelPath;   // absent: the embedded model
    std::optional<std::string> motionPath;  // absent: the embedded motion
    std::string output;                     // -o: OUT.glb, or OUT.gltf with OUT.bin beside it
    bool keysOnly = false;
    float framesPerSecond = 30.0f;
    bool help = false;
    bool version = false;
};

constexpr float kMaxFramesPerSecond = 1000.0f;

// Parses argv[1..]. On a usage error returns false with a one-line reason in `error`.
bool ParseExportOptions(const std::vector<std::string>& args, ExportOptions* options, std::string* error);

// True when `path` names a .gltf document (else a .glb); the extension is checked by the parser.
bool IsGltfText(const std::string& path);

extern const char kExportUsage[];
extern const char kExportHelp[];
