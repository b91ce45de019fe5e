#include "tools/author/Images.h"

#include "tools/author/AuthorMath.h"

#include <cmath>
#include <cstring>

namespace author {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Put32BE(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

void PngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    Put32BE(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    Put32BE(out, Crc32(typed.data(), typed.size()));
}

uint32_t Mix(uint32_t a, uint32_t b, double t) {
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    auto ch = [&](int s) {
        const double x = ((a >> s) & 0xFF) * (1 - t) + ((b >> s) & 0xFF) * t;
        return static_cast<uint32_t>(x + 0.5) << s;
    };
    return ch(16) | ch(8) | ch(0);
}

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Coverage of a shape edge at signed distance d (pixels; negative inside), a pixel wide.
double Cover(double d) { return Clamp01(0.5 - d); }

double Dist(double x0, double y0, double x1, double y1) { return std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0)); }

// quillmote's face drawn into a square of `size` pixels centred at (cx, cy): a spiky brown hood,
// a cream face, two eyes with catch-lights, a dark nose and rosy cheeks. Returns colour and
// coverage (alpha 0..1) of the point (x, y).
void FaceAt(double x, double y, double cx, double cy, double size, uint32_t* color, double* coverage) {
    const double s = size / 64.0;  // designed on a 64-pixel grid
    const double dx = (x - cx) / s, dy = (y - cy) / s;
    const double r = std::sqrt(dx * dx + dy * dy);
    // Hood with nine spikes around the top and sides: cos 9a of the angle a measured from
    // straight up, as the real part of (cos a + i sin a)^9 (basic operations only).
    double spikes = 1.0;
    if (r > 1e-9) {
        const double c1 = -dy / r, s1 = dx / r;
        double re = 1.0, im = 0.0;
        for (int k = 0; k < 9; ++k) {
            const double t = re * c1 - im * s1;
            im = re * s1 + im * c1;
            re = t;
        }
        spikes = 0.5 + 0.5 * re;
    }
    const double top = Clamp01((-dy + 10.0) / 24.0);  // spikes only above the chin
    const double hood = 22.0 + 8.5 * spikes * top;
    *coverage = Cover((r - hood) * s);
    uint32_t c = 0x7A4E30;
    // Spike tips lighter.
    if (r > 22.0) c = Mix(c, 0xD8C0A0, (r - 22.0) / 8.0 * top);
    // Face: an ellipse lower in the hood.
    const double fx = dx / 17.0, fy = (dy - 4.0) / 15.0;
    c = Mix(c, 0xF0D8B0, Cover((std::sqrt(fx * fx + fy * fy) - 1.0) * 15.0 * s));
    // Cheeks.
    for (int side = -1; side <= 1; side += 2) c = Mix(c, 0xF09090, 0.8 * Cover((Dist(dx, dy, 11.0 * side, 9.0) - 3.2) * s));
    // Eyes and their catch-lights.
    for (int side = -1; side <= 1; side += 2) {
        const double ex = (dx - 7.0 * side) / 3.2, ey = (dy - 0.5) / 4.4;
        c = Mix(c, 0x1A1420, Cover((std::sqrt(ex * ex + ey * ey) - 1.0) * 3.2 * s));
        c = Mix(c, 0xFFFFFF, Cover((Dist(dx, dy, 7.0 * side - 1.0, -1.5) - 1.1) * s));
    }
    // Nose.
    c = Mix(c, 0x241A1C, Cover((Dist(dx, dy, 0.0, 7.5) - 3.0) * s));
    *color = c;
}

}  // namespace

