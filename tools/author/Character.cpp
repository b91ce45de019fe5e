#include "tools/author/Character.h"

#include <cmath>
#include <functional>

namespace author {

int Character::FirstChild(int node) const {
    for (size_t i = static_cast<size_t>(node) + 1; i < nodes.size(); ++i)
        if (nodes[i].parent == node) return static_cast<int>(i);
    return -1;
}

int Character::NextSibling(int node) const {
    const int parent = nodes[static_cast<size_t>(node)].parent;
    if (parent < 0) return -1;
    for (size_t i = static_cast<size_t>(node) + 1; i < nodes.size(); ++i)
        if (nodes[i].parent == parent) return static_cast<int>(i);
    return -1;
}

int Character::NodeIndex(const std::string& name) const {
    for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i].name == name) return static_cast<int>(i);
    return -1;
}

size_t Character::TriangleCount() const {
    size_t n = 0;
    for (const auto& list : strips)
        for (const Strip& s : list) n += s.vertices.size() >= 2 ? s.vertices.size() - 2 : 0;
    return n;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Proportions. Model space: +x is where quillmote looks, +y up, +z its right-hand side; the
// root sits on the floor between the feet.

constexpr V3 kHeadCentre{0.0, 0.93, 0.0};
constexpr double kHeadRx = 0.285, kHeadRy = 0.275, kHeadRz = 0.30;

constexpr double kBodyCentreY = 0.43, kBodyRy = 0.33, kBodyRx = 0.265, kBodyRz = 0.285;

// A surface of revolution about an axis, possibly squashed across it:
// P(u, v) = origin + axis h(v) + r(v) (side1 scale1 cos 2 pi u + side2 scale2 sin 2 pi u).
struct Lathe {
    V3 origin;
    V3 axis{0, 1, 0};
    V3 side1{1, 0, 0};
    V3 side2{0, 0, 1};
    double scale1 = 1.0;
    double scale2 = 1.0;
    std::function<double(double)> height;
    std::function<double(double)> radius;
    // Angle of u around the axis at v; by default evenly spaced.
    std::function<double(double, double)> angle;

    V3 At(double u, double v) const {
        const double a = angle ? angle(u, v) : kTwoPi * u;
        const double r = radius(v);
        return origin + axis * height(v) + side1 * (r * scale1 * Cos(a)) + side2 * (r * scale2 * Sin(a));
    }
    V3 AxisAt(double v) const { return origin + axis * height(v); }
};

// An ellipsoid-like lathe between v = 0 (axis start) and v = 1 (axis end) of half-length `half`.
Lathe Ellipsoid(V3 centre, V3 axis, V3 side1, double half, double r1, double r2) {
    Lathe l;
    l.origin = centre;
    l.axis = Normalize(axis);
    l.side1 = Normalize(side1 - l.axis * Dot(side1, l.axis));
    l.side2 = Cross(l.axis, l.side1);
    l.scale1 = r1;
    l.scale2 = r2;
    l.height = [half](double v) { return -half * Cos(kPi * v); };
    l.radius = [](double v) { return Sin(kPi * v); };
    return l;
}

struct Grid {
    int segs = 0;
    std::vector<double> vs;               // v of each ring
    std::vector<std::vector<int>> rings;  // vertex indices, rings[j][i]
};

using MaterialFn = std::function<Material(double u, double v, V3 centre)>;
using BoneFn = std::function<int(V3 position, double v)>;

class SkinBuilder {
public:
    explicit SkinBuilder(Character& c) : m_c(c) {}

    int AddVertex(V3 p, V3 n, int bone) {
        m_c.vertices.push_back({p, Normalize(n), bone});
        return static_cast<int>(m_c.vertices.size()) - 1;
    }

    Grid AddLathe(const Lathe& l, int segs, int rings, double v0, double v1, const BoneFn& bone) {
        Grid g;
        g.segs = segs;
        for (int j = 0; j < rings; ++j) {
            const double v = rings == 1 ? v0 : v0 + (v1 - v0) * static_cast<double>(j) / static_cast<double>(rings - 1);
            g.vs.push_back(v);
            std::vector<int> ring;
            for (int i = 0; i < segs; ++i) {
                const double u = static_cast<double>(i) / static_cast<double>(segs);
                const V3 p = l.At(u, v);
                const double d = 1e-5;
                V3 n = Cross(l.At(u + d, v) - l.At(u - d, v), l.At(u, v + d) - l.At(u, v - d));
                if (Dot(n, p - l.AxisAt(v)) < 0) n = -n;
                ring.push_back(AddVertex(p, n, bone(p, v)));
            }
            g.rings.push_back(ring);
        }
        return g;
    }

    // Strips between neighbouring rings, split into runs of one material. Rows alternate
    // which ring they start on, as a stripifier walking back and forth would.
    void StripGrid(const Grid& g, const MaterialFn& material) {
        const int segs = g.segs;
        for (size_t j = 0; j + 1 < g.rings.size(); ++j) {
            const auto& a = g.rings[j];
            const auto& b = g.rings[j + 1];
            const double v = 0.5 * (g.vs[j] + g.vs[j + 1]);
            std::vector<Material> mats(static_cast<size_t>(segs));
            for (int i = 0; i < segs; ++i) {
                const int i1 = (i + 1) % segs;
                const V3 centre = (P(a[static_cast<size_t>(i)]) + P(a[static_cast<size_t>(i1)]) + P(b[static_cast<size_t>(i)]) + P(b[static_cast<size_t>(i1)])) * 0.25;
                mats[static_cast<size_t>(i)] = material((static_cast<double>(i) + 0.5) / static_cast<double>(segs), v, centre);
            }
            int start = 0;
            for (int i = 0; i < segs; ++i)
                if (mats[static_cast<size_t>(i)] != mats[static_cast<size_t>((i + segs - 1) % segs)]) {
                    start = i;
                    break;
                }
            const bool aFirst = (j % 2) == 0;
            int k = 0;
            while (k < segs) {
                const int first = (start + k) % segs;
                const Material m = mats[static_cast<size_t>(first)];
                int count = 0;
                while (k < segs && mats[static_cast<size_t>((start + k) % segs)] == m) {
                    ++k;
                    ++count;
                }
                std::vector<int> s;
                for (int q = 0; q <= count; ++q) {
                    const size_t i = static_cast<size_t>((first + q) % segs);
                    if (aFirst) {
                        s.push_back(a[i]);
                        s.push_back(b[i]);
                    } else {
                        s.push_back(b[i]);
                        s.push_back(a[i]);
                    }
                }
                AddStrip(m, std::move(s));
            }
        }
    }

    // Closes a ring with one zig-zag strip: r0, r1, r(n-1), r2, r(n-2), ...
    void Cap(const std::vector<int>& ring, Material m) {
        const int n = static_cast<int>(ring.size());
        std::vector<int> s{ring[0], ring[1]};
        int lo = 2, hi = n - 1;
        bool takeHigh = true;
        while (lo <= hi) {
            s.push_back(takeHigh ? ring[static_cast<size_t>(hi--)] : ring[static_cast<size_t>(lo++)]);
            takeHigh = !takeHigh;
        }
        AddStrip(m, std::move(s));
    }

    void AddStrip(Material m, std::vector<int> vertices) {
        Strip s;
        s.vertices = std::move(vertices);
        s.reversed = FirstTriangleClockwise(s.vertices);
        m_c.strips[static_cast<size_t>(m)].push_back(std::move(s));
    }

    V3 P(int i) const { return m_c.vertices[static_cast<size_t>(i)].position; }

private:
    // The first triangle with area decides; odd triangles of a strip wind the other way.
    bool FirstTriangleClockwise(const std::vector<int>& v) const {
        for (size_t k = 0; k + 2 < v.size(); ++k) {
            const V3 p0 = P(v[k]), p1 = P(v[k + 1]), p2 = P(v[k + 2]);
            V3 face = Cross(p1 - p0, p2 - p0);
            if (Length(face) < 1e-12) continue;
            if (k % 2 == 1) face = -face;
            const auto& vs = m_c.vertices;
            const V3 n = vs[static_cast<size_t>(v[k])].normal + vs[static_cast<size_t>(v[k + 1])].normal + vs[static_cast<size_t>(v[k + 2])].normal;
            return Dot(face, n) < 0;
        }
        return false;
    }

    Character& m_c;
};

struct NodeDef {
    const char* name;
    const char* parent;
    V3 joint;
    bool bone;
    bool keys;
};

// Drawing order: depth first, a node before its children, children before later siblings.
const NodeDef kNodes[] = {
    {"root", nullptr, {0, 0, 0}, false, false},
    {"hips", "root", {0, 0.30, 0}, true, true},
    {"chest", "hips", {0, 0.47, 0}, true, true},
    {"neck", "chest", {0, 0.68, 0}, false, true},
    {"head", "neck", {0, 0.78, 0}, true, true},
    {"snout", "head", {0.20, 0.88, 0}, true, false},
    {"nose_tip", "snout", {0.47, 0.835, 0}, false, false},
    {"crest", "head", {-0.08, 1.08, 0}, true, true},
    {"ear_base_l", "head", {-0.02, 1.10, -0.19}, false, false},
    {"ear_l", "ear_base_l", {-0.02, 1.10, -0.19}, true, true},
    {"ear_base_r", "head", {-0.02, 1.10, 0.19}, false, false},
    {"ear_r", "ear_base_r", {-0.02, 1.10, 0.19}, true, true},
    {"eye_l", "head", {0.22, 0.99, -0.12}, false, false},
    {"eye_r", "head", {0.22, 0.99, 0.12}, false, false},
    {"back_quills", "chest", {-0.18, 0.50, 0}, true, true},
    {"shoulder_l", "chest", {0.02, 0.60, -0.22}, false, false},
    {"upper_arm_l", "shoulder_l", {0.02, 0.60, -0.24}, true, true},
    {"forearm_l", "upper_arm_l", {0.05, 0.47, -0.31}, true, true},
    {"paw_l", "forearm_l", {0.08, 0.36, -0.35}, false, false},
    {"shoulder_r", "chest", {0.02, 0.60, 0.22}, false, false},
    {"upper_arm_r", "shoulder_r", {0.02, 0.60, 0.24}, true, true},
    {"forearm_r", "upper_arm_r", {0.05, 0.47, 0.31}, true, true},
    {"paw_r", "forearm_r", {0.08, 0.36, 0.35}, false, false},
    {"hip_joint_l", "hips", {0, 0.26, -0.13}, false, false},
    {"thigh_l", "hip_joint_l", {0, 0.26, -0.13}, true, true},
    {"shin_l", "thigh_l", {0.01, 0.165, -0.135}, true, true},
    {"toe_l", "shin_l", {0.15, 0.03, -0.14}, false, false},
    {"hip_joint_r", "hips", {0, 0.26, 0.13}, false, false},
    {"thigh_r", "hip_joint_r", {0, 0.26, 0.13}, true, true},
    {"shin_r", "thigh_r", {0.01, 0.165, 0.135}, true, true},
    {"toe_r", "shin_r", {0.15, 0.03, 0.14}, false, false},
    {"tail", "hips", {-0.27, 0.20, 0}, false, false},
    {"skin", "root", {0, 0, 0}, false, false},
};

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

// Spreads `inner` of `segs` columns over the angles [-w(v), w(v)] around the front (angle 0)
// and the others over the rest of the turn, so a region |angle| < w(v) ends on grid lines.
std::function<double(double, double)> RegionWarp(int segs, int inner, std::function<double(double)> halfWidth) {
    return [=](double u, double v) {
        double k = u * segs;
        k -= segs * std::floor(k / segs);
        const double w = halfWidth(v);
        if (k <= inner) return -w + 2.0 * w * k / inner;
        return w + (kTwoPi - 2.0 * w) * (k - inner) / (segs - inner);
    };
}

// Point i of n spread evenly over the unit sphere (a golden-angle spiral from the top down).
V3 SpiralPoint(int i, int n) {
    const double y = 1.0 - 2.0 * (static_cast<double>(i) + 0.5) / static_cast<double>(n);
    const double r = std::sqrt(1.0 - y * y);
    const double phi = 2.399963229728653 * static_cast<double>(i);
    return {r * Cos(phi), y, r * Sin(phi)};
}

void BuildSkeleton(Character& c) {
    for (const NodeDef& d : kNodes) {
        Node n;
        n.name = d.name;
        n.parent = d.parent ? c.NodeIndex(d.parent) : -1;
        n.joint = d.joint;
        n.bone = d.bone;
        n.angleKeys = d.keys;
        c.nodes.push_back(n);
    }
}

// Quills: a three-sided tapered spike, dark with a light tip.
void AddQuill(SkinBuilder& b, int bone, V3 base, V3 dir, double length, double radius) {
    dir = Normalize(dir);
    V3 s1 = Normalize(Cross(dir, V3{0, 0, 1}));
    if (Length(Cross(dir, V3{0, 0, 1})) < 1e-6) s1 = Normalize(Cross(dir, V3{1, 0, 0}));
    const V3 s2 = Cross(dir, s1);
    const V3 mid = base + dir * (length * 0.62);
    const V3 tip = base + dir * length;
    int baseIdx[3], midIdx[3];
    for (int i = 0; i < 3; ++i) {
        const double a = kTwoPi * static_cast<double>(i) / 3.0;
        const V3 radial = s1 * Cos(a) + s2 * Sin(a);
        // Leaning the normals toward the tip matches the taper and gives a rounder look.
        baseIdx[i] = b.AddVertex(base + radial * radius, radial + dir * 0.25, bone);
        midIdx[i] = b.AddVertex(mid + radial * (radius * 0.55), radial + dir * 0.45, bone);
    }
    const int tipIdx = b.AddVertex(tip, dir, bone);
    b.AddStrip(kQuill, {baseIdx[0], midIdx[0], baseIdx[1], midIdx[1], baseIdx[2], midIdx[2], baseIdx[0], midIdx[0]});
    b.AddStrip(kQuillTip, {midIdx[0], midIdx[1], tipIdx, midIdx[2], midIdx[0]});
}

}  // namespace

