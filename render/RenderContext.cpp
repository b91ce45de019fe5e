// The drawing half of the render context: state, Begin/Vertex/End, lighting, the depth queue
// flush and the capability switches.
#include "render/RenderContext.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kDefaultWidth = 640;
constexpr int32_t kDefaultHeight = 480;
constexpr int32_t kDefaultBuckets = 4096;
constexpr int32_t kModelviewDepth = 64;
constexpr int32_t kProjectionDepth = 32;

const Matrix4& Identity() {
    static const Matrix4 identity = [] {
        Matrix4 m;
        MatrixIdentity(&m);
        return m;
    }();
    return identity;
}

LightRecord DefaultLight() {
    LightRecord light{};
    light.kind = RC_LIGHT_KIND_DIRECTIONAL;
    return light;
}

D3DPRIMITIVETYPE DirectType(int32_t type) {
    switch (type) {
    case RC_POINTS: return D3DPT_POINTLIST;
    case RC_LINES: return D3DPT_LINELIST;
    case RC_LINE_STRIP: return D3DPT_LINESTRIP;
    case RC_TRIANGLES: return D3DPT_TRIANGLELIST;
    case RC_TRIANGLE_STRIP: return D3DPT_TRIANGLESTRIP;
    case RC_TRIANGLE_FAN: return D3DPT_TRIANGLEFAN;
    default: return static_cast<D3DPRIMITIVETYPE>(0);
    }
}

bool Opaque(const D3DLVERTEX* v) { return (v->color >> 24) == 0xFFu; }

}  // namespace

CRenderContext::CRenderContext()
    : m_hwnd(nullptr),
      m_ddraw(nullptr),
      m_clipper(nullptr),
      m_primary(nullptr),
      m_backBuffer(nullptr),
      m_zBuffer(nullptr),
      m_viewportData{},
      m_width(kDefaultWidth),
      m_height(kDefaultHeight),
      m_d3d(nullptr),
      m_device(nullptr),
      m_viewport(nullptr),
      m_offsetX(0),
      m_offsetY(0),
      m_textureIndex(-1),
      m_slotCount(0),
      m_slots(nullptr),
      m_stateBlock(nullptr),
      m_stateBlockSlot(-1),
      m_vertexPool(nullptr),
      m_statePool(nullptr),
      m_activeQueue(nullptr),
      m_bucketCount(kDefaultBuckets),
      m_normal{0.0f, 0.0f, 0.0f},
      m_color(0),
      m_texU(0.0f),
      m_texV(0.0f),
      m_currentStack(nullptr),
      m_lightingMode(RC_UNLIT),
      m_spareFlag(1),
      m_textureEnabled(1),
      m_blendEnabled(0),
      m_material{},
      m_light(DefaultLight()),
      m_primType(-1),
      m_vertexCount(0),
      m_translucent(0),
      m_firstVertex(nullptr),
      m_centroid{0.0f, 0.0f, 0.0f},
      m_centroidReset(1),
      m_lightModel(RC_UNLIT),
      m_reservedMatrix0(Identity()),
      m_reservedFar(10000.0f),
      m_reservedFov(50.0f),
      m_reservedMatrix1(Identity()),
      m_inScene(0) {
    for (LightRecord& light : m_lights) light = DefaultLight();
    m_modelview.Resize(kModelviewDepth);
    m_projection.Resize(kProjectionDepth);
}

CRenderContext::~CRenderContext() { ReleaseDevice(); }

bool CRenderContext::IsOpen() const {
    return m_device != nullptr && m_slots != nullptr && m_vertexPool != nullptr && m_statePool != nullptr &&
           m_vertexPool->Capacity() > 0 && m_statePool->Capacity() > 0;
}

void CRenderContext::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (m_device != nullptr) m_device->SetRenderState(state, value);
}

void CRenderContext::SetWorld(const Matrix4& m) {
    if (m_device == nullptr) return;
    D3DMATRIX d3d;
    static_assert(sizeof(D3DMATRIX) == sizeof(Matrix4), "the layouts match");
    std::memcpy(&d3d, &m, sizeof d3d);
    m_device->SetTransform(D3DTRANSFORMSTATE_WORLD, &d3d);
}

void CRenderContext::Draw(D3DPRIMITIVETYPE type, D3DLVERTEX* vertices, int32_t count) {
    if (m_device == nullptr || vertices == nullptr || count <= 0) return;
    m_device->DrawPrimitive(type, D3DVT_LVERTEX, vertices, static_cast<DWORD>(count), 0);
}

int32_t CRenderContext::CurrentTextureIndex() const {
    if (m_textureEnabled != 0 && m_textureIndex >= 0 && m_textureIndex < m_slotCount && m_slots != nullptr) {
        return m_textureIndex;
    }
    return -1;
}

bool CRenderContext::TextureHasAlpha() const {
    const int32_t index = CurrentTextureIndex();
    return index != -1 && m_slots[index].HasAlpha();
}

// --- primitives ---------------------------------------------------------------------------

