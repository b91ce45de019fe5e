// What quillmote-inspect prints: chunks, node tree, per-model vertex and polygon chunks and the
// motion, as text or as one JSON document.
#pragma once

#include "data/ChunkFile.h"
#include "model/ModelInspect.h"
#include "tools/inspect/InputFiles.h"

#include <optional>
#include <string>
#include <vector>

struct FileChunks {
    std::vector<ChunkInfo> chunks;
    LoadResult listing;  // where listing stopped, if it did
};

struct InspectReport {
    const InputFile* model = nullptr;
    const InputFile* motion = nullptr;
    FileChunks modelChunks;
    FileChunks motionChunks;
    std::optional<ModelReport> tree;     // when the model loaded
    std::optional<MotionReport> dance;   // when the motion loaded
    std::vector<InputProblem> problems;
};

// Everything about both files (the checks of CheckInputs included).
InspectReport BuildInspectReport(const InputFile& model, const InputFile& motion);

std::string InspectText(const InspectReport& report);
std::string InspectJson(const InspectReport& report);

// Model angle units (65536 per 6.28 radians) in radians, as the drawing converts them.
float UnitsToRadians(int32_t units);
