// The viewer's command line: the user's own model and motion files instead of the embedded
// ones, checked as the tools check them before any window opens.
#pragma once

#include "app/ViewerView.h"

#include <optional>
#include <string>
#include <vector>

struct ViewerOptions {
    std::optional<std::string> modelPath;   // absent: the embedded model
    std::optional<std::string> motionPath;  // absent: the embedded motion
    std::optional<int> threads;             // --threads: 1 or 2 (absent: the device's default)
    bool help = false;
    bool version = false;
};

// Parses argv[1..]. On a usage error returns false with a one-line reason in `error`.
bool ParseViewerOptions(const std::vector<std::string>& args, ViewerOptions* options, std::string* error);

// Reads the files the options name and checks them with their embedded counterparts, as the
// tools do. True with the files for the view (none set when no file was named); false with one
// line per problem ("FILE: offset N: reason") in `problems`. Needs the program's resources.
bool LoadViewerFiles(const ViewerOptions& options, ViewerFiles* files, std::vector<std::string>* problems);

// The files the main frame hands its view at creation (empty: the embedded ones).
void SetViewerStartFiles(ViewerFiles files);
ViewerFiles TakeViewerStartFiles();

extern const char kViewerUsage[];
extern const char kViewerHelp[];
