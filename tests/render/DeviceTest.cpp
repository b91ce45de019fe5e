// Opening and releasing the device on different machines, every failure on the way, and the
// frame begin/end with presentation into the window.
#include "tests/render/ContextFixture.h"
#include "platform/ddraw/Objects.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using platform::CallCount;
using platform::CallTrace;
using platform::Fault;
using platform::Machine;
using platform::PlatformLiveObjectCount;
using platform::ScopedCallTrace;
using platform::ScopedMachine;
using platform::TraceKind;
using rendertest::OpenContext;
using rendertest::Trace;
using Strings = std::vector<std::string>;

DWORD CapsOf(IDirectDrawSurface3* surface) {
    DDSCAPS caps{};
    surface->GetCaps(&caps);
    return caps.dwCaps;
}

Machine WithFault(const std::string& operation, int32_t nth = 1, int32_t repeat = 1) {
    Machine m = Machine::Default();
    Fault f;
    f.operation = operation;
    f.nth = nth;
    f.repeat = repeat;
    m.faults.push_back(f);
    return m;
}

Machine WithoutHardware() {
    Machine m = Machine::Default();
    m.drivers[0].has3D = false;
    return m;
}

// Which objects a partly or fully open context holds.
struct Held {
    bool ddraw, primary, backBuffer, clipper, d3d, zBuffer, device, viewport;
};

Held HeldBy(const CRenderContext& rc) {
    return {rc.m_ddraw != nullptr, rc.m_primary != nullptr, rc.m_backBuffer != nullptr,
            rc.m_clipper != nullptr, rc.m_d3d != nullptr,     rc.m_zBuffer != nullptr,
            rc.m_device != nullptr,  rc.m_viewport != nullptr};
}

void ExpectHeld(const CRenderContext& rc, Held expected) {
    const Held h = HeldBy(rc);
    EXPECT_EQ(h.ddraw, expected.ddraw);
    EXPECT_EQ(h.primary, expected.primary);
    EXPECT_EQ(h.backBuffer, expected.backBuffer);
    EXPECT_EQ(h.clipper, expected.clipper);
    EXPECT_EQ(h.d3d, expected.d3d);
    EXPECT_EQ(h.zBuffer, expected.zBuffer);
    EXPECT_EQ(h.device, expected.device);
    EXPECT_EQ(h.viewport, expected.viewport);
}

constexpr Held kNothing{false, false, false, false, false, false, false, false};
constexpr Held kEverything{true, true, true, true, true, true, true, true};

// Opens on `machine`, checks the result and what is held, then that ReleaseDevice gives every
// platform object back.
void OpenAndRelease(Machine machine, bool expectOpen, Held expectHeld) {
    ScopedMachine scope(std::move(machine));
    HeadlessWindow window(640, 480);
    const int64_t before = PlatformLiveObjectCount();
    {
        CRenderContext rc;
        EXPECT_EQ(rc.OpenDevice(&window, 640, 480, 64, rendertest::kVertexPool, rendertest::kStatePool), expectOpen);
        EXPECT_EQ(rc.IsOpen(), expectOpen && expectHeld.device);
        ExpectHeld(rc, expectHeld);
        rc.ReleaseDevice();
        ExpectHeld(rc, kNothing);
        EXPECT_EQ(rc.m_slots, nullptr);
        EXPECT_EQ(rc.m_vertexPool, nullptr);
        EXPECT_EQ(PlatformLiveObjectCount(), before);
        rc.ReleaseDevice();  // a second release finds nothing to do
        EXPECT_EQ(PlatformLiveObjectCount(), before);
    }
    EXPECT_EQ(PlatformLiveObjectCount(), before);
}

// --- opening -----------------------------------------------------------------------------

