#include "tools/render/FrameOutput.h"

#include "app/ViewerView.h"
#include "platform/d3d/Device.h"

png::Image GrabPicture(CViewerView& view) {
    PlatformWindow* window = view.GetSafeHwnd();
    const SIZE size = window->ClientSize();
    png::Image image(size.cx, size.cy, 3);
    const auto* base = reinterpret_cast<const uint8_t*>(window->ClientPixels());
    for (int32_t y = 0; y < size.cy; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(base + static_cast<size_t>(y) * window->ClientPitchBytes());
        uint8_t* out = image.At(0, y);
        for (int32_t x = 0; x < size.cx; ++x) {
            const uint32_t p = row[x];
            *out++ = static_cast<uint8_t>(p >> 16);
            *out++ = static_cast<uint8_t>(p >> 8);
            *out++ = static_cast<uint8_t>(p);
        }
    }
    return image;
}

bool WritePictureFile(const std::string& path, const png::Image& image, std::string* error) {
    OutputFile file;
    return file.Create(path, error) && png::WritePng(file.Stream(), image, error) && file.Commit(error);
}

FrameFiles::~FrameFiles() = default;

bool FrameFiles::Add(const std::string& path, const png::Image& image, std::string* error) {
    auto file = std::make_unique<OutputFile>();
    std::string reason;
    if (!file->Create(path, &reason) || !png::WritePng(file->Stream(), image, &reason) || !file->Close(&reason)) {
        *error = path + ": " + reason;
        return false;
    }
    m_files.push_back(std::move(file));
    return true;
}

bool FrameFiles::Commit(std::string* error) {
    // What was renamed stays (each file is whole); the rest is removed with its OutputFile.
    for (const std::unique_ptr<OutputFile>& file : m_files) {
        std::string reason;
        if (!file->Commit(&reason)) {
            *error = file->Target() + ": " + reason;
            return false;
        }
    }
    m_files.clear();
    return true;
}

uint64_t FragmentCount(CViewerView& view) {
    if (!view.m_context.IsOpen() || view.m_context.m_device == nullptr) return 0;
    return static_cast<platform::Device*>(view.m_context.m_device)->FragmentCount();
}
