#include "tools/render/FrameOutput.h"

#include "app/ViewerView.h"
#include "platform/d3d/Device.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// A temporary name beside the target (same directory, so the rename stays on one file system).
std::string PartPath(const std::string& path) { return path + ".part-" + std::to_string(getpid()); }

}  // namespace

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
    const std::string part = PartPath(path);
    if (!png::WritePng(part, image, error)) {
        std::remove(part.c_str());
        return false;
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        *error = std::string("cannot write: ") + std::strerror(errno);
        std::remove(part.c_str());
        return false;
    }
    return true;
}

FrameFiles::~FrameFiles() {
    for (const std::string& part : m_parts) std::remove(part.c_str());
}

bool FrameFiles::Add(const std::string& path, const png::Image& image, std::string* error) {
    const std::string part = PartPath(path);
    m_paths.push_back(path);
    m_parts.push_back(part);
    std::string reason;
    if (!png::WritePng(part, image, &reason)) {
        *error = path + ": " + reason;
        return false;
    }
    return true;
}

bool FrameFiles::Commit(std::string* error) {
    for (size_t i = 0; i < m_parts.size(); ++i) {
        if (std::rename(m_parts[i].c_str(), m_paths[i].c_str()) != 0) {
            *error = m_paths[i] + ": cannot write: " + std::strerror(errno);
            // What was renamed stays (each file is whole); the rest is removed.
            m_parts.erase(m_parts.begin(), m_parts.begin() + static_cast<std::ptrdiff_t>(i));
            return false;
        }
    }
    m_parts.clear();
    return true;
}

uint64_t FragmentCount(CViewerView& view) {
    if (!view.m_context.IsOpen() || view.m_context.m_device == nullptr) return 0;
    return static_cast<platform::Device*>(view.m_context.m_device)->FragmentCount();
}