TEST(OpenDevice, DefaultMachineOpensEverythingAndSetsTheFixedStates) {
    ScopedMachine scope(Machine::Default());
    HeadlessWindow window(640, 480);
    CRenderContext rc;
    ScopedCallTrace trace;
    ASSERT_TRUE(rc.OpenDevice(&window, 640, 480, 64, rendertest::kVertexPool, rendertest::kStatePool));
    ExpectHeld(rc, kEverything);
    EXPECT_TRUE(rc.IsOpen());
    EXPECT_EQ(rc.m_slotCount, 64);
    EXPECT_EQ(rc.m_textureIndex, -1);
    EXPECT_EQ(rc.m_vertexPool->Capacity(), rendertest::kVertexPool);
    EXPECT_EQ(rc.m_statePool->Capacity(), rendertest::kStatePool);
    EXPECT_EQ(Trace({TraceKind::SetRenderState}),
              (Strings{"SetRenderState(1,0)", "SetRenderState(22,1)", "SetRenderState(4,1)", "SetRenderState(17,2)",
                       "SetRenderState(18,2)", "SetRenderState(15,1)", "SetRenderState(24,0)", "SetRenderState(25,5)",
                       "SetRenderState(7,1)"}));
    EXPECT_EQ(rc.m_viewportData.dvMaxZ, 2.0f);
    EXPECT_EQ(rc.m_viewportData.dwWidth, 640u);
    EXPECT_EQ(CallCount("CreateDevice:RGB"), 0);
}

TEST(OpenDevice, AddOnThreeDBoardIsChosenWhenThePrimaryHasNone) {
    Machine m = WithoutHardware();
    platform::DisplayDriver board;
    board.hasGuid = true;
    board.guid = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    board.description = "3D board";
    board.name = "board";
    board.has3D = true;
    m.drivers.push_back(board);
    OpenContext c(m);
    ASSERT_TRUE(c.opened);
    EXPECT_EQ(CallCount("CreateDevice:HAL"), 1);
    EXPECT_EQ(CallCount("CreateDevice:RGB"), 0);
}

TEST(OpenDevice, FirstOfSeveralThreeDDriversIsChosen) {
    Machine m = WithoutHardware();
    for (uint8_t board = 1; board <= 2; ++board) {
        platform::DisplayDriver d;
        d.hasGuid = true;
        d.guid = {0x12345678, 0x1234, board, {1, 2, 3, 4, 5, 6, 7, board}};
        d.description = "3D board";
        d.name = "board";
        d.has3D = true;
        m.drivers.push_back(d);
    }
    ScopedMachine scope(m);
    HeadlessWindow window(640, 480);
    const int64_t before = PlatformLiveObjectCount();
    {
        CRenderContext rc;
        ASSERT_TRUE(rc.OpenDevice(&window, 640, 480, 64, rendertest::kVertexPool, rendertest::kStatePool));
        const auto* chosen = platform::DirectDrawObject::From(rc.m_ddraw);
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(chosen->DriverIndex(), 1u);
        EXPECT_EQ(CallCount("DirectDrawCreate"), 2);  // the enumeration stops at the first 3D driver
    }
    EXPECT_EQ(PlatformLiveObjectCount(), before);  // the drivers passed over were given back
}

TEST(OpenDevice, WithoutThreeDHardwareTheSoftwareDeviceIsUsed) {
    OpenContext c(WithoutHardware());
    ASSERT_TRUE(c.opened);
    EXPECT_EQ(CallCount("CreateDevice:HAL"), 1);
    EXPECT_EQ(CallCount("CreateDevice:RGB"), 1);
    // No hardware device: the Z-buffer sits in system memory whatever the target got.
    EXPECT_NE(CapsOf(c.rc.m_zBuffer) & DDSCAPS_SYSTEMMEMORY, 0u);
}

TEST(OpenDevice, SmallVideoMemoryMovesTargetAndZBufferToSystemMemory) {
    Machine m = Machine::Default();
    m.videoMemoryBytes = 64 * 1024;
    OpenContext c(m);
    ASSERT_TRUE(c.opened);
    EXPECT_NE(CapsOf(c.rc.m_backBuffer) & DDSCAPS_SYSTEMMEMORY, 0u);
    EXPECT_NE(CapsOf(c.rc.m_zBuffer) & DDSCAPS_SYSTEMMEMORY, 0u);
}

TEST(OpenDevice, HardwareTargetGetsAVideoMemoryZBuffer) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    EXPECT_NE(CapsOf(c.rc.m_backBuffer) & DDSCAPS_VIDEOMEMORY, 0u);
    EXPECT_NE(CapsOf(c.rc.m_zBuffer) & DDSCAPS_VIDEOMEMORY, 0u);
}

