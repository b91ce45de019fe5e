// Direct3D Immediate Mode (DX5 interfaces): types, capability records, constants, result codes
// and the IDirect3D2 / IDirect3DDevice2 / IDirect3DViewport2 / IDirect3DTexture2 interfaces,
// with the platform's names, argument order, layouts and values.
#pragma once

#include "platform/ddraw/ddraw.h"

#include <cstddef>
#include <cstdint>

// ---- Basic types ----------------------------------------------------------------------------

using D3DVALUE = float;
using D3DCOLOR = DWORD;  // 0xAARRGGBB
using D3DTEXTUREHANDLE = DWORD;
using LPD3DTEXTUREHANDLE = D3DTEXTUREHANDLE*;
using D3DCOLORMODEL = DWORD;

constexpr D3DCOLOR RGBA_MAKE(DWORD r, DWORD g, DWORD b, DWORD a) {
    return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}

// Row-vector 4x4 matrix: _41.._43 hold the translation.
struct D3DMATRIX {
    D3DVALUE _11, _12, _13, _14;
    D3DVALUE _21, _22, _23, _24;
    D3DVALUE _31, _32, _33, _34;
    D3DVALUE _41, _42, _43, _44;
};
using LPD3DMATRIX = D3DMATRIX*;
static_assert(sizeof(D3DMATRIX) == 64);

// Pre-lit, untransformed vertex (32 bytes).
struct D3DLVERTEX {
    union { D3DVALUE x; D3DVALUE dvX; };
    union { D3DVALUE y; D3DVALUE dvY; };
    union { D3DVALUE z; D3DVALUE dvZ; };
    DWORD dwReserved;
    union { D3DCOLOR color; D3DCOLOR dcColor; };
    union { D3DCOLOR specular; D3DCOLOR dcSpecular; };
    union { D3DVALUE tu; D3DVALUE dvTU; };
    union { D3DVALUE tv; D3DVALUE dvTV; };
};
using LPD3DLVERTEX = D3DLVERTEX*;
static_assert(sizeof(D3DLVERTEX) == 32);

struct D3DRECT {
    union { LONG x1; LONG lX1; };
    union { LONG y1; LONG lY1; };
    union { LONG x2; LONG lX2; };
    union { LONG y2; LONG lY2; };
};
using LPD3DRECT = D3DRECT*;

struct D3DVIEWPORT2 {
    DWORD dwSize;  // must be sizeof(D3DVIEWPORT2) = 44
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DVALUE dvClipX;
    D3DVALUE dvClipY;
    D3DVALUE dvClipWidth;
    D3DVALUE dvClipHeight;
    D3DVALUE dvMinZ;
    D3DVALUE dvMaxZ;
};
using LPD3DVIEWPORT2 = D3DVIEWPORT2*;
static_assert(sizeof(D3DVIEWPORT2) == 44);

// ---- Capability records ---------------------------------------------------------------------

struct D3DTRANSFORMCAPS {
    DWORD dwSize;
    DWORD dwCaps;
};

struct D3DLIGHTINGCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwLightingModel;
    DWORD dwNumLights;
};

struct D3DPRIMCAPS {
    DWORD dwSize;
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
    DWORD dwStippleWidth;
    DWORD dwStippleHeight;
};

struct D3DDEVICEDESC {
    DWORD dwSize;  // sizeof(D3DDEVICEDESC)
    DWORD dwFlags;
    D3DCOLORMODEL dcmColorModel;  // non-zero names the colour model the description applies to
    DWORD dwDevCaps;
    D3DTRANSFORMCAPS dtcTransformCaps;
    BOOL bClipping;
    D3DLIGHTINGCAPS dlcLightingCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMaxBufferSize;
    DWORD dwMaxVertexCount;
    DWORD dwMinTextureWidth;
    DWORD dwMinTextureHeight;
    DWORD dwMaxTextureWidth;
    DWORD dwMaxTextureHeight;
    DWORD dwMinStippleWidth;
    DWORD dwMaxStippleWidth;
    DWORD dwMinStippleHeight;
    DWORD dwMaxStippleHeight;
};
using LPD3DDEVICEDESC = D3DDEVICEDESC*;
static_assert(sizeof(D3DDEVICEDESC) == 204, "the DX5 device description");

struct D3DFINDDEVICESEARCH {
    DWORD dwSize;  // sizeof(D3DFINDDEVICESEARCH)
    DWORD dwFlags;
    BOOL bHardware;
    D3DCOLORMODEL dcmColorModel;
    GUID guid;
    DWORD dwCaps;
    D3DPRIMCAPS dpcPrimCaps;
};
using LPD3DFINDDEVICESEARCH = D3DFINDDEVICESEARCH*;

