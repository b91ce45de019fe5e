#include "app/shell/CommandLine.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] =
    "Usage: quillmote\n"
    "quillmote: plays back quillmote, a little 3D songbird, dancing in front of two textured panels.\n"
    "\n"
    "The model, its dance and its texture are carried inside the program; there is nothing to\n"
    "open and nothing to set. Move the mouse over the picture and the dance advances one frame\n"
    "per move; drag with the left button to turn the scene (0.01 radian per pixel). Nothing moves\n"
    "while the mouse is still. The menu, toolbar, status bar and About box are in Japanese.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help\n"
    "  --version    show the version\n"
    "\n"
    "It needs a display (X11 or Wayland). Without one it says so in one line and exits with\n"
    "status 1; under xvfb-run it runs without a screen.\n"
    "\n"
    "Exit status: 0 when the window was closed; 1 no display.\n";

}  // namespace

int AnswerInfoOption(int argc, char** argv) {
    if (argc != 2) return -1;
    if (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("quillmote %s\n", QM_VERSION);
        return 0;
    }
    return -1;
}