TEST(OpenDevice, BadArgumentsAreRefusedBeforeAnythingIsMade) {
    ScopedMachine scope(Machine::Default());
    HeadlessWindow window(640, 480);
    const int64_t before = PlatformLiveObjectCount();
    CRenderContext rc;
    EXPECT_FALSE(rc.OpenDevice(nullptr, 640, 480, 64, 1024, 1024));
    EXPECT_FALSE(rc.OpenDevice(&window, 0, 480, 64, 1024, 1024));
    EXPECT_FALSE(rc.OpenDevice(&window, 640, -1, 64, 1024, 1024));
    EXPECT_FALSE(rc.OpenDevice(&window, 640, 480, 0, 1024, 1024));
    EXPECT_FALSE(rc.OpenDevice(&window, 640, 480, -64, 1024, 1024));
    EXPECT_FALSE(rc.OpenDevice(&window, 640, 480, 64, 0, 1024));
    EXPECT_FALSE(rc.OpenDevice(&window, 640, 480, 64, 1024, -1));
    EXPECT_FALSE(rc.OpenDevice(&window, 1 << 30, 480, 64, 1024, 1024));
    EXPECT_EQ(CallCount("DirectDrawCreate"), 0);
    EXPECT_EQ(PlatformLiveObjectCount(), before);
    ExpectHeld(rc, kNothing);
}

TEST(OpenDevice, SecondOpenIsRefusedAndKeepsTheFirst) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    IDirect3DDevice2* device = c.rc.m_device;
    const int64_t live = PlatformLiveObjectCount();
    EXPECT_FALSE(c.rc.OpenDevice(&c.window, 320, 240, 8, 1024, 1024));
    EXPECT_EQ(c.rc.m_device, device);
    EXPECT_EQ(c.rc.m_width, 640);
    EXPECT_EQ(PlatformLiveObjectCount(), live);
}

TEST(OpenDevice, ReleaseGoesFromTheViewportToTheDirectDrawObject) {
    // The Z-buffer is detached before it is released, then the render target and the primary
    // go. Every surface holds its DirectDraw object, the primary its clipper.
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    c.rc.ReleaseDevice();
    EXPECT_EQ(Trace({TraceKind::DeleteViewport, TraceKind::Release, TraceKind::DeleteAttachedSurface}),
              (Strings{"DeleteViewport()", "Release(Viewport,0)", "Release(Device,0)", "Release(DirectDraw,4)",
                       "Release(Clipper,1)", "DeleteAttachedSurface()", "Release(Surface:zbuffer,0)",
                       "Release(Surface:plain,0)", "Release(Surface:primary,0)", "Release(DirectDraw,0)"}));
}

TEST(OpenDevice, ReleaseGivesBackEveryObjectOfAnOpenContext) {
    OpenAndRelease(Machine::Default(), true, kEverything);
}

// --- every failing step ------------------------------------------------------------------

TEST(OpenDeviceFailure, NoDriverAtAllLeavesNothing) {
    // No 3D driver, and creating the active display driver fails too.
    Machine m = WithoutHardware();
    Fault f;
    f.operation = "DirectDrawCreate";
    f.nth = 2;
    m.faults.push_back(f);
    OpenAndRelease(m, false, kNothing);
}

TEST(OpenDeviceFailure, FailedEnumerationFallsBackToTheActiveDisplayDriver) {
    OpenContext c(WithFault("DirectDrawEnumerateA"));
    EXPECT_TRUE(c.opened);
    EXPECT_EQ(CallCount("DirectDrawCreate"), 1);
}

TEST(OpenDeviceFailure, NoDirectDraw2LeavesNothing) {
    OpenAndRelease(WithFault("QueryInterface:IDirectDraw2"), false, kNothing);
}

TEST(OpenDeviceFailure, PrimarySurfaceFailureGivesUpDirectDraw) {
    OpenAndRelease(WithFault("CreateSurface", 1), false, kNothing);
    OpenAndRelease(WithFault("QueryInterface:IDirectDrawSurface3", 1), false, kNothing);
}

