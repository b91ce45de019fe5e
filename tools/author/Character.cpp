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

constexpr V3 kHeadCentre{0.04, 0.99, 0.0};
constexpr double kHeadRx = 0.28, kHeadRy = 0.27, kHeadRz = 0.29;

constexpr double kBodyCentreY = 0.49, kBodyRy = 0.33, kBodyRx = 0.335, kBodyRz = 0.335;

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
// Every bone is turned by the dance; the other nodes are joints and anchors for geometry.
const NodeDef kNodes[] = {
    {"root", nullptr, {0, 0, 0}, false, false},
    {"hips", "root", {0, 0.30, 0}, true, true},
    {"chest", "hips", {0, 0.46, 0}, true, true},
    {"neck", "chest", {0, 0.74, 0}, false, false},
    {"head", "neck", {0, 0.80, 0}, true, true},
    {"beak", "head", {0.22, 0.925, 0}, false, false},
    {"lower_beak", "beak", {0.22, 0.925, 0}, true, true},
    {"crest", "head", {-0.02, 1.22, 0}, true, true},
    {"crest_tip", "crest", {-0.05, 1.37, 0}, false, false},
    {"eye_l", "head", {0.24, 1.0, -0.16}, false, false},
    {"eye_r", "head", {0.24, 1.0, 0.16}, false, false},
    {"cheek_l", "head", {0.18, 0.92, -0.22}, false, false},
    {"cheek_r", "head", {0.18, 0.92, 0.22}, false, false},
    {"shoulder_l", "chest", {0.0, 0.70, -0.26}, false, false},
    {"upper_wing_l", "shoulder_l", {0.0, 0.70, -0.28}, true, true},
    {"forewing_l", "upper_wing_l", {-0.03, 0.57, -0.35}, true, true},
    {"wing_tip_l", "forewing_l", {-0.06, 0.45, -0.40}, true, true},
    {"shoulder_r", "chest", {0.0, 0.70, 0.26}, false, false},
    {"upper_wing_r", "shoulder_r", {0.0, 0.70, 0.28}, true, true},
    {"forewing_r", "upper_wing_r", {-0.03, 0.57, 0.35}, true, true},
    {"wing_tip_r", "forewing_r", {-0.06, 0.45, 0.40}, true, true},
    {"hip_joint_l", "hips", {0, 0.26, -0.12}, false, false},
    {"thigh_l", "hip_joint_l", {0, 0.26, -0.12}, true, true},
    {"shin_l", "thigh_l", {0.02, 0.14, -0.125}, true, true},
    {"foot_l", "shin_l", {0.01, 0.03, -0.13}, false, false},
    {"hip_joint_r", "hips", {0, 0.26, 0.12}, false, false},
    {"thigh_r", "hip_joint_r", {0, 0.26, 0.12}, true, true},
    {"shin_r", "thigh_r", {0.02, 0.14, 0.125}, true, true},
    {"foot_r", "shin_r", {0.01, 0.03, 0.13}, false, false},
    {"tail_base", "hips", {-0.20, 0.30, 0}, false, false},
    {"tail", "tail_base", {-0.21, 0.30, 0}, true, true},
    {"tail_tip", "tail", {-0.50, 0.55, 0}, false, false},
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

V3 JointOf(const Character& c, const char* name) { return c.nodes[static_cast<size_t>(c.NodeIndex(name))].joint; }

// A unit vector across `axis`: `hint` with its component along the axis taken away.
V3 Across(V3 axis, V3 hint) { return Normalize(hint - axis * Dot(hint, axis)); }

// One feather: a flattened spindle from `base` along `dir`, `width` across in the direction
// `flat` and `thickness` through it, its outer part in `tip`.
void AddFeather(SkinBuilder& b, int bone, V3 base, V3 dir, V3 flat, double length, double width, double thickness, Material body,
                Material tip, double tipFrom) {
    Lathe l;
    l.axis = Normalize(dir);
    l.origin = base + l.axis * (0.5 * length);
    l.side1 = Across(l.axis, flat);
    l.side2 = Cross(l.axis, l.side1);
    l.scale1 = width;
    l.scale2 = thickness;
    const double half = 0.5 * length;
    l.height = [half](double v) { return -half * Cos(kPi * v); };
    // Fullest a third of the way out, then a long taper to a rounded point.
    l.radius = [](double v) { return Sin(kPi * v) * (1.1 - 0.45 * v); };
    const Grid g = b.AddLathe(l, 6, 5, 0.06, 0.94, [bone](V3, double) { return bone; });
    b.StripGrid(g, [tip, body, tipFrom](double, double v, V3) { return v > tipFrom ? tip : body; });
    b.Cap(g.rings.front(), body);
    b.Cap(g.rings.back(), tip);
}

}  // namespace

