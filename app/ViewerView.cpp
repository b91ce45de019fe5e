#include "app/ViewerView.h"

#include "app/FrameComposition.h"
#include "data/ChunkFile.h"
#include "model/ModelLibrary.h"
#include "platform/win/Resources.h"
#include "render/TextureImage.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kTextureSlots = 64;
constexpr DWORD kVertexPoolBytes = 0x200000;
constexpr DWORD kStatePoolBytes = 0x80000;
constexpr int32_t kTextureSlot = 1;
constexpr float kRadiansPerPixel = 0.01f;

constexpr WORD kModelResource = 132;
constexpr WORD kMotionResource = 133;
constexpr WORD kColourBitmap = 138;
constexpr WORD kAlphaBitmap = 140;

// The bytes and size of a resource of the program's module, or null when it is missing.
const uint8_t* LockedResource(const char* type, WORD id, uint32_t* size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return nullptr;
    *size = SizeofResource(nullptr, found);
    return static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
}

}  // namespace

CViewerView::CViewerView()
    : m_angleX(0.0f), m_angleY(0.0f), m_lastMouse{0, 0}, m_frame(0.0f) {}

CViewerView::~CViewerView() {
    // The model library must not keep pointing at buffers and a context about to go: a later
    // draw (another view, a tool) would write freed memory. It is left unset instead.
    const ModelState* state = mdlGetState();
    if (state != nullptr && state->context == &m_context) {
        mdlSetVertexBuffer(nullptr, 0);
        mdlSetMatrixBuffer(nullptr, 0);
        mdlSetContext(nullptr);
    }
    // File copies and work buffers go first, then the context releases the device.
    m_modelFile.reset();
    m_vertexBuffer.reset();
    m_matrixBuffer.reset();
    m_motionFile.reset();
}

void CViewerView::Report(std::string problem) {
    std::fprintf(stderr, "quillmote: %s\n", problem.c_str());
    m_startupProblems.push_back(std::move(problem));
}

BOOL CViewerView::PreCreateWindow(CREATESTRUCT& cs) {
    if (!CWnd::PreCreateWindow(cs)) return FALSE;
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    cs.style &= ~static_cast<DWORD>(WS_BORDER);
    cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW),
                                       reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1)), nullptr);
    return TRUE;
}

bool CViewerView::CopyFile(const char* what, const std::optional<std::vector<uint8_t>>& given, const char* type,
                           WORD id, std::unique_ptr<uint8_t[]>* copy, uint32_t* size) {
    const uint8_t* bytes = nullptr;
    uint32_t count = 0;
    if (given) {
        bytes = given->data();
        count = static_cast<uint32_t>(given->size());
    } else {
        bytes = LockedResource(type, id, &count);
        if (bytes == nullptr) {
            Report(std::string(what) + ": resource " + type + " " + std::to_string(id) + " is missing");
            return false;
        }
    }
    // One spare byte keeps the block non-empty; the loaders see exactly `count` bytes.
    *copy = std::make_unique<uint8_t[]>(static_cast<size_t>(count) + 1);
    if (count != 0) std::memcpy(copy->get(), bytes, count);
    *size = count;
    return true;
}

