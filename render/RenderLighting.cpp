// Per-vertex lighting of the render context: one directional light with a wrapped diffuse
// term, the material's diffuse and specular colours, channels saturated into bytes.
#include "render/RenderContext.h"

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// A lit channel value to a byte, four lanes at a time: above 1 saturates, 0 or below is 0,
// and a NaN or infinite value (a broken normal from bad model data) is 0 too. Otherwise
// v x 255 truncated, with the one multiply the scalar rule has.
inline __m128i ChannelBytes(__m128 v) {
    const __m128 finite = _mm_cmpeq_ps(_mm_sub_ps(v, v), _mm_setzero_ps());
    const __m128 positive = _mm_cmpgt_ps(v, _mm_setzero_ps());
    const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(v, _mm_set1_ps(1.0f)));
    const __m128i scaled = _mm_cvttps_epi32(_mm_mul_ps(v, _mm_set1_ps(255.0f)));
    const __m128i saturated = _mm_or_si128(_mm_andnot_si128(above, scaled), _mm_and_si128(above, _mm_set1_epi32(255)));
    return _mm_and_si128(saturated, _mm_castps_si128(_mm_and_ps(finite, positive)));
}

// Three channel bytes as the low three bytes of a 0xAARRGGBB word.
inline __m128i Rgb(__m128i r, __m128i g, __m128i b) {
    return _mm_or_si128(_mm_slli_epi32(r, 16), _mm_or_si128(_mm_slli_epi32(g, 8), b));
}
#else
uint32_t ChannelByte(float v) {
    if (!std::isfinite(v) || !(v > 0.0f)) return 0;
    if (v > 1.0f) return 255;
    return static_cast<uint32_t>(v * 255.0f);
}
#endif

}  // namespace

void CRenderContext::LightVertex(D3DLVERTEX* v) const { LightVertices(v, &m_normal, 1); }

void CRenderContext::LightVertices(D3DLVERTEX* v, const Vector3* normals, int32_t count) const {
    if (v == nullptr || normals == nullptr) return;
    if (m_lightModel != RC_LIGHTING) {
        // The alternative lighting mode has no colour computation: the vertex keeps the
        // current colour, so nothing of the pool's old contents reaches the device.
        for (int32_t i = 0; i < count; ++i) {
            v[i].color = m_color;
            v[i].specular = 0;
        }
        return;
    }
    const Vector3& l = m_light.direction;
    const Vector3& intensity = m_light.intensity;
    const uint32_t alpha = m_color & 0xFF000000u;
#if defined(__SSE2__)
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
    for (int32_t i = 0; i < count; i += 4) {
        const int32_t lanes = count - i < 4 ? count - i : 4;
        alignas(16) float nx[4] = {}, ny[4] = {}, nz[4] = {};
        for (int32_t k = 0; k < lanes; ++k) {
            nx[k] = normals[i + k].x;
            ny[k] = normals[i + k].y;
            nz[k] = normals[i + k].z;
        }
        const __m128 dot = _mm_add_ps(_mm_add_ps(_mm_mul_ps(lx, _mm_load_ps(nx)), _mm_mul_ps(ly, _mm_load_ps(ny))),
                                      _mm_mul_ps(lz, _mm_load_ps(nz)));
        const __m128 h = _mm_mul_ps(_mm_add_ps(dot, one), half);
        const __m128 d = _mm_add_ps(ambient, _mm_mul_ps(diffuseFactor, h));
        const __m128 s = _mm_mul_ps(h, specularFactor);
        const __m128i color = Rgb(ChannelBytes(_mm_mul_ps(d, dr)), ChannelBytes(_mm_mul_ps(d, dg)),
                                  ChannelBytes(_mm_mul_ps(d, db)));
        const __m128i specular = Rgb(ChannelBytes(_mm_mul_ps(s, sr)), ChannelBytes(_mm_mul_ps(s, sg)),
                                     ChannelBytes(_mm_mul_ps(s, sb)));
        alignas(16) uint32_t colors[4], speculars[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(colors), color);
        _mm_store_si128(reinterpret_cast<__m128i*>(speculars), specular);
        for (int32_t k = 0; k < lanes; ++k) {
            v[i + k].color = alpha | colors[k];
            v[i + k].specular = speculars[k];
        }
    }
#else
    for (int32_t i = 0; i < count; ++i) {
        const Vector3& n = normals[i];
        const float h = (l.x * n.x + l.y * n.y + l.z * n.z + 1.0f) * 0.5f;
        const float d = intensity.x + intensity.y * h;
        const float s = h * intensity.z;
        v[i].color = alpha | ChannelByte(d * m_material.diffuse.x) << 16 | ChannelByte(d * m_material.diffuse.y) << 8 |
                     ChannelByte(d * m_material.diffuse.z);
        v[i].specular = ChannelByte(s * m_material.specular.x) << 16 | ChannelByte(s * m_material.specular.y) << 8 |
                        ChannelByte(s * m_material.specular.z);
    }
#endif
}