bool CRenderContext::Begin(int32_t type) {
    m_primType = type;
    m_vertexCount = 0;
    m_translucent = TextureHasAlpha() ? 1 : 0;
    m_firstVertex = m_vertexPool != nullptr ? reinterpret_cast<D3DLVERTEX*>(m_vertexPool->Top()) : nullptr;
    m_centroid = {0.0f, 0.0f, 0.0f};
    m_centroidReset = 1;

    const bool deferred = IsDeferred();
    if (m_modelview.IsDirty()) {
        // Deferred vertices are moved to eye space here, so the device's world is the identity;
        // the stack stays dirty for the next direct primitive.
        if (deferred) {
            SetWorld(Identity());
        } else {
            SetWorld(m_modelview.m_current);
            m_modelview.SetDirty(false);
        }
    }
    if (m_projection.IsDirty()) {
        if (m_device != nullptr) {
            D3DMATRIX d3d;
            std::memcpy(&d3d, &m_projection.m_current, sizeof d3d);
            m_device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &d3d);
        }
        m_projection.SetDirty(false);
    }

    if (m_textureEnabled != 0 && m_textureIndex >= 0 && m_textureIndex < m_slotCount && m_slots != nullptr) {
        CTextureSlot& slot = m_slots[m_textureIndex];
        if (slot.IsPending()) {
            if (deferred) {
                // Every deferred Begin records a fresh copy, so each queued primitive keeps the
                // state that was in force when it was begun.
                auto* block = static_cast<TextureStateBlock*>(
                    m_statePool != nullptr ? m_statePool->Alloc(static_cast<int32_t>(sizeof(TextureStateBlock)))
                                           : nullptr);
                if (block != nullptr) {
                    slot.CopyState(block);
                    m_stateBlock = block;
                    m_stateBlockSlot = m_textureIndex;
                }
            } else {
                slot.ApplyOwnState();
                slot.SetPending(false);
            }
        }
    }
    return true;
}

bool CRenderContext::Vertices(const Vector3* positions, const Vector3* normals, int32_t count) {
    if (positions == nullptr || normals == nullptr || count <= 0) return true;
    D3DLVERTEX* v = nullptr;
    if (!IsDeferred() && m_vertexPool != nullptr && count <= INT32_MAX / static_cast<int32_t>(sizeof(D3DLVERTEX))) {
        v = static_cast<D3DLVERTEX*>(m_vertexPool->Alloc(count * static_cast<int32_t>(sizeof(D3DLVERTEX))));
    }
    if (v == nullptr) {
        // Deferred, or not all of them fit: one by one, so those that fit are stored.
        for (int32_t i = 0; i < count; ++i) {
            m_normal = normals[i];
            Vertex(positions[i].x, positions[i].y, positions[i].z);
        }
        return true;
    }
    for (int32_t i = 0; i < count; ++i) {
        v[i].x = positions[i].x;
        v[i].y = positions[i].y;
        v[i].z = positions[i].z;
        v[i].dwReserved = 0;
        v[i].tu = m_texU;
        v[i].tv = m_texV;
    }
    if (m_lightingMode == RC_UNLIT) {
        for (int32_t i = 0; i < count; ++i) {
            v[i].color = m_color;
            v[i].specular = 0;
        }
    } else {
        LightVertices(v, normals, count);
    }
    m_normal = normals[count - 1];
    m_vertexCount += count;
    return true;
}

bool CRenderContext::VertexDeferred(float x, float y, float z) {
    const Vector3 p = m_modelview.TransformPoint(x, y, z);
    D3DLVERTEX* v = StoreVertex(p.x, p.y, p.z);
    if (v == nullptr) return true;  // pool exhausted: the vertex is dropped
    if (!Opaque(v)) ++m_translucent;
    if (m_centroidReset != 0) {
        m_centroid = p;
        m_centroidReset = 0;
    } else {
        m_centroid.x += p.x;
        m_centroid.y += p.y;
        m_centroid.z += p.z;
    }

    switch (m_primType) {
    case RC_TRIANGLE_FAN:
        ++m_vertexCount;
        break;
    case RC_TRIANGLE_STRIP: {
        if (m_vertexCount < 2) {
            ++m_vertexCount;
            break;
        }
        FileOrDraw(D3DPT_TRIANGLELIST, v - 2, 3, 0.33333334f);
        // The next triangle shares the previous vertex and this one.
        const D3DLVERTEX* previous = v - 1;
        m_translucent = (TextureHasAlpha() ? 1 : 0) + (Opaque(previous) ? 0 : 1) + (Opaque(v) ? 0 : 1);
        m_centroid = {previous->x + v->x, previous->y + v->y, previous->z + v->z};
        ++m_vertexCount;
        break;
    }
    case RC_POINTS:
        FileOrDraw(D3DPT_POINTLIST, v, 1, 1.0f);
        ++m_vertexCount;
        m_translucent = TextureHasAlpha() ? 1 : 0;
        m_centroidReset = 1;
        break;
    case RC_LINES:
    case RC_TRIANGLES: {
        const int32_t groupSize = m_primType == RC_LINES ? 2 : 3;
        ++m_vertexCount;
        if (m_vertexCount % groupSize == 0) {
            FileOrDraw(groupSize == 2 ? D3DPT_LINELIST : D3DPT_TRIANGLELIST, v - (groupSize - 1), groupSize,
                       groupSize == 2 ? 0.5f : 0.33333334f);
            m_translucent = TextureHasAlpha() ? 1 : 0;
            m_centroidReset = 1;
        }
        break;
    }
    case RC_LINE_STRIP: {
        if (m_vertexCount < 1) {
            ++m_vertexCount;
            break;
        }
        FileOrDraw(D3DPT_LINELIST, v - 1, 2, 0.5f);
        // The next segment starts at this vertex.
        m_translucent = (TextureHasAlpha() ? 1 : 0) + (Opaque(v) ? 0 : 1);
        m_centroid = p;
        ++m_vertexCount;
        break;
    }
    default:
        break;  // stored but not counted
    }
    return true;
}

