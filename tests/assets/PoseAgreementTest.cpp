#include "model/ModelLibrary.h"
#include "tests/assets/EmbeddedFiles.h"
#include "tools/author/Character.h"
#include "tools/author/Dance.h"
#include "tools/author/Preview.h"
#include "tools/author/StoredFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace assets_test;

// The viewer's model library poses the embedded files; the work buffer then holds every skin
// vertex in model space. They must be where the authoring tool's preview put them, or the
// dance the tool was judged by is not the dance the viewer plays (a wrong rotation order,
// angle sign or unit shows up here first).
class PoseAgreement : public ::testing::Test {
protected:
    void SetUp() override {
        mdlInit();
        m_entries.assign(2048, VertexWorkEntry{});
        m_matrices.assign(64, Matrix4{});
        mdlSetVertexBuffer(m_entries.data(), static_cast<int32_t>(m_entries.size() * sizeof(VertexWorkEntry)));
        mdlSetMatrixBuffer(m_matrices.data(), static_cast<int32_t>(m_matrices.size() * sizeof(Matrix4)));
        mdlSetContext(nullptr);  // positions only: nothing is drawn
        ChunkBody texList;
        ASSERT_TRUE(mdlLoadModelFile(m_model.data(), static_cast<uint32_t>(m_model.size()), &texList, &m_modelBody).ok());
        ASSERT_TRUE(mdlLoadMotionFile(m_motion.data(), static_cast<uint32_t>(m_motion.size()), &m_motionBody).ok());
    }
    void TearDown() override {
        mdlSetVertexBuffer(nullptr, 0);
        mdlSetMatrixBuffer(nullptr, 0);
    }

    // Largest distance between the library's and the tool's position of any skin vertex.
    double WorstDistance(float frame) {
        EXPECT_EQ(mdlDrawMotion(m_modelBody, m_motionBody, frame), 0);
        const std::vector<author::V3> expected = author::PosedPositions(m_character, m_dance, frame);
        double worst = 0;
        for (size_t v = 0; v < expected.size(); ++v) {
            const VertexWorkEntry& e = m_entries[m_layout.entryOfVertex[v]];
            const author::V3 got{e.position.x, e.position.y, e.position.z};
            worst = std::max(worst, author::Length(got - expected[v]));
        }
        return worst;
    }

    std::vector<uint8_t> m_model = ResourceCopy("modeldata", 132);
    std::vector<uint8_t> m_motion = ResourceCopy("motiondata", 133);
    ChunkBody m_modelBody, m_motionBody;
    std::vector<VertexWorkEntry> m_entries;
    std::vector<Matrix4> m_matrices;
    author::Character m_character = author::BuildCharacter();
    author::Dance m_dance = author::BuildDance(m_character);
    author::EntryLayout m_layout = author::LayOutEntries(m_character);
};

TEST_F(PoseAgreement, ViewerPosesTheSkinWhereTheToolPreviewedIt) {
    for (float frame : {0.0f, 11.0f, 22.0f, 37.5f, 66.0f, 88.0f}) EXPECT_LT(WorstDistance(frame), 2e-3) << "frame " << frame;
}

TEST_F(PoseAgreement, FrameAfterTheLastShownLooksLikeTheFirst) {
    EXPECT_EQ(mdlDrawMotion(m_modelBody, m_motionBody, 0.0f), 0);
    const std::vector<VertexWorkEntry> first(m_entries.begin(), m_entries.begin() + 1900);
    EXPECT_EQ(mdlDrawMotion(m_modelBody, m_motionBody, 89.0f), 0);
    for (size_t i = 0; i < first.size(); ++i) {
        ASSERT_FLOAT_EQ(first[i].position.x, m_entries[i].position.x) << i;
        ASSERT_FLOAT_EQ(first[i].position.y, m_entries[i].position.y) << i;
        ASSERT_FLOAT_EQ(first[i].position.z, m_entries[i].position.z) << i;
    }
}

}  // namespace
