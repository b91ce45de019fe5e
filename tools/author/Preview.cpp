#include "tools/author/Preview.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace author {

std::vector<NodePose> PoseAt(const Character& c, const Dance& dance, double frame) {
    std::vector<NodePose> poses(c.nodes.size());
    for (size_t i = 0; i < c.nodes.size(); ++i) {
        const Node& n = c.nodes[i];
        const V3 rest = n.parent < 0 ? n.joint : n.joint - c.nodes[static_cast<size_t>(n.parent)].joint;
        const V3 position = i < dance.positions.size() ? SamplePosition(dance.positions[i], frame, rest) : rest;
        const V3 a = i < dance.angles.size() ? SampleAngles(dance.angles[i], frame, V3{}) : V3{};
        const M3 local = RotY(a.y) * RotX(a.x) * RotZ(a.z);
        if (n.parent < 0) {
            poses[i] = {local, position};
        } else {
            const NodePose& p = poses[static_cast<size_t>(n.parent)];
            poses[i] = {p.rotation * local, p.translation + p.rotation * position};
        }
    }
    return poses;
}

std::vector<V3> PosedPositions(const Character& c, const Dance& dance, double frame) {
    const std::vector<NodePose> poses = PoseAt(c, dance, frame);
    std::vector<V3> out;
    out.reserve(c.vertices.size());
    for (const SkinVertex& v : c.vertices) {
        const NodePose& p = poses[static_cast<size_t>(v.bone)];
        out.push_back(p.translation + p.rotation * (v.position - c.nodes[static_cast<size_t>(v.bone)].joint));
    }
    return out;
}

namespace {

struct ScreenVertex {
    double x, y, z;  // pixels, and eye distance for depth
    double r, g, b;  // 0..1
};

struct Raster {
    Image image;
    std::vector<double> depth;

    Raster(int w, int h) {
        image.width = w;
        image.height = h;
        image.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0xFFFFFFu);
        depth.assign(image.pixels.size(), 1e30);
    }

    void Triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
        const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (std::fabs(area) < 1e-12) return;
        const double minX = std::fmin(a.x, std::fmin(b.x, c.x)), maxX = std::fmax(a.x, std::fmax(b.x, c.x));
        const double minY = std::fmin(a.y, std::fmin(b.y, c.y)), maxY = std::fmax(a.y, std::fmax(b.y, c.y));
        // Clamp in floating point first: only in-range values are converted to int.
        const double fx0 = std::fmax(0.0, std::floor(minX)), fx1 = std::fmin(image.width - 1.0, std::ceil(maxX));
        const double fy0 = std::fmax(0.0, std::floor(minY)), fy1 = std::fmin(image.height - 1.0, std::ceil(maxY));
        if (!(fx0 <= fx1 && fy0 <= fy1)) return;
        const int x0 = static_cast<int>(fx0), x1 = static_cast<int>(fx1);
        const int y0 = static_cast<int>(fy0), y1 = static_cast<int>(fy1);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double w0 = ((b.x - px) * (c.y - py) - (b.y - py) * (c.x - px)) / area;
                const double w1 = ((c.x - px) * (a.y - py) - (c.y - py) * (a.x - px)) / area;
                const double w2 = 1.0 - w0 - w1;
                if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                const double z = w0 * a.z + w1 * b.z + w2 * c.z;
                const size_t at = static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x);
                if (z >= depth[at]) continue;
                depth[at] = z;
                auto channel = [](double v) { return static_cast<uint32_t>(v <= 0 ? 0 : (v >= 1 ? 255 : v * 255.0)); };
                image.pixels[at] = (channel(w0 * a.r + w1 * b.r + w2 * c.r) << 16) | (channel(w0 * a.g + w1 * b.g + w2 * c.g) << 8) |
                                   channel(w0 * a.b + w1 * b.b + w2 * c.b);
            }
        }
    }
};

// The viewer's camera: model turned a right angle about y and put 2.5 units in front of the
// scene origin; the scene turned by the drag angles, then 5 units away and 0.6 down.
struct Camera {
    PreviewView view;
    int width, height;

