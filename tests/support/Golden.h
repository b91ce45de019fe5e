// Golden-image comparison for whole-frame tests.
//
//   EXPECT_TRUE(golden::MatchesGolden(image, "tests/golden/frame.png"));
//
// A pixel differs when any channel differs by more than `perChannel`; the comparison passes
// when at most `maxDifferingPixels` pixels differ. On failure the actual image and a diff image
// (differing pixels red, the rest a faded copy) are written to <build>/golden-failures/.
// With QM_UPDATE_GOLDEN=1 in the environment the golden file is (re)written instead and the
// comparison passes: look at the diff before accepting a new golden.
#pragma once

#include "tools/png/Png.h"

#include <gtest/gtest.h>

#include <string>

namespace golden {

struct Tolerance {
    int perChannel = 2;          // largest accepted difference of one channel, 0..255
    int maxDifferingPixels = 0;  // pixels allowed to exceed perChannel
};

// Relative paths are taken from the source tree (QM_SOURCE_DIR, else the working directory).
std::string ResolveSourcePath(const std::string& path);
// Where failure images go (created on demand).
std::string FailureDirectory();

struct Comparison {
    bool sameShape = false;
    int differing = 0;
    int worstChannel = 0;
};
// Compares two images of equal shape under the tolerance's channel threshold; `diff`, if given,
// receives the diff image.
Comparison Compare(const png::Image& actual, const png::Image& expected, int perChannel,
                   png::Image* diff = nullptr);

::testing::AssertionResult MatchesGolden(const png::Image& actual, const std::string& goldenPath,
                                         Tolerance tolerance = {});

}  // namespace golden
