// quillmote-render and quillmote-inspect pointed at places and files an attacker chose: what
// they write lands only where it should, whole, and what they read is bounded and echoed safely.
#include "tests/tools/BadFiles.h"
#include "tests/tools/ProgramRunner.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace tooltest;
namespace fs = std::filesystem;

const std::string kRender = QM_RENDER_PROGRAM;
const std::string kInspect = QM_INSPECT_PROGRAM;

// A scratch directory for what the programs write, apart from where their output is kept.
struct Scratch {
    explicit Scratch(const std::string& name) : run(ScratchDir(name)), out(run / "out") { fs::create_directories(out); }
    std::vector<std::string> Written() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path run;
    fs::path out;
};

std::string Text(size_t count, char c) { return std::string(count, c); }

void BindSocket(const fs::path& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    close(fd);
}

// --- where outputs go ------------------------------------------------------------------------

// A directory, a symbolic link (to a file that must stay as it is), a FIFO or a device at the
// output path: one line, status 1, nothing written, for a picture and for an animation.
TEST(HostileOutputs, OnlyARegularFileOrNothingIsReplaced) {
    Scratch s("non-regular");
    WriteBytes(s.run / "victim", {'k', 'e', 'e', 'p'});
    fs::create_directory(s.out / "dir.png");
    fs::create_symlink(s.run / "victim", s.out / "link.png");
    ASSERT_EQ(mkfifo((s.out / "fifo.png").c_str(), 0600), 0);
    BindSocket(s.out / "socket.png");
    // A device node of our own (never a system one: a broken build must not replace that).
    (void)mknod((s.out / "null.png").c_str(), S_IFCHR | 0600, makedev(1, 3));
    const std::vector<std::string> before = s.Written();
    const struct { std::string target, kind; } cases[] = {
        {(s.out / "dir.png").string(), "is a directory"},
        {(s.out / "link.png").string(), "is a symbolic link"},
        {(s.out / "fifo.png").string(), "is a FIFO"},
        {(s.out / "socket.png").string(), "is a socket"},
        {(s.out / "null.png").string(), "is a character device"},
    };
    for (const auto& c : cases) {
        if (!fs::exists(fs::symlink_status(c.target))) continue;  // no device without the right to make one
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"--size", "32x24", "-o", c.target}, {"--size", "32x24", "--all-frames", "--animation", c.target}}) {
            const RunResult r = RunProgram(kRender, args, s.run);
            EXPECT_EQ(r.status, 1) << c.target;
            EXPECT_EQ(r.err, "quillmote-render: " + c.target + ": " + c.kind + "; only a regular file is replaced\n");
        }
    }
    // A frame pattern is checked for every frame before the first is drawn.
    fs::create_directory(s.out / "f-44.png");
    const RunResult r = RunProgram(kRender, {"--size", "32x24", "--all-frames", "-o", (s.out / "f-{frame}.png").string()}, s.run);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("f-44.png: is a directory"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(s.run / "victim"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    std::vector<std::string> expected = before;
    expected.push_back("f-44.png");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(s.Written(), expected) << "no temporary file, no frame";
}

// Names an attacker could plant beforehand (the target's name with a suffix) are never opened.
TEST(HostileOutputs, APlantedLinkBesideTheTargetIsNotFollowed) {
    Scratch s("planted");
    WriteBytes(s.run / "victim", {'k', 'e', 'e', 'p'});
    for (const char* suffix : {".part", ".tmp", ".part-1"}) fs::create_symlink(s.run / "victim", s.out / (std::string("a.png") + suffix));
    const RunResult r = RunProgram(kRender, {"--size", "32x24", "--all-frames", "--animation", (s.out / "a.png").string()}, s.run);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(s.run / "victim"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(s.out / "a.png")));
    EXPECT_EQ(s.Written(), (std::vector<std::string>{"a.png", "a.png.part", "a.png.part-1", "a.png.tmp"}));
}

TEST(HostileOutputs, ANameOf250CharactersIsWritten) {
    Scratch s("long-name");
    const std::string name = Text(246, 'n') + ".png";
    const RunResult r = RunProgram(kRender, {"--size", "32x24", "-o", (s.out / name).string()}, s.run);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.Written(), std::vector<std::string>{name});
}

