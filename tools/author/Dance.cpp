#include "tools/author/Dance.h"

namespace author {

namespace {

double Max0(double v) { return v > 0 ? v : 0; }
double Abs(double v) { return v < 0 ? -v : v; }

// Smooth 0..1..0 hop over one beat (s = sin of the beat phase): rounded at the top, a sharp
// landing at the bottom.
double Hop(double s) {
    const double a = Abs(s);
    return 1.0 - (1.0 - a) * (1.0 - a);
}

// 0 at the loop's ends, 1 in its middle, eased.
double Middle(double t) { return 0.5 - 0.5 * Cos(t); }

// How far each wing is raised (0 hanging, 1 up high) at phase t = 2 pi f / 89. At the loop's
// ends the wings flap in turn, one per hop; in its middle both flap together, three times in two hops.
double WingRaise(double t, int side) {
    const double s = Sin(2.0 * t);
    const double alone = side < 0 ? Max0(s) : Max0(-s);
    const double together = 0.55 + 0.45 * Sin(6.0 * t - 1.2);
    const double m = Middle(t);
    return (1.0 - m) * alone * alone * (3.0 - 2.0 * alone) + m * together;
}

// The choreography as angles (radians, about x, y, z) per keyed node at phase t. About x leans
// a node sideways (positive toward the bird's right), about y turns it, about z pitches it
// (positive lifts whatever points forward).
V3 NodeAngles(const std::string& name, double t) {
    const double beat = 2.0 * t;  // one hop per half turn of the beat: four per loop
    const double s = Sin(beat);
    const double hop = Hop(s);
    const double sing = Middle(t);
    if (name == "hips") return {0.07 * Sin(t), 0.20 * s, 0.06 * Sin(2.0 * beat + 0.4)};
    if (name == "chest") return {0.08 * Sin(beat + 0.5), 0.10 * Sin(beat + 0.3), -0.10 * hop + 0.05 * sing};
    // The head tilts with the sway, turns to look about and lifts to sing in the middle.
    if (name == "head")
        return {0.28 * Sin(beat + 1.2), 0.42 * Sin(t + 0.3) * (1.0 - 0.6 * sing), 0.10 * Sin(2.0 * beat + 0.6) + 0.22 * sing};
    // Sings on every hop of the loop's middle.
    if (name == "lower_beak") return {0.0, 0.0, -0.32 * sing * Max0(Sin(2.0 * beat - 0.8))};
    // Crest and tail follow through: they lag behind each landing.
    if (name == "crest") return {0.16 * Sin(beat + 2.0), 0.0, -0.22 * Sin(2.0 * beat + 1.4)};
    if (name == "tail") return {0.10 * Sin(beat + 1.0), 0.38 * Sin(beat + 1.6), 0.16 * Sin(2.0 * beat + 2.2)};
    // Wings: raised sideways about x (outward is + for the left wing at -z), swung forward a
    // little about z; the outer segments trail behind the upstroke and downstroke and the
    // feathers open when the wing is high.
    for (int side = -1; side <= 1; side += 2) {
        const std::string suffix = side < 0 ? "_l" : "_r";
        const double out = side < 0 ? 1.0 : -1.0;
        const double raise = WingRaise(t, side);
        const double trail = WingRaise(t - 0.22, side) - raise;
        const double trail2 = WingRaise(t - 0.40, side) - raise;
        if (name == "upper_wing" + suffix) return {out * (0.12 + 1.75 * raise), 0.0, 0.10 + 0.08 * raise};
        if (name == "forewing" + suffix) return {out * (0.10 + 0.5 * trail), 0.0, 0.08 * raise};
        if (name == "wing_tip" + suffix) return {out * (0.10 + 0.45 * (trail2 - trail)), 0.0, 0.05};
    }
    // Legs: one foot tucks on each hop, left and right in turn.
    if (name == "thigh_l") return {0.05 * s, 0.0, 0.7 * Max0(s)};
    if (name == "thigh_r") return {0.05 * s, 0.0, 0.7 * Max0(-s)};
    if (name == "shin_l") return {0.0, 0.0, -1.1 * Max0(s)};
    if (name == "shin_r") return {0.0, 0.0, -1.1 * Max0(-s)};
    return {};
}

// The root: four hops per loop, a sway from side to side and a little rock back and forth.
V3 RootPosition(double t) {
    return {0.015 * Sin(2.0 * t + 0.7), 0.085 * Hop(Sin(2.0 * t)), 0.07 * Sin(t)};
}

// A list's values at every frame 0..89, three channels each.
using Curve = std::vector<V3>;

double Channel(V3 v, int i) { return i == 0 ? v.x : (i == 1 ? v.y : v.z); }

// Keys where an animator puts them: the first and last frame, every extreme (a frame where some
// channel turns round), then breakdowns wherever the straight line between two keys strays more
// than `tolerance` (and 3.5 % of the widest move more) from the curve, the worst frame first.
std::vector<uint32_t> KeyFrames(const Curve& curve, double tolerance) {
    const size_t n = curve.size();
    std::vector<bool> key(n, false);
    key.front() = key.back() = true;
    // Only the channels that carry the move have extremes worth a key of their own.
    double range[3] = {0, 0, 0}, widest = 0;
    for (int i = 0; i < 3; ++i) {
        double lo = Channel(curve[0], i), hi = lo;
        for (const V3& v : curve) {
            lo = Channel(v, i) < lo ? Channel(v, i) : lo;
            hi = Channel(v, i) > hi ? Channel(v, i) : hi;
        }
        range[i] = hi - lo;
        widest = range[i] > widest ? range[i] : widest;
    }
    for (size_t f = 1; f + 1 < n; ++f)
        for (int i = 0; i < 3; ++i) {
            if (range[i] < 0.3 * widest) continue;
            const double before = Channel(curve[f - 1], i), at = Channel(curve[f], i), after = Channel(curve[f + 1], i);
            if ((at > before && at >= after) || (at < before && at <= after)) key[f] = true;
        }
    tolerance += 0.035 * widest;
    for (;;) {
        double worst = tolerance;
        size_t worstAt = 0;
        size_t previous = 0;
        for (size_t f = 1; f < n; ++f) {
            if (!key[f]) continue;
            for (size_t g = previous + 1; g < f; ++g) {
                const double t = static_cast<double>(g - previous) / static_cast<double>(f - previous);
                for (int i = 0; i < 3; ++i) {
                    const double a = Channel(curve[previous], i), b = Channel(curve[f], i);
                    const double error = Abs(a + (b - a) * t - Channel(curve[g], i));
                    if (error > worst) {
                        worst = error;
                        worstAt = g;
                    }
                }
            }
            previous = f;
        }
        if (worstAt == 0) break;
        key[worstAt] = true;
    }
    std::vector<uint32_t> frames;
    for (size_t f = 0; f < n; ++f)
        if (key[f]) frames.push_back(static_cast<uint32_t>(f));
    return frames;
}

// Phase of frame f: frame 89 closes the loop.
double Phase(uint32_t f) { return kTwoPi * static_cast<double>(f) / static_cast<double>(kDanceFrames - 1); }

// Within this of the choreography between keys, before KeyFrames adds its share of the widest
// move: two thirds of a degree, and 2 mm on a 1.4-unit bird.
constexpr double kAngleTolerance = 0.012;
constexpr double kPositionTolerance = 0.002;

float ToFloat(double v) { return static_cast<float>(v); }

}  // namespace

Dance BuildDance(const Character& character) {
    Dance d;
    d.frameCount = kDanceFrames;
    d.positions.resize(character.nodes.size());
    d.angles.resize(character.nodes.size());

    Curve root;
    for (uint32_t f = 0; f < kDanceFrames; ++f) root.push_back(RootPosition(Phase(f)));
    for (uint32_t f : KeyFrames(root, kPositionTolerance))
        d.positions[0].push_back({f, ToFloat(root[f].x), ToFloat(root[f].y), ToFloat(root[f].z)});

    for (size_t n = 0; n < character.nodes.size(); ++n) {
        const Node& node = character.nodes[n];
        if (!node.angleKeys) continue;
        Curve angles;
        for (uint32_t f = 0; f < kDanceFrames; ++f) angles.push_back(NodeAngles(node.name, Phase(f)));
        for (uint32_t f : KeyFrames(angles, kAngleTolerance)) {
            const V3 a = angles[f];
            d.angles[n].push_back({f, RadiansToUnits(a.x), RadiansToUnits(a.y), RadiansToUnits(a.z)});
        }
    }

    // The loop closes exactly: the last key repeats the first, bit for bit.
    for (auto& list : d.positions)
        if (!list.empty()) {
            const uint32_t last = list.back().frame;
            list.back() = list.front();
            list.back().frame = last;
        }
    for (auto& list : d.angles)
        if (!list.empty()) {
            const uint32_t last = list.back().frame;
            list.back() = list.front();
            list.back().frame = last;
        }
    return d;
}

namespace {

// Index i of the last key with frame <= f (clamped to the list).
template <class Key>
size_t KeyBefore(const std::vector<Key>& keys, double f) {
    size_t i = 0;
    while (i + 1 < keys.size() && static_cast<double>(keys[i + 1].frame) <= f) ++i;
    return i;
}

double ShorterWay(double a, double b) {
    if (b - a > 3.14) return b - 6.28;
    if (b - a < -3.14) return b + 6.28;
    return b;
}

}  // namespace

V3 SamplePosition(const std::vector<PositionKey>& keys, double frame, V3 fallback) {
    if (keys.empty()) return fallback;
    const size_t i = KeyBefore(keys, frame);
    const PositionKey& a = keys[i];
    if (i + 1 >= keys.size() || frame <= static_cast<double>(a.frame)) return {a.x, a.y, a.z};
    const PositionKey& b = keys[i + 1];
    const double t = (frame - static_cast<double>(a.frame)) / static_cast<double>(b.frame - a.frame);
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

V3 SampleAngles(const std::vector<AngleKey>& keys, double frame, V3 fallbackRadians) {
    if (keys.empty()) return fallbackRadians;
    const size_t i = KeyBefore(keys, frame);
    const AngleKey& a = keys[i];
    const V3 ra{UnitsToRadians(a.x), UnitsToRadians(a.y), UnitsToRadians(a.z)};
    if (i + 1 >= keys.size() || frame <= static_cast<double>(a.frame)) return ra;
    const AngleKey& b = keys[i + 1];
    const double t = (frame - static_cast<double>(a.frame)) / static_cast<double>(b.frame - a.frame);
    const V3 rb{ShorterWay(ra.x, UnitsToRadians(b.x)), ShorterWay(ra.y, UnitsToRadians(b.y)), ShorterWay(ra.z, UnitsToRadians(b.z))};
    return ra + (rb - ra) * t;
}

}  // namespace author
