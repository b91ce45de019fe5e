#include "tools/author/Assets.h"

#include "tools/author/Character.h"
#include "tools/author/Dance.h"
#include "tools/author/Images.h"
#include "tools/author/StoredFiles.h"

namespace author {

std::vector<AuthoredFile> AuthorAssets() {
    const Character character = BuildCharacter();
    const Dance dance = BuildDance(character);
    const Picture texture = TexturePicture();
    return {
        {"quillmote.model", WriteModelFile(character)},
        {"quillmote.motion", WriteMotionFile(dance)},
        {"texture-colour.bmp", TextureColorBmp(texture)},
        {"texture-alpha.bmp", TextureAlphaBmp(texture)},
        {"toolbar.bmp", EncodeBmp24(ToolbarPicture())},
        {"icon.png", EncodePngStored(IconPicture())},
    };
}

}  // namespace author
