// Model and motion files that the chunk format allows, made byte by byte (their own encoder,
// not the chunk writer's), for tests of every reader: packed and padded files, lists at odd
// offsets, texture lists, shared subtrees, long call chains, one model reused by 200 nodes,
// both rotation orders, weighted vertices with a non-zero index offset, one- and two-list
// motions with scale keys. Each file's contents are described next to it in
// ConformanceCorpus.cpp; tests compute what drawing it must give on their own.
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

// The file of that name (the corpus must hold it).
const File& CorpusFile(const std::string& name);

// A motion that keeps every one of `nodes` nodes in its stored pose (a node table of null
// lists), for tools that need a motion beside a model.
std::vector<uint8_t> StillMotion(uint32_t nodes);

}  // namespace corpus
