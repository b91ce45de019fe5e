#include "tools/png/Png.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

namespace png {

namespace {

constexpr int kCompressionLevel = 6;
constexpr int kMaxDimension = 1 << 15;

void SetError(std::string* error, const std::string& message)
{
    if (error != nullptr) {
        *error = message;
    }
}

bool ValidShape(int w, int h, int c) { return w > 0 && h > 0 && w <= kMaxDimension && h <= kMaxDimension && (c == 3 || c == 4); }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void PutBE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// The PNG library's output goes through here, to a stream or into memory, so a failed write
// keeps its cause and the library's own messages stay off standard error.
struct WriteState {
    std::FILE* stream = nullptr;       // null: the bytes go to `memory`
    std::vector<uint8_t>* memory = nullptr;
    int writeErrno = 0;
    bool failed = false;
};

void WriteBytes(png_structp png, png_bytep data, size_t length)
{
    auto* state = static_cast<WriteState*>(png_get_io_ptr(png));
    if (state->stream == nullptr) {
        state->memory->insert(state->memory->end(), data, data + length);
        return;
    }
    errno = 0;
    if (std::fwrite(data, 1, length, state->stream) != length) {
        state->failed = true;
        state->writeErrno = errno;
        png_error(png, "write");
    }
}

void FlushBytes(png_structp) {}

[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

std::string WriteFailure(int cause) { return "cannot write: " + std::string(cause != 0 ? std::strerror(cause) : "write error"); }

// Encodes `image` through `state`; the one place the PNG settings live.
bool Encode(const Image& image, WriteState& state, std::string* error)
{
    if (!ValidShape(image.width, image.height, image.channels) ||
        image.pixels.size() != size_t(image.width) * size_t(image.height) * size_t(image.channels)) {
        SetError(error, "image size does not match its pixel data");
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        SetError(error, "out of memory");
        return false;
    }
    std::vector<png_bytep> rows(size_t(image.height));
    for (int y = 0; y < image.height; ++y) {
        rows[size_t(y)] = const_cast<png_bytep>(image.At(0, y));
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        SetError(error, state.failed ? WriteFailure(state.writeErrno) : "the PNG library refused the image");
        return false;
    }
    png_set_write_fn(png, &state, WriteBytes, FlushBytes);
    png_set_compression_level(png, kCompressionLevel);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
                 image.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(std::FILE* stream, const Image& image, std::string* error)
{
    WriteState state;
    state.stream = stream;
    if (!Encode(image, state, error)) return false;
    errno = 0;
    if (std::fflush(stream) != 0) {
        SetError(error, WriteFailure(errno));
        return false;
    }
    return true;
}

bool WritePng(const std::string& path, const Image& image, std::string* error)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        SetError(error, "cannot create " + path + ": " + std::strerror(errno));
        return false;
    }
    if (!WritePng(file.get(), image, error)) return false;
    errno = 0;
    if (std::fclose(file.release()) != 0) {
        SetError(error, WriteFailure(errno));
        return false;
    }
    return true;
}

bool EncodePng(const Image& image, std::vector<uint8_t>* out, std::string* error)
{
    out->clear();
    WriteState state;
    state.memory = out;
    return Encode(image, state, error);
}

bool ReadPng(const std::string& path, Image& image, std::string* error)
{
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        SetError(error, "cannot read " + path + ": " + img.message);
        return false;
    }
    const bool rgb = (img.format & PNG_FORMAT_FLAG_ALPHA) == 0 && (img.format & PNG_FORMAT_FLAG_COLOR) != 0;
    img.format = rgb ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    if (!ValidShape(int(std::min<png_uint_32>(img.width, kMaxDimension + 1)),
                    int(std::min<png_uint_32>(img.height, kMaxDimension + 1)), rgb ? 3 : 4)) {
        png_image_free(&img);
        SetError(error, path + ": image too large or empty");
        return false;
    }
    Image out(int(img.width), int(img.height), rgb ? 3 : 4);
    if (!png_image_finish_read(&img, nullptr, out.pixels.data(), 0, nullptr)) {
        SetError(error, "cannot decode " + path + ": " + img.message);
        png_image_free(&img);
        return false;
    }
    image = std::move(out);
    return true;
}

bool ApngWriter::WriteFailed(std::string* error)
{
    SetError(error, WriteFailure(errno));
    file_ = nullptr;
    return false;
}

bool ApngWriter::WriteChunk(const char type[4], const uint8_t* data, size_t size)
{
    if (size > 0x7FFFFFFFu) {
        return false;
    }
    uint8_t head[8];
    PutBE32(head, uint32_t(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, head + 4, 4);
    if (size > 0) {
        crc = crc32(crc, data, uInt(size));
    }
    uint8_t tail[4];
    PutBE32(tail, uint32_t(crc));
    errno = 0;
    return std::fwrite(head, 1, 8, file_) == 8 && (size == 0 || std::fwrite(data, 1, size, file_) == size) &&
           std::fwrite(tail, 1, 4, file_) == 4;
}

bool ApngWriter::Open(std::FILE* stream, int width, int height, int channels, std::string* error)
{
    file_ = nullptr;
    if (!ValidShape(width, height, channels) || stream == nullptr) {
        SetError(error, "bad animation frame size");
        return false;
    }
    file_ = stream;
    width_ = width;
    height_ = height;
    channels_ = channels;
    frames_ = 0;
    sequence_ = 0;
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t ihdr[13];
    PutBE32(ihdr, uint32_t(width));
    PutBE32(ihdr + 4, uint32_t(height));
    ihdr[8] = 8;
    ihdr[9] = channels == 4 ? 6 : 2;
    ihdr[10] = ihdr[11] = ihdr[12] = 0;
    uint8_t actl[8] = {};  // frame count filled in by Finish; plays forever
    bool ok = std::fwrite(kSignature, 1, 8, file_) == 8 && WriteChunk("IHDR", ihdr, 13);
    actlOffset_ = std::ftell(file_);
    ok = ok && WriteChunk("acTL", actl, 8);
    return ok || WriteFailed(error);
}

bool ApngWriter::AddFrame(const uint8_t* pixels, std::string* error)
{
    if (file_ == nullptr || pixels == nullptr) {
        SetError(error, "animation is not open");
        return false;
    }
    const size_t row = size_t(width_) * size_t(channels_);
    filtered_.resize((row + 1) * size_t(height_));
    for (int y = 0; y < height_; ++y) {
        filtered_[size_t(y) * (row + 1)] = 0;  // filter "none"
        std::memcpy(&filtered_[size_t(y) * (row + 1) + 1], pixels + size_t(y) * row, row);
    }
    uLongf size = compressBound(uLong(filtered_.size()));
    compressed_.resize(size);
    if (compress2(compressed_.data(), &size, filtered_.data(), uLong(filtered_.size()), kCompressionLevel) != Z_OK) {
        SetError(error, "compression failed");
        return false;
    }
    uint8_t fctl[26];
    PutBE32(fctl, sequence_++);
    PutBE32(fctl + 4, uint32_t(width_));
    PutBE32(fctl + 8, uint32_t(height_));
    PutBE32(fctl + 12, 0);
    PutBE32(fctl + 16, 0);
    fctl[20] = 0;
    fctl[21] = 1;   // delay 1 / 30 s
    fctl[22] = 0;
    fctl[23] = 30;
    fctl[24] = 0;   // dispose: none
    fctl[25] = 0;   // blend: source
    bool ok = WriteChunk("fcTL", fctl, 26);
    if (frames_ == 0) {
        ok = ok && WriteChunk("IDAT", compressed_.data(), size);
    } else {
        chunk_.resize(4 + size);
        PutBE32(chunk_.data(), sequence_++);
        std::memcpy(chunk_.data() + 4, compressed_.data(), size);
        ok = ok && WriteChunk("fdAT", chunk_.data(), chunk_.size());
    }
    if (!ok) return WriteFailed(error);
    ++frames_;
    return true;
}

bool ApngWriter::Finish(std::string* error)
{
    if (file_ == nullptr || frames_ == 0) {
        file_ = nullptr;
        SetError(error, "animation has no frames");
        return false;
    }
    uint8_t actl[8];
    PutBE32(actl, frames_);
    PutBE32(actl + 4, 0);
    const bool ok = WriteChunk("IEND", nullptr, 0) && std::fseek(file_, actlOffset_, SEEK_SET) == 0 &&
                    WriteChunk("acTL", actl, 8) && std::fflush(file_) == 0;
    if (!ok) return WriteFailed(error);
    file_ = nullptr;
    return true;
}

}  // namespace png
