// The platform window behind a window handle: what DirectDraw presentation and the Win32
// window services need of a window, independent of how it is shown.
//
// The Qt backend implements it with a widget; the headless backend with a plain buffer, so
// tools and tests can present frames without a display.
#pragma once

#include "platform/win/Win32Types.h"

#include <cstdint>

class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;

    // Client area size in pixels (its top-left is client (0, 0)).
    virtual SIZE ClientSize() const = 0;

    // Screen position of client (0, 0). Screen coordinates are what DirectDraw's primary
    // surface uses; ClientToScreen adds this origin.
    virtual POINT ClientOriginOnScreen() const = 0;

    // The client area's pixels: ClientSize().cy rows of ClientSize().cx 32-bit 0x00RRGGBB
    // values, ClientPitchBytes() apart. Valid until the next resize.
    virtual uint32_t* ClientPixels() = 0;
    virtual int32_t ClientPitchBytes() const = 0;

    // Called after a writer (a blit to the primary surface) changed the client pixels in
    // `rect` (client coordinates), so the window can show them.
    virtual void ClientPixelsChanged(const RECT& rect) = 0;
};
