#include "tests/assets/EmbeddedFiles.h"
#include "tools/author/Assets.h"
#include "tools/author/AuthorMath.h"
#include "tools/author/Character.h"
#include "tools/author/Dance.h"
#include "tools/author/Preview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

namespace {

using namespace assets_test;

struct Where {
    LPCSTR type;
    WORD id;
};

// Guards against a stale build: what the executable carries must be what the tool makes
// from the current source.
TEST(Authoring, EmbeddedFilesAreExactlyWhatTheToolWrites) {
    const std::map<std::string, Where> resources = {
        {"quillmote.model", {"modeldata", 132}}, {"quillmote.motion", {"motiondata", 133}}, {"texture-colour.bmp", {"bmpdata", 138}},
        {"texture-alpha.bmp", {"bmpdata", 140}}, {"toolbar.bmp", {RT_BITMAP, 128}},      {"icon.png", {RT_GROUP_ICON, 128}},
    };
    const auto files = author::AuthorAssets();
    ASSERT_EQ(files.size(), resources.size());
    for (const author::AuthoredFile& f : files) {
        const auto it = resources.find(f.name);
        ASSERT_NE(it, resources.end()) << f.name;
        EXPECT_EQ(ResourceCopy(it->second.type, it->second.id), f.bytes)
            << f.name << " differs from the tool's output: run quillmote-author --out resources/assets";
    }
}

TEST(Authoring, TwoRunsGiveTheSameBytes) {
    const auto a = author::AuthorAssets();
    const auto b = author::AuthorAssets();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].bytes, b[i].bytes) << a[i].name;
}

TEST(AuthoringMath, SineAndCosineMatchTheLibrary) {
    for (double x = -200.0; x <= 200.0; x += 0.0173) {
        ASSERT_NEAR(author::Sin(x), std::sin(x), 1e-13) << x;
        ASSERT_NEAR(author::Cos(x), std::cos(x), 1e-13) << x;
    }
    EXPECT_EQ(author::Sin(0.0), 0.0);
    EXPECT_EQ(author::Cos(0.0), 1.0);
}

TEST(AuthoringMath, RoundingNeverOverflowsOrTrapsOnBadInput) {
    EXPECT_EQ(author::RoundToInt(2.5), 3);
    EXPECT_EQ(author::RoundToInt(-2.5), -3);
    EXPECT_EQ(author::RoundToInt(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(author::RoundToInt(1e300), 2147483647);
    EXPECT_EQ(author::RoundToInt(-1e300), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(author::RoundToInt(-2147483648.4), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(author::RadiansToUnits(6.28 / 4.0), 0x4000);
}

TEST(AuthoringDance, SampledAnglesTakeTheShorterWayRound) {
    const std::vector<author::AngleKey> keys = {{0, 28672, 0, 0}, {10, -28672, 0, 0x4000}};
    const author::V3 mid = author::SampleAngles(keys, 5.0, {});
    EXPECT_NEAR(mid.x, 3.14, 1e-6);
    EXPECT_NEAR(mid.z, 0.785, 1e-6);
    // Before the first and after the last key the end keys hold.
    EXPECT_NEAR(author::SampleAngles(keys, 20.0, {}).z, 1.57, 1e-6);
    EXPECT_NEAR(author::SampleAngles({}, 3.0, {0.5, 0, 0}).x, 0.5, 0);
}

// Across the whole loop the feet stay on or above the floor and the character stays in the
// picture (about 2.9 units wide at its distance from the eye), spread wings and all.
TEST(AuthoringDance, FeetNeverSinkAndTheDancerStaysInView) {
    const author::Character c = author::BuildCharacter();
    const author::Dance d = author::BuildDance(c);
    for (int f = 0; f < 89; ++f) {
        double minY = 1e9, maxY = -1e9, maxSide = 0;
        for (const author::V3& p : author::PosedPositions(c, d, f)) {
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
            maxSide = std::max(maxSide, std::fabs(p.z));
        }
        EXPECT_GE(minY, -0.02) << "frame " << f;
        EXPECT_LE(maxY, 1.6) << "frame " << f;
        EXPECT_LE(maxSide, 1.1) << "frame " << f;
    }
}

}  // namespace