    V3 ModelToScene(V3 p) const { return {-p.z, p.y, p.x + 2.5}; }
    V3 ModelNormalToScene(V3 n) const { return {-n.z, n.y, n.x}; }
    V3 SceneToEye(V3 s) const {
        const V3 r = RotY(view.angleY) * (RotX(view.angleX) * s);
        return {r.x, r.y - 0.6, r.z - 5.0};
    }
    V3 SceneDirToEye(V3 d) const { return RotY(view.angleY) * (RotX(view.angleX) * d); }
    bool Project(V3 e, double* x, double* y) const {
        if (e.z > -0.5) return false;
        const double t = std::tan(0.5235987755982988);
        const double nx = e.x / (-e.z * t), ny = e.y / (-e.z * t);
        *x = (nx + 1.0) * width * 0.5;
        *y = height * 0.5 - ny * width * 0.5;
        return true;
    }
};

void Rgb(uint32_t color, double* r, double* g, double* b) {
    *r = ((color >> 16) & 0xFF) / 255.0;
    *g = ((color >> 8) & 0xFF) / 255.0;
    *b = (color & 0xFF) / 255.0;
}

// Floor and panels as flat quads so the character's placement can be judged.
void DrawSet(Raster& r, const Camera& cam) {
    auto quad = [&](V3 p0, V3 p1, V3 p2, V3 p3, int tiles, uint32_t c0, uint32_t c1) {
        for (int i = 0; i < tiles; ++i)
            for (int j = 0; j < tiles; ++j) {
                const double u0 = static_cast<double>(i) / tiles, u1 = static_cast<double>(i + 1) / tiles;
                const double v0 = static_cast<double>(j) / tiles, v1 = static_cast<double>(j + 1) / tiles;
                auto at = [&](double u, double v) { return Lerp(Lerp(p0, p1, u), Lerp(p3, p2, u), v); };
                const V3 q[4] = {at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)};
                ScreenVertex s[4];
                bool ok = true;
                double cr, cg, cb;
                Rgb(((i + j) % 2) ? c1 : c0, &cr, &cg, &cb);
                for (int k = 0; k < 4; ++k) {
                    const V3 e = cam.SceneToEye(q[k]);
                    ok = ok && cam.Project(e, &s[k].x, &s[k].y);
                    s[k].z = -e.z;
                    s[k].r = cr;
                    s[k].g = cg;
                    s[k].b = cb;
                }
                if (!ok) continue;
                r.Triangle(s[0], s[1], s[2]);
                r.Triangle(s[0], s[2], s[3]);
            }
    };
    quad({-3, 0, -3}, {3, 0, -3}, {3, 0, 3}, {-3, 0, 3}, 8, 0xD8D4CC, 0xC8C2B8);
    quad({-2, 0, -2}, {0, 0, -2}, {0, 2, -2}, {-2, 2, -2}, 4, 0xE4DCEC, 0xD4CCE0);
    quad({0, 0, -2}, {2, 0, -2}, {2, 2, -2}, {0, 2, -2}, 4, 0xE4DCEC, 0xD4CCE0);
}

}  // namespace

Image RenderPreview(const Character& c, const Dance& dance, const PreviewView& view, int width, int height) {
    Raster r(width, height);
    const Camera cam{view, width, height};
    DrawSet(r, cam);

    const std::vector<NodePose> poses = PoseAt(c, dance, view.frame);
    std::vector<ScreenVertex> verts(c.vertices.size());
    std::vector<bool> visible(c.vertices.size());
    const V3 light = Normalize(V3{-1, 1, 1});
    for (size_t i = 0; i < c.vertices.size(); ++i) {
        const SkinVertex& v = c.vertices[i];
        const NodePose& p = poses[static_cast<size_t>(v.bone)];
        const V3 model = p.translation + p.rotation * (v.position - c.nodes[static_cast<size_t>(v.bone)].joint);
        const V3 normal = Normalize(cam.SceneDirToEye(cam.ModelNormalToScene(p.rotation * v.normal)));
        const V3 e = cam.SceneToEye(cam.ModelToScene(model));
        visible[i] = cam.Project(e, &verts[i].x, &verts[i].y);
        verts[i].z = -e.z;
        // The viewer's lighting: wrapped diffuse plus a specular of the same colour.
        const double h = (Dot(light, normal) + 1.0) * 0.5;
        verts[i].r = 0.4 + 0.6 * h;  // diffuse factor; colour applied per strip below
        verts[i].g = 0.3 * h;        // specular factor
    }
    for (size_t m = 0; m < kMaterialCount; ++m) {
        double cr, cg, cb;
        Rgb(c.colors[m], &cr, &cg, &cb);
        for (const Strip& s : c.strips[m]) {
            for (size_t k = 0; k + 2 < s.vertices.size(); ++k) {
                ScreenVertex t[3];
                bool ok = true;
                for (int q = 0; q < 3; ++q) {
                    const size_t vi = static_cast<size_t>(s.vertices[k + static_cast<size_t>(q)]);
                    ok = ok && visible[vi];
                    const ScreenVertex& sv = verts[vi];
                    const double d = sv.r, sp = sv.g;
                    t[q] = {sv.x, sv.y, sv.z, cr * d + cr * sp, cg * d + cg * sp, cb * d + cb * sp};
                }
                if (ok) r.Triangle(t[0], t[1], t[2]);
            }
        }
    }
    return r.image;
}

