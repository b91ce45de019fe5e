#include "platform/win/WindowServices.h"

#include "platform/win/PlatformWindow.h"

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    if (hwnd == nullptr || rect == nullptr) return FALSE;
    const SIZE size = hwnd->ClientSize();
    *rect = RECT{0, 0, size.cx, size.cy};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    if (hwnd == nullptr || point == nullptr) return FALSE;
    const POINT origin = hwnd->ClientOriginOnScreen();
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}