TEST(OpenDeviceFailure, RenderTargetOutOfVideoMemoryIsRetriedInSystemMemory) {
    ScopedMachine scope(WithFault("CreateSurface", 2));
    HeadlessWindow window(640, 480);
    CRenderContext rc;
    ASSERT_TRUE(rc.OpenDevice(&window, 640, 480, 64, rendertest::kVertexPool, rendertest::kStatePool));
    EXPECT_NE(CapsOf(rc.m_backBuffer) & DDSCAPS_SYSTEMMEMORY, 0u);
    EXPECT_NE(CapsOf(rc.m_zBuffer) & DDSCAPS_SYSTEMMEMORY, 0u);
}

TEST(OpenDeviceFailure, RenderTargetFailureLeavesOnlyThePrimary) {
    const Held primaryOnly{false, true, false, false, false, false, false, false};
    OpenAndRelease(WithFault("CreateSurface", 2, 2), false, primaryOnly);
    OpenAndRelease(WithFault("QueryInterface:IDirectDrawSurface3", 2), false, primaryOnly);
}

TEST(OpenDeviceFailure, ClipperFailureIsIgnored) {
    Held noClipper = kEverything;
    noClipper.clipper = false;
    OpenAndRelease(WithFault("CreateClipper"), true, noClipper);
    OpenAndRelease(WithFault("SetHWnd"), true, kEverything);
}

TEST(OpenDeviceFailure, NoDirect3DLeavesTheDirectDrawObjects) {
    OpenAndRelease(WithFault("QueryInterface:IDirect3D2"), false,
                   {true, true, true, true, false, false, false, false});
}

TEST(OpenDeviceFailure, ZBufferFailureIsIgnored) {
    Held noZ = kEverything;
    noZ.zBuffer = false;
    OpenAndRelease(WithFault("CreateSurface", 3), true, noZ);
    OpenAndRelease(WithFault("AddAttachedSurface"), true, kEverything);
}

TEST(OpenDeviceFailure, HardwareDeviceFailureFallsBackToSoftware) {
    // The software device needs a system-memory Z-buffer, which it gets when no hardware
    // device is found.
    Machine m = WithFault("CreateDevice:HAL");
    Fault noHardware;
    noHardware.operation = "FindDevice";
    m.faults.push_back(noHardware);
    {
        OpenContext c(m);
        EXPECT_TRUE(c.opened);
        EXPECT_EQ(CallCount("CreateDevice:RGB"), 1);
    }
    OpenAndRelease(m, true, kEverything);
}

TEST(OpenDeviceFailure, NoDeviceAtAllLeavesTheSurfacesAndDirect3D) {
    OpenAndRelease(WithFault("CreateDevice", 1, 2), false, {true, true, true, true, true, true, false, false});
}

TEST(OpenDeviceFailure, ViewportFailureIsIgnored) {
    Held noViewport = kEverything;
    noViewport.viewport = false;
    OpenAndRelease(WithFault("CreateViewport"), true, noViewport);
}

// --- frames and presentation --------------------------------------------------------------

struct Presented {
    Strings viewport;
    Strings clear;
    Strings blits;
};

Presented RunFrame(OpenContext& c) {
    ScopedCallTrace trace;
    c.rc.BeginFrame(255, 255, 255);
    c.rc.EndFrame();
    return {Trace({TraceKind::SetViewport2}), Trace({TraceKind::Clear}), Trace({TraceKind::Blt})};
}

TEST(Presentation, ExactSizeClientShowsOneColumnAndRowLess) {
    OpenContext c(Machine::Default(), 640, 480);
    ASSERT_TRUE(c.opened);
    c.window.MoveTo({10, 20});
    const Presented p = RunFrame(c);
    EXPECT_EQ(p.viewport, (Strings{"SetViewport2(0,0,639,479,-1,0.749609,2,1.49922,0,2)"}));
    EXPECT_EQ(p.clear, (Strings{"Clear(2,[0,0,639,479])"}));
    ASSERT_EQ(p.blits.size(), 2u);
    EXPECT_EQ(p.blits[0].rfind("Blt(fill=0xffffff,", 0), 0u) << p.blits[0];
    EXPECT_EQ(p.blits[1], "Blt(copy,dst=[10,20,649,499],src=[0,0,639,479],flags=0x0)");
    EXPECT_EQ(c.rc.m_offsetX, 0);
    EXPECT_EQ(c.rc.m_offsetY, 0);
}