Image ContactSheet(const Character& c, const Dance& dance, const std::vector<PreviewView>& views, int columns) {
    std::vector<Image> images;
    for (const PreviewView& v : views) images.push_back(RenderPreview(c, dance, v, 640, 480));
    return TileImages(images, columns, 2);
}

Image TileImages(const std::vector<Image>& images, int columns, int shrink) {
    Image sheet;
    if (images.empty() || columns < 1 || shrink < 1) return sheet;
    int tw = 0, th = 0;
    for (const Image& i : images) {
        tw = std::max(tw, i.width / shrink);
        th = std::max(th, i.height / shrink);
    }
    const int count = static_cast<int>(images.size());
    const int cols = std::min(columns, count);
    const int rows = (count + cols - 1) / cols;
    sheet.width = tw * cols + 1;
    sheet.height = th * rows + 1;
    sheet.pixels.assign(static_cast<size_t>(sheet.width) * static_cast<size_t>(sheet.height), 0x808080u);
    for (int n = 0; n < count; ++n) {
        const Image& full = images[static_cast<size_t>(n)];
        const int ox = (n % cols) * tw, oy = (n / cols) * th;
        for (int y = 1; y < full.height / shrink; ++y)
            for (int x = 1; x < full.width / shrink; ++x) {
                uint32_t r = 0, g = 0, b = 0;
                for (int dy = 0; dy < shrink; ++dy)
                    for (int dx = 0; dx < shrink; ++dx) {
                        const uint32_t p = full.pixels[static_cast<size_t>(y * shrink + dy) * static_cast<size_t>(full.width) + static_cast<size_t>(x * shrink + dx)];
                        r += (p >> 16) & 0xFF;
                        g += (p >> 8) & 0xFF;
                        b += p & 0xFF;
                    }
                const uint32_t area = static_cast<uint32_t>(shrink * shrink);
                sheet.pixels[static_cast<size_t>(oy + y) * static_cast<size_t>(sheet.width) + static_cast<size_t>(ox + x)] =
                    ((r / area) << 16) | ((g / area) << 8) | (b / area);
            }
    }
    return sheet;
}

Image Shrink(const Image& image, int shrink) {
    Image out;
    if (shrink < 1) return out;
    out.width = image.width / shrink;
    out.height = image.height / shrink;
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    const uint32_t area = static_cast<uint32_t>(shrink * shrink);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            uint32_t r = 0, g = 0, b = 0;
            for (int dy = 0; dy < shrink; ++dy)
                for (int dx = 0; dx < shrink; ++dx) {
                    const uint32_t p = image.pixels[static_cast<size_t>(y * shrink + dy) * static_cast<size_t>(image.width) + static_cast<size_t>(x * shrink + dx)];
                    r += (p >> 16) & 0xFF;
                    g += (p >> 8) & 0xFF;
                    b += p & 0xFF;
                }
            out.pixels[static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)] =
                (((r + area / 2) / area) << 16) | (((g + area / 2) / area) << 8) | ((b + area / 2) / area);
        }
    return out;
}

bool ReadPng(const std::string& path, Image* image, std::string* error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        if (error) *error = "cannot read " + path + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
        if (error) *error = "cannot decode " + path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    image->width = static_cast<int>(png.width);
    image->height = static_cast<int>(png.height);
    image->pixels.resize(static_cast<size_t>(png.width) * png.height);
    for (size_t i = 0; i < image->pixels.size(); ++i)
        image->pixels[i] = (uint32_t{rgb[i * 3]} << 16) | (uint32_t{rgb[i * 3 + 1]} << 8) | rgb[i * 3 + 2];
    return true;
}

bool WritePng(const Image& image, const std::string& path, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot open " + path + " for writing";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        if (error) *error = "cannot encode " + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(image.width) * 3);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
            row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(p >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(p >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    const bool ok = std::fclose(f) == 0;
    if (!ok && error) *error = "cannot finish " + path;
    return ok;
}

}  // namespace author