int CViewerView::OnCreate(LPCREATESTRUCT createStruct) {
    if (CWnd::OnCreate(createStruct) == -1) return -1;

    m_context.OpenDevice(GetSafeHwnd(), m_renderWidth, m_renderHeight, kTextureSlots, kVertexPoolBytes,
                         kStatePoolBytes);
    if (!m_context.IsOpen()) Report("the drawing device could not be opened; the view shows its background only");

    mdlInit();
    m_vertexBuffer = std::make_unique<uint8_t[]>(kVertexBufferBytes);
    mdlSetVertexBuffer(m_vertexBuffer.get(), static_cast<int32_t>(kVertexBufferBytes));
    m_matrixBuffer = std::make_unique<uint8_t[]>(kMatrixBufferBytes);
    mdlSetMatrixBuffer(m_matrixBuffer.get(), static_cast<int32_t>(kMatrixBufferBytes));
    mdlSetContext(&m_context);

    uint32_t size = 0;
    if (CopyFile("model", m_files.model, "modeldata", kModelResource, &m_modelFile, &size)) {
        const LoadResult loaded = mdlLoadModelFile(m_modelFile.get(), size, &m_texList, &m_rootObject);
        if (!loaded) Report("model: " + loaded.Describe() + "; the model is not shown");
        else if (!m_rootObject) Report("model: the file has no NJCM chunk; the model is not shown");
    }
    if (CopyFile("motion", m_files.motion, "motiondata", kMotionResource, &m_motionFile, &size)) {
        const LoadResult loaded = mdlLoadMotionFile(m_motionFile.get(), size, &m_motion);
        if (!loaded) Report("motion: " + loaded.Describe() + "; the model keeps its stored pose");
    }

    uint32_t colourSize = 0;
    uint32_t alphaSize = 0;
    const uint8_t* colour = LockedResource("bmpdata", kColourBitmap, &colourSize);
    const uint8_t* alpha = LockedResource("bmpdata", kAlphaBitmap, &alphaSize);
    std::optional<CTextureImage> image;
    if (colour == nullptr || alpha == nullptr) {
        Report("texture: bitmap resource bmpdata " + std::to_string(colour == nullptr ? kColourBitmap : kAlphaBitmap) +
               " is missing; the squares are drawn untextured");
    } else {
        image.emplace(colour, colourSize, alpha, alphaSize);
        if (image->IsEmpty()) Report("texture: the bitmap pair was refused; the squares are drawn untextured");
    }

    // Slot 1 is bound even without an image, so the frame's texture settings have a slot. The
    // height is passed: a pair that is not square must not be read as width x width.
    m_context.BindTexture(kTextureSlot);
    if (image && !image->IsEmpty())
        m_context.TexImage(image->m_width, image->m_height, RC_PIXELS_RGBA, image->m_pixels, nullptr);

    m_frame = 0.0f;
    return 0;  // the image goes here; slot 1 keeps its own copy
}

uint32_t CViewerView::MotionFrameCount() const {
    const uint8_t* field = BodyBytesAt(m_motion, 4, 4);
    if (field == nullptr) return 0;
    uint32_t count = 0;
    std::memcpy(&count, field, sizeof count);
    return count;
}

void CViewerView::DrawFrame() {
    if (!m_context.IsOpen()) return;
    FrameInputs inputs;
    inputs.angleX = m_angleX;
    inputs.angleY = m_angleY;
    inputs.rootObject = m_rootObject;
    inputs.motion = m_motion;
    inputs.frame = m_frame;
    ComposeFrame(m_context, inputs);
}

void CViewerView::OnPaint() {
    CPaintDC dc(this);
    DrawFrame();
}

void CViewerView::OnMouseMove(UINT flags, CPoint point) {
    if (flags & MK_LBUTTON) {
        // Differences in 64 bits: positions far outside the window cannot overflow.
        const int64_t dy = static_cast<int64_t>(point.y) - m_lastMouse.y;
        const int64_t dx = static_cast<int64_t>(point.x) - m_lastMouse.x;
        m_angleX += static_cast<float>(dy) * kRadiansPerPixel;
        m_angleY += static_cast<float>(dx) * kRadiansPerPixel;
    }
    m_frame = mdlNextFrame(m_frame, MotionFrameCount());
    InvalidateRect(nullptr, FALSE);
    m_lastMouse = POINT{point.x, point.y};
    CWnd::OnMouseMove(flags, point);
}

void CViewerView::OnLButtonDown(UINT flags, CPoint point) {
    m_lastMouse = POINT{point.x, point.y};
    CWnd::OnLButtonDown(flags, point);
}