std::vector<uint8_t> EncodeBmp24(const Picture& p) {
    const uint32_t stride = (static_cast<uint32_t>(p.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = stride * static_cast<uint32_t>(p.height);
    std::vector<uint8_t> out;
    out.reserve(54 + imageBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + imageBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(p.width));
    Put32(out, static_cast<uint32_t>(p.height));  // positive: bottom row first
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);  // no compression
    Put32(out, imageBytes);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int row = p.height - 1; row >= 0; --row) {
        for (int x = 0; x < p.width; ++x) {
            const uint32_t c = p.rgb[static_cast<size_t>(row) * static_cast<size_t>(p.width) + static_cast<size_t>(x)];
            out.push_back(static_cast<uint8_t>(c));
            out.push_back(static_cast<uint8_t>(c >> 8));
            out.push_back(static_cast<uint8_t>(c >> 16));
        }
        for (uint32_t pad = static_cast<uint32_t>(p.width) * 3; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> EncodePngStored(const Picture& p) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < p.height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < p.width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x);
            raw.push_back(static_cast<uint8_t>(p.rgb[i] >> 16));
            raw.push_back(static_cast<uint8_t>(p.rgb[i] >> 8));
            raw.push_back(static_cast<uint8_t>(p.rgb[i]));
            raw.push_back(p.alpha.empty() ? 255 : p.alpha[i]);
        }
    }
    std::vector<uint8_t> z{0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0;) {
        const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z.push_back(at + n == raw.size() ? 1 : 0);
        Put16(z, static_cast<uint32_t>(n));
        Put16(z, static_cast<uint32_t>(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        if (n == 0) break;
    }
    uint32_t s1 = 1, s2 = 0;
    for (uint8_t b : raw) {
        s1 = (s1 + b) % 65521;
        s2 = (s2 + s1) % 65521;
    }
    Put32BE(z, (s2 << 16) | s1);

    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    Put32BE(ihdr, static_cast<uint32_t>(p.width));
    Put32BE(ihdr, static_cast<uint32_t>(p.height));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    PngChunk(out, "IHDR", ihdr);
    PngChunk(out, "IDAT", z);
    PngChunk(out, "IEND", {});
    return out;
}

Picture TexturePicture() {
    Picture p;
    p.width = p.height = 256;
    p.rgb.resize(256 * 256);
    p.alpha.resize(256 * 256);
    const uint32_t tileA = 0xDCE8E2, tileB = 0x8FBCC4, grout = 0x3C465A, ink = 0x2A3040;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int tx = x / 64, ty = y / 64, lx = x % 64, ly = y % 64;
            const bool light = ((tx + ty) % 2) == 0;
            uint32_t c = light ? tileA : tileB;
            double alpha = 1.0;
            if (light) {
                // Fine diagonal hatching: one-pixel lines every 8 pixels.
                if (((lx + ly) % 8) == 0) c = Mix(c, ink, 0.35);
            } else {
                // A one-pixel checker in the middle of each dark tile.
                if (lx >= 20 && lx < 44 && ly >= 20 && ly < 44) c = ((lx + ly) % 2) ? 0xF4F4F0 : 0x1E2838;
            }
            // Grout: one-pixel lines between tiles, and a double line around the border.
            if (lx == 0 || ly == 0 || x == 255 || y == 255 || x == 2 || y == 2 || x == 253 || y == 253) c = grout;
            // Corner tiles: a grid of round holes that show what lies behind.
            const bool corner = (tx == 0 || tx == 3) && (ty == 0 || ty == 3);
            if (corner) {
                const double hx = static_cast<double>(lx % 16) - 7.5, hy = static_cast<double>(ly % 16) - 7.5;
                if (lx >= 4 && lx < 60 && ly >= 4 && ly < 60) alpha = Clamp01(std::sqrt(hx * hx + hy * hy) - 4.5);
            }
            // Top row of tiles (between the corners): fades from half to fully opaque.
            if (ty == 0 && !corner) alpha = 0.35 + 0.65 * static_cast<double>(ly) / 63.0;
            // The emblem: a halo that fades out, a dark ring, an orange disc with quillmote.
            const double d = Dist(x + 0.5, y + 0.5, 128.0, 128.0);
            if (d < 78.0 && d >= 62.0) {
                c = Mix(c, 0xF8E8C8, 0.6);
                alpha = 0.25 + 0.75 * Clamp01((78.0 - d) / 16.0);
            }
            if (d < 62.0) {
                alpha = 1.0;
                c = Mix(0x2A1E18, 0xF4A858, Cover(d - 58.0));
                uint32_t face = 0;
                double cover = 0;
                FaceAt(x + 0.5, y + 0.5, 128.0, 130.0, 96.0, &face, &cover);
                c = Mix(c, face, cover);
            }
            const size_t i = static_cast<size_t>(y) * 256 + static_cast<size_t>(x);
            p.rgb[i] = c;
            p.alpha[i] = static_cast<uint8_t>(RoundToInt(alpha * 255.0));
        }
    }
    return p;
}

std::vector<uint8_t> TextureColorBmp(const Picture& texture) {
    Picture colour = texture;
    colour.alpha.clear();
    return EncodeBmp24(colour);
}

std::vector<uint8_t> TextureAlphaBmp(const Picture& texture) {
    Picture grey;
    grey.width = texture.width;
    grey.height = texture.height;
    grey.rgb.resize(texture.alpha.size());
    for (size_t i = 0; i < texture.alpha.size(); ++i) grey.rgb[i] = 0x010101u * texture.alpha[i];
    return EncodeBmp24(grey);
}

