// Key sampling and interpolation of motion lists.
//
// Frames before a list's first key hold the first key, frames at or past its last key hold the
// last one (a NaN frame holds the first key); between them the binary search finds the two
// enclosing keys. Keys out of frame order give some in-list pair, never a key outside it.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr float kHalfTurn = 3.14f;
constexpr float kFullTurn = 6.28f;
constexpr int kMaxSearchLevels = 32;

constexpr uint32_t kKeyBytes = 16;

// Keys are copied out of the motion body one at a time (a key array may start at any address).
template <class Key>
struct KeyArray {
    const uint8_t* bytes;
    Key operator[](int64_t i) const {
        Key k;
        std::memcpy(&k, bytes + static_cast<size_t>(i) * kKeyBytes, sizeof k);
        return k;
    }
};

template <class Key, class Interpolate>
void SampleKeys(const uint8_t* bytes, int32_t count, float frame, float out[3], Interpolate interpolate) {
    static_assert(sizeof(Key) == kKeyBytes);
    if (bytes == nullptr || count <= 0) return;
    const KeyArray<Key> keys{bytes};
    const int64_t last = count - 1;
    if (!(frame > static_cast<float>(keys[0].frame))) {
        interpolate(keys[0], keys[0], frame, out);
        return;
    }
    if (frame >= static_cast<float>(keys[last].frame)) {
        interpolate(keys[last], keys[last], frame, out);
        return;
    }
    int64_t step = 1;
    int levels = 0;
    while (step < last && levels < kMaxSearchLevels) {
        step *= 2;
        ++levels;
    }
    int64_t i = step;
    for (int level = 0; level < levels; ++level) {
        if (i > last) {
            step /= 2;
            i -= step;
            continue;
        }
        const float keyFrame = static_cast<float>(keys[i].frame);
        if (frame < keyFrame) {
            step /= 2;
            i -= step;
        } else if (frame == keyFrame) {
            interpolate(keys[i], keys[i], frame, out);
            return;
        } else {
            step /= 2;
            i += step;
        }
    }
    if (i < 0) i = 0;
    if (i > last) i = last;
    if (static_cast<float>(keys[i].frame) <= frame)
        interpolate(keys[i], keys[i < last ? i + 1 : i], frame, out);
    else
        interpolate(keys[i > 0 ? i - 1 : i], keys[i], frame, out);
}

}  // namespace

void mdlInterpolateVector(const VectorKey& a, const VectorKey& b, float frame, float out[3]) {
    if (a.frame == b.frame) {
        out[0] = b.x;
        out[1] = b.y;
        out[2] = b.z;
        return;
    }
    const float span = static_cast<float>(b.frame - a.frame);
    const float t = frame - static_cast<float>(a.frame);
    out[0] = a.x + ((b.x - a.x) / span) * t;
    out[1] = a.y + ((b.y - a.y) / span) * t;
    out[2] = a.z + ((b.z - a.z) / span) * t;
}

float mdlInterpolateAngle(float a, float b, float ta, float tb, float frame) {
    const float span = tb - ta;
    if (span == 0.0f) return a;
    // The shorter way round, by the file's own half and full turn.
    if (b - a > kHalfTurn)
        b -= kFullTurn;
    else if (b - a < -kHalfTurn)
        b += kFullTurn;
    return a + ((b - a) / span) * (frame - ta);
}

void mdlInterpolateRotation(const AngleKey& a, const AngleKey& b, float frame, float out[3]) {
    if (a.frame == b.frame) {
        out[0] = mdlAngleToRadians(b.x);
        out[1] = mdlAngleToRadians(b.y);
        out[2] = mdlAngleToRadians(b.z);
        return;
    }
    const float ta = static_cast<float>(a.frame), tb = static_cast<float>(b.frame);
    out[0] = mdlInterpolateAngle(mdlAngleToRadians(a.x), mdlAngleToRadians(b.x), ta, tb, frame);
    out[1] = mdlInterpolateAngle(mdlAngleToRadians(a.y), mdlAngleToRadians(b.y), ta, tb, frame);
    out[2] = mdlInterpolateAngle(mdlAngleToRadians(a.z), mdlAngleToRadians(b.z), ta, tb, frame);
}

void mdlSampleVectorKeys(const uint8_t* keys, int32_t count, float frame, float out[3]) {
    SampleKeys<VectorKey>(keys, count, frame, out, mdlInterpolateVector);
}

void mdlSampleAngleKeys(const uint8_t* keys, int32_t count, float frame, float out[3]) {
    SampleKeys<AngleKey>(keys, count, frame, out, mdlInterpolateRotation);
}
