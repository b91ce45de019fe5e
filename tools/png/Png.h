// PNG files for golden images and tools: deterministic writes (fixed compression level, no
// time stamps), reads of 8-bit RGB / RGBA, and an animated PNG writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace png {

// Tightly packed rows, top row first, `channels` bytes per pixel (3 = RGB, 4 = RGBA).
struct Image {
    int width = 0;
    int height = 0;
    int channels = 4;
    std::vector<uint8_t> pixels;

    Image() = default;
    Image(int w, int h, int c) : width(w), height(h), channels(c), pixels(size_t(w) * size_t(h) * size_t(c), 0) {}
    uint8_t* At(int x, int y) { return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * size_t(channels); }
    const uint8_t* At(int x, int y) const { return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * size_t(channels); }
};

// Writes `image` to `path`; false with a message in `error` on failure (bad size, I/O).
bool WritePng(const std::string& path, const Image& image, std::string* error = nullptr);
// Encodes `image` as PNG bytes into `out` (the same settings as WritePng).
bool EncodePng(const Image& image, std::vector<uint8_t>* out, std::string* error = nullptr);
// Writes `image` to an open stream. A failed write is one reason in `error` naming its cause
// ("cannot write: No space left on device"); the PNG library prints nothing of its own.
bool WritePng(std::FILE* stream, const Image& image, std::string* error = nullptr);
// Reads an 8-bit RGB or RGBA PNG (other PNG kinds are converted to RGBA).
bool ReadPng(const std::string& path, Image& image, std::string* error = nullptr);

// Animated PNG of equal-size frames shown 1/30 s each, written to a stream the caller owns
// (which must be seekable: the frame count is filled in by Finish).
class ApngWriter {
public:
    ApngWriter() = default;
    ApngWriter(const ApngWriter&) = delete;
    ApngWriter& operator=(const ApngWriter&) = delete;

    bool Open(std::FILE* stream, int width, int height, int channels, std::string* error = nullptr);
    // `pixels`: width x height x channels bytes, top row first.
    bool AddFrame(const uint8_t* pixels, std::string* error = nullptr);
    // Writes the end of the file and flushes it; false when no frame was added.
    bool Finish(std::string* error = nullptr);
    uint32_t FrameCount() const { return frames_; }

private:
    bool WriteChunk(const char type[4], const uint8_t* data, size_t size);
    bool WriteFailed(std::string* error);

    std::FILE* file_ = nullptr;
    int width_ = 0, height_ = 0, channels_ = 0;
    uint32_t frames_ = 0;
    uint32_t sequence_ = 0;
    long actlOffset_ = 0;
    std::vector<uint8_t> filtered_;
    std::vector<uint8_t> compressed_;
    std::vector<uint8_t> chunk_;
};

}  // namespace png
