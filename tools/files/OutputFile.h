// An output file written beside its target and renamed into place, so the target is whole or
// untouched. The temporary file is created exclusively (never opened through an existing name,
// never through a symbolic link) under an unpredictable short name in the target's directory,
// so a shared directory cannot turn a run into a write to another file, a long target name
// still works, and two runs writing the same target do not meet until the last rename.
#pragma once

#include <cstdio>
#include <string>

// Whether `path` may be replaced: nothing there, or a regular file. A directory, a symbolic
// link, a device, a FIFO or a socket is refused with a one-line reason (no path in it).
bool CheckOutputTarget(const std::string& path, std::string* error);

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // an uncommitted temporary file is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks the target and creates the temporary file beside it, open for writing.
    bool Create(const std::string& path, std::string* error);
    std::FILE* Stream() { return m_stream; }
    // Flushes and closes the temporary file; the reason names a failed write (a full disk).
    bool Close(std::string* error);
    // Closes (if still open), checks the target again and renames the temporary file over it.
    bool Commit(std::string* error);
    // Closes and removes the temporary file.
    void Abandon();

    const std::string& Target() const { return m_target; }
    const std::string& TemporaryPath() const { return m_temporary; }

private:
    std::string m_target;
    std::string m_temporary;
    std::FILE* m_stream = nullptr;
};
