// quillmote-author: writes the embedded assets and previews the character.
//
//   quillmote-author --out DIR             write every asset file into DIR
//   quillmote-author --preview SHEET.png   contact sheet of the dance (our own software preview)
//   quillmote-author --frame F OUT.png     one 640 x 480 preview of frame F
//   quillmote-author --show DIR            the texture, toolbar and icon as PNGs to look at
//   quillmote-author --figures             triangles, work entries and keys per list
//   quillmote-author --icon SIZE OUT.png   the program icon drawn at SIZE x SIZE (the desktop's icons)
//   quillmote-author --sheet OUT.png COLUMNS IN.png...
//                                          tiles pictures (e.g. quillmote-render frames) at half size
//   quillmote-author --animation OUT.png IN.png...
//                                          an animated PNG of the pictures at half size, 30 a second
#include "tools/author/Assets.h"
#include "tools/author/Character.h"
#include "tools/author/Dance.h"
#include "tools/author/Images.h"
#include "tools/author/Preview.h"
#include "tools/author/StoredFiles.h"
#include "tools/files/OutputFile.h"
#include "tools/png/Png.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

using namespace author;

const char kUsage[] =
    "usage: quillmote-author [--out DIR] [--preview SHEET.png] [--frame F OUT.png] [--show DIR] [--figures]\n"
    "                        [--sheet OUT.png COLUMNS IN.png...] [--animation OUT.png IN.png...]\n"
    "                        [--icon SIZE OUT.png]\n"
    "       quillmote-author --help | --version\n";

const char kHelp[] =
    "quillmote-author: authors the files the viewer carries and previews the character.\n"
    "\n"
    "Everything is made from source, deterministically: the same bytes on every machine.\n"
    "\n"
    "Options:\n"
    "  --out DIR               write the model, the motion, the texture pair, the toolbar strip\n"
    "                          and the icon into DIR (resources/assets in the source tree)\n"
    "  --preview SHEET.png     a contact sheet of the dance from the author's own software preview\n"
    "  --frame F OUT.png       one 640 x 480 preview of frame F (0 to 89)\n"
    "  --show DIR              the texture, the toolbar and the icon enlarged, as PNGs to look at\n"
    "  --sheet OUT.png COLUMNS IN.png...\n"
    "                          tiles pictures (e.g. quillmote-render frames) at half size\n"
    "  --animation OUT.png IN.png...\n"
    "                          an animated PNG of the pictures at half size, 30 a second\n"
    "  --figures               the character's triangles, work entries and keys per list\n"
    "  --icon SIZE OUT.png     the program icon drawn at SIZE x SIZE pixels (16 to 1024), RGBA\n"
    "  -h, --help              show this help\n"
    "  --version               show the version\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read or written; 2 a usage error.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Writes next to the target and renames, so a file is either whole or absent.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "quillmote-author: cannot write %s\n", temp.c_str());
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        std::fprintf(stderr, "quillmote-author: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool Png(const Image& image, const std::string& path) {
    std::string error;
    if (WritePng(image, path, &error)) return true;
    std::fprintf(stderr, "quillmote-author: %s\n", error.c_str());
    return false;
}

// A picture scaled up by `zoom`, its alpha shown over a grey checker.
Image Showable(const Picture& p, int zoom) {
    Image out;
    out.width = p.width * zoom;
    out.height = p.height * zoom;
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const size_t i = static_cast<size_t>(y / zoom) * static_cast<size_t>(p.width) + static_cast<size_t>(x / zoom);
            const uint32_t back = ((x / 8 + y / 8) % 2) ? 0x606060u : 0xA0A0A0u;
            const uint32_t a = p.alpha.empty() ? 255u : p.alpha[i];
            uint32_t c = 0;
            for (int s = 0; s <= 16; s += 8) {
                const uint32_t f = (p.rgb[i] >> s) & 0xFF, b = (back >> s) & 0xFF;
                c |= ((f * a + b * (255 - a)) / 255) << s;
            }
            out.pixels[static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)] = c;
        }
    return out;
}

