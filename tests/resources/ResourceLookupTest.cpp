#include "platform/win/Resources.h"
#include "resources/QuillmoteResources.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const BYTE kModel[] = {1, 2, 3, 4, 5};
const BYTE kJapanese[] = {10, 11};
const BYTE kNeutral[] = {20, 21, 22};
const BYTE kEnglish[] = {30};
const BYTE kNamed[] = {40, 41, 42, 43};
const BYTE kChained[] = {50, 51};

constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);  // 1033

const ResourceEntry kEntries[] = {
    {ResourceName("modeldata"), ResourceIntId(132), QM_UI_LANGUAGE, kModel, sizeof kModel},
    // The same resource in three languages, the program's own listed last.
    {ResourceName("greeting"), ResourceIntId(7), kEnglishUs, kEnglish, sizeof kEnglish},
    {ResourceName("greeting"), ResourceIntId(7), LANG_NEUTRAL, kNeutral, sizeof kNeutral},
    {ResourceName("greeting"), ResourceIntId(7), QM_UI_LANGUAGE, kJapanese, sizeof kJapanese},
    {ResourceIntId(RT_BITMAP_ID), ResourceName("Splash"), LANG_NEUTRAL, kNamed, sizeof kNamed},
    {ResourceName("englishonly"), ResourceIntId(9), kEnglishUs, kEnglish, sizeof kEnglish},
};
const ResourceEntry kMoreEntries[] = {
    {ResourceName("extra"), ResourceIntId(1), QM_UI_LANGUAGE, kChained, sizeof kChained},
};
const ResourceModule kMore{kMoreEntries, 1, nullptr};
const ResourceModule kModule{kEntries, sizeof kEntries / sizeof kEntries[0], &kMore};

const BYTE* Bytes(HMODULE m, HRSRC r) { return static_cast<const BYTE*>(LockResource(LoadResource(m, r))); }

// Installs a module for one test and restores the previous one afterwards.
class ProgramModule {
public:
    explicit ProgramModule(HMODULE m) : m_previous(SetProgramResourceModule(m)) {}
    ~ProgramModule() { SetProgramResourceModule(m_previous); }

private:
    HMODULE m_previous;
};

TEST(ResourceLookup, FindsTypedResourceByNumericIdWithItsBytesAndSize) {
    HRSRC r = FindResourceA(&kModule, MAKEINTRESOURCEA(132), "modeldata");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(SizeofResource(&kModule, r), sizeof kModel);
    EXPECT_EQ(Bytes(&kModule, r), kModel);
}

TEST(ResourceLookup, TypeAndNameStringsIgnoreCase) {
    EXPECT_EQ(FindResourceA(&kModule, MAKEINTRESOURCEA(132), "MODELDATA"), FindResourceA(&kModule, MAKEINTRESOURCEA(132), "modeldata"));
    EXPECT_NE(FindResourceA(&kModule, MAKEINTRESOURCEA(132), "ModelData"), nullptr);
    HRSRC named = FindResourceA(&kModule, "SPLASH", RT_BITMAP);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(Bytes(&kModule, named), kNamed);
    EXPECT_EQ(FindResourceA(&kModule, "splash", RT_BITMAP), named);
}

TEST(ResourceLookup, HashNumberStringNamesTheIntegerId) {
    EXPECT_EQ(FindResourceA(&kModule, "#132", "modeldata"), FindResourceA(&kModule, MAKEINTRESOURCEA(132), "modeldata"));
    EXPECT_EQ(FindResourceA(&kModule, "#2", "#133"), nullptr);
    // A malformed number stays a string and matches nothing here.
    EXPECT_EQ(FindResourceA(&kModule, "#13x", "modeldata"), nullptr);
    EXPECT_EQ(FindResourceA(&kModule, "#99999", "modeldata"), nullptr);
}

