#include "platform/win/HeadlessWindow.h"

#include <algorithm>

HeadlessWindow::HeadlessWindow(int32_t width, int32_t height, POINT screenOrigin, uint32_t background)
    : m_width(0), m_height(0), m_origin(screenOrigin), m_background(background) {
    Resize(width, height);
}

void HeadlessWindow::Resize(int32_t width, int32_t height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixels.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), m_background);
}

void HeadlessWindow::Fill(uint32_t color) {
    m_background = color;
    std::fill(m_pixels.begin(), m_pixels.end(), color);
}

void HeadlessWindow::ClientPixelsChanged(const RECT& rect) {
    if (m_changeCount == 0) {
        m_changed = rect;
    } else {
        m_changed.left = std::min(m_changed.left, rect.left);
        m_changed.top = std::min(m_changed.top, rect.top);
        m_changed.right = std::max(m_changed.right, rect.right);
        m_changed.bottom = std::max(m_changed.bottom, rect.bottom);
    }
    ++m_changeCount;
}
