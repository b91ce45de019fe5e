// What the mouse does to the view: moves advance the dance one frame each and repaint,
// drags with the left button turn the scene 0.01 radian per pixel.
#include "tests/app/ViewHarness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace view_harness;

TEST(ViewerMouse, MovesWithoutAButtonAdvanceTheFrameAndRepaintWithoutTurning) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    view->UpdateWindow();
    ASSERT_FALSE(view->IsPaintPending());
    const int paintsBefore = AfxHeadlessBackend().PaintsDelivered();

    Move(*view, 10, 10);
    Move(*view, 40, 90);
    Move(*view, 300, 5);
    EXPECT_EQ(view->m_frame, 3.0f);
    EXPECT_EQ(view->m_angleX, 0.0f);
    EXPECT_EQ(view->m_angleY, 0.0f);
    EXPECT_TRUE(view->IsPaintPending());

    // The three invalidations merge into one paint.
    AfxPumpMessages();
    EXPECT_FALSE(view->IsPaintPending());
    EXPECT_EQ(AfxHeadlessBackend().PaintsDelivered(), paintsBefore + 1);
    EXPECT_EQ(view->m_lastMouse.x, 300);
    EXPECT_EQ(view->m_lastMouse.y, 5);
}

TEST(ViewerMouse, ADragOfAHundredPixelsRightTurnsOneRadianHoweverManyMovesItTakes) {
    for (int steps : {1, 3, 7, 100}) {
        auto view = MakeView();
        ASSERT_TRUE(view);
        Press(*view, 100, 200);
        for (int i = 1; i <= steps; ++i) Move(*view, 100 + (100 * i) / steps, 200, true);
        EXPECT_NEAR(view->m_angleY, 1.0f, 1e-5f) << steps << " moves";
        EXPECT_EQ(view->m_angleX, 0.0f);
        EXPECT_EQ(view->m_frame, static_cast<float>(steps % 89));  // the dance wraps after frame 88
    }
}

TEST(ViewerMouse, DraggingDownTurnsAboutXAndDraggingUpTurnsBack) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    Press(*view, 50, 50);
    Move(*view, 50, 80, true);
    EXPECT_NEAR(view->m_angleX, 0.3f, 1e-6f);
    Move(*view, 50, 30, true);
    EXPECT_NEAR(view->m_angleX, -0.2f, 1e-6f);
    EXPECT_EQ(view->m_angleY, 0.0f);
}

TEST(ViewerMouse, ADragEnteringWithTheButtonHeldStartsFromTheLastKnownPosition) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    Move(*view, 20, 20);             // an earlier visit
    Move(*view, 70, 20, true);       // re-enters with the button already down
    EXPECT_NEAR(view->m_angleY, 0.5f, 1e-6f);
}

TEST(ViewerMouse, PressingTheButtonOnlyRemembersWhereItWent) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    Press(*view, 123, 45);
    EXPECT_EQ(view->m_lastMouse.x, 123);
    EXPECT_EQ(view->m_lastMouse.y, 45);
    EXPECT_EQ(view->m_frame, 0.0f);
    EXPECT_EQ(view->m_angleX, 0.0f);
    EXPECT_FALSE(view->IsPaintPending());
}

TEST(ViewerMouse, PositionsFarOutsideTheWindowTurnWithoutOverflow) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    view->m_lastMouse = POINT{INT32_MIN, INT32_MAX};
    view->OnMouseMove(MK_LBUTTON, CPoint(INT32_MAX, INT32_MIN));
    EXPECT_TRUE(std::isfinite(view->m_angleX));
    EXPECT_TRUE(std::isfinite(view->m_angleY));
    EXPECT_GT(view->m_angleY, 4.0e7f);
    EXPECT_LT(view->m_angleX, -4.0e7f);
}

TEST(ViewerDance, TheFrameAfter88IsZeroAndFrame89IsNeverShown) {
    auto view = MakeView();
    ASSERT_TRUE(view);
    ASSERT_EQ(view->MotionFrameCount(), 90u);
    for (int i = 0; i < 88; ++i) Move(*view, i, 0);
    EXPECT_EQ(view->m_frame, 88.0f);
    Move(*view, 0, 0);
    EXPECT_EQ(view->m_frame, 0.0f);
}

TEST(ViewerDance, AOneFrameMotionStaysAtFrameZero) {
    ViewerFiles files;
    files.motion = MotionWithFrameCount(1);
    auto view = MakeView(std::move(files));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->MotionFrameCount(), 1u);
    for (int i = 0; i < 5; ++i) Move(*view, i, i);
    EXPECT_EQ(view->m_frame, 0.0f);
}

TEST(ViewerDance, AMotionWithoutFramesStaysAtFrameZeroInsteadOfRunningAway) {
    ViewerFiles files;
    files.motion = MotionWithFrameCount(0);
    auto view = MakeView(std::move(files));
    ASSERT_TRUE(view);
    for (int i = 0; i < 5; ++i) Move(*view, i, i);
    EXPECT_EQ(view->m_frame, 0.0f);
}

TEST(ViewerDance, AShortMotionWrapsAtItsOwnLength) {
    ViewerFiles files;
    files.motion = MotionWithFrameCount(4);  // frames 0, 1, 2 shown
    auto view = MakeView(std::move(files));
    ASSERT_TRUE(view);
    std::vector<float> seen;
    for (int i = 0; i < 5; ++i) {
        Move(*view, i, i);
        seen.push_back(view->m_frame);
    }
    EXPECT_EQ(seen, (std::vector<float>{1, 2, 0, 1, 2}));
}

}  // namespace
