// The user-interface resources of a program (menus, accelerator tables, toolbars, dialog
// templates and the string table) as plain data the window framework reads by id.
//
// A program installs its table once (AfxSetUiResources) before it loads frames or dialogs;
// texts are UTF-8.
#pragma once

#include "platform/win/Win32Types.h"

#include <cstddef>
#include <span>
#include <string>

// Menu item flags.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_SEPARATOR = 0x0800;

struct MenuItemTemplate {
    UINT flags;            // MF_STRING, MF_SEPARATOR or MF_POPUP
    const char* text;      // "&" marks the mnemonic; a tab separates the accelerator text
    UINT id;               // command id (0 for separators and popups)
    std::span<const MenuItemTemplate> items;  // a popup's items
};

struct MenuTemplate {
    UINT id;
    std::span<const MenuItemTemplate> popups;
};

// Accelerator flags (all entries here are virtual-key entries).
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

struct ACCEL {
    BYTE fVirt;
    WORD key;  // virtual key
    WORD cmd;
};

struct AcceleratorTemplate {
    UINT id;
    std::span<const ACCEL> entries;
};

// Toolbar: button size and the command of each button, ID_SEPARATOR for a gap. The n-th
// non-separator button shows the n-th image of the bitmap with the same id.
struct ToolBarTemplate {
    UINT id;
    int buttonWidth;
    int buttonHeight;
    std::span<const UINT> items;
};

// Dialog controls, in dialog units.
enum class DialogControlKind { Icon, Static, PushButton };

struct DialogControlTemplate {
    DialogControlKind kind;
    const char* text;   // static text or button caption
    int id;             // control id (IDOK, IDC_STATIC...)
    UINT resourceId;    // icon resource for Icon
    DWORD style;        // SS_NOPREFIX, BS_DEFPUSHBUTTON...
    int x, y, cx, cy;
};

struct DialogTemplate {
    UINT id;
    DWORD style;
    int cx, cy;                 // size in dialog units
    const char* caption;
    const char* fontName;
    int fontPointSize;
    std::span<const DialogControlTemplate> controls;
};

struct StringTableEntry {
    UINT id;
    const char* text;
};

struct UiResourceTable {
    WORD language;
    std::span<const MenuTemplate> menus;
    std::span<const AcceleratorTemplate> accelerators;
    std::span<const ToolBarTemplate> toolBars;
    std::span<const DialogTemplate> dialogs;
    std::span<const StringTableEntry> strings;
};

// Installs the program's table (null removes it). The table must outlive every use.
void AfxSetUiResources(const UiResourceTable* table);
const UiResourceTable* AfxGetUiResources();

// Lookups by id; null (or false) when the table or the entry is missing.
const MenuTemplate* AfxFindMenu(UINT id);
const AcceleratorTemplate* AfxFindAccelerators(UINT id);
const ToolBarTemplate* AfxFindToolBar(UINT id);
const DialogTemplate* AfxFindDialog(UINT id);
// The string with id `id`, or false when there is none (the output is then empty).
bool AfxLoadString(UINT id, std::string& out);

// "&Edit\tCtrl+Z" -> "Edit" and "Ctrl+Z"; "&&" stays one "&".
std::string AfxMenuTextWithoutMnemonic(const char* text);