Character BuildCharacter() {
    Character c;
    BuildSkeleton(c);
    const int hips = c.NodeIndex("hips"), chest = c.NodeIndex("chest"), head = c.NodeIndex("head");
    const int snout = c.NodeIndex("snout"), crest = c.NodeIndex("crest"), backQuills = c.NodeIndex("back_quills");

    c.colors[kFur] = Rgb(150, 98, 60);
    c.colors[kBelly] = Rgb(196, 172, 132);
    c.colors[kFace] = Rgb(190, 156, 118);
    c.colors[kQuill] = Rgb(84, 56, 40);
    c.colors[kQuillTip] = Rgb(188, 168, 140);
    c.colors[kNose] = Rgb(34, 24, 28);
    c.colors[kEye] = Rgb(22, 18, 30);
    c.colors[kEyeShine] = Rgb(196, 196, 196);
    c.colors[kInnerEar] = Rgb(196, 124, 122);
    c.colors[kPaw] = Rgb(188, 140, 112);
    c.colors[kFoot] = Rgb(160, 104, 80);
    c.colors[kCheek] = Rgb(196, 112, 110);

    SkinBuilder b(c);

    // Body: an egg from the seat up into the head; the top rings ride with the head. The
    // front columns bunch up around the belly so its oval edge runs along grid lines.
    {
        const int segs = 20, bellyCols = 8;
        auto bellyHalfWidth = [](double v) {
            const double y = kBodyCentreY - kBodyRy * Cos(kPi * v);
            const double t = (y - 0.39) / 0.235;
            return t > -1 && t < 1 ? 0.02 + 0.78 * std::sqrt(1.0 - t * t) : 0.02;
        };
        Lathe body;
        body.origin = {0, kBodyCentreY, 0};
        body.scale1 = kBodyRx;
        body.scale2 = kBodyRz;
        body.height = [](double v) { return -kBodyRy * Cos(kPi * v); };
        body.radius = [](double v) {
            const double t = -Cos(kPi * v);  // -1 bottom .. 1 top
            const double taper = t > 0 ? 1.0 - 0.28 * t : 1.0 - 0.06 * t * t;
            return Sin(kPi * v) * taper;
        };
        body.angle = RegionWarp(segs, bellyCols, bellyHalfWidth);
        const Grid g = b.AddLathe(body, segs, 14, 0.07, 0.93, [&](V3 p, double) {
            if (p.y < 0.36) return hips;
            if (p.y < 0.69) return chest;
            return head;
        });
        b.StripGrid(g, [&](double u, double v, V3) {
            return (u * segs < bellyCols && bellyHalfWidth(v) > 0.12) ? kBelly : kFur;
        });
        b.Cap(g.rings.front(), kFur);
    }

    // Head: a round ball with a light face mask at the front (again on grid lines) and rosy
    // cheeks.
    {
        const int segs = 22, faceCols = 8;
        auto faceHalfWidth = [](double v) {
            const double y = kHeadCentre.y - kHeadRy * Cos(kPi * v);
            const double t = (y - 0.86) / 0.2;
            if (t <= -1 || t >= 1) return 0.02;
            return 0.02 + 1.15 * std::sqrt(1.0 - t * t) * (t > 0 ? 1.0 - 0.45 * t : 1.0);
        };
        Lathe h = Ellipsoid(kHeadCentre, {0, 1, 0}, {1, 0, 0}, kHeadRy, kHeadRx, kHeadRz);
        h.angle = RegionWarp(segs, faceCols, faceHalfWidth);
        const Grid g = b.AddLathe(h, segs, 12, 0.05, 0.95, [&](V3, double) { return head; });
        b.StripGrid(g, [&](double u, double v, V3) {
            return (u * segs < faceCols && faceHalfWidth(v) > 0.15) ? kFace : kFur;
        });
        b.Cap(g.rings.front(), kFur);
        b.Cap(g.rings.back(), kFur);
        for (int side = -1; side <= 1; side += 2) {
            const V3 d = Normalize(V3{0.62, -0.36, 0.66 * side});
            const V3 at = kHeadCentre + V3{d.x * kHeadRx, d.y * kHeadRy, d.z * kHeadRz} * 0.97;
            const Lathe cheek = Ellipsoid(at, d, {0, 1, 0}, 0.014, 0.042, 0.05);
            const Grid cg = b.AddLathe(cheek, 8, 4, 0.5, 0.9, [&](V3, double) { return head; });
            b.StripGrid(cg, [](double, double, V3) { return kCheek; });
            b.Cap(cg.rings.back(), kCheek);
        }
    }

    // A small smile under the snout: a thin dark ribbon on the face.
    {
        const int steps = 8;
        std::vector<int> strip;
        for (int k = 0; k <= steps; ++k) {
            const double t = -1.0 + 2.0 * static_cast<double>(k) / steps;
            const double z = 0.07 * t;
            const double y = 0.762 + 0.024 * t * t;
            const double ny = (y - kHeadCentre.y) / kHeadRy, nz = z / kHeadRz;
            const double inside = 1.0 - ny * ny - nz * nz;
            const double x = kHeadRx * (inside > 0 ? std::sqrt(inside) : 0.0) + 0.004;
            const V3 normal = Normalize(V3{x / (kHeadRx * kHeadRx), (y - kHeadCentre.y) / (kHeadRy * kHeadRy), z / (kHeadRz * kHeadRz)});
            strip.push_back(b.AddVertex({x, y + 0.006, z}, normal, head));
            strip.push_back(b.AddVertex({x, y - 0.006, z}, normal, head));
        }
        b.AddStrip(kNose, std::move(strip));
    }

    // Snout: a tapering cone out of the face, with a round dark nose.
    {
        const V3 base{0.12, 0.865, 0};
        const V3 tip = c.nodes[static_cast<size_t>(c.NodeIndex("nose_tip"))].joint;
        Lathe s;
        s.origin = base;
        s.axis = Normalize(tip - base);
        s.side1 = Normalize(Cross(s.axis, V3{0, 0, 1}));
        s.side2 = Cross(s.axis, s.side1);
        s.scale1 = 1.0;
        s.scale2 = 1.1;
        const double len = Length(tip - base);
        s.height = [len](double v) { return len * v; };
        s.radius = [](double v) { return 0.125 * (1.0 - v) + 0.036 * v - 0.018 * Sin(kPi * v); };
        const Grid g = b.AddLathe(s, 12, 6, 0.0, 0.96, [&](V3, double) { return snout; });
        b.StripGrid(g, [](double, double, V3) { return kFace; });
        const Lathe nose = Ellipsoid(tip, s.axis, {0, 1, 0}, 0.042, 0.045, 0.052);
        const Grid n = b.AddLathe(nose, 10, 6, 0.08, 0.92, [&](V3, double) { return snout; });
        b.StripGrid(n, [](double, double, V3) { return kNose; });
        b.Cap(n.rings.front(), kNose);
        b.Cap(n.rings.back(), kNose);
    }

    // Eyes: tall glossy ovals with a bright catch-light toward the light.
    for (int side = -1; side <= 1; side += 2) {
        const V3 d = Normalize(V3{0.80, 0.16, 0.50 * side});
        const V3 centre = kHeadCentre + V3{d.x * kHeadRx, d.y * kHeadRy, d.z * kHeadRz} * 0.90;
        const Lathe eye = Ellipsoid(centre, d, {0, 1, 0}, 0.045, 0.085, 0.062);
        const Grid g = b.AddLathe(eye, 10, 6, 0.08, 0.92, [&](V3, double) { return head; });
        b.StripGrid(g, [](double, double, V3) { return kEye; });
        b.Cap(g.rings.front(), kEye);
        b.Cap(g.rings.back(), kEye);
        const V3 shineAt = centre + d * 0.044 + V3{0, 1, 0} * 0.04;
        const Lathe shine = Ellipsoid(shineAt, d, {0, 1, 0}, 0.012, 0.024, 0.02);
        const Grid sg = b.AddLathe(shine, 6, 4, 0.1, 0.9, [&](V3, double) { return head; });
        b.StripGrid(sg, [](double, double, V3) { return kEyeShine; });
        b.Cap(sg.rings.back(), kEyeShine);
    }

    // Ears: small rounded leaves, pink inside.
    for (int side = -1; side <= 1; side += 2) {
        const int ear = c.NodeIndex(side < 0 ? "ear_l" : "ear_r");
        const V3 base = c.nodes[static_cast<size_t>(ear)].joint;
        const V3 out = Normalize(V3{0.05, 0.75, 0.62 * side});
        const Lathe e = Ellipsoid(base + out * 0.055, out, {0.2, 0, -0.15 * side}, 0.085, 0.068, 0.03);
        const Grid g = b.AddLathe(e, 8, 5, 0.1, 0.9, [&](V3, double) { return ear; });
        b.StripGrid(g, [base, out](double, double, V3 p) {
            const V3 q = p - base;
            const double along = Dot(q, out);
            return (q.x > 0.012 && along > 0.03 && along < 0.11) ? kInnerEar : kFur;
        });
        b.Cap(g.rings.back(), kFur);
    }

    // Arms: furry tubes that bend at the elbow, with round paws.
    for (int side = -1; side <= 1; side += 2) {
        const int upper = c.NodeIndex(side < 0 ? "upper_arm_l" : "upper_arm_r");
        const int fore = c.NodeIndex(side < 0 ? "forearm_l" : "forearm_r");
        const V3 shoulder = c.nodes[static_cast<size_t>(upper)].joint;
        const V3 elbow = c.nodes[static_cast<size_t>(fore)].joint;
        const V3 paw = c.nodes[static_cast<size_t>(c.NodeIndex(side < 0 ? "paw_l" : "paw_r"))].joint;
        const V3 axis = Normalize(paw - shoulder);
        const double total = Length(paw - shoulder);
        const double elbowAt = Dot(elbow - shoulder, axis);
        Lathe a;
        a.origin = shoulder - axis * 0.05;
        a.axis = axis;
        a.side1 = Normalize(Cross(axis, V3{0, 0, 1}));
        a.side2 = Cross(axis, a.side1);
        const double len = total + 0.02;
        a.height = [len](double v) { return len * v; };
        a.radius = [](double v) { return 0.058 - 0.014 * v; };
        const Grid g = b.AddLathe(a, 8, 7, 0.0, 1.0, [&](V3 p, double) {
            return Dot(p - shoulder, axis) < elbowAt ? upper : fore;
        });
        b.StripGrid(g, [](double, double, V3) { return kFur; });
        const Lathe pw = Ellipsoid(paw + axis * 0.015, axis, {1, 0, 0}, 0.058, 0.05, 0.056);
        const Grid pg = b.AddLathe(pw, 8, 5, 0.08, 0.92, [&](V3, double) { return fore; });
        b.StripGrid(pg, [](double, double, V3) { return kPaw; });
        b.Cap(pg.rings.front(), kPaw);
        b.Cap(pg.rings.back(), kPaw);
    }

    // Legs: short stumps with big round feet.
    for (int side = -1; side <= 1; side += 2) {
        const int thigh = c.NodeIndex(side < 0 ? "thigh_l" : "thigh_r");
        const int shin = c.NodeIndex(side < 0 ? "shin_l" : "shin_r");
        const V3 hip = c.nodes[static_cast<size_t>(thigh)].joint;
        const V3 knee = c.nodes[static_cast<size_t>(shin)].joint;
        const V3 ankle{0.02, 0.06, 0.14 * side};
        const V3 axis = Normalize(ankle - hip);
        const double kneeAt = Dot(knee - hip, axis);
        Lathe l;
        l.origin = hip;
        l.axis = axis;
        l.side1 = Normalize(Cross(axis, V3{0, 0, 1}));
        l.side2 = Cross(axis, l.side1);
        const double len = Length(ankle - hip);
        l.height = [len](double v) { return len * v; };
        l.radius = [](double v) { return 0.07 - 0.01 * v; };
        const Grid g = b.AddLathe(l, 8, 5, 0.0, 1.0, [&](V3 p, double) {
            return Dot(p - hip, axis) < kneeAt ? thigh : shin;
        });
        b.StripGrid(g, [](double, double, V3) { return kFur; });
        const Lathe foot = Ellipsoid(V3{0.07, 0.045, 0.14 * side}, {1, 0, 0}, {0, 1, 0}, 0.115, 0.05, 0.075);
        const Grid fg = b.AddLathe(foot, 10, 6, 0.06, 0.94, [&](V3, double) { return shin; });
        b.StripGrid(fg, [](double, double, V3) { return kFoot; });
        b.Cap(fg.rings.front(), kFoot);
        b.Cap(fg.rings.back(), kFoot);
    }

    // A short stub of a tail low on the back.
    {
        const V3 at = c.nodes[static_cast<size_t>(c.NodeIndex("tail"))].joint;
        const Lathe t = Ellipsoid(at + V3{-0.02, -0.01, 0}, {-1.0, -0.5, 0}, {0, 1, 0}, 0.05, 0.035, 0.035);
        const Grid g = b.AddLathe(t, 8, 4, 0.2, 0.9, [&](V3, double) { return hips; });
        b.StripGrid(g, [](double, double, V3) { return kFur; });
        b.Cap(g.rings.back(), kFur);
    }

    // Quills: a spiky hood over the top, back and sides of the head, framing the face, and a
    // coat down the back. Spread evenly with a golden-angle spiral.
    {
        const int n = 92;
        for (int i = 0; i < n; ++i) {
            const V3 d = SpiralPoint(i, n);
            if (Dot(d, Normalize(V3{1.0, -0.25, 0})) > 0.42 || d.y < -0.30) continue;
            // Leave the ears free.
            if (Dot(d, Normalize(V3{-0.05, 0.62, 0.7})) > 0.93 || Dot(d, Normalize(V3{-0.05, 0.62, -0.7})) > 0.93) continue;
            const V3 surface = kHeadCentre + V3{d.x * kHeadRx, d.y * kHeadRy, d.z * kHeadRz};
            const V3 dir = Normalize(d * 0.75 + V3{-0.55, 0.12, 0});
            const double length = 0.13 + 0.05 * (d.y > 0 ? d.y : 0.0);
            AddQuill(b, crest, surface - d * 0.035, dir, length, 0.03);
        }
    }
    {
        const int n = 72;
        for (int i = 0; i < n; ++i) {
            const V3 d = SpiralPoint(i, n);
            const double y = kBodyCentreY + d.y * kBodyRy;
            if (d.x > -0.12 || y < 0.30 || y > 0.68) continue;
            const double t = d.y;
            const double taper = t > 0 ? 1.0 - 0.28 * t : 1.0 - 0.06 * t * t;
            const V3 surface{d.x * kBodyRx * taper, y, d.z * kBodyRz * taper};
            const V3 outward = Normalize(V3{d.x, 0.3 * d.y, d.z});
            const V3 dir = Normalize(outward * 0.7 + V3{-0.45, -0.4, 0});
            AddQuill(b, backQuills, surface - outward * 0.035, dir, 0.17, 0.034);
        }
    }

    return c;
}

}  // namespace author
