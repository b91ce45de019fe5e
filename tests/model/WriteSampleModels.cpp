// Writes the sample models and motions as files, for looking at them with the tools (the
// README's thumbnails): write_sample_models DIR -> DIR/arm.model, arm.motion, figure.model,
// figure.motion, and every file of the conformance corpus as corpus-NAME.model (and .motion
// where it has one).
#include "tests/model/SampleModels.h"
#include "tests/support/ConformanceCorpus.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_sample_models DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
    const modeltest::SampleAsset figure = modeltest::Figure();
    if (!Write(dir + "/arm.model", arm.ModelFile()) || !Write(dir + "/arm.motion", arm.MotionFile()) ||
        !Write(dir + "/figure.model", figure.ModelFile()) || !Write(dir + "/figure.motion", figure.MotionFile())) {
        std::fprintf(stderr, "write_sample_models: cannot write into %s\n", dir.c_str());
        return 1;
    }
    for (const corpus::File& f : corpus::ConformanceCorpus()) {
        const std::string stem = dir + "/corpus-" + f.name;
        if (!Write(stem + ".model", f.model) || (!f.motion.empty() && !Write(stem + ".motion", f.motion))) {
            std::fprintf(stderr, "write_sample_models: cannot write into %s\n", dir.c_str());
            return 1;
        }
    }
    return 0;
}
