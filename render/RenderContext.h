// The drawing interface of the program: matrix stacks, Begin/Vertex/End with per-vertex
// lighting, capability switches, texture slots and a depth queue for translucent primitives,
// over a windowed Direct3D device that draws into an off-screen target and copies it into the
// window once per frame.
//
// Callers set the current attributes (m_color, m_texU, m_texV, m_normal), the matrix mode
// (m_currentStack), the material and light, and the deferral switch (m_activeQueue) by writing
// the public fields; operations read them at the next Vertex or Begin.
#pragma once

#include "math/Matrix4.h"
#include "math/MatrixStack.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/win/Win32Types.h"
#include "render/BytePool.h"
#include "render/DepthQueue.h"
#include "render/TextureSlot.h"

#include <cstdint>

// Primitive types of Begin.
constexpr int32_t RC_POINTS = 0;
constexpr int32_t RC_LINES = 1;
constexpr int32_t RC_LINE_STRIP = 2;
constexpr int32_t RC_TRIANGLES = 3;
constexpr int32_t RC_TRIANGLE_STRIP = 4;
constexpr int32_t RC_TRIANGLE_FAN = 5;

// Texture parameter names.
constexpr int32_t RC_TEXTURE_MIN_FILTER = 9;
constexpr int32_t RC_TEXTURE_MAG_FILTER = 10;
constexpr int32_t RC_TEXTURE_WRAP_S = 11;
constexpr int32_t RC_TEXTURE_WRAP_T = 12;

// Capabilities of Enable/Disable, and lighting modes.
constexpr int32_t RC_LIGHT0 = 14;
constexpr int32_t RC_LIGHT1 = 15;
constexpr int32_t RC_LIGHT2 = 16;
constexpr int32_t RC_LIGHT3 = 17;
constexpr int32_t RC_LIGHT4 = 18;
constexpr int32_t RC_LIGHT5 = 19;
constexpr int32_t RC_LIGHT6 = 20;
constexpr int32_t RC_LIGHT7 = 21;
constexpr int32_t RC_UNLIT = 22;
constexpr int32_t RC_LIGHTING_ALT = 23;
constexpr int32_t RC_LIGHTING = 24;
constexpr int32_t RC_SPARE_FLAG = 28;
constexpr int32_t RC_TEXTURE_2D = 29;
constexpr int32_t RC_BLEND = 30;
constexpr int32_t RC_TEXTURE_ENV = 31;
constexpr int32_t RC_TEXTURE_ENV_MODE = 32;

constexpr int32_t RC_LIGHT_KIND_DIRECTIONAL = 26;

struct LightRecord {
    Vector3 intensity;  // x ambient term, y diffuse factor, z specular factor
    Vector3 reserved0;
    Vector3 reserved1;
    Vector3 direction;  // unit vector toward the light, eye space
    int32_t kind;
    uint8_t enabled;
    int32_t reserved;
};

// Colour components 0..1; lighting reads diffuse and specular.
struct MaterialRecord {
    Vector3 ambient;
    Vector3 diffuse;
    Vector3 specular;
};

class CRenderContext {
public:
    CRenderContext();
    virtual ~CRenderContext();
    CRenderContext(const CRenderContext&) = delete;
    CRenderContext& operator=(const CRenderContext&) = delete;

    // --- device ------------------------------------------------------------------------
    // Opens the device on `window` with a width x height render target, `textureSlots` slots
    // and the two per-frame pools. False when an argument is out of range (nothing is made),
    // when the context is already open, or when a step fails (what was made stays until
    // ReleaseDevice).
    bool OpenDevice(HWND window, int32_t width, int32_t height, int32_t textureSlots, int32_t vertexPoolBytes,
                    int32_t statePoolBytes);
    // Releases everything OpenDevice made; safe on an empty, partly open or released context.
    void ReleaseDevice();
    // True after a successful OpenDevice and before ReleaseDevice. Draw only through an open
    // context.
    bool IsOpen() const;

    // --- frames ------------------------------------------------------------------------
    // Fills the render target with (r << 16 | g << 8 | b), empties the pools, activates the
    // depth queue, fits the viewport to the window and opens the scene. False, with nothing
    // sent, when the device is not open; false when the window shows no picture (zero-sized
    // client area): the pools and queue are still ready but no scene is opened.
    bool BeginFrame(int32_t r, int32_t g, int32_t b);
    // Draws the depth queue far to near, closes the scene and copies the picture into the
    // window. False when the device is not open or no scene is open.
    bool EndFrame();

    // --- textures ----------------------------------------------------------------------
    bool BindTexture(int32_t index);
    // Loads an image of `size` columns into the bound slot: `height` rows when positive, else
    // `size` rows (a square image). False when no valid
    // slot is bound, the device is not open, the arguments are refused, the slot already holds
    // a texture, or the upload fails.
    bool TexImage(int32_t size, int32_t height, int32_t format, const uint8_t* pixels, const uint8_t* palette);
    bool TexEnv(int32_t target, int32_t name, int32_t value);
    bool TexParameter(int32_t target, int32_t name, int32_t value);

