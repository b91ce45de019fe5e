// The rendering view: the one window of the program that draws. It owns the render context,
// the in-memory copies of the model and motion files and the work buffers lent to the model
// library; the mouse turns the scene and advances the motion one frame per move.
#pragma once

#include "data/ChunkBody.h"
#include "platform/win/afxwin.h"
#include "render/RenderContext.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where the view takes its model and motion file images from. Unset members come from the
// program's resources (modeldata 132, motiondata 133); a set member replaces that resource
// byte for byte (an empty vector stands for a missing file).
struct ViewerFiles {
    std::optional<std::vector<uint8_t>> model;
    std::optional<std::vector<uint8_t>> motion;
};

class CViewerView : public CWnd {
public:
    CViewerView();
    ~CViewerView() override;
    CViewerView(const CViewerView&) = delete;
    CViewerView& operator=(const CViewerView&) = delete;

    // Replaces the resource files for the next Create (tools load the user's own files).
    void SetFiles(ViewerFiles files) { m_files = std::move(files); }

    // Size of the drawing surfaces for the next Create; the picture is one pixel less each way.
    // The viewer keeps the default; benchmarks draw the same scene into larger pictures.
    void SetRenderSize(int32_t width, int32_t height) {
        m_renderWidth = width;
        m_renderHeight = height;
    }

    // What creation could not load (missing resource, refused file, device that did not
    // open), one line each; the same lines go to standard error.
    const std::vector<std::string>& StartupProblems() const { return m_startupProblems; }

    // Frame count of the loaded motion (0 without one). The view shows frames 0 to count - 2.
    uint32_t MotionFrameCount() const;

    // The frame the view shows: the one frame composition, without the paint bookkeeping.
    // Does nothing unless the device is open.
    void DrawFrame();

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate(LPCREATESTRUCT createStruct) override;
    void OnPaint() override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonDown(UINT flags, CPoint point) override;

    // Fields in the order the view keeps them; public so that tools and tests read them.
    float m_angleX;
    float m_angleY;
    POINT m_lastMouse;
    std::unique_ptr<uint8_t[]> m_motionFile;
    std::unique_ptr<uint8_t[]> m_matrixBuffer;
    CRenderContext m_context;
    std::unique_ptr<uint8_t[]> m_vertexBuffer;
    std::unique_ptr<uint8_t[]> m_modelFile;
    ChunkBody m_rootObject;
    ChunkBody m_motion;
    ChunkBody m_texList;
    float m_frame;

    static constexpr uint32_t kVertexBufferBytes = 0xC000;
    static constexpr uint32_t kMatrixBufferBytes = 4096;
    static constexpr int32_t kRenderWidth = 640;
    static constexpr int32_t kRenderHeight = 480;

private:
    void Report(std::string problem);
    // Copies the given file, or else the resource, into a block of its own.
    bool CopyFile(const char* what, const std::optional<std::vector<uint8_t>>& given, const char* type, WORD id,
                  std::unique_ptr<uint8_t[]>* copy, uint32_t* size);

    ViewerFiles m_files;
    int32_t m_renderWidth = kRenderWidth;
    int32_t m_renderHeight = kRenderHeight;
    std::vector<std::string> m_startupProblems;
};
