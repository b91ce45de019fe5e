// Per-vertex lighting of the render context: one directional light with a wrapped diffuse
// term, the material's diffuse and specular colours, channels saturated into bytes.
#include "render/RenderContext.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

static_assert(offsetof(D3DLVERTEX, specular) == offsetof(D3DLVERTEX, color) + 4, "colour pairs are stored together");

#if defined(__SSE2__)
// A lit channel value to a byte, four lanes at a time: above 1 saturates, 0 or below is 0,
// and a NaN or infinite value (a broken normal from bad model data) is 0 too. Otherwise
// v x 255 truncated, with the one multiply the scalar rule has: clamping into [0, 1] first
// gives exactly 255 above 1 and 0 below 0 (a NaN lane becomes 1 but is masked off).
inline __m128i ChannelBytes(__m128 v) {
    const __m128 finite = _mm_cmpeq_ps(_mm_sub_ps(v, v), _mm_setzero_ps());
    const __m128 clamped = _mm_max_ps(_mm_min_ps(v, _mm_set1_ps(1.0f)), _mm_setzero_ps());
    const __m128i scaled = _mm_cvttps_epi32(_mm_mul_ps(clamped, _mm_set1_ps(255.0f)));
    return _mm_and_si128(scaled, _mm_castps_si128(finite));
}

// Three channel bytes as the low three bytes of a 0xAARRGGBB word.
inline __m128i Rgb(__m128i r, __m128i g, __m128i b) {
    return _mm_or_si128(_mm_slli_epi32(r, 16), _mm_or_si128(_mm_slli_epi32(g, 8), b));
}
#endif

// The rule for one channel: above 1 saturates, 0 or below is 0, NaN or infinite is 0.
uint32_t ChannelByte(float v) {
    if (!std::isfinite(v) || !(v > 0.0f)) return 0;
    if (v > 1.0f) return 255;
    return static_cast<uint32_t>(v * 255.0f);
}

// One vertex lit with normal n: the plain form of what LightVertices does a lane at a time.
void LightOne(const CRenderContext& rc, const Vector3& n, D3DLVERTEX* v) {
    const Vector3& l = rc.m_light.direction;
    const float h = (l.x * n.x + l.y * n.y + l.z * n.z + 1.0f) * 0.5f;
    const float d = rc.m_light.intensity.x + rc.m_light.intensity.y * h;
    const float s = h * rc.m_light.intensity.z;
    const MaterialRecord& m = rc.m_material;
    v->color = (rc.m_color & 0xFF000000u) | ChannelByte(d * m.diffuse.x) << 16 | ChannelByte(d * m.diffuse.y) << 8 |
               ChannelByte(d * m.diffuse.z);
    v->specular = ChannelByte(s * m.specular.x) << 16 | ChannelByte(s * m.specular.y) << 8 | ChannelByte(s * m.specular.z);
}

}  // namespace

// A single vertex (the per-vertex Vertex call) is lit the plain way: setting up lanes for one
// vertex costs more than it saves.
void CRenderContext::LightVertex(D3DLVERTEX* v) const {
    if (v == nullptr) return;
    if (m_lightModel != RC_LIGHTING) {
        // The alternative lighting mode has no colour computation: the vertex keeps the
        // current colour, so nothing of the pool's old contents reaches the device.
        v->color = m_color;
        v->specular = 0;
        return;
    }
    LightOne(*this, m_normal, v);
}

