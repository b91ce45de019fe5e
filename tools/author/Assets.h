// Every file the viewer embeds, authored from source. `quillmote-author --out resources/assets`
// writes them; the resource tests compare what the build embedded with AuthorAssets().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace author {

struct AuthoredFile {
    std::string name;  // file name under resources/assets
    std::vector<uint8_t> bytes;
};

// quillmote.model, quillmote.motion, texture-colour.bmp, texture-alpha.bmp, toolbar.bmp, icon.png.
std::vector<AuthoredFile> AuthorAssets();

}  // namespace author
