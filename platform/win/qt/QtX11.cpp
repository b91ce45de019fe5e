// X11 specifics: lock key states from the XKB indicator state on Qt's own connection.
// Elsewhere (offscreen, Wayland) lock states cannot be known.
#include "platform/win/qt/QtInternal.h"

#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef QM_HAVE_XCB_XKB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
// The XKB header names a field `explicit`, which C++ reserves.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
#endif

namespace {
#ifdef QM_HAVE_XCB_XKB
struct IndicatorBits {
    bool known = false;
    bool usable = false;
    int caps = -1;
    int num = -1;
    int scroll = -1;
    int kana = -1;
};

xcb_connection_t* QtConnection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::string AtomName(xcb_connection_t* c, xcb_atom_t atom) {
    xcb_get_atom_name_reply_t* reply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr);
    if (!reply) return {};
    std::string name(xcb_get_atom_name_name(reply), static_cast<size_t>(xcb_get_atom_name_name_length(reply)));
    std::free(reply);
    return name;
}

// Which indicator bit is which lock, from the keyboard's indicator names.
IndicatorBits ReadIndicatorBits(xcb_connection_t* c) {
    IndicatorBits bits;
    bits.known = true;
    xcb_xkb_use_extension_reply_t* use =
        xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr);
    const bool supported = use && use->supported;
    std::free(use);
    if (!supported) return bits;
    xcb_xkb_get_names_reply_t* names = xcb_xkb_get_names_reply(
        c, xcb_xkb_get_names(c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_NAME_DETAIL_INDICATOR_NAMES), nullptr);
    if (!names) return bits;
    xcb_xkb_get_names_value_list_t list;
    std::memset(&list, 0, sizeof list);
    xcb_xkb_get_names_value_list_unpack(xcb_xkb_get_names_value_list(names), names->nTypes, names->indicators,
                                        names->virtualMods, names->groupNames, names->nKeys, names->nKeyAliases,
                                        names->nRadioGroups, names->which, &list);
    int next = 0;
    const int count = xcb_xkb_get_names_value_list_indicator_names_length(names, &list);
    for (int bit = 0; bit < 32 && next < count; ++bit) {
        if (!(names->indicators & (1u << bit))) continue;
        const std::string name = AtomName(c, list.indicatorNames[next++]);
        if (name == "Caps Lock") bits.caps = bit;
        if (name == "Num Lock") bits.num = bit;
        if (name == "Scroll Lock") bits.scroll = bit;
        if (name == "Kana") bits.kana = bit;
    }
    std::free(names);
    bits.usable = true;
    return bits;
}
#endif
}  // namespace

int QtQueryLockKey(UINT vk) {
#ifdef QM_HAVE_XCB_XKB
    xcb_connection_t* c = QtConnection();
    if (!c) return -1;
    static IndicatorBits bits;
    if (!bits.known) bits = ReadIndicatorBits(c);
    if (!bits.usable) return -1;
    int bit = -1;
    switch (vk) {
        case VK_CAPITAL: bit = bits.caps; break;
        case VK_NUMLOCK: bit = bits.num; break;
        case VK_SCROLL: bit = bits.scroll; break;
        case VK_KANA: bit = bits.kana; break;
        default: break;
    }
    if (bit < 0) return -1;
    xcb_xkb_get_indicator_state_reply_t* state =
        xcb_xkb_get_indicator_state_reply(c, xcb_xkb_get_indicator_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr);
    if (!state) return -1;
    const int on = (state->state >> bit) & 1u;
    std::free(state);
    return on;
#else
    (void)vk;
    return -1;
#endif
}