    // --- primitives --------------------------------------------------------------------
    bool Begin(int32_t type);
    // Inline: the model sends every strip vertex through it.
    bool Vertex(float x, float y, float z) {
        if (IsDeferred()) return VertexDeferred(x, y, z);
        if (StoreVertex(x, y, z) != nullptr) ++m_vertexCount;
        return true;
    }
    // `count` vertices exactly as `count` calls of Vertex would send them, vertex i at
    // positions[i] with m_normal = normals[i]; m_normal is left at the last normal. A direct
    // primitive's records are taken and lit together, several vertices at a time.
    bool Vertices(const Vector3* positions, const Vector3* normals, int32_t count);
    bool End();
    void FlushQueue(CDepthQueue* queue);
    int32_t CurrentTextureIndex() const;
    void LightVertex(D3DLVERTEX* v) const;
    // LightVertex on `count` records, record i lit with normals[i] in place of m_normal.
    void LightVertices(D3DLVERTEX* v, const Vector3* normals, int32_t count) const;

    // --- capabilities ------------------------------------------------------------------
    bool Enable(int32_t capability);
    bool Disable(int32_t capability);

    // Deferred mode: translucent primitives go to the depth queue in eye space.
    bool IsDeferred() const { return m_blendEnabled != 0 && m_activeQueue != nullptr; }

    // --- state (public data; see the class comment for what callers write) ---------------
    HWND m_hwnd;
    IDirectDraw2* m_ddraw;
    IDirectDrawClipper* m_clipper;
    IDirectDrawSurface3* m_primary;
    IDirectDrawSurface3* m_backBuffer;
    IDirectDrawSurface3* m_zBuffer;
    D3DVIEWPORT2 m_viewportData;
    int32_t m_width;
    int32_t m_height;
    IDirect3D2* m_d3d;
    IDirect3DDevice2* m_device;
    IDirect3DViewport2* m_viewport;
    int32_t m_offsetX;
    int32_t m_offsetY;
    int32_t m_textureIndex;
    int32_t m_slotCount;
    CTextureSlot* m_slots;
    const TextureStateBlock* m_stateBlock;
    // The slot m_stateBlock was recorded for (-1 when none): a block is only filed with
    // primitives of its own slot.
    int32_t m_stateBlockSlot;
    CBytePool* m_vertexPool;
    CBytePool* m_statePool;
    CDepthQueue m_queue;
    CDepthQueue m_spareQueue;
    CDepthQueue* m_activeQueue;
    int32_t m_bucketCount;
    Vector3 m_normal;
    uint32_t m_color;
    float m_texU;
    float m_texV;
    CMatrixStack m_modelview;
    CMatrixStack m_projection;
    CMatrixStack* m_currentStack;
    int32_t m_lightingMode;
    uint8_t m_spareFlag;
    uint8_t m_textureEnabled;
    uint8_t m_blendEnabled;
    MaterialRecord m_material;
    LightRecord m_lights[8];
    LightRecord m_light;
    int32_t m_primType;
    int32_t m_vertexCount;
    int32_t m_translucent;
    D3DLVERTEX* m_firstVertex;
    Vector3 m_centroid;
    uint8_t m_centroidReset;
    int32_t m_lightModel;
    Matrix4 m_reservedMatrix0;
    float m_reservedFar;
    float m_reservedFov;
    Matrix4 m_reservedMatrix1;
    // True between a BeginFrame that opened the scene and its EndFrame.
    uint8_t m_inScene;

private:
    bool InitDirectDraw();
    bool InitZBuffer();
    bool InitDevice();
    // Picture rectangle of the window in screen coordinates; P x Q in `pictureWidth/Height`.
    bool PictureRect(RECT* screen, int32_t* pictureWidth, int32_t* pictureHeight, int32_t* offsetX,
                     int32_t* offsetY) const;
    void SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    void SetWorld(const Matrix4& m);
    void Draw(D3DPRIMITIVETYPE type, D3DLVERTEX* vertices, int32_t count);
    // A pool record with the position as given and the current colour, lit or not.
    D3DLVERTEX* StoreVertex(float x, float y, float z) {
        if (m_vertexPool == nullptr) return nullptr;
        auto* v = static_cast<D3DLVERTEX*>(m_vertexPool->Alloc(static_cast<int32_t>(sizeof(D3DLVERTEX))));
        if (v == nullptr) return nullptr;
        v->x = x;
        v->y = y;
        v->z = z;
        v->dwReserved = 0;
        if (m_lightingMode == RC_UNLIT) {
            v->color = m_color;
            v->specular = 0;
        } else {
            LightVertex(v);
        }
        v->tu = m_texU;
        v->tv = m_texV;
        return v;
    }
    bool VertexDeferred(float x, float y, float z);
    // Files a group of `count` vertices starting at `first` (eye space) with the centroid sum.
    void FileOrDraw(D3DPRIMITIVETYPE type, D3DLVERTEX* first, int32_t count, float centroidScale);
    bool TextureHasAlpha() const;
};