// The pictures, each at half size, as one animated PNG (the docs' dance).
bool HalfSizeAnimation(const std::vector<std::string>& inputs, const std::string& out) {
    OutputFile file;  // removed unless committed, so a failed run leaves nothing behind
    png::ApngWriter writer;
    std::string error;
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    for (const std::string& in : inputs) {
        Image full;
        if (!ReadPng(in, &full, &error)) {
            std::fprintf(stderr, "quillmote-author: %s\n", error.c_str());
            return false;
        }
        const Image half = Shrink(full, 2);
        if (writer.FrameCount() == 0) {
            width = half.width;
            height = half.height;
            if (!file.Create(out, &error) || !writer.Open(file.Stream(), width, height, 3, &error)) {
                std::fprintf(stderr, "quillmote-author: %s: %s\n", out.c_str(), error.c_str());
                return false;
            }
        } else if (half.width != width || half.height != height) {
            std::fprintf(stderr, "quillmote-author: %s: %d x %d, unlike the first picture\n", in.c_str(), full.width, full.height);
            return false;
        }
        rgb.clear();
        for (uint32_t p : half.pixels) rgb.insert(rgb.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
        if (!writer.AddFrame(rgb.data(), &error)) {
            std::fprintf(stderr, "quillmote-author: %s: %s\n", in.c_str(), error.c_str());
            return false;
        }
    }
    if (!writer.Finish(&error) || !file.Commit(&error)) {
        std::fprintf(stderr, "quillmote-author: %s: %s\n", out.c_str(), error.c_str());
        return false;
    }
    return true;
}

// The figures the docs quote: triangles, work entries, and keys per list of the dance.
void PrintFigures() {
    const Character c = BuildCharacter();
    const Dance d = BuildDance(c);
    std::printf("triangles %zu\nwork entries %u\n", c.TriangleCount(), LayOutEntries(c).total);
    for (size_t n = 0; n < c.nodes.size(); ++n) {
        if (!d.positions[n].empty()) std::printf("%s position keys %zu\n", c.nodes[n].name.c_str(), d.positions[n].size());
        if (!d.angles[n].empty()) std::printf("%s angle keys %zu\n", c.nodes[n].name.c_str(), d.angles[n].size());
    }
}

// The icon at `size` pixels as an 8-bit RGBA PNG.
bool IconPng(int size, const std::string& path) {
    const Picture icon = IconPicture(size);
    png::Image image(icon.width, icon.height, 4);
    for (size_t i = 0; i < icon.rgb.size(); ++i) {
        uint8_t* p = image.pixels.data() + i * 4;
        p[0] = static_cast<uint8_t>(icon.rgb[i] >> 16);
        p[1] = static_cast<uint8_t>(icon.rgb[i] >> 8);
        p[2] = static_cast<uint8_t>(icon.rgb[i]);
        p[3] = icon.alpha[i];
    }
    std::string error;
    if (png::WritePng(path, image, &error)) return true;
    std::fprintf(stderr, "quillmote-author: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

}  // namespace

static int Run(int argc, char** argv) {
    std::string outDir, preview, framePng, showDir, sheet, iconPng;
    bool figures = false;
    std::vector<std::string> sheetInputs, animationInputs;
    std::string animation;
    int sheetColumns = 4;
    int iconSize = 0;
    double frame = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("quillmote-author %s\n", QM_VERSION);
            return 0;
        } else if (arg == "--icon" && i + 2 < argc) {
            char* end = nullptr;
            const long size = std::strtol(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0' || size < 16 || size > 1024) {
                std::fprintf(stderr, "quillmote-author: --icon wants a size from 16 to 1024 pixels\n");
                return 2;
            }
            iconSize = static_cast<int>(size);
            iconPng = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            outDir = argv[++i];
        } else if (arg == "--preview" && i + 1 < argc) {
            preview = argv[++i];
        } else if (arg == "--frame" && i + 2 < argc) {
            char* end = nullptr;
            frame = std::strtod(argv[++i], &end);
            if (end == nullptr || *end != '\0' || !(frame >= 0 && frame <= 89)) {
                std::fprintf(stderr, "quillmote-author: --frame wants a frame from 0 to 89\n");
                return 2;
            }
            framePng = argv[++i];
        } else if (arg == "--animation" && i + 1 < argc) {
            animation = argv[++i];
            while (i + 1 < argc && argv[i + 1][0] != '-') animationInputs.push_back(argv[++i]);
        } else if (arg == "--figures") {
            figures = true;
        } else if (arg == "--show" && i + 1 < argc) {
            showDir = argv[++i];
        } else if (arg == "--sheet" && i + 2 < argc) {
            sheet = argv[++i];
            sheetColumns = std::atoi(argv[++i]);
            if (sheetColumns < 1 || sheetColumns > 16) {
                std::fprintf(stderr, "quillmote-author: --sheet wants 1 to 16 columns\n");
                return 2;
            }
            while (i + 1 < argc && argv[i + 1][0] != '-') sheetInputs.push_back(argv[++i]);
        } else {
            return Usage();
        }
    }
    if (!sheet.empty()) {
        std::vector<Image> images;
        for (const std::string& in : sheetInputs) {
            Image image;
            std::string error;
            if (!ReadPng(in, &image, &error)) {
                std::fprintf(stderr, "quillmote-author: %s\n", error.c_str());
                return 1;
            }
            images.push_back(std::move(image));
        }
        if (images.empty()) return Usage();
        if (!Png(TileImages(images, sheetColumns, 2), sheet)) return 1;
    }
    if (!animation.empty()) {
        if (animationInputs.empty()) return Usage();
        if (!HalfSizeAnimation(animationInputs, animation)) return 1;
    }
    if (outDir.empty() && preview.empty() && framePng.empty() && showDir.empty() && sheet.empty() && !figures && animation.empty() &&
        iconPng.empty())
        return Usage();
    if (!iconPng.empty() && !IconPng(iconSize, iconPng)) return 1;

    if (!outDir.empty()) {
        for (const AuthoredFile& f : AuthorAssets())
            if (!WriteFile(outDir + "/" + f.name, f.bytes)) return 1;
    }
    if (!preview.empty() || !framePng.empty()) {
        const Character c = BuildCharacter();
        const Dance d = BuildDance(c);
        if (!preview.empty()) {
            std::vector<PreviewView> views;
            for (int f = 0; f <= 88; f += 11) views.push_back({static_cast<double>(f), 0, 0});
            views.push_back({0, 0, 0.35});
            views.push_back({22, 0, -0.35});
            views.push_back({33, 0.3, 0});
            if (!Png(ContactSheet(c, d, views, 4), preview)) return 1;
        }
        if (!framePng.empty() && !Png(RenderPreview(c, d, {frame, 0, 0}), framePng)) return 1;
    }
    if (figures) PrintFigures();
    if (!showDir.empty()) {
        const Picture texture = TexturePicture();
        if (!Png(Showable(texture, 2), showDir + "/texture.png") || !Png(Showable(ToolbarPicture(), 6), showDir + "/toolbar.png") ||
            !Png(Showable(IconPicture(), 8), showDir + "/icon.png"))
            return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        // The chunk writer refuses records it cannot lay out; say why instead of aborting.
        std::fprintf(stderr, "quillmote-author: %s\n", e.what());
        return 1;
    }
}
