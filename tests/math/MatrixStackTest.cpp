#include "math/MatrixStack.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool SameBits(const Matrix4& a, const Matrix4& b) { return std::memcmp(&a, &b, sizeof(Matrix4)) == 0; }

TEST(MatrixStack, CapacityOfSixtyFourAcceptsSixtyThreePushes) {
    for (int capacity : {64, 32}) {
        CMatrixStack s;
        s.Resize(capacity);
        for (int i = 0; i < capacity - 1; ++i) ASSERT_TRUE(s.PushMatrix()) << i;
        EXPECT_FALSE(s.PushMatrix());
        EXPECT_EQ(s.Depth(), capacity - 1);
    }
}

TEST(MatrixStack, PopRestoresBitForBitAndMarksDirty) {
    CMatrixStack s;
    s.Resize(8);
    s.Translate(0.1f, -0.6f, -5.0f);
    const Matrix4 before = s.m_current;
    s.SetDirty(false);
    ASSERT_TRUE(s.PushMatrix());
    EXPECT_FALSE(s.IsDirty());  // pushing does not change the current matrix
    s.RotateY(0.3f);
    s.RotateX(-1.2f);
    s.Translate(3.0f, 2.0f, 1.0f);
    s.SetDirty(false);
    ASSERT_TRUE(s.PopMatrix());
    EXPECT_TRUE(SameBits(s.m_current, before));
    EXPECT_TRUE(s.IsDirty());
    EXPECT_FALSE(s.PopMatrix());
}

TEST(MatrixStack, GetMatrixIndexesCurrentThenSavedEntries) {
    CMatrixStack s;
    s.Resize(4);
    s.Translate(1, 0, 0);
    s.PushMatrix();
    s.Translate(0, 1, 0);
    s.PushMatrix();
    s.Translate(0, 0, 1);
    EXPECT_EQ(s.GetMatrix(0), &s.m_current);
    EXPECT_EQ(s.GetMatrix(-3), &s.m_current);
    EXPECT_EQ(s.GetMatrix(1)->m[12], 1.0f);
    EXPECT_EQ(s.GetMatrix(1)->m[13], 0.0f);
    EXPECT_EQ(s.GetMatrix(2)->m[13], 1.0f);
    EXPECT_EQ(s.GetMatrix(3), nullptr);  // never saved
}

TEST(MatrixStack, DirectionsIgnoreTranslationPointsDoNot) {
    CMatrixStack s;
    s.Resize(2);
    s.Translate(1, 2, 3);
    const Vector3 d = s.TransformDirection(0.5f, -2.0f, 4.0f);
    EXPECT_EQ(d.x, 0.5f);
    EXPECT_EQ(d.y, -2.0f);
    EXPECT_EQ(d.z, 4.0f);
    const Vector3 p = s.TransformPoint(0, 0, 0);
    EXPECT_EQ(p.x, 1.0f);
    EXPECT_EQ(p.y, 2.0f);
    EXPECT_EQ(p.z, 3.0f);
}

TEST(MatrixStack, ProjectPointDividesByW) {
    CMatrixStack s;
    s.Resize(2);
    MatrixPerspective(&s.m_current, 0.5f, 30.0f, 1.0471977f);
    const Vector3 q = s.ProjectPoint({0.0f, 0.0f, -5.0f});
    EXPECT_NEAR(q.z, 0.9152542f, 1e-6f);
}

TEST(MatrixStack, OrbitingCameraRotatesBeforeItTranslates) {
    CMatrixStack s;
    s.Resize(4);
    s.Translate(0.0f, -0.6f, -5.0f);
    s.RotateY(1.5707964f);
    const Vector3 p = s.TransformPoint(1, 0, 0);  // turned to +z, then moved back
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, -0.6f, 1e-6f);
    EXPECT_NEAR(p.z, -4.0f, 1e-6f);
}

TEST(MatrixStack, ResizeDropsSavedMatricesAndResetsToIdentity) {
    CMatrixStack s;
    s.Resize(4);
    s.Translate(1, 2, 3);
    s.PushMatrix();
    s.SetDirty(false);
    s.Resize(4);
    Matrix4 id;
    MatrixIdentity(&id);
    EXPECT_EQ(s.Depth(), 0);
    EXPECT_TRUE(SameBits(s.m_current, id));
    EXPECT_TRUE(s.IsDirty());
    EXPECT_FALSE(s.PopMatrix());
}

TEST(MatrixStack, WithoutAnArrayEveryPushIsRefused) {
    CMatrixStack fresh;  // capacity 0, no array
    EXPECT_FALSE(fresh.PushMatrix());
    CMatrixStack s;
    s.Resize(1);
    EXPECT_FALSE(s.PushMatrix());
    s.Resize(-5);
    EXPECT_FALSE(s.PushMatrix());
    EXPECT_EQ(s.Capacity(), 0);
}

}  // namespace
