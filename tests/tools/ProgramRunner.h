// Runs a program of the build with arguments and collects its exit status and output.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tooltest {

struct RunResult {
    int status = -1;  // exit status; -1 when it did not exit normally (a crash)
    std::string out;
    std::string err;
};

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    const std::string s = ReadText(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// This test program's own directory under the system's temporary directory.
inline std::filesystem::path ScratchRoot() {
    return std::filesystem::temp_directory_path() / ("quillmote-tools-" + std::to_string(getpid()));
}

// A fresh, empty directory for one test.
inline std::filesystem::path ScratchDir(const std::string& name) {
    const auto dir = ScratchRoot() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A program started and not yet waited for; its output goes to files named after its pid.
struct Started {
    pid_t pid = -1;
    std::filesystem::path dir;
};

inline std::filesystem::path OutputPath(const Started& s, const char* stream) {
    return s.dir / (std::string(stream) + "-" + std::to_string(s.pid) + ".txt");
}

inline Started StartProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::filesystem::path& dir) {
    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::fflush(stdout);  // or the child would repeat what is still buffered
    std::fflush(stderr);
    Started started{fork(), dir};
    if (started.pid == 0) {
        Started self{getpid(), dir};
        if (!std::freopen(OutputPath(self, "stdout").c_str(), "wb", stdout) ||
            !std::freopen(OutputPath(self, "stderr").c_str(), "wb", stderr))
            _exit(127);
        // A program that runs away ends here instead of holding the test (and CI) for ever: the
        // alarm outlives exec, and its default action ends the process, which fails the test.
        alarm(120);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return started;
}

inline RunResult FinishProgram(const Started& started) {
    RunResult result;
    int status = 0;
    if (started.pid > 0 && waitpid(started.pid, &status, 0) == started.pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = ReadText(OutputPath(started, "stdout"));
    result.err = ReadText(OutputPath(started, "stderr"));
    std::filesystem::remove(OutputPath(started, "stdout"));
    std::filesystem::remove(OutputPath(started, "stderr"));
    return result;
}

inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::filesystem::path& dir) {
    return FinishProgram(StartProgram(program, args, dir));
}

// Lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) lines.push_back(line);
    return lines;
}

}  // namespace tooltest
