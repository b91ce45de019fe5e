#include "tools/render/RenderOptions.h"

#include "tools/files/CommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

const char kRenderUsage[] =
    "usage: quillmote-render [--model FILE] [--motion FILE] [--frame N] [--angle-x RAD] [--angle-y RAD]\n"
    "                        [--size WxH] [--replay LOG] -o OUT.png\n"
    "       quillmote-render [inputs] --all-frames -o 'DIR/frame-{frame}.png'\n"
    "       quillmote-render [inputs] --all-frames --animation OUT.png\n"
    "       quillmote-render [inputs] --benchmark N [--render-size WxH]\n"
    "       (each form also takes --threads N)\n"
    "       quillmote-render --help | --version\n";

const char kRenderHelp[] =
    "quillmote-render: the viewer's picture without a window.\n"
    "\n"
    "Renders exactly what the viewer's client area shows: the same scene, the same picture\n"
    "rectangle (639 x 479 at the top-left of a 640 x 480 client area, centred in a larger one)\n"
    "and the window background where the picture does not reach.\n"
    "\n"
    "Inputs:\n"
    "  --model FILE      chunk model file to show instead of the embedded model\n"
    "  --motion FILE     chunk motion file to play instead of the embedded motion\n"
    "  --frame N         motion frame, a whole number from 0 to frame count - 2 (default 0)\n"
    "  --angle-x RAD     turn about X in radians, as a vertical drag gives (default 0)\n"
    "  --angle-y RAD     turn about Y in radians, as a horizontal drag gives (default 0)\n"
    "  --size WxH        client area in pixels, 1 to 4096 each way (default 640x480)\n"
    "  --replay LOG      start from a fresh view and feed it a mouse log through the view's own\n"
    "                    handlers, one event a line: 'move X Y', 'move X Y lbutton', 'down X Y'\n"
    "                    ('#' starts a comment); the frame and the angles then come from the\n"
    "                    replay, so --frame and the angles cannot be given with it\n"
    "\n"
    "Outputs:\n"
    "  -o OUT.png        write one PNG\n"
    "  --all-frames      render every frame the viewer shows (0 to frame count - 2); with -o the\n"
    "                    path must contain '{frame}', replaced by the zero-padded frame number\n"
    "  --animation OUT   with --all-frames: one animated PNG playing at 30 frames a second\n"
    "  --benchmark N     render N frames as N mouse moves do (frame advancing, nothing written)\n"
    "                    and print 'frames N median_ms X p95_ms Y fragments Z cpu_median_ms C'\n"
    "                    (wall times; C: the median CPU time of the process per frame)\n"
    "  --render-size WxH with --benchmark only: draw the same scene into WxH surfaces (2 to 4096\n"
    "                    each way; the picture is one pixel less each way, the client area WxH);\n"
    "                    --size cannot be given with it, the fragment limit scales with the area\n"
    "  --threads N       draw with 1 or 2 threads (default 1; 2 splits each scene in two);\n"
    "                    the pictures are the same byte for byte\n"
    "  -h, --help        show this help\n"
    "  --version         show the version\n"
    "\n"
    "Limits (a frame or run that reaches one is refused with a line naming it):\n"
    "  --max-model-steps N  model steps per frame: nodes visited, chunks walked, vertices\n"
    "                       transformed and sent (default 4194304)\n"
    "  --max-fragments N    pixels the drawing may cover per frame (default 19660800, 64 times\n"
    "                       a 640 x 480 picture)\n"
    "  --max-frames N       pictures one --all-frames run may write (default 3600)\n"
    "\n"
    "Output is byte-identical for the same inputs. A file is written whole or not at all.\n"
    "Progress goes to standard error when it is a terminal.\n"
    "\n"
    "Exit status: 0 done; 1 a bad input file (one line per problem: file, byte offset, reason)\n"
    "or an output that could not be written; 2 a usage error; 130 / 143 stopped by SIGINT /\n"
    "SIGTERM (nothing left behind).\n";

namespace {

bool ParseWhole(const std::string& text, int64_t* value) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [ptr, ec] = std::from_chars(first, last, *value);
    return ec == std::errc() && ptr == last;
}

bool ParseAngle(const std::string& text, float* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    // Finite and small enough that single precision keeps meaning (NaN and inf refused here).
    if (!std::isfinite(parsed) || std::fabs(parsed) > 1.0e6) return false;
    *value = static_cast<float>(parsed);
    return true;
}

}  // namespace

bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int64_t w = 0;
    int64_t h = 0;
    if (!ParseWhole(text.substr(0, x), &w) || !ParseWhole(text.substr(x + 1), &h)) return false;
    if (w < 1 || h < 1 || w > kMaxClientSide || h > kMaxClientSide) return false;
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

std::string FramePath(const std::string& pattern, uint32_t frame, uint32_t lastFrame) {
    std::string digits = std::to_string(frame);
    const size_t width = std::to_string(lastFrame).size();
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    std::string path;
    const std::string key = "{frame}";
    size_t pos = 0;
    for (;;) {
        const size_t at = pattern.find(key, pos);
        if (at == std::string::npos) break;
        path.append(pattern, pos, at - pos);
        path += digits;
        pos = at + key.size();
    }
    path.append(pattern, pos, std::string::npos);
    return path;
}

bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options, std::string* error) {
    *options = RenderOptions{};
    bool sizeGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) { return TakeOptionValue(args, i, out, error); };
        auto once = [&](bool already) { return FirstTime(arg, already, error); };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--version") {
            options->version = true;
        } else if (arg == "--model") {
            if (!once(options->modelPath.has_value()) || !value(&v)) return false;
            options->modelPath = v;
        } else if (arg == "--motion") {
            if (!once(options->motionPath.has_value()) || !value(&v)) return false;
            options->motionPath = v;
        } else if (arg == "--frame") {
            if (!once(options->frame.has_value()) || !value(&v)) return false;
            int64_t n = 0;
            if (!ParseWhole(v, &n) || n < 0) {
                *error = "--frame needs a whole number of 0 or more, not '" + v + "'";
                return false;
            }
            options->frame = n;
        } else if (arg == "--angle-x" || arg == "--angle-y") {
            std::optional<float>& target = arg == "--angle-x" ? options->angleX : options->angleY;
            if (!once(target.has_value()) || !value(&v)) return false;
            float a = 0.0f;
            if (!ParseAngle(v, &a)) {
                *error = arg + " needs a finite number of radians, not '" + v + "'";
                return false;
            }
            target = a;
        } else if (arg == "--size") {
            if (!once(sizeGiven) || !value(&v)) return false;
            if (!ParseSize(v, &options->width, &options->height)) {
                *error = "--size needs WxH with each side from 1 to " + std::to_string(kMaxClientSide) + ", not '" + v + "'";
                return false;
            }
            sizeGiven = true;
        } else if (arg == "--render-size") {
            if (!once(options->renderSize.has_value()) || !value(&v)) return false;
            SurfaceSize size{};
            // One pixel each way is a picture of nothing.
            if (!ParseSize(v, &size.width, &size.height) || size.width < 2 || size.height < 2) {
                *error = "--render-size needs WxH with each side from 2 to " + std::to_string(kMaxClientSide) +
                         ", not '" + v + "'";
                return false;
            }
            options->renderSize = size;
        } else if (arg == "--replay") {
            if (!once(options->replayPath.has_value()) || !value(&v)) return false;
            options->replayPath = v;
        } else if (arg == "-o" || arg == "--output") {
            if (!once(options->output.has_value()) || !value(&v)) return false;
            options->output = v;
        } else if (arg == "--all-frames") {
            if (!once(options->allFrames)) return false;
            options->allFrames = true;
        } else if (arg == "--animation") {
            if (!once(options->animation.has_value()) || !value(&v)) return false;
            options->animation = v;
        } else if (arg == "--benchmark") {
            if (!once(options->benchmarkFrames.has_value()) || !value(&v)) return false;
            int64_t n = 0;
            if (!ParseWhole(v, &n) || n < 1 || n > 1000000) {
                *error = "--benchmark needs a frame count from 1 to 1000000, not '" + v + "'";
                return false;
            }
            options->benchmarkFrames = n;
        } else if (arg == "--threads") {
            if (!once(options->threads.has_value()) || !value(&v)) return false;
            if (v != "1" && v != "2") {
                *error = "--threads needs 1 or 2, not '" + v + "'";
                return false;
            }
            options->threads = v == "1" ? 1 : 2;
        } else if (arg == "--max-model-steps" || arg == "--max-fragments" || arg == "--max-frames") {
            std::optional<uint64_t>& target = arg == "--max-model-steps" ? options->maxModelSteps
                                              : arg == "--max-fragments" ? options->maxFragments
                                                                         : options->maxFrames;
            if (!once(target.has_value()) || !value(&v)) return false;
            int64_t n = 0;
            if (!ParseWhole(v, &n) || n < 1) {
                *error = arg + " needs a whole number of 1 or more, not '" + v + "'";
                return false;
            }
            target = static_cast<uint64_t>(n);
        } else {
            *error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (options->help || options->version) return true;

    if (options->replayPath && (options->frame || options->angleX || options->angleY)) {
        *error = "--replay sets the frame and the angles; --frame, --angle-x and --angle-y cannot be given with it";
        return false;
    }
    if (options->renderSize) {
        if (!options->benchmarkFrames) {
            *error = "--render-size is for --benchmark only; pictures are the viewer's own size";
            return false;
        }
        if (sizeGiven) {
            *error = "--render-size sets the client area too; --size cannot be given with it";
            return false;
        }
        options->width = options->renderSize->width;
        options->height = options->renderSize->height;
    }
    if (options->benchmarkFrames) {
        if (options->output || options->allFrames || options->animation) {
            *error = "--benchmark writes nothing; it takes no -o, --all-frames or --animation";
            return false;
        }
        return true;
    }
    if (options->animation && !options->allFrames) {
        *error = "--animation needs --all-frames";
        return false;
    }
    if (options->allFrames) {
        if (options->frame) {
            *error = "--all-frames renders every frame; --frame cannot be given with it";
            return false;
        }
        if (options->animation && options->output) {
            *error = "give either -o with a '{frame}' pattern or --animation, not both";
            return false;
        }
        if (!options->animation && !options->output) {
            *error = "--all-frames needs -o 'DIR/frame-{frame}.png' or --animation OUT.png";
            return false;
        }
        if (options->output && options->output->find("{frame}") == std::string::npos) {
            *error = "with --all-frames the -o path must contain '{frame}'";
            return false;
        }
        return true;
    }
    if (!options->output) {
        *error = "no output: give -o OUT.png";
        return false;
    }
    return true;
}
