#include "tests/support/Golden.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace golden {

namespace fs = std::filesystem;

std::string ResolveSourcePath(const std::string& path)
{
    if (fs::path(path).is_absolute()) {
        return path;
    }
    const char* root = std::getenv("QM_SOURCE_DIR");
    return (root != nullptr && *root != '\0') ? (fs::path(root) / path).string() : path;
}

std::string FailureDirectory()
{
    const fs::path dir = fs::path(QM_BINARY_DIR) / "golden-failures";
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir.string();
}

Comparison Compare(const png::Image& actual, const png::Image& expected, int perChannel,
                   png::Image* diff)
{
    Comparison r;
    r.sameShape = actual.width == expected.width && actual.height == expected.height &&
                  actual.channels == expected.channels &&
                  actual.pixels.size() == expected.pixels.size();
    if (!r.sameShape) {
        return r;
    }
    if (diff != nullptr) {
        *diff = png::Image(actual.width, actual.height, 3);
    }
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const uint8_t* a = actual.At(x, y);
            const uint8_t* e = expected.At(x, y);
            int worst = 0;
            for (int c = 0; c < actual.channels; ++c) {
                worst = std::max(worst, std::abs(int(a[c]) - int(e[c])));
            }
            r.worstChannel = std::max(r.worstChannel, worst);
            const bool differs = worst > perChannel;
            r.differing += differs;
            if (diff != nullptr) {
                uint8_t* d = diff->At(x, y);
                if (differs) {
                    d[0] = 255;
                    d[1] = d[2] = 0;
                } else {
                    for (int c = 0; c < 3; ++c) d[c] = uint8_t(192 + a[c] / 4);
                }
            }
        }
    }
    return r;
}

::testing::AssertionResult MatchesGolden(const png::Image& actual, const std::string& goldenPath,
                                         Tolerance tolerance)
{
    const std::string path = ResolveSourcePath(goldenPath);
    const char* update = std::getenv("QM_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::error_code ec;
        fs::create_directories(fs::path(path).parent_path(), ec);
        std::string error;
        if (!png::WritePng(path, actual, &error)) {
            return ::testing::AssertionFailure() << "cannot update golden: " << error;
        }
        return ::testing::AssertionSuccess() << "golden " << path << " rewritten";
    }
    png::Image expected;
    std::string error;
    const std::string stem = fs::path(path).stem().string();
    const std::string out = FailureDirectory();
    const std::string actualPath = (fs::path(out) / (stem + ".actual.png")).string();
    if (!png::ReadPng(path, expected, &error)) {
        png::WritePng(actualPath, actual);
        return ::testing::AssertionFailure()
               << error << " (actual image written to " << actualPath
               << "; set QM_UPDATE_GOLDEN=1 to create the golden)";
    }
    png::Image diff;
    const Comparison c = Compare(actual, expected, tolerance.perChannel, &diff);
    if (!c.sameShape) {
        png::WritePng(actualPath, actual);
        return ::testing::AssertionFailure()
               << "size differs from " << path << ": actual " << actual.width << "x" << actual.height
               << "x" << actual.channels << ", golden " << expected.width << "x" << expected.height
               << "x" << expected.channels << " (actual written to " << actualPath << ")";
    }
    if (c.differing > tolerance.maxDifferingPixels) {
        const std::string diffPath = (fs::path(out) / (stem + ".diff.png")).string();
        png::WritePng(actualPath, actual);
        png::WritePng(diffPath, diff);
        return ::testing::AssertionFailure()
               << c.differing << " pixels differ from " << path << " by more than "
               << tolerance.perChannel << " (allowed " << tolerance.maxDifferingPixels
               << ", worst channel difference " << c.worstChannel << "); see " << actualPath
               << " and " << diffPath;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace golden
