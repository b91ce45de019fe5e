#include "tools/author/Dance.h"

namespace author {

namespace {

double Max0(double v) { return v > 0 ? v : 0; }

// Smooth 0..1..0 hop over one beat (s = sin of the beat phase): rounded at the top, a sharp
// landing at the bottom.
double Hop(double s) {
    const double a = s < 0 ? -s : s;
    return 1.0 - (1.0 - a) * (1.0 - a);
}

// The choreography as angles (radians, about x, y, z) per keyed node at phase t = 2 pi f / 89.
// Four hops per loop; arms pump in turn, the head tilts with the sway, quills and ears lag a
// little behind each landing.
V3 NodeAngles(const std::string& name, double t) {
    const double beat = 2.0 * t;
    const double s = Sin(beat);
    const double hop = Hop(s);
    if (name == "hips") return {-0.05 * Sin(t), 0.22 * s, 0.0};
    if (name == "chest") return {0.10 * Sin(beat + 0.5), 0.08 * Sin(beat + 0.3), -0.08 * hop};
    if (name == "neck") return {0.08 * Sin(beat + 1.0), -0.10 * s, 0.06 * Sin(2.0 * beat)};
    // The head looks up a little while both arms are raised.
    if (name == "head") return {0.16 * Sin(beat + 1.6), 0.18 * Sin(t), 0.08 * Sin(2.0 * beat + 0.6) + 0.12 * (0.5 - 0.5 * Cos(t))};
    if (name == "crest") return {0.10 * Sin(beat + 2.2), 0.0, -0.12 * Sin(2.0 * beat + 1.2)};
    if (name == "back_quills") return {0.07 * Sin(beat + 2.0), 0.0, -0.08 * Sin(2.0 * beat + 1.5)};
    if (name == "ear_l") return {0.30 * Sin(2.0 * beat + 1.0), 0.0, 0.1 * Sin(beat)};
    if (name == "ear_r") return {-0.30 * Sin(2.0 * beat + 1.3), 0.0, 0.1 * Sin(beat)};
    // Arms: raise sideways (about x, outward is + for the left arm at -z) and swing forward
    // (about z); forearms bend at the elbow and wave. At the loop's ends the arms pump in turn;
    // in its middle both go up and wave together.
    const double alternate = 0.5 + 0.5 * Cos(t);
    const double together = 1.0 - alternate;
    const double pump = 0.5 + 0.5 * Sin(2.0 * beat);
    const double left = alternate * (0.5 + 0.5 * s) + together * (0.7 + 0.3 * pump);
    const double right = alternate * (0.5 - 0.5 * s) + together * (0.7 + 0.3 * pump);
    if (name == "upper_arm_l") return {0.3 + 1.9 * left, 0.0, 0.3 + 0.4 * left};
    if (name == "upper_arm_r") return {-(0.3 + 1.9 * right), 0.0, 0.3 + 0.4 * right};
    if (name == "forearm_l") return {0.0, 0.0, 0.35 + 0.5 * left + 0.25 * Sin(2.0 * beat)};
    if (name == "forearm_r") return {0.0, 0.0, 0.35 + 0.5 * right + 0.25 * Sin(2.0 * beat + 0.8)};
    // Legs: tuck one foot on each hop, left and right in turn.
    if (name == "thigh_l") return {0.05 * s, 0.0, 0.55 * Max0(s)};
    if (name == "thigh_r") return {0.05 * s, 0.0, 0.55 * Max0(-s)};
    if (name == "shin_l") return {0.0, 0.0, -0.9 * Max0(s)};
    if (name == "shin_r") return {0.0, 0.0, -0.9 * Max0(-s)};
    return {};
}

// Keys every `step` frames from 0, and always at the last frame.
std::vector<uint32_t> KeyFrames(uint32_t step) {
    std::vector<uint32_t> frames;
    for (uint32_t f = 0; f < kDanceFrames - 1; f += step) frames.push_back(f);
    frames.push_back(kDanceFrames - 1);
    return frames;
}

uint32_t KeyStep(const std::string& name) {
    if (name == "crest" || name == "back_quills" || name == "ear_l" || name == "ear_r") return 2;
    if (name == "hips" || name == "chest") return 1;
    if (name == "neck") return 3;
    return 1;
}

float ToFloat(double v) { return static_cast<float>(v); }

}  // namespace

Dance BuildDance(const Character& character) {
    Dance d;
    d.frameCount = kDanceFrames;
    d.positions.resize(character.nodes.size());
    d.angles.resize(character.nodes.size());
    const double period = static_cast<double>(kDanceFrames - 1);  // frame 89 closes the loop

    // The root: four hops per loop and a sway from side to side.
    for (uint32_t f : KeyFrames(1)) {
        const double t = kTwoPi * static_cast<double>(f) / period;
        const double hop = Hop(Sin(2.0 * t));
        PositionKey k;
        k.frame = f;
        k.x = ToFloat(0.015 * Sin(2.0 * t + 0.7));
        k.y = ToFloat(0.055 * hop);
        k.z = ToFloat(0.07 * Sin(t));
        d.positions[0].push_back(k);
    }

    for (size_t n = 0; n < character.nodes.size(); ++n) {
        const Node& node = character.nodes[n];
        if (!node.angleKeys) continue;
        for (uint32_t f : KeyFrames(KeyStep(node.name))) {
            const double t = kTwoPi * static_cast<double>(f) / period;
            const V3 a = NodeAngles(node.name, t);
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
