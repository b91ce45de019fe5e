// Pictures of the view and the files they go to: every file is written aside and renamed into
// place, so it is either whole or absent.
#pragma once

#include "tools/files/OutputFile.h"
#include "tools/png/Png.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CViewerView;

// What the view's client area shows, as 8-bit RGB, top row first.
png::Image GrabPicture(CViewerView& view);

// Writes one PNG through a temporary file next to it. The reason in `error` has no path.
bool WritePictureFile(const std::string& path, const png::Image& image, std::string* error);

// Numbered frames: each is written to a temporary file as it comes; Commit renames them all
// into place. Files not committed (an error, an early return) are removed.
class FrameFiles {
public:
    FrameFiles() = default;
    ~FrameFiles();
    FrameFiles(const FrameFiles&) = delete;
    FrameFiles& operator=(const FrameFiles&) = delete;

    // `error` starts with the path of the file at fault.
    bool Add(const std::string& path, const png::Image& image, std::string* error);
    bool Commit(std::string* error);

private:
    std::vector<std::unique_ptr<OutputFile>> m_files;
};

// Fragments the view's device has shaded so far (0 without an open device).
uint64_t FragmentCount(CViewerView& view);
