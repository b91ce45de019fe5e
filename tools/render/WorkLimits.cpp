#include "tools/render/WorkLimits.h"

#include "app/ViewerView.h"
#include "model/ModelLibrary.h"
#include "platform/d3d/Device.h"

namespace {

platform::Device* DeviceOf(CViewerView& view) {
    if (!view.m_context.IsOpen() || view.m_context.m_device == nullptr) return nullptr;
    return static_cast<platform::Device*>(view.m_context.m_device);
}

}  // namespace

WorkLimits DefaultWorkLimits() { return WorkLimits{kDefaultWorkLimit, platform::kDefaultSceneFragmentLimit, kDefaultFrameLimit}; }

uint64_t DefaultFragmentLimit(int32_t width, int32_t height) {
    const uint64_t area = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    const uint64_t viewerArea = uint64_t{CViewerView::kRenderWidth} * CViewerView::kRenderHeight;
    if (area <= viewerArea) return platform::kDefaultSceneFragmentLimit;
    // Exact while the area stays within the 4096 x 4096 the tool accepts.
    return platform::kDefaultSceneFragmentLimit / viewerArea * area;
}

void ApplyWorkLimits(CViewerView& view, const WorkLimits& limits) {
    mdlSetWorkLimit(limits.modelSteps);
    if (platform::Device* device = DeviceOf(view)) device->SetSceneFragmentLimit(limits.fragments);
}

std::string FrameLimitReached(CViewerView& view, const WorkLimits& limits, uint32_t frame) {
    const std::string at = "frame " + std::to_string(frame) + ": ";
    const ModelState* state = mdlGetState();
    if (state != nullptr && state->workCut)
        return at + "the model asks for more than " + std::to_string(limits.modelSteps) +
               " steps (nodes, chunks and vertices) in one frame; raise the limit with --max-model-steps";
    platform::Device* device = DeviceOf(view);
    if (device != nullptr && device->SceneCutAtFragmentLimit())
        return at + "the picture asks for more than " + std::to_string(limits.fragments) +
               " fragments in one frame; raise the limit with --max-fragments";
    return {};
}

std::string FrameCountLimitReached(uint64_t frames, uint32_t frameCount, const WorkLimits& limits) {
    if (frames <= limits.frames) return {};
    return "the motion has " + std::to_string(frameCount) + " frames: --all-frames would write " +
           std::to_string(frames) + " pictures, more than the limit of " + std::to_string(limits.frames) +
           "; raise it with --max-frames";
}