void CRenderContext::FileOrDraw(D3DPRIMITIVETYPE type, D3DLVERTEX* first, int32_t count, float centroidScale) {
    if (m_translucent == 0) {
        Draw(type, first, count);
        return;
    }
    auto* record = static_cast<QueuedPrimitive*>(
        m_statePool != nullptr ? m_statePool->Alloc(static_cast<int32_t>(sizeof(QueuedPrimitive))) : nullptr);
    if (record == nullptr) return;  // no room for the record: the primitive is dropped
    record->primitiveType = type;
    record->textureIndex = CurrentTextureIndex();
    record->textureState = record->textureIndex != -1 && record->textureIndex == m_stateBlockSlot ? m_stateBlock : nullptr;
    record->vertexCount = count;
    record->reserved = 0;
    record->vertices = first;
    const Vector3 centre{m_centroid.x * centroidScale, m_centroid.y * centroidScale, m_centroid.z * centroidScale};
    const float depth = m_projection.ProjectPoint(centre).z;
    m_activeQueue->InsertAtDepth(m_statePool, depth, record);
}

bool CRenderContext::End() {
    if (m_vertexCount < 1 || m_firstVertex == nullptr) return false;
    if (IsDeferred()) {
        if (m_primType == RC_TRIANGLE_FAN) {
            FileOrDraw(D3DPT_TRIANGLEFAN, m_firstVertex, m_vertexCount, 1.0f / static_cast<float>(m_vertexCount));
        }
    } else {
        const D3DPRIMITIVETYPE type = DirectType(m_primType);
        if (type != 0) {
            const bool lines = m_primType == RC_LINES || m_primType == RC_LINE_STRIP;
            if (lines) SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 0);
            Draw(type, m_firstVertex, m_vertexCount);
            if (lines) SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
        }
    }
    m_vertexCount = 0;
    m_firstVertex = nullptr;
    return true;
}

void CRenderContext::FlushQueue(CDepthQueue* queue) {
    if (queue == nullptr) return;
    SetWorld(Identity());
    // The device's world no longer holds the modelview: the next direct Begin must send it.
    m_modelview.SetDirty(true);
    queue->Rewind();
    for (QueuedPrimitive* record = queue->Next(); record != nullptr; record = queue->Next()) {
        const int32_t index = record->textureIndex;
        if (index >= 0 && index < m_slotCount && m_slots != nullptr) {
            const CTextureSlot& slot = m_slots[index];
            // A primitive filed without a block of this frame takes the slot's own state.
            slot.ApplyState(record->textureState != nullptr ? *record->textureState : slot.m_state);
            slot.BindHandle();
        } else {
            SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
        }
        Draw(static_cast<D3DPRIMITIVETYPE>(record->primitiveType), record->vertices, record->vertexCount);
    }
}

// --- capabilities -------------------------------------------------------------------------

bool CRenderContext::Enable(int32_t capability) {
    switch (capability) {
    case RC_LIGHTING_ALT:
    case RC_LIGHTING:
        m_lightingMode = capability;
        m_lightModel = capability;
        break;
    case RC_SPARE_FLAG:
        m_spareFlag = 1;
        break;
    case RC_TEXTURE_2D:
        m_textureEnabled = 1;
        BindTexture(m_textureIndex);
        break;
    case RC_BLEND:
        m_blendEnabled = 1;
        SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        break;
    default:
        break;
    }
    if (capability >= RC_LIGHT0 && capability <= RC_LIGHT7) m_lights[capability - RC_LIGHT0].enabled = 1;
    return true;
}

bool CRenderContext::Disable(int32_t capability) {
    switch (capability) {
    case RC_LIGHTING_ALT:
    case RC_LIGHTING:
        m_lightingMode = RC_UNLIT;
        break;
    case RC_SPARE_FLAG:
        m_spareFlag = 0;
        break;
    case RC_TEXTURE_2D:
        m_textureEnabled = 0;
        SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
        break;
    case RC_BLEND:
        m_blendEnabled = 0;
        SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        break;
    default:
        break;
    }
    if (capability >= RC_LIGHT0 && capability <= RC_LIGHT7) m_lights[capability - RC_LIGHT0].enabled = 0;
    return true;
}
