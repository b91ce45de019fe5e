// The work a file may make quillmote-render do: steps of the model library per frame,
// fragments of the device per frame, and frames per run. Each limit has a default chosen from
// measurements (docs/tools.md) and an option that raises it.
#pragma once

#include <cstdint>
#include <string>

class CViewerView;

struct WorkLimits {
    uint64_t modelSteps;  // --max-model-steps: model library steps per frame
    uint64_t fragments;   // --max-fragments: fragments per frame
    uint64_t frames;      // --max-frames: pictures one --all-frames run writes
};

// 3600 frames: two minutes at 30 frames a second, about 0.5 GB of 640 x 480 pictures.
constexpr uint64_t kDefaultFrameLimit = 3600;

WorkLimits DefaultWorkLimits();

// The default fragment limit for surfaces of width x height: the same multiple of the picture
// as the viewer's default, never below it.
uint64_t DefaultFragmentLimit(int32_t width, int32_t height);

// Sets the per-frame limits on the model library and on the view's device.
void ApplyWorkLimits(CViewerView& view, const WorkLimits& limits);

// After a paint: one line naming the per-frame limit the frame reached (its picture is then
// incomplete), or an empty string.
std::string FrameLimitReached(CViewerView& view, const WorkLimits& limits, uint32_t frame);

// Before an --all-frames run of `frames` pictures: the line refusing it, or an empty string.
std::string FrameCountLimitReached(uint64_t frames, uint32_t frameCount, const WorkLimits& limits);