TEST(Presentation, LargerClientCentresThePicture) {
    OpenContext c(Machine::Default(), 1000, 700);
    ASSERT_TRUE(c.opened);
    const Presented p = RunFrame(c);
    EXPECT_EQ(c.rc.m_offsetX, 180);
    EXPECT_EQ(c.rc.m_offsetY, 110);
    ASSERT_EQ(p.blits.size(), 2u);
    EXPECT_EQ(p.blits[1], "Blt(copy,dst=[180,110,819,589],src=[0,0,639,479],flags=0x0)");
}

TEST(Presentation, OnePixelLargerClientTruncatesTheOffsetToZero) {
    OpenContext c(Machine::Default(), 641, 481);
    ASSERT_TRUE(c.opened);
    const Presented p = RunFrame(c);
    EXPECT_EQ(c.rc.m_offsetX, 0);
    EXPECT_EQ(c.rc.m_offsetY, 0);
    ASSERT_EQ(p.blits.size(), 2u);
    EXPECT_EQ(p.blits[1], "Blt(copy,dst=[0,0,639,479],src=[0,0,639,479],flags=0x0)");
}

TEST(Presentation, SmallerClientShowsTheTopLeftAndFitsTheSceneWidth) {
    OpenContext c(Machine::Default(), 300, 200);
    ASSERT_TRUE(c.opened);
    const Presented p = RunFrame(c);
    EXPECT_EQ(c.rc.m_viewportData.dwWidth, 300u);
    EXPECT_EQ(c.rc.m_viewportData.dwHeight, 200u);
    EXPECT_NEAR(c.rc.m_viewportData.dvClipY, 0.6667f, 1e-4f);
    EXPECT_NEAR(c.rc.m_viewportData.dvClipHeight, 1.3333f, 1e-4f);
    EXPECT_EQ(c.rc.m_viewportData.dvClipX, -1.0f);
    EXPECT_EQ(c.rc.m_viewportData.dvClipWidth, 2.0f);
    ASSERT_EQ(p.blits.size(), 2u);
    EXPECT_EQ(p.blits[1], "Blt(copy,dst=[0,0,300,200],src=[0,0,300,200],flags=0x0)");
}

TEST(Presentation, FrameSendsItsStepsInOrder) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    c.rc.BeginFrame(255, 255, 255);
    const Strings begin = Trace();
    ASSERT_EQ(begin.size(), 6u);
    // The whole render target, waiting for the blitter.
    EXPECT_EQ(begin[0], "Blt(fill=0xffffff,dst=all,flags=0x1000400)");
    EXPECT_EQ(begin[1].rfind("SetViewport2(", 0), 0u);
    EXPECT_EQ(begin[2], "Clear(2,[0,0,639,479])");
    EXPECT_EQ(begin[3], "SetCurrentViewport()");
    EXPECT_EQ(begin[4], "SetTransform(2,identity)");
    EXPECT_EQ(begin[5], "BeginScene()");
    EXPECT_EQ(c.rc.m_activeQueue, &c.rc.m_queue);
    EXPECT_EQ(c.rc.m_queue.m_bucketCount, 4096);
    CallTrace::Clear();
    c.rc.EndFrame();
    const Strings end = Trace();
    ASSERT_EQ(end.size(), 3u);
    EXPECT_EQ(end[0], "SetTransform(1,identity)");
    EXPECT_EQ(end[1], "EndScene()");
    EXPECT_EQ(end[2].rfind("Blt(copy,", 0), 0u);
}

TEST(Presentation, BeginningAFrameTwiceClosesTheFirstScene) {
    OpenContext c;
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    EXPECT_TRUE(c.rc.BeginFrame(255, 255, 255));
    EXPECT_TRUE(c.rc.BeginFrame(0, 0, 0));
    EXPECT_TRUE(c.rc.EndFrame());
    EXPECT_EQ(Trace({TraceKind::BeginScene, TraceKind::EndScene}),
              (Strings{"BeginScene()", "EndScene()", "BeginScene()", "EndScene()"}));
    EXPECT_FALSE(c.rc.EndFrame());  // no scene is open any more
}

