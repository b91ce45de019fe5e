// What the view sets up when its window is created, and how it copes when a part is missing.
#include "tests/app/ViewHarness.h"

#include "model/ModelLibrary.h"
#include "platform/ddraw/Machine.h"

#include <gtest/gtest.h>

namespace {

using namespace view_harness;

bool HasProblemContaining(const CViewerView& view, const std::string& text) {
    for (const std::string& p : view.StartupProblems())
        if (p.find(text) != std::string::npos) return true;
    return false;
}

TEST(ViewerStartup, LoadsTheEmbeddedModelMotionAndTexture) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->StartupProblems().empty()) << view->StartupProblems().front();
    EXPECT_TRUE(view->m_context.IsOpen());
    EXPECT_TRUE(view->m_rootObject);
    EXPECT_TRUE(view->m_motion);
    EXPECT_FALSE(view->m_texList);  // the embedded model has no texture list
    EXPECT_EQ(view->m_frame, 0.0f);
    EXPECT_EQ(view->m_context.m_textureIndex, 1);
    ASSERT_GE(view->m_context.m_slotCount, 2);
    EXPECT_NE(view->m_context.m_slots[1].m_handle, 0u);
    // The root object is the start of the model copy's first chunk body.
    EXPECT_EQ(view->m_rootObject.data, view->m_modelFile.get() + 8);
    EXPECT_EQ(view->m_motion.data, view->m_motionFile.get() + 8);
}

TEST(ViewerStartup, LendsItsBuffersAndContextToTheModelLibrary) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    const ModelState* state = mdlGetState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(static_cast<void*>(state->vertexBuffer), static_cast<void*>(view->m_vertexBuffer.get()));
    EXPECT_EQ(state->vertexCapacity, 2048);
    EXPECT_EQ(static_cast<void*>(state->matrixBuffer), static_cast<void*>(view->m_matrixBuffer.get()));
    EXPECT_EQ(state->matrixCapacity, 64);
    EXPECT_EQ(state->context, &view->m_context);
}

TEST(ViewerStartup, ADestroyedViewLeavesTheModelLibraryPointingAtNothingOfIts) {
    {
        auto view = MakeView();
        ASSERT_TRUE(view);
        ASSERT_EQ(mdlGetState()->context, &view->m_context);
    }
    const ModelState* state = mdlGetState();
    EXPECT_EQ(state->context, nullptr);
    EXPECT_EQ(state->vertexBuffer, nullptr);
    EXPECT_EQ(state->matrixBuffer, nullptr);
}

TEST(ViewerStartup, TheWindowHasAClientEdgeNoBorderAndAWhiteRedrawingClass) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    EXPECT_NE(view->GetExStyle() & WS_EX_CLIENTEDGE, 0u);
    EXPECT_EQ(view->GetStyle() & WS_BORDER, 0u);
    const WindowClassInfo* cls = view->GetWndClass();
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(cls->cursor, ::LoadCursor(nullptr, IDC_ARROW));
    EXPECT_EQ(cls->icon, nullptr);
    EXPECT_EQ(view->BackgroundColor(), 0xFFFFFFu);
}

TEST(ViewerStartup, AModelFileWithoutAModelChunkShowsOnlyTheFloorAndPanels) {
    ViewerFiles files;
    files.model = std::vector<uint8_t>{};
    auto view = MakeView(std::move(files));
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->m_rootObject);
    EXPECT_TRUE(HasProblemContaining(*view, "model"));
    Paint(*view);  // draws the squares without touching a model
    EXPECT_FALSE(view->IsPaintPending());
}

TEST(ViewerStartup, ARefusedModelFileIsReportedWithItsReasonAndDrawsNothingOfIt) {
    std::vector<uint8_t> truncated = {'N', 'J', 'C', 'M', 0xFF, 0xFF, 0, 0, 1, 2, 3, 4};
    ViewerFiles files;
    files.model = truncated;
    auto view = MakeView(std::move(files));
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->m_rootObject);
    ASSERT_FALSE(view->StartupProblems().empty());
    EXPECT_TRUE(HasProblemContaining(*view, "offset"));
    Paint(*view);
}

TEST(ViewerStartup, AFileThatIsNotAMotionKeepsTheStoredPose) {
    ViewerFiles files;
    files.motion = std::vector<uint8_t>{'N', 'J', 'C', 'M', 0, 0, 0, 0};
    auto view = MakeView(std::move(files));
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->m_motion);
    EXPECT_TRUE(HasProblemContaining(*view, "motion"));
    EXPECT_EQ(view->MotionFrameCount(), 0u);
    Move(*view, 1, 1);
    EXPECT_EQ(view->m_frame, 0.0f);
    Paint(*view);
}

TEST(ViewerStartup, ARefusedBitmapPairLeavesTheSquaresUntexturedAndNothingBreaks) {
    // A module whose bitmaps are too short to be bitmaps, in front of the program's own.
    static const BYTE kJunk[10] = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8};
    static const ResourceEntry kEntries[2] = {
        {ResourceName("bmpdata"), ResourceIntId(138), QM_UI_LANGUAGE, kJunk, sizeof kJunk},
        {ResourceName("bmpdata"), ResourceIntId(140), QM_UI_LANGUAGE, kJunk, sizeof kJunk}};
    InstallQuillmoteResources();
    const ResourceModule bad{kEntries, 2, QuillmoteResources()};
    const HMODULE previous = SetProgramResourceModule(&bad);
    {
        CHeadlessViewer viewer;
        ASSERT_TRUE(viewer.Create(640, 480));
        CViewerView& view = viewer.View();
        SetProgramResourceModule(previous);
        EXPECT_TRUE(HasProblemContaining(view, "texture"));
        EXPECT_TRUE(view.m_rootObject) << "the model still loads";
        EXPECT_EQ(view.m_context.m_textureIndex, 1);
        EXPECT_EQ(view.m_context.m_slots[1].m_handle, 0u);
        Paint(view);
        EXPECT_FALSE(view.IsPaintPending());
    }
    SetProgramResourceModule(previous);
}

TEST(ViewerStartup, ADeviceThatCannotOpenIsNeverDrawnThroughAndTheViewShowsItsBackground) {
    platform::Machine machine = platform::Machine::Default();
    machine.faults.push_back(platform::Fault{"DirectDrawCreate", 1, DDERR_GENERIC, 0});
    platform::ScopedMachine scoped(machine);
    {
        auto view = MakeView();
        ASSERT_TRUE(view);
        EXPECT_FALSE(view->m_context.IsOpen());
        EXPECT_TRUE(HasProblemContaining(*view, "device"));
        Move(*view, 5, 5);
        view->UpdateWindow();
        EXPECT_FALSE(view->IsPaintPending()) << "the paint still validates the window";
        for (uint32_t p : ClientPixels(*view)) ASSERT_EQ(p, 0xFFFFFFu);
    }
    EXPECT_EQ(platform::CallCount("BeginScene"), 0);
}

TEST(ViewerStartup, DestroyingTheViewReleasesEveryDeviceObject) {
    const int64_t before = platform::PlatformLiveObjectCount();
    {
        auto view = MakeView();
        ASSERT_TRUE(view);
        Paint(*view);
        EXPECT_GT(platform::PlatformLiveObjectCount(), before);
    }
    EXPECT_EQ(platform::PlatformLiveObjectCount(), before);
}

}  // namespace