void CRenderContext::LightVertices(D3DLVERTEX* v, const Vector3* normals, int32_t count) const {
    if (v == nullptr || normals == nullptr) return;
    if (m_lightModel != RC_LIGHTING) {
        for (int32_t i = 0; i < count; ++i) {
            v[i].color = m_color;
            v[i].specular = 0;
        }
        return;
    }
#if defined(__SSE2__)
    const Vector3& l = m_light.direction;
    const Vector3& intensity = m_light.intensity;
    const uint32_t alpha = m_color & 0xFF000000u;
    // One vertex a lane, each lane doing the scalar arithmetic in the scalar order:
    // h = (l . n + 1) x 0.5, d = ambient + diffuse factor x h, s = h x specular factor.
    const __m128 lx = _mm_set1_ps(l.x), ly = _mm_set1_ps(l.y), lz = _mm_set1_ps(l.z);
    const __m128 ambient = _mm_set1_ps(intensity.x), diffuseFactor = _mm_set1_ps(intensity.y);
    const __m128 specularFactor = _mm_set1_ps(intensity.z);
    const __m128 one = _mm_set1_ps(1.0f), half = _mm_set1_ps(0.5f);
    const __m128 dr = _mm_set1_ps(m_material.diffuse.x), dg = _mm_set1_ps(m_material.diffuse.y);
    const __m128 db = _mm_set1_ps(m_material.diffuse.z);
    const __m128 sr = _mm_set1_ps(m_material.specular.x), sg = _mm_set1_ps(m_material.specular.y);
    const __m128 sb = _mm_set1_ps(m_material.specular.z);
    const __m128i alphas = _mm_set1_epi32(static_cast<int32_t>(alpha));
    for (int32_t i = 0; i < count; i += 4) {
        // Four normals (48 bytes) as x, y and z lanes; the last group padded with zeros.
        Vector3 padded[4] = {};
        const Vector3* n = normals + i;
        if (count - i < 4) {
            for (int32_t k = 0; k < count - i; ++k) padded[k] = n[k];
            n = padded;
        }
        const float* f = &n[0].x;
        const __m128 a = _mm_loadu_ps(f), b = _mm_loadu_ps(f + 4), c = _mm_loadu_ps(f + 8);
        const __m128 nx = _mm_shuffle_ps(a, _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 1, 2, 2)), _MM_SHUFFLE(2, 0, 3, 0));
        const __m128 ny = _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1)),
                                         _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3)), _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 nz = _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2)), c, _MM_SHUFFLE(3, 0, 2, 0));
        const __m128 dot = _mm_add_ps(_mm_add_ps(_mm_mul_ps(lx, nx), _mm_mul_ps(ly, ny)), _mm_mul_ps(lz, nz));
        const __m128 h = _mm_mul_ps(_mm_add_ps(dot, one), half);
        const __m128 d = _mm_add_ps(ambient, _mm_mul_ps(diffuseFactor, h));
        const __m128 s = _mm_mul_ps(h, specularFactor);
        const __m128i color = _mm_or_si128(alphas, Rgb(ChannelBytes(_mm_mul_ps(d, dr)), ChannelBytes(_mm_mul_ps(d, dg)),
                                                       ChannelBytes(_mm_mul_ps(d, db))));
        const __m128i specular = Rgb(ChannelBytes(_mm_mul_ps(s, sr)), ChannelBytes(_mm_mul_ps(s, sg)),
                                     ChannelBytes(_mm_mul_ps(s, sb)));
        // color and specular lie next to each other in a record: one 8-byte store a vertex.
        const __m128i pairs01 = _mm_unpacklo_epi32(color, specular);
        const __m128i pairs23 = _mm_unpackhi_epi32(color, specular);
        const int32_t lanes = count - i < 4 ? count - i : 4;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&v[i].color), pairs01);
        if (lanes > 1) _mm_storel_epi64(reinterpret_cast<__m128i*>(&v[i + 1].color), _mm_unpackhi_epi64(pairs01, pairs01));
        if (lanes > 2) _mm_storel_epi64(reinterpret_cast<__m128i*>(&v[i + 2].color), pairs23);
        if (lanes > 3) _mm_storel_epi64(reinterpret_cast<__m128i*>(&v[i + 3].color), _mm_unpackhi_epi64(pairs23, pairs23));
    }
#else
    for (int32_t i = 0; i < count; ++i) LightOne(*this, normals[i], v + i);
#endif
}
