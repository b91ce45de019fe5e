#include "platform/win/Resources.h"


namespace {

HMODULE g_programModule = nullptr;

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualNoCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (UpperAscii(*a) != UpperAscii(*b)) return false;
    }
    return *a == *b;
}

// "#123" names the integer id 123, as Win32 reads it. Anything else (or an out-of-range
// number) stays a string.
bool ParseHashId(const char* text, WORD* id) {
    if (text[0] != '#' || text[1] == '\0') return false;
    uint32_t value = 0;
    for (const char* p = text + 1; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<uint32_t>(*p - '0');
        if (value > 0xFFFF) return false;
    }
    *id = static_cast<WORD>(value);
    return true;
}

// A lookup key decoded from the LPCSTR form of the Win32 calls.
struct Key {
    const char* text = nullptr;
    WORD id = 0;
    bool valid = false;
};

Key DecodeKey(LPCSTR p) {
    Key key;
    if (p == nullptr) return key;  // integer id 0 is not a valid resource id
    if (IS_INTRESOURCE(p)) {
        key.id = static_cast<WORD>(reinterpret_cast<uintptr_t>(p));
        key.valid = true;
        return key;
    }
    WORD id = 0;
    if (ParseHashId(p, &id)) {
        key.id = id;
    } else {
        key.text = p;
    }
    key.valid = true;
    return key;
}

bool Matches(const ResourceId& stored, const Key& key) {
    if (stored.text == nullptr || key.text == nullptr) return stored.text == nullptr && key.text == nullptr && stored.id == key.id;
    return EqualNoCase(stored.text, key.text);
}

HMODULE Resolve(HMODULE module) { return module != nullptr ? module : g_programModule; }

// First entry with this type and name whose language satisfies `accept`, across the chain.
template <class Accept>
HRSRC FindIn(HMODULE module, const Key& type, const Key& name, Accept accept) {
    // A chain that loops back on itself is cut after a generous number of tables.
    int tables = 0;
    for (HMODULE m = module; m != nullptr && tables < 256; m = m->next, ++tables) {
        if (m->entries == nullptr) continue;
        for (size_t i = 0; i < m->count; ++i) {
            const ResourceEntry& e = m->entries[i];
            if (Matches(e.type, type) && Matches(e.name, name) && accept(e.language)) return &e;
        }
    }
    return nullptr;
}

HRSRC FindWithFallback(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    const HMODULE m = Resolve(module);
    const Key typeKey = DecodeKey(type);
    const Key nameKey = DecodeKey(name);
    if (m == nullptr || !typeKey.valid || !nameKey.valid) return nullptr;

    const WORD wanted = language == LANG_NEUTRAL ? QM_UI_LANGUAGE : language;
    const WORD primaryNeutral = MAKELANGID(PRIMARYLANGID(wanted), SUBLANG_NEUTRAL);
    if (HRSRC r = FindIn(m, typeKey, nameKey, [&](WORD l) { return l == wanted; })) return r;
    if (HRSRC r = FindIn(m, typeKey, nameKey, [&](WORD l) { return l == primaryNeutral; })) return r;
    if (HRSRC r = FindIn(m, typeKey, nameKey, [](WORD l) { return PRIMARYLANGID(l) == LANG_NEUTRAL; })) return r;
    if (language == LANG_NEUTRAL) return FindIn(m, typeKey, nameKey, [](WORD) { return true; });
    return nullptr;
}

}  // namespace

HMODULE SetProgramResourceModule(HMODULE module) {
    HMODULE previous = g_programModule;
    g_programModule = module;
    return previous;
}

HMODULE GetProgramResourceModule() { return g_programModule; }

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) { return FindWithFallback(module, type, name, LANG_NEUTRAL); }

HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    return FindWithFallback(module, type, name, language);
}

DWORD SizeofResource(HMODULE, HRSRC resource) { return resource != nullptr ? resource->size : 0; }

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (resource == nullptr) return nullptr;
    // The platform hands out a writable pointer type; the bytes themselves stay read-only.
    return const_cast<BYTE*>(resource->bytes);
}

LPVOID LockResource(HGLOBAL loaded) { return loaded; }
