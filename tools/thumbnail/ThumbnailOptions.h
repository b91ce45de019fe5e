// Command line of quillmote-thumbnail: quillmote-thumbnail -s SIZE INPUT OUTPUT, as the
// freedesktop thumbnailer entry runs it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ThumbnailOptions {
    int32_t size = 128;
    std::string input;
    std::string output;
    bool help = false;
    bool version = false;
};

// Parses argv[1..]. On a usage error returns false with a one-line reason in `error`.
bool ParseThumbnailOptions(const std::vector<std::string>& args, ThumbnailOptions* options, std::string* error);

// The motion that goes with a model: the same path with its extension (if any) replaced by
// ".motion" ("dir/a.model" -> "dir/a.motion", "dir/a" -> "dir/a.motion").
std::string MotionBeside(const std::string& modelPath);

extern const char kThumbnailUsage[];
extern const char kThumbnailHelp[];