TEST(HostileOutputs, TwoRunsWritingTheSameFileBothFinishWhole) {
    Scratch s("concurrent");
    const std::vector<std::string> args = {"--size", "64x48", "--all-frames", "--animation", (s.out / "a.png").string()};
    const Started first = StartProgram(kRender, args, s.run);
    const Started second = StartProgram(kRender, args, s.run);
    const RunResult a = FinishProgram(first);
    const RunResult b = FinishProgram(second);
    EXPECT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(s.Written(), std::vector<std::string>{"a.png"});
    // Whole: the same bytes as a run on its own.
    ASSERT_EQ(RunProgram(kRender, {"--size", "64x48", "--all-frames", "--animation", (s.run / "alone.png").string()}, s.run).status, 0);
    EXPECT_EQ(ReadBytes(s.out / "a.png"), ReadBytes(s.run / "alone.png"));
}

// SIGINT or SIGTERM while the frames are written: exit 130 / 143 and no temporary file left.
TEST(HostileOutputs, AnInterruptLeavesNoTemporaryFile) {
    const struct { int signal; int status; std::vector<std::string> output; } cases[] = {
        {SIGINT, 130, {"--animation", "anim.png"}},
        {SIGTERM, 143, {"-o", "frame-{frame}.png"}},
    };
    for (const auto& c : cases) {
        Scratch s("interrupt-" + std::to_string(c.signal));
        std::vector<std::string> args = {"--size", "1024x768", "--all-frames", c.output[0], (s.out / c.output[1]).string()};
        const Started run = StartProgram(kRender, args, s.run);
        // Signalled once the first file beside the target exists (so the run is under way).
        for (int wait = 0; wait < 3000 && s.Written().empty(); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_FALSE(s.Written().empty()) << "the run never started writing";
        kill(run.pid, c.signal);
        const RunResult r = FinishProgram(run);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(s.Written(), std::vector<std::string>{}) << "signal " << c.signal;
    }
}

// A full file system (a small one of its own, mounted where the output goes): one line that
// names the cause, status 1, nothing left.
TEST(HostileOutputs, AFullDiskIsOneLineNamingIt) {
    Scratch s("full");
    const std::string probe = "unshare -m true 2>/dev/null";
    if (std::system(probe.c_str()) != 0) GTEST_SKIP() << "no private mount namespace here";
    for (const std::string& output : {std::string("-o 'DIR/a.png'"), std::string("--all-frames --animation 'DIR/a.png'")}) {
        std::string command = "unshare -m sh -c \"mount -t tmpfs -o size=12k tmpfs 'DIR' && exec '" + kRender +
                              "' --size 320x240 " + output + "; \"";
        for (size_t at; (at = command.find("DIR")) != std::string::npos;) command.replace(at, 3, s.out.string());
        const RunResult r = RunProgram("/bin/sh", {"-c", command}, s.run);
        EXPECT_EQ(r.status, 1) << output;
        EXPECT_EQ(r.err, "quillmote-render: " + (s.out / "a.png").string() + ": cannot write: No space left on device\n");
    }
}

// --- what inputs are read --------------------------------------------------------------------

// A mouse log that is not a regular file, too large or with a too long line is refused before
// it is read into memory; so is a model that is not a regular file.
TEST(HostileInputs, LogsAndModelsAreReadBoundedFromRegularFilesOnly) {
    Scratch s("inputs");
    ASSERT_EQ(mkfifo((s.run / "fifo").c_str(), 0600), 0);
    {
        std::ofstream big(s.run / "big.log");
        big << "move 1 1\n";
    }
    fs::resize_file(s.run / "big.log", 16u * 1024u * 1024u + 1u);
    const std::string longLine = "# " + Text(1023, 'c') + "\nmove 1 1\n";
    WriteBytes(s.run / "long.log", std::vector<uint8_t>(longLine.begin(), longLine.end()));
    const struct { std::string option, path, reason; } cases[] = {
        {"--replay", "/dev/zero", "cannot read the mouse log: a character device, not a regular file"},
        {"--replay", s.run.string(), "cannot read the mouse log: a directory, not a regular file"},
        {"--replay", (s.run / "fifo").string(), "cannot read the mouse log: a FIFO, not a regular file"},
        {"--replay", (s.run / "big.log").string(), "cannot read the mouse log: file too large (more than 16777216 bytes)"},
        {"--replay", (s.run / "long.log").string(), "line 1: line longer than 1024 bytes"},
        {"--model", s.run.string(), "cannot read: a directory, not a regular file"},
        {"--motion", (s.run / "fifo").string(), "cannot read: a FIFO, not a regular file"},
    };
    for (const auto& c : cases) {
        const RunResult r = RunProgram(kRender, {c.option, c.path, "-o", (s.out / "a.png").string()}, s.run);
        EXPECT_EQ(r.status, 1) << c.path;
        EXPECT_EQ(r.err, "quillmote-render: " + c.path + ": " + c.reason + "\n");
    }
    EXPECT_EQ(s.Written(), std::vector<std::string>{});
}

// Control bytes and escape sequences from a log, a command line or a path come out escaped,
// and a NUL does not end the message.
TEST(HostileInputs, EchoedBytesAreSafeForATerminal) {
    Scratch s("echo");
    const std::string log = std::string("go\x1b[2J\x1b]0;x\x07") + std::string("\0tail 1 2\n", 10);
    WriteBytes(s.run / "e.log", std::vector<uint8_t>(log.begin(), log.end()));
    const RunResult replay = RunProgram(kRender, {"--replay", (s.run / "e.log").string(), "-o", (s.out / "a.png").string()}, s.run);
    EXPECT_EQ(replay.status, 1);
    EXPECT_NE(replay.err.find("unknown event 'go\\x1B[2J\\x1B]0;x\\x07\\x00tail'"), std::string::npos) << replay.err;
    const RunResult option = RunProgram(kRender, {"--frame", "\x1b[31m9", "-o", (s.out / "x.png").string()}, s.run);
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.err.find("not '\\x1B[31m9'"), std::string::npos) << option.err;
    const RunResult path = RunProgram(kInspect, {"--model", "no\rsuch\x9b" "file"}, s.run);
    EXPECT_EQ(path.status, 1);
    EXPECT_EQ(path.err, "quillmote-inspect: no\\x0Dsuch\\x9Bfile: cannot read: No such file or directory\n");
    for (const RunResult* r : {&replay, &option, &path})
        for (char c : r->err) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F) || (c & 0x80)) << int(c);
}

