// Win32 resource lookup over resource tables compiled into the executable.
//
// A module (HMODULE) is a ResourceModule: a table of entries, each with a type (a string name
// or an integer id), a name (an integer id or a string), a language and the resource's bytes.
// A null HMODULE means the program's own module, installed once with SetProgramResourceModule.
//
//     HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(132), "modeldata");
//     DWORD size = SizeofResource(nullptr, found);
//     const void* bytes = LockResource(LoadResource(nullptr, found));
//
// As on Win32: type and name strings compare case-insensitively, "#132" names the integer id
// 132, and a resource stays valid for the life of the program (LoadResource copies nothing;
// the bytes are read-only and must not be written through the pointer LockResource returns).
#pragma once

#include "platform/win/Win32Types.h"

#include <cstddef>
#include <cstdint>

// A type or a name in a table: an integer id when `text` is null, otherwise a string.
struct ResourceId {
    const char* text = nullptr;
    WORD id = 0;
};

constexpr ResourceId ResourceIntId(WORD id) { return ResourceId{nullptr, id}; }
constexpr ResourceId ResourceName(const char* text) { return ResourceId{text, 0}; }

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;            // a LANGID; 0 = neutral
    const BYTE* bytes = nullptr;
    DWORD size = 0;
};

// One module's resources. Lookup searches `entries`, then the tables chained through `next`
// (so separately built tables, such as the shell's, can make up one module).
struct ResourceModule {
    const ResourceEntry* entries = nullptr;
    size_t count = 0;
    const ResourceModule* next = nullptr;
};

using HMODULE = const ResourceModule*;
using HINSTANCE = HMODULE;
using HRSRC = const ResourceEntry*;
using HGLOBAL = void*;

// Integer ids travel in LPCSTR arguments as pointers whose value is below 0x10000.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCSTR p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }

// Predefined resource type ids.
constexpr WORD RT_CURSOR_ID = 1;
constexpr WORD RT_BITMAP_ID = 2;
constexpr WORD RT_ICON_ID = 3;
constexpr WORD RT_MENU_ID = 4;
constexpr WORD RT_DIALOG_ID = 5;
constexpr WORD RT_STRING_ID = 6;
constexpr WORD RT_ACCELERATOR_ID = 9;
constexpr WORD RT_RCDATA_ID = 10;
constexpr WORD RT_GROUP_CURSOR_ID = 12;
constexpr WORD RT_GROUP_ICON_ID = 14;
constexpr WORD RT_TOOLBAR_ID = 241;  // the application framework's toolbar layout

#define RT_CURSOR MAKEINTRESOURCEA(RT_CURSOR_ID)
#define RT_BITMAP MAKEINTRESOURCEA(RT_BITMAP_ID)
#define RT_ICON MAKEINTRESOURCEA(RT_ICON_ID)
#define RT_MENU MAKEINTRESOURCEA(RT_MENU_ID)
#define RT_DIALOG MAKEINTRESOURCEA(RT_DIALOG_ID)
#define RT_STRING MAKEINTRESOURCEA(RT_STRING_ID)
#define RT_ACCELERATOR MAKEINTRESOURCEA(RT_ACCELERATOR_ID)
#define RT_RCDATA MAKEINTRESOURCEA(RT_RCDATA_ID)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(RT_GROUP_CURSOR_ID)
#define RT_GROUP_ICON MAKEINTRESOURCEA(RT_GROUP_ICON_ID)
#define RT_TOOLBAR MAKEINTRESOURCEA(RT_TOOLBAR_ID)

// Language ids.
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD LANG_JAPANESE = 0x11;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr WORD MAKELANGID(WORD primary, WORD sub) { return static_cast<WORD>((sub << 10) | primary); }
constexpr WORD PRIMARYLANGID(WORD lang) { return static_cast<WORD>(lang & 0x3FF); }
constexpr WORD SUBLANGID(WORD lang) { return static_cast<WORD>(lang >> 10); }
// The user interface language this program runs in: Japanese (Japan), 1041.
constexpr WORD QM_UI_LANGUAGE = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// Installs the table a null HMODULE stands for (the program's own resources). Returns the
// previous one. Not thread-safe: call it once at start-up, before any lookup.
HMODULE SetProgramResourceModule(HMODULE module);
HMODULE GetProgramResourceModule();

// Finds a resource by name and type in the user interface language: an entry of language 1041
// if there is one, else one of neutral language, else the first of any language. Null if none.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);

// Finds a resource of the given language: that language exactly, else the same primary language
// with neutral sublanguage, else neutral. Language 0 (neutral) behaves as FindResourceA.
HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);

// Size in bytes of a found resource; 0 for a null handle.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Handle to a found resource's data; null for a null handle.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// Pointer to the first byte of a loaded resource (read-only); null for a null handle.
LPVOID LockResource(HGLOBAL loaded);