Character BuildCharacter() {
    Character c;
    BuildSkeleton(c);
    const int hips = c.NodeIndex("hips"), chest = c.NodeIndex("chest"), head = c.NodeIndex("head");
    const int lowerBeak = c.NodeIndex("lower_beak"), crest = c.NodeIndex("crest"), tail = c.NodeIndex("tail");

    // Every channel at most 196, so fully lit (1.3 times the colour) nothing clips.
    c.colors[kPlumage] = Rgb(186, 62, 50);
    c.colors[kBreast] = Rgb(196, 170, 132);
    c.colors[kWing] = Rgb(150, 44, 42);
    c.colors[kFlight] = Rgb(96, 36, 44);
    c.colors[kFeatherTip] = Rgb(194, 182, 156);
    c.colors[kCrest] = Rgb(196, 88, 52);
    c.colors[kBeak] = Rgb(196, 150, 40);
    c.colors[kLowerBeak] = Rgb(172, 112, 28);
    c.colors[kEye] = Rgb(22, 18, 30);
    c.colors[kEyeShine] = Rgb(196, 196, 196);
    c.colors[kCheek] = Rgb(196, 114, 124);
    c.colors[kLeg] = Rgb(184, 118, 84);

    SkinBuilder b(c);

    // Body: a plump egg from the seat up into the head; the top rings ride with the head. The
    // front columns bunch up around the breast so its oval edge runs along grid lines.
    {
        const int segs = 20, breastCols = 8;
        auto breastHalfWidth = [](double v) {
            const double y = kBodyCentreY - kBodyRy * Cos(kPi * v);
            const double t = (y - 0.47) / 0.30;
            return t > -1 && t < 1 ? 0.02 + 0.64 * std::sqrt(1.0 - t * t) : 0.02;
        };
        Lathe body;
        body.origin = {0, kBodyCentreY, 0};
        body.scale1 = kBodyRx;
        body.scale2 = kBodyRz;
        body.height = [](double v) { return -kBodyRy * Cos(kPi * v); };
        body.radius = [](double v) {
            const double t = -Cos(kPi * v);  // -1 bottom .. 1 top
            const double taper = t > 0 ? 1.0 - 0.30 * t : 1.0 - 0.05 * t * t;
            return Sin(kPi * v) * taper;
        };
        body.angle = RegionWarp(segs, breastCols, breastHalfWidth);
        const Grid g = b.AddLathe(body, segs, 14, 0.06, 0.94, [&](V3 p, double) {
            if (p.y < 0.40) return hips;
            if (p.y < 0.74) return chest;
            return head;
        });
        b.StripGrid(g, [&](double u, double v, V3) {
            return (u * segs < breastCols && breastHalfWidth(v) > 0.12) ? kBreast : kPlumage;
        });
        b.Cap(g.rings.front(), kPlumage);
    }

    // Head: a round ball, red on the crown and nape, the pale face and throat in front (again on
    // grid lines).
    {
        const int segs = 20, faceCols = 8;
        auto faceHalfWidth = [](double v) {
            const double y = kHeadCentre.y - kHeadRy * Cos(kPi * v);
            const double t = (y - 0.94) / 0.20;
            if (t <= -1 || t >= 1) return 0.02;
            return 0.02 + 1.1 * std::sqrt(1.0 - t * t) * (t > 0 ? 1.0 - 0.3 * t : 1.0);
        };
        Lathe h = Ellipsoid(kHeadCentre, {0, 1, 0}, {1, 0, 0}, kHeadRy, kHeadRx, kHeadRz);
        h.angle = RegionWarp(segs, faceCols, faceHalfWidth);
        const Grid g = b.AddLathe(h, segs, 11, 0.05, 0.95, [&](V3, double) { return head; });
        b.StripGrid(g, [&](double u, double v, V3) {
            return (u * segs < faceCols && faceHalfWidth(v) > 0.15) ? kBreast : kPlumage;
        });
        b.Cap(g.rings.front(), kBreast);
        b.Cap(g.rings.back(), kPlumage);
    }

    // A point on the head's surface in direction d (not necessarily unit) from its centre.
    auto onHead = [](V3 d, double depth) {
        d = Normalize(d);
        return kHeadCentre + V3{d.x * kHeadRx, d.y * kHeadRy, d.z * kHeadRz} * depth;
    };

    // Eyes: glossy dark ovals with a bright catch-light toward the light; rosy cheeks below.
    for (int side = -1; side <= 1; side += 2) {
        const V3 d = Normalize(V3{0.74, 0.06, 0.60 * side});
        const V3 centre = onHead(d, 0.93);
        const Lathe eye = Ellipsoid(centre, d, {0, 1, 0}, 0.035, 0.06, 0.046);
        const Grid g = b.AddLathe(eye, 8, 5, 0.08, 0.92, [&](V3, double) { return head; });
        b.StripGrid(g, [](double, double, V3) { return kEye; });
        b.Cap(g.rings.front(), kEye);
        b.Cap(g.rings.back(), kEye);
        const V3 shineAt = centre + d * 0.033 + V3{0, 0.022, 0.012};
        const Lathe shine = Ellipsoid(shineAt, d, {0, 1, 0}, 0.01, 0.02, 0.017);
        const Grid sg = b.AddLathe(shine, 6, 3, 0.2, 0.9, [&](V3, double) { return head; });
        b.StripGrid(sg, [](double, double, V3) { return kEyeShine; });
        b.Cap(sg.rings.back(), kEyeShine);

        const V3 cd = Normalize(V3{0.60, -0.24, 0.76 * side});
        const Lathe cheek = Ellipsoid(onHead(cd, 0.975), cd, {0, 1, 0}, 0.012, 0.038, 0.046);
        const Grid cg = b.AddLathe(cheek, 8, 3, 0.5, 0.9, [&](V3, double) { return head; });
        b.StripGrid(cg, [](double, double, V3) { return kCheek; });
        b.Cap(cg.rings.back(), kCheek);
    }

    // Beak: a short pointed cone out of the face; the lower half is its own bone, hinged at the
    // base, so the bird can sing.
    {
        auto cone = [&](V3 base, V3 dir, double length, double radius, double flat, int bone, Material m, int segs, int rings) {
            Lathe l;
            l.origin = base;
            l.axis = Normalize(dir);
            l.side1 = Across(l.axis, {0, 1, 0});
            l.side2 = Cross(l.axis, l.side1);
            l.scale1 = flat;
            l.height = [length](double v) { return length * v; };
            l.radius = [radius](double v) { return radius * (1.0 - v) * (1.0 + 0.6 * v); };
            const Grid g = b.AddLathe(l, segs, rings, 0.0, 0.96, [bone](V3, double) { return bone; });
            b.StripGrid(g, [m](double, double, V3) { return m; });
            b.Cap(g.rings.front(), m);
            b.Cap(g.rings.back(), m);
        };
        cone({0.23, 0.945, 0}, {1, -0.10, 0}, 0.19, 0.07, 0.62, head, kBeak, 10, 6);
        cone({0.23, 0.915, 0}, {1, -0.28, 0}, 0.15, 0.052, 0.55, lowerBeak, kLowerBeak, 8, 5);
    }

    // Crest: a tuft of four feathers on the crown, fanned back and to the sides.
    {
        const V3 at = JointOf(c, "crest");
        const double tuft[][3] = {{-0.05, 0.0, 0.17}, {0.38, 0.32, 0.16}, {0.38, -0.32, 0.16}, {0.8, 0.0, 0.15}};
        for (const auto& f : tuft) {
            const double back = f[0], spread = f[1], length = f[2];
            const V3 dir{-Sin(back) * Cos(spread), Cos(back) * Cos(spread), Sin(spread)};
            AddFeather(b, crest, at - dir * 0.03, dir, {1, 0, 0}, length + 0.03, 0.06, 0.03, kCrest, kCrest, 2.0);
        }
    }

    // Wings: each a flattened paddle from the shoulder, bending at elbow and wrist, its broad
    // side turned a little toward the front; four flight feathers with pale tips fan out of
    // the end.
    for (int side = -1; side <= 1; side += 2) {
        const char* const names[3][2] = {{"upper_wing_l", "upper_wing_r"}, {"forewing_l", "forewing_r"}, {"wing_tip_l", "wing_tip_r"}};
        const int s = side < 0 ? 0 : 1;
        const int upper = c.NodeIndex(names[0][s]), fore = c.NodeIndex(names[1][s]), tip = c.NodeIndex(names[2][s]);
        const V3 shoulder = c.nodes[static_cast<size_t>(upper)].joint;
        const V3 elbow = c.nodes[static_cast<size_t>(fore)].joint;
        const V3 wrist = c.nodes[static_cast<size_t>(tip)].joint;
        const V3 end = shoulder + Normalize(wrist - shoulder) * 0.29;
        const V3 axis = Normalize(end - shoulder);
        const double length = Length(end - shoulder) + 0.03;
        const double elbowAt = Dot(elbow - shoulder, axis), wristAt = Dot(wrist - shoulder, axis);
        const V3 chord = Across(axis, V3{0.3, 0, -0.95 * side});  // in toward the breast, a little forward
        Lathe w;
        w.origin = shoulder - axis * 0.03;
        w.axis = axis;
        w.side1 = chord;
        w.side2 = Cross(axis, chord);
        w.scale2 = 0.28;
        w.height = [length](double v) { return length * 0.5 * (1.0 - Cos(kPi * v)); };
        w.radius = [](double v) { return std::sqrt(Sin(kPi * v)) * (0.07 + 0.09 * v); };
        const Grid g = b.AddLathe(w, 10, 11, 0.02, 0.98, [&](V3 p, double) {
            const double along = Dot(p - shoulder, axis);
            return along < elbowAt ? upper : (along < wristAt ? fore : tip);
        });
        b.StripGrid(g, [](double, double v, V3) { return v < 0.3 ? kPlumage : kWing; });
        b.Cap(g.rings.front(), kPlumage);
        b.Cap(g.rings.back(), kWing);
        const double fan[][2] = {{0.38, 0.25}, {0.13, 0.31}, {-0.13, 0.30}, {-0.38, 0.24}};
        for (const auto& f : fan) {
            const V3 dir = axis * Cos(f[0]) + chord * Sin(f[0]);
            const V3 base = shoulder + axis * (wristAt - 0.05);
            AddFeather(b, tip, base, dir, chord, f[1], 0.1, 0.022, kFlight, kFeatherTip, 0.68);
        }
    }

    // Legs: feathered thighs tucked under the body, thin bare shins, three long toes each.
    for (int side = -1; side <= 1; side += 2) {
        const int thigh = c.NodeIndex(side < 0 ? "thigh_l" : "thigh_r");
        const int shin = c.NodeIndex(side < 0 ? "shin_l" : "shin_r");
        const V3 hip = c.nodes[static_cast<size_t>(thigh)].joint;
        const V3 knee = c.nodes[static_cast<size_t>(shin)].joint;
        const V3 ankle = JointOf(c, side < 0 ? "foot_l" : "foot_r");
        const V3 axis = Normalize(ankle - hip);
        const double kneeAt = Dot(knee - hip, axis);
        const double len = Length(ankle - hip);
        Lathe l;
        l.origin = hip;
        l.axis = axis;
        l.side1 = Across(axis, {1, 0, 0});
        l.side2 = Cross(axis, l.side1);
        l.height = [len](double v) { return len * v; };
        l.radius = [](double v) {
            if (v < 0.42) return 0.058;
            if (v < 0.6) return 0.058 + (0.02 - 0.058) * (v - 0.42) / 0.18;
            return 0.02;
        };
        const Grid g = b.AddLathe(l, 6, 8, 0.0, 1.0, [&](V3 p, double) { return Dot(p - hip, axis) < kneeAt ? thigh : shin; });
        b.StripGrid(g, [](double, double v, V3) { return v < 0.5 ? kBreast : kLeg; });
        const Lathe ball = Ellipsoid(ankle, {0, 1, 0}, {1, 0, 0}, 0.024, 0.026, 0.026);
        const Grid bg = b.AddLathe(ball, 5, 3, 0.15, 0.85, [shin](V3, double) { return shin; });
        b.StripGrid(bg, [](double, double, V3) { return kLeg; });
        b.Cap(bg.rings.front(), kLeg);
        b.Cap(bg.rings.back(), kLeg);
        for (double spread : {-0.6, 0.0, 0.6}) {
            const V3 dir = Normalize(V3{Cos(spread), -0.12, Sin(spread)});
            Lathe t;
            t.origin = ankle + V3{0, -0.012, 0};
            t.axis = dir;
            t.side1 = Across(dir, {0, 1, 0});
            t.side2 = Cross(dir, t.side1);
            const double toe = spread == 0.0 ? 0.11 : 0.095;
            t.height = [toe](double v) { return toe * v; };
            t.radius = [](double v) { return 0.016 * (1.0 - 0.55 * v); };
            const Grid tg = b.AddLathe(t, 4, 4, 0.0, 1.0, [shin](V3, double) { return shin; });
            b.StripGrid(tg, [](double, double, V3) { return kLeg; });
            b.Cap(tg.rings.back(), kLeg);
        }
    }

    // Tail: a cocked-up fan of five feathers from the rump.
    {
        const V3 at = JointOf(c, "tail");
        const V3 up = Normalize(JointOf(c, "tail_tip") - at);
        const V3 side{0, 0, 1};
        const double fan[][2] = {{-0.62, 0.33}, {-0.31, 0.38}, {0.0, 0.41}, {0.31, 0.38}, {0.62, 0.33}};
        for (const auto& f : fan) {
            const V3 dir = up * Cos(f[0]) + side * Sin(f[0]);
            AddFeather(b, tail, at, dir, side, f[1], 0.065, 0.02, kFlight, kFeatherTip, 0.78);
        }
    }

    return c;
}

}  // namespace author