// A path longer than any fixed buffer is printed whole, with its line end.
TEST(HostileInputs, InspectNeverCutsALine) {
    Scratch s("long-path");
    fs::path dir = s.run;
    for (int i = 0; i < 3; ++i) dir /= Text(200, char('a' + i));
    fs::create_directories(dir);
    const modeltest::SampleAsset arm = modeltest::TwoBoneArm();
    const std::vector<uint8_t> model = arm.ModelFile();
    WriteBytes(dir / "arm.model", model);
    const RunResult r = RunProgram(kInspect, {"--model", (dir / "arm.model").string()}, s.run);
    EXPECT_NE(r.out.find("model: " + (dir / "arm.model").string() + " (" + std::to_string(model.size()) + " bytes)\n"),
              std::string::npos);
}

// A chain of 5,000 nodes: the 4,937 below the matrix stack's reach are one line with the count.
TEST(HostileInputs, ATreeDeeperThanTheMatrixStackIsReportedOnce) {
    Scratch s("deep");
    modeltest::ModelBuilder m;
    uint32_t parent = m.Node();
    for (int i = 1; i < 5000; ++i) {
        const uint32_t child = m.Node();
        m.Child(parent, child);
        parent = child;
    }
    WriteBytes(s.run / "deep.model", ModelFile(m.Raw()));
    const RunResult r = RunProgram(kInspect, {"--model", (s.run / "deep.model").string()}, s.run);
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> deep;
    for (const std::string& line : Lines(r.err))
        if (line.find("deeper") != std::string::npos) deep.push_back(line);
    ASSERT_EQ(deep.size(), 1u);
    EXPECT_NE(deep[0].find("4937 nodes are deeper than a matrix stack of 64 entries"), std::string::npos) << deep[0];
}

}  // namespace
