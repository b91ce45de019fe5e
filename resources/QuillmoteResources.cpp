#include "resources/QuillmoteResources.h"

extern const unsigned char kQuillmoteModel[];
extern const unsigned int kQuillmoteModelSize;
extern const unsigned char kQuillmoteMotion[];
extern const unsigned int kQuillmoteMotionSize;
extern const unsigned char kTextureColour[];
extern const unsigned int kTextureColourSize;
extern const unsigned char kTextureAlpha[];
extern const unsigned int kTextureAlphaSize;
extern const unsigned char kToolbarBitmap[];
extern const unsigned int kToolbarBitmapSize;
extern const unsigned char kProgramIcon[];
extern const unsigned int kProgramIconSize;

namespace {

// Built on first use, so lookups from other static initialisers find it filled in.
const ResourceModule& Module() {
    static const ResourceEntry entries[] = {
        {ResourceName("modeldata"), ResourceIntId(132), QM_UI_LANGUAGE, kQuillmoteModel, kQuillmoteModelSize},
        {ResourceName("motiondata"), ResourceIntId(133), QM_UI_LANGUAGE, kQuillmoteMotion, kQuillmoteMotionSize},
        {ResourceName("bmpdata"), ResourceIntId(138), QM_UI_LANGUAGE, kTextureColour, kTextureColourSize},
        {ResourceName("bmpdata"), ResourceIntId(140), QM_UI_LANGUAGE, kTextureAlpha, kTextureAlphaSize},
        {ResourceIntId(RT_BITMAP_ID), ResourceIntId(128), QM_UI_LANGUAGE, kToolbarBitmap, kToolbarBitmapSize},
        {ResourceIntId(RT_GROUP_ICON_ID), ResourceIntId(128), QM_UI_LANGUAGE, kProgramIcon, kProgramIconSize},
    };
    static const ResourceModule module{entries, sizeof entries / sizeof entries[0], nullptr};
    return module;
}

}  // namespace

const ResourceModule* QuillmoteResources() { return &Module(); }

void InstallQuillmoteResources() { SetProgramResourceModule(QuillmoteResources()); }
