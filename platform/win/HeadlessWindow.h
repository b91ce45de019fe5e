// A platform window without a display: the client area is a plain pixel buffer.
// Tools and tests present frames into it and read the pixels back.
#pragma once

#include "platform/win/PlatformWindow.h"

#include <cstdint>
#include <vector>

class HeadlessWindow : public PlatformWindow {
public:
    // A client area of width x height pixels whose top-left sits at `screenOrigin`, filled
    // with `background` (0x00RRGGBB).
    HeadlessWindow(int32_t width, int32_t height, POINT screenOrigin = {0, 0}, uint32_t background = 0);

    // New client size; the pixels are refilled with the background.
    void Resize(int32_t width, int32_t height);
    void MoveTo(POINT screenOrigin) { m_origin = screenOrigin; }
    void Fill(uint32_t color);

    uint32_t Pixel(int32_t x, int32_t y) const { return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)]; }
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }
    // How many times a writer reported changed pixels, and the union of what it reported.
    int32_t ChangeCount() const { return m_changeCount; }
    RECT ChangedRect() const { return m_changed; }

    SIZE ClientSize() const override { return {m_width, m_height}; }
    POINT ClientOriginOnScreen() const override { return m_origin; }
    uint32_t* ClientPixels() override { return m_pixels.data(); }
    int32_t ClientPitchBytes() const override { return m_width * 4; }
    void ClientPixelsChanged(const RECT& rect) override;

private:
    int32_t m_width;
    int32_t m_height;
    POINT m_origin;
    uint32_t m_background;
    std::vector<uint32_t> m_pixels;
    int32_t m_changeCount = 0;
    RECT m_changed{0, 0, 0, 0};
};
