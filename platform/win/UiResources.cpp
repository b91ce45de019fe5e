#include "platform/win/UiResources.h"

namespace {
const UiResourceTable* g_table = nullptr;

template <typename T>
const T* FindById(std::span<const T> items, UINT id) {
    for (const T& item : items) {
        if (item.id == id) return &item;
    }
    return nullptr;
}
}  // namespace

void AfxSetUiResources(const UiResourceTable* table) { g_table = table; }
const UiResourceTable* AfxGetUiResources() { return g_table; }

const MenuTemplate* AfxFindMenu(UINT id) { return g_table ? FindById(g_table->menus, id) : nullptr; }
const AcceleratorTemplate* AfxFindAccelerators(UINT id) {
    return g_table ? FindById(g_table->accelerators, id) : nullptr;
}
const ToolBarTemplate* AfxFindToolBar(UINT id) { return g_table ? FindById(g_table->toolBars, id) : nullptr; }
const DialogTemplate* AfxFindDialog(UINT id) { return g_table ? FindById(g_table->dialogs, id) : nullptr; }

bool AfxLoadString(UINT id, std::string& out) {
    out.clear();
    if (!g_table) return false;
    const StringTableEntry* entry = FindById(g_table->strings, id);
    if (!entry || !entry->text) return false;
    out = entry->text;
    return true;
}

std::string AfxMenuTextWithoutMnemonic(const char* text) {
    std::string out;
    if (!text) return out;
    for (const char* p = text; *p && *p != '\t'; ++p) {
        if (*p == '&') {
            if (p[1] == '&') {
                out += '&';
                ++p;
            }
            continue;
        }
        out += *p;
    }
    return out;
}