namespace {

// 16 x 15 pixel art, one character per pixel.
const char* const kButtons[5][15] = {
    {// cut: open scissors
     "                ", "   #       #    ", "   #       #    ", "   ##     ##    ", "    #     #     ",
     "    ##   ##     ", "     #   #      ", "     ## ##      ", "      ###       ", "      r r       ",
     "    rrr rrr     ", "   r  r r  r    ", "   r  r r  r    ", "   r  r r  r    ", "    rr   rr     "},
    {// copy: two sheets
     "                ", " ######         ", " #wwww##        ", " #wwww#w#       ", " #w--w####### ", " #wwww#wwww##   ",
     " #w---#wwww#w#  ", " #wwww#w--w#### ", " #w---#wwwwwww# ", " #wwww#w-----w# ", " ######wwwwwww# ",
     "      #w-----w# ", "      #wwwwwww# ", "      ######### ", "                "},
    {// paste: clipboard with a sheet
     "                ", "     ####       ", "  ###yyyy###    ", "  #bb####bb#    ", "  #bbbbbbbb#    ",
     "  #bbb######### ", "  #bbb#wwwwwww# ", "  #bbb#w-----w# ", "  #bbb#wwwwwww# ", "  #bbb#w-----w# ",
     "  #bbb#wwwwwww# ", "  #bbb#w-----w# ", "  #####wwwwwww# ", "      ######### ", "                "},
    {// print: a printer with a sheet
     "                ", "    ########    ", "    #wwwwww#    ", "    #w----w#    ", "    #wwwwww#    ",
     "  ############  ", " #gggggggggggg# ", " #gggggggggGGg# ", " #gggggggggggg# ", " ############## ",
     " #dddddddddddd# ", "  #wwwwwwwwww#  ", "  #w------ww#   ", "  ##########    ", "                "},
    {// about: quillmote's face
     "   q   q   q    ", "  qqq qqq qqq   ", " qqqqqqqqqqqqq  ", " qqqfffffffqqq  ", "qqqfffffffffqqq ",
     "qqffwkfffwkffqq ", "qqffkkfffkkffqq ", "qqpfffffffffpqq ", "qqpfffnnnfffpqq ", " qqffffnffffqq  ",
     "  qqfffffffqq   ", "   qqqqqqqqq    ", "                ", "                ", "                "},
};

uint32_t ButtonColor(char ch) {
    switch (ch) {
        case '#': return 0x000000;
        case 'r': return 0x203080;  // scissor grips
        case 'w': return 0xFFFFFF;
        case '-': return 0x808080;  // text lines
        case 'y': return 0xC0A040;  // clip
        case 'b': return 0x906030;  // board
        case 'g': return 0xD8D8D8;  // printer body
        case 'G': return 0x00A000;  // power light
        case 'd': return 0x606060;
        case 'q': return 0x7A4E30;  // quills
        case 'f': return 0xF0D0A0;  // face
        case 'k': return 0x101018;  // eyes
        case 'p': return 0xE08080;  // cheeks
        case 'n': return 0x302020;  // nose
        case '?': return 0x0000C0;
        default: return kButtonFace;
    }
}

}  // namespace

Picture ToolbarPicture() {
    Picture p;
    p.width = 16 * 5;
    p.height = 15;
    p.rgb.assign(static_cast<size_t>(p.width * p.height), kButtonFace);
    for (int b = 0; b < 5; ++b)
        for (int y = 0; y < 15; ++y) {
            const char* row = kButtons[b][y];
            const size_t len = std::strlen(row);
            for (int x = 0; x < 16 && static_cast<size_t>(x) < len; ++x)
                p.rgb[static_cast<size_t>(y * p.width + b * 16 + x)] = ButtonColor(row[x]);
        }
    return p;
}

Picture IconPicture(int size) {
    Picture p;
    p.width = p.height = size;
    const size_t pixels = static_cast<size_t>(size) * static_cast<size_t>(size);
    p.rgb.resize(pixels);
    p.alpha.resize(pixels);
    // The face fills a square 31/32 of the icon, centred half a 32nd below the middle: at 32
    // pixels that is the embedded icon's 16, 16.5 and 31 exactly.
    const double centreX = size / 2.0, centreY = size * (33.0 / 64.0), face = size * (31.0 / 32.0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            // 4 x 4 samples per pixel for smooth edges.
            double r = 0, g = 0, bl = 0, cover = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    uint32_t c = 0;
                    double a = 0;
                    FaceAt(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0, centreX, centreY, face, &c, &a);
                    r += ((c >> 16) & 0xFF) * a;
                    g += ((c >> 8) & 0xFF) * a;
                    bl += (c & 0xFF) * a;
                    cover += a;
                }
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x);
            if (cover > 0) {
                p.rgb[i] = (static_cast<uint32_t>(RoundToInt(r / cover)) << 16) | (static_cast<uint32_t>(RoundToInt(g / cover)) << 8) |
                           static_cast<uint32_t>(RoundToInt(bl / cover));
            }
            p.alpha[i] = static_cast<uint8_t>(RoundToInt(cover / 16.0 * 255.0));
        }
    return p;
}

}  // namespace author