struct D3DFINDDEVICERESULT {
    DWORD dwSize;  // sizeof(D3DFINDDEVICERESULT)
    GUID guid;
    D3DDEVICEDESC ddHwDesc;
    D3DDEVICEDESC ddSwDesc;
};
using LPD3DFINDDEVICERESULT = D3DFINDDEVICERESULT*;

// ---- Enumerations ---------------------------------------------------------------------------

enum D3DRENDERSTATETYPE : DWORD {
    D3DRENDERSTATE_TEXTUREHANDLE = 1,
    D3DRENDERSTATE_ANTIALIAS = 2,
    D3DRENDERSTATE_TEXTUREADDRESS = 3,
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
    D3DRENDERSTATE_WRAPU = 5,
    D3DRENDERSTATE_WRAPV = 6,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_FILLMODE = 8,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_LINEPATTERN = 10,
    D3DRENDERSTATE_MONOENABLE = 11,
    D3DRENDERSTATE_ROP2 = 12,
    D3DRENDERSTATE_PLANEMASK = 13,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_LASTPIXEL = 16,
    D3DRENDERSTATE_TEXTUREMAG = 17,
    D3DRENDERSTATE_TEXTUREMIN = 18,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_TEXTUREMAPBLEND = 21,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_BLENDENABLE = 27,
    D3DRENDERSTATE_FOGENABLE = 28,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_ZVISIBLE = 30,
    D3DRENDERSTATE_SUBPIXEL = 31,
    D3DRENDERSTATE_SUBPIXELX = 32,
    D3DRENDERSTATE_STIPPLEDALPHA = 33,
    D3DRENDERSTATE_FOGCOLOR = 34,
    D3DRENDERSTATE_FOGTABLEMODE = 35,
    D3DRENDERSTATE_FOGTABLESTART = 36,
    D3DRENDERSTATE_FOGTABLEEND = 37,
    D3DRENDERSTATE_FOGTABLEDENSITY = 38,
    D3DRENDERSTATE_STIPPLEENABLE = 39,
    D3DRENDERSTATE_EDGEANTIALIAS = 40,
    D3DRENDERSTATE_COLORKEYENABLE = 41,
    D3DRENDERSTATE_OLDALPHABLENDENABLE = 42,  // also alpha-blend enable
    D3DRENDERSTATE_BORDERCOLOR = 43,
    D3DRENDERSTATE_TEXTUREADDRESSU = 44,
    D3DRENDERSTATE_TEXTUREADDRESSV = 45,
    D3DRENDERSTATE_MIPMAPLODBIAS = 46,
    D3DRENDERSTATE_ZBIAS = 47,
    D3DRENDERSTATE_RANGEFOGENABLE = 48,
    D3DRENDERSTATE_ANISOTROPY = 49,
    D3DRENDERSTATE_FLUSHBATCH = 50,
    D3DRENDERSTATE_STIPPLEPATTERN00 = 64,
    D3DRENDERSTATE_STIPPLEPATTERN31 = 95,
    D3DRENDERSTATE_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DTRANSFORMSTATETYPE : DWORD {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
    D3DTRANSFORMSTATE_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
    D3DPT_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DVERTEXTYPE : DWORD {
    D3DVT_VERTEX = 1,
    D3DVT_LVERTEX = 2,
    D3DVT_TLVERTEX = 3,
    D3DVT_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DTEXTUREFILTER : DWORD {
    D3DFILTER_NEAREST = 1,
    D3DFILTER_LINEAR = 2,
    D3DFILTER_MIPNEAREST = 3,
    D3DFILTER_MIPLINEAR = 4,
    D3DFILTER_LINEARMIPNEAREST = 5,
    D3DFILTER_LINEARMIPLINEAR = 6,
    D3DFILTER_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DTEXTUREBLEND : DWORD {
    D3DTBLEND_DECAL = 1,
    D3DTBLEND_MODULATE = 2,
    D3DTBLEND_DECALALPHA = 3,
    D3DTBLEND_MODULATEALPHA = 4,
    D3DTBLEND_DECALMASK = 5,
    D3DTBLEND_MODULATEMASK = 6,
    D3DTBLEND_COPY = 7,
    D3DTBLEND_ADD = 8,
    D3DTBLEND_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DTEXTUREADDRESS : DWORD {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DBLEND : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
    D3DBLEND_BOTHSRCALPHA = 12,
    D3DBLEND_BOTHINVSRCALPHA = 13,
    D3DBLEND_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DCMPFUNC : DWORD {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
    D3DCMP_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DCULL : DWORD {
    D3DCULL_NONE = 1,
    D3DCULL_CW = 2,
    D3DCULL_CCW = 3,
    D3DCULL_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DSHADEMODE : DWORD {
    D3DSHADE_FLAT = 1,
    D3DSHADE_GOURAUD = 2,
    D3DSHADE_PHONG = 3,
    D3DSHADE_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DFILLMODE : DWORD {
    D3DFILL_POINT = 1,
    D3DFILL_WIREFRAME = 2,
    D3DFILL_SOLID = 3,
    D3DFILL_FORCE_DWORD = 0x7FFFFFFF,
};

constexpr D3DCOLORMODEL D3DCOLOR_MONO = 1;
constexpr D3DCOLORMODEL D3DCOLOR_RGB = 2;

// Viewport Clear flags
constexpr DWORD D3DCLEAR_TARGET = 0x00000001;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x00000002;

// DrawPrimitive flags
constexpr DWORD D3DDP_WAIT = 0x00000001;
constexpr DWORD D3DDP_DONOTCLIP = 0x00000004;
constexpr DWORD D3DDP_DONOTUPDATEEXTENTS = 0x00000008;

// D3DFINDDEVICESEARCH.dwFlags
constexpr DWORD D3DFDS_COLORMODEL = 0x00000001;
constexpr DWORD D3DFDS_GUID = 0x00000002;
constexpr DWORD D3DFDS_HARDWARE = 0x00000004;

// D3DDEVICEDESC.dwFlags: which fields are valid
constexpr DWORD D3DDD_COLORMODEL = 0x00000001;
constexpr DWORD D3DDD_DEVCAPS = 0x00000002;
constexpr DWORD D3DDD_TRANSFORMCAPS = 0x00000004;
constexpr DWORD D3DDD_LIGHTINGCAPS = 0x00000008;
constexpr DWORD D3DDD_BCLIPPING = 0x00000010;
constexpr DWORD D3DDD_LINECAPS = 0x00000020;
constexpr DWORD D3DDD_TRICAPS = 0x00000040;
constexpr DWORD D3DDD_DEVICERENDERBITDEPTH = 0x00000080;
constexpr DWORD D3DDD_DEVICEZBUFFERBITDEPTH = 0x00000100;
constexpr DWORD D3DDD_MAXBUFFERSIZE = 0x00000200;
constexpr DWORD D3DDD_MAXVERTEXCOUNT = 0x00000400;

// Enumeration callback results (the same values as DirectDraw's)
constexpr HRESULT D3DENUMRET_CANCEL = DDENUMRET_CANCEL;
constexpr HRESULT D3DENUMRET_OK = DDENUMRET_OK;

// ---- Result codes ---------------------------------------------------------------------------

constexpr HRESULT D3D_OK = DD_OK;
constexpr HRESULT D3DERR_INVALID_DEVICE = MakeDirectDrawResult(705);
constexpr HRESULT D3DERR_TEXTURE_LOAD_FAILED = MakeDirectDrawResult(725);
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = MakeDirectDrawResult(736);
constexpr HRESULT D3DERR_INVALIDVERTEXTYPE = MakeDirectDrawResult(737);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MakeDirectDrawResult(760);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MakeDirectDrawResult(761);
constexpr HRESULT D3DERR_VIEWPORTDATANOTSET = MakeDirectDrawResult(773);
constexpr HRESULT D3DERR_VIEWPORTHASNODEVICE = MakeDirectDrawResult(774);
constexpr HRESULT D3DERR_NOCURRENTVIEWPORT = MakeDirectDrawResult(775);
constexpr HRESULT D3DERR_ZBUFFER_NOTPRESENT = MakeDirectDrawResult(2070);

// ---- Interface and device ids ---------------------------------------------------------------

inline constexpr IID IID_IDirect3D2 = {0x6AAE1EC1, 0x662A, 0x11D0, {0x88, 0x9D, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x6A}};
inline constexpr IID IID_IDirect3DDevice2 = {0x93281501, 0x8CF8, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
inline constexpr IID IID_IDirect3DViewport2 = {0x93281500, 0x8CF8, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
inline constexpr IID IID_IDirect3DTexture2 = {0x93281502, 0x8CF8, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
inline constexpr CLSID IID_IDirect3DRGBDevice = {0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr CLSID IID_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};

// ---- Interfaces -----------------------------------------------------------------------------

struct IDirect3D2;
struct IDirect3DDevice2;
struct IDirect3DViewport2;
struct IDirect3DTexture2;
using LPDIRECT3D2 = IDirect3D2*;
using LPDIRECT3DDEVICE2 = IDirect3DDevice2*;
using LPDIRECT3DVIEWPORT2 = IDirect3DViewport2*;
using LPDIRECT3DTEXTURE2 = IDirect3DTexture2*;

using LPD3DENUMTEXTUREFORMATSCALLBACK = HRESULT (*)(LPDDSURFACEDESC lpDdsd, LPVOID lpContext);

// CreateDevice: the HAL device exists only on a driver with 3D hardware and needs the render
// target (and an attached Z-buffer) in video memory; the RGB device renders anywhere but needs
// an attached Z-buffer in system memory. Either needs a DDSCAPS_3DDEVICE render target.
struct IDirect3D2 : IUnknown {
    virtual HRESULT CreateViewport(LPDIRECT3DVIEWPORT2* lplpD3DViewport2, IUnknown* pUnkOuter) = 0;
    virtual HRESULT FindDevice(LPD3DFINDDEVICESEARCH lpD3DFDS, LPD3DFINDDEVICERESULT lpD3DFDR) = 0;
    virtual HRESULT CreateDevice(REFCLSID rclsid, LPDIRECTDRAWSURFACE lpDDS, LPDIRECT3DDEVICE2* lplpD3DDevice2) = 0;

protected:
    ~IDirect3D2() = default;
};

// DrawPrimitive draws D3DVT_LVERTEX vertices only (other types: D3DERR_INVALIDVERTEXTYPE),
// between BeginScene and EndScene (else D3DERR_SCENE_NOT_IN_SCENE), through the current
// viewport (none: D3DERR_NOCURRENTVIEWPORT; never set: D3DERR_VIEWPORTDATANOTSET), into the
// render target and the Z-buffer attached to it at the time of the call. TEXTUREHANDLE 0, or a
// handle the device never gave out, draws untextured. A device keeps every texture it gave a
// handle for until it is released itself.
struct IDirect3DDevice2 : IUnknown {
    virtual HRESULT GetCaps(LPD3DDEVICEDESC lpD3DHWDevDesc, LPD3DDEVICEDESC lpD3DHELDevDesc) = 0;
    virtual HRESULT AddViewport(LPDIRECT3DVIEWPORT2 lpDirect3DViewport2) = 0;
    virtual HRESULT DeleteViewport(LPDIRECT3DVIEWPORT2 lpDirect3DViewport2) = 0;
    virtual HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK lpD3DEnumTextureProc, LPVOID lpArg) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT GetDirect3D(LPDIRECT3D2* lplpD3D2) = 0;
    virtual HRESULT SetCurrentViewport(LPDIRECT3DVIEWPORT2 lpd3dViewport2) = 0;
    virtual HRESULT GetCurrentViewport(LPDIRECT3DVIEWPORT2* lplpd3dViewport2) = 0;
    virtual HRESULT GetRenderTarget(LPDIRECTDRAWSURFACE* lplpRenderTarget) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE dwRenderStateType, LPDWORD lpdwRenderState) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE dwRenderStateType, DWORD dwRenderState) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE dtstTransformStateType, LPD3DMATRIX lpD3DMatrix) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE dtstTransformStateType, LPD3DMATRIX lpD3DMatrix) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE dptPrimitiveType, D3DVERTEXTYPE dvtVertexType, LPVOID lpvVertices, DWORD dwVertexCount, DWORD dwFlags) = 0;

protected:
    ~IDirect3DDevice2() = default;
};

// Clear takes rectangles in render-target pixels (right/bottom exclusive), clipped to the
// viewport: D3DCLEAR_ZBUFFER resets depth to the far value 0xFFFF, D3DCLEAR_TARGET fills black
// (no background material is ever set). SetViewport2 also refuses clip values that are not
// finite, a zero clip width or height, and MinZ == MaxZ.
struct IDirect3DViewport2 : IUnknown {
    virtual HRESULT Clear(DWORD dwCount, LPD3DRECT lpRects, DWORD dwFlags) = 0;
    virtual HRESULT GetViewport2(LPD3DVIEWPORT2 lpData) = 0;
    virtual HRESULT SetViewport2(LPD3DVIEWPORT2 lpData) = 0;

protected:
    ~IDirect3DViewport2() = default;
};

struct IDirect3DTexture2 : IUnknown {
    virtual HRESULT GetHandle(LPDIRECT3DDEVICE2 lpDirect3DDevice2, LPD3DTEXTUREHANDLE lpHandle) = 0;
    virtual HRESULT Load(LPDIRECT3DTEXTURE2 lpD3DTexture2) = 0;

protected:
    ~IDirect3DTexture2() = default;
};