TEST(ResourceLookup, IntegerIdsAndStringsNeverMatchEachOther) {
    EXPECT_EQ(FindResourceA(&kModule, MAKEINTRESOURCEA(132), RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(&kModule, "132", "modeldata"), nullptr);
    EXPECT_EQ(FindResourceA(&kModule, MAKEINTRESOURCEA(133), "modeldata"), nullptr);
}

TEST(ResourceLookup, MissingResourceGivesNullEverywhere) {
    HRSRC r = FindResourceA(&kModule, MAKEINTRESOURCEA(999), "modeldata");
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(SizeofResource(&kModule, r), 0u);
    EXPECT_EQ(LoadResource(&kModule, r), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);
    EXPECT_EQ(FindResourceA(&kModule, nullptr, "modeldata"), nullptr);
    EXPECT_EQ(FindResourceA(&kModule, MAKEINTRESOURCEA(132), nullptr), nullptr);
}

TEST(ResourceLanguage, PlainLookupPrefersTheProgramsJapaneseThenNeutral) {
    EXPECT_EQ(Bytes(&kModule, FindResourceA(&kModule, MAKEINTRESOURCEA(7), "greeting")), kJapanese);
    // With no Japanese or neutral copy, any language will do.
    EXPECT_EQ(Bytes(&kModule, FindResourceA(&kModule, MAKEINTRESOURCEA(9), "englishonly")), kEnglish);
}

TEST(ResourceLanguage, ExplicitLanguageIsExactThenFallsBackToNeutral) {
    EXPECT_EQ(Bytes(&kModule, FindResourceExA(&kModule, "greeting", MAKEINTRESOURCEA(7), 1041)), kJapanese);
    EXPECT_EQ(Bytes(&kModule, FindResourceExA(&kModule, "greeting", MAKEINTRESOURCEA(7), kEnglishUs)), kEnglish);
    // German is not there: the neutral copy answers.
    EXPECT_EQ(Bytes(&kModule, FindResourceExA(&kModule, "greeting", MAKEINTRESOURCEA(7), MAKELANGID(0x07, SUBLANG_DEFAULT))), kNeutral);
    // Only English exists: a Japanese request finds nothing rather than the wrong language.
    EXPECT_EQ(FindResourceExA(&kModule, "englishonly", MAKEINTRESOURCEA(9), 1041), nullptr);
    EXPECT_NE(FindResourceExA(&kModule, "englishonly", MAKEINTRESOURCEA(9), kEnglishUs), nullptr);
}

TEST(ResourceModules, NullModuleIsTheInstalledProgramModule) {
    {
        ProgramModule none(nullptr);
        EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(132), "modeldata"), nullptr);
    }
    ProgramModule installed(&kModule);
    EXPECT_EQ(GetProgramResourceModule(), &kModule);
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(132), "modeldata");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Bytes(nullptr, r), kModel);
}

TEST(ResourceModules, ChainedTablesAreSearchedAfterTheFirst) {
    HRSRC r = FindResourceA(&kModule, MAKEINTRESOURCEA(1), "extra");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Bytes(&kModule, r), kChained);
    EXPECT_EQ(FindResourceA(&kMore, MAKEINTRESOURCEA(132), "modeldata"), nullptr);
}

TEST(ResourceModules, ChainThatLoopsBackEndsTheSearch) {
    static ResourceModule loop{kMoreEntries, 1, nullptr};
    loop.next = &loop;
    EXPECT_EQ(FindResourceA(&loop, MAKEINTRESOURCEA(5), "absent"), nullptr);
    EXPECT_NE(FindResourceA(&loop, MAKEINTRESOURCEA(1), "extra"), nullptr);
}

TEST(ProgramResources, EveryEmbeddedFileIsFoundInJapanese) {
    ProgramModule installed(nullptr);
    InstallQuillmoteResources();
    struct Wanted {
        LPCSTR type;
        WORD id;
    };
    const Wanted wanted[] = {{"modeldata", 132}, {"motiondata", 133}, {"bmpdata", 138}, {"bmpdata", 140}, {RT_BITMAP, 128}, {RT_GROUP_ICON, 128}};
    for (const Wanted& w : wanted) {
        HRSRC r = FindResourceExA(nullptr, w.type, MAKEINTRESOURCEA(w.id), QM_UI_LANGUAGE);
        ASSERT_NE(r, nullptr) << w.id;
        EXPECT_GT(SizeofResource(nullptr, r), 54u) << w.id;
        EXPECT_NE(LockResource(LoadResource(nullptr, r)), nullptr) << w.id;
    }
    const BYTE* model = Bytes(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(132), "modeldata"));
    EXPECT_EQ(std::memcmp(model, "NJCM", 4), 0);
    const BYTE* motion = Bytes(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(133), "motiondata"));
    EXPECT_EQ(std::memcmp(motion, "NMDM", 4), 0);
}

}  // namespace
