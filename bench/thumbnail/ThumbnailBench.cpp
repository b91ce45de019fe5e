// Time of one thumbnail, from the file images in memory to the finished RGBA picture: the
// input checks, the measuring draw, the four small pictures that choose the turn and the two
// full pictures. thumbnail_bench ASSETS_DIR RUNS
#include "tests/model/SampleModels.h"
#include "tools/inspect/InputFiles.h"
#include "tools/thumbnail/ThumbnailScene.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

InputFile FromBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    InputFile file;
    file.name = name;
    file.size = static_cast<uint32_t>(bytes.size());
    file.bytes = std::make_unique<uint8_t[]>(bytes.size() + 1);
    std::memcpy(file.bytes.get(), bytes.data(), bytes.size());
    return file;
}

bool Measure(const char* label, const InputFile& model, const InputFile& motion, int32_t size, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const CheckedInputs checked = CheckInputs(model, &motion);
        png::Image picture;
        std::string error;
        if (!checked.problems.empty() || !RenderThumbnail(checked.rootObject, checked.motion, size, &picture, &error)) {
            std::fprintf(stderr, "thumbnail_bench: %s: %s\n", label, error.c_str());
            return false;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-10s size %4d  median_ms %7.2f  min_ms %7.2f  max_ms %7.2f\n", label, size, ms[ms.size() / 2], ms.front(),
                ms.back());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: thumbnail_bench ASSETS_DIR RUNS\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int runs = std::max(1, std::atoi(argv[2]));
    InputFile model, motion;
    std::string error;
    if (!ReadInputFile(dir + "/quillmote.model", &model, &error) || !ReadInputFile(dir + "/quillmote.motion", &motion, &error)) {
        std::fprintf(stderr, "thumbnail_bench: %s\n", error.c_str());
        return 1;
    }
    const modeltest::SampleAsset figure = modeltest::Figure();
    const InputFile figureModel = FromBytes("figure.model", figure.ModelFile());
    const InputFile figureMotion = FromBytes("figure.motion", figure.MotionFile());
    for (const int32_t size : {128, 256, 512, 1024}) {
        if (!Measure("character", model, motion, size, runs) || !Measure("figure", figureModel, figureMotion, size, runs))
            return 1;
    }
    return 0;
}
