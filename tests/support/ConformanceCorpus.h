// Model and motion files that the tools must accept, for tests that run every one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corpus {

struct File {
    std::string name;
    std::vector<uint8_t> model;
    std::vector<uint8_t> motion;  // empty: no motion
};

const std::vector<File>& ConformanceCorpus();

}  // namespace corpus
