// Win32 window services on a window handle (a PlatformWindow).
#pragma once

#include "platform/win/Win32Types.h"

// Client rectangle: (0, 0, width, height). FALSE for a null handle.
BOOL GetClientRect(HWND hwnd, LPRECT rect);
// Client to screen coordinates. FALSE for a null handle.
BOOL ClientToScreen(HWND hwnd, LPPOINT point);