TEST(Presentation, WhiteFillReachesTheWindowExceptTheLastColumnAndRow) {
    Machine m = Machine::Default();
    OpenContext c(m, 640, 480);
    ASSERT_TRUE(c.opened);
    c.window.Fill(0x123456);
    RunFrame(c);
    EXPECT_EQ(c.window.Pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(c.window.Pixel(638, 478), 0xFFFFFFu);
    EXPECT_EQ(c.window.Pixel(639, 100), 0x123456u);
    EXPECT_EQ(c.window.Pixel(100, 479), 0x123456u);
}

TEST(Presentation, EachFrameStartsFromTheFilledRenderTarget) {
    // What the last frame drew is gone: the fill reaches the render target, not the window.
    OpenContext c;
    ASSERT_TRUE(c.opened);
    rendertest::SetPerspective(c.rc);
    c.rc.BeginFrame(255, 255, 255);
    c.rc.Disable(RC_TEXTURE_2D);
    c.rc.m_color = 0xFF0000FF;
    c.rc.Begin(RC_TRIANGLE_FAN);
    c.rc.Vertex(-1, -1, -2);
    c.rc.Vertex(1, -1, -2);
    c.rc.Vertex(1, 1, -2);
    c.rc.Vertex(-1, 1, -2);
    c.rc.End();
    c.rc.EndFrame();
    ASSERT_EQ(c.window.Pixel(320, 240), 0x0000FFu);
    c.rc.BeginFrame(255, 255, 255);
    c.rc.EndFrame();
    EXPECT_EQ(c.window.Pixel(320, 240), 0xFFFFFFu);
    EXPECT_EQ(c.window.Pixel(0, 0), 0xFFFFFFu);
}

TEST(Presentation, RedFillIsRedOnAThirtyTwoBitTargetAndBlackOnSixteen) {
    {
        OpenContext c;
        ASSERT_TRUE(c.opened);
        c.rc.BeginFrame(255, 0, 0);
        c.rc.EndFrame();
        EXPECT_EQ(c.window.Pixel(5, 5), 0xFF0000u);
    }
    {
        Machine m = Machine::Default();
        m.displayFormat = platform::DisplayFormat::R5G6B5;
        OpenContext c(m);
        ASSERT_TRUE(c.opened);
        c.window.Fill(0x123456);
        c.rc.BeginFrame(255, 0, 0);
        c.rc.EndFrame();
        EXPECT_EQ(c.window.Pixel(5, 5), 0x000000u);
    }
}

TEST(Presentation, EmptyClientAreaDrawsAndPresentsNothing) {
    OpenContext c(Machine::Default(), 0, 100);
    ASSERT_TRUE(c.opened);
    ScopedCallTrace trace;
    EXPECT_FALSE(c.rc.BeginFrame(255, 255, 255));
    EXPECT_TRUE(Trace({TraceKind::SetViewport2}).empty());
    EXPECT_TRUE(Trace({TraceKind::BeginScene}).empty());
    // Drawing between stays safe.
    c.rc.Enable(RC_BLEND);
    c.rc.m_color = 0x80FFFFFF;
    c.rc.Begin(RC_TRIANGLE_FAN);
    c.rc.Vertex(0, 0, -1);
    c.rc.Vertex(1, 0, -1);
    c.rc.Vertex(1, 1, -1);
    c.rc.End();
    EXPECT_FALSE(c.rc.EndFrame());
    EXPECT_TRUE(Trace({TraceKind::EndScene}).empty());
    const Strings blits = Trace({TraceKind::Blt});
    ASSERT_EQ(blits.size(), 1u);  // only the fill
    EXPECT_EQ(blits[0].rfind("Blt(fill=", 0), 0u);
}

TEST(Presentation, FramesOnAFailedOpenDoNothing) {
    OpenContext c(WithFault("CreateDevice", 1, 2));
    ASSERT_FALSE(c.opened);
    ScopedCallTrace trace;
    EXPECT_FALSE(c.rc.BeginFrame(255, 255, 255));
    EXPECT_FALSE(c.rc.EndFrame());
    EXPECT_TRUE(Trace().empty());
}

}  // namespace
