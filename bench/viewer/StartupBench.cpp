// Start-up of the viewer: time from process start to the first painted frame under the
// offscreen platform, and the peak resident memory of the running viewer. Runs the real
// executable several times and reports the median and the worst, and the median split at
// the viewer's static construction: before it (fork, exec, loading the toolkit's libraries
// and their static set-up) and the viewer's own start-up after it.
//
//   viewer_startup_bench [VIEWER [RUNS [BASELINE]]]
//
// With BASELINE (bare_window_bench: a bare Qt window with the same menu, toolbar and status
// bar), the runs alternate between the two programs and the gap is printed: the median of the
// differences of each pair of runs, next to both medians.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Run {
    double firstPaintMs = -1.0;
    double sinceStaticInitMs = -1.0;  // the viewer's own figure: static construction to first paint
    long maxRssKb = 0;
    double cpuMs = 0.0;  // user + system time of the whole run (start to exit)
    int status = -1;
};

Run RunOnce(const char* viewer) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return run;
    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        dup2(pipeFd[1], STDOUT_FILENO);
        close(pipeFd[0]);
        close(pipeFd[1]);
        // The toolkit's warnings on the offscreen platform would bury the figures.
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, STDERR_FILENO);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("QUILLMOTE_EXIT_AFTER_FIRST_PAINT", "1", 1);
        execl(viewer, viewer, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFd[1]);
    std::string out;
    char buffer[256];
    ssize_t n;
    // Both programs print their line right after the first paint: that moment, seen from here,
    // ends the measured interval (fork, exec, loading, start-up and the first frame).
    while ((n = read(pipeFd[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<size_t>(n));
        if (run.firstPaintMs < 0 && out.find('\n') != std::string::npos &&
            out.find("since_static_init_ms ") != std::string::npos) {
            run.firstPaintMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
    }
    close(pipeFd[0]);
    if (const size_t at = out.find("since_static_init_ms "); at != std::string::npos) {
        run.sinceStaticInitMs = std::strtod(out.c_str() + at + std::strlen("since_static_init_ms "), nullptr);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKb = usage.ru_maxrss;
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    return run;
}

// The middle value (the upper one of an even count), or -1 for none.
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* viewer = argc > 1 ? argv[1] : "bin/quillmote";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const char* baseline = argc > 3 ? argv[3] : nullptr;
    for (const char* program : {viewer, baseline}) {
        if (program != nullptr && access(program, X_OK) != 0) {
            std::fprintf(stderr, "startup bench: no program at %s (give the viewer's path first, the baseline's third)\n",
                         program);
            return 1;
        }
    }
    RunOnce(viewer);  // warm the file cache
    if (baseline != nullptr) RunOnce(baseline);
    std::vector<double> times;
    std::vector<double> cpu;
    std::vector<double> beforeMain;  // fork, exec, loading the libraries and their static set-up
    std::vector<double> ownStartUp;
    std::vector<double> baseTimes;
    std::vector<double> baseBeforeMain;
    std::vector<double> gaps;  // viewer minus baseline, run by run
    long worstRss = 0;
    for (int i = 0; i < runs; ++i) {
        const Run r = RunOnce(viewer);
        if (r.status != 0 || r.firstPaintMs < 0) {
            std::fprintf(stderr, "startup bench: run %d failed (status %d)\n", i, r.status);
            return 1;
        }
        times.push_back(r.firstPaintMs);
        cpu.push_back(r.cpuMs);
        if (r.sinceStaticInitMs >= 0) {
            ownStartUp.push_back(r.sinceStaticInitMs);
            beforeMain.push_back(r.firstPaintMs - r.sinceStaticInitMs);
        }
        worstRss = std::max(worstRss, r.maxRssKb);
        if (baseline == nullptr) continue;
        const Run b = RunOnce(baseline);
        if (b.status != 0 || b.firstPaintMs < 0) {
            std::fprintf(stderr, "startup bench: baseline run %d failed (status %d)\n", i, b.status);
            return 1;
        }
        baseTimes.push_back(b.firstPaintMs);
        if (b.sinceStaticInitMs >= 0) baseBeforeMain.push_back(b.firstPaintMs - b.sinceStaticInitMs);
        gaps.push_back(r.firstPaintMs - b.firstPaintMs);
    }
    std::sort(times.begin(), times.end());
    std::printf("runs %d first_paint_median_ms %.1f first_paint_min_ms %.1f first_paint_max_ms %.1f "
                "cpu_per_run_median_ms %.1f peak_rss_mb %.1f before_main_median_ms %.1f own_startup_median_ms %.1f\n",
                runs, times[times.size() / 2], times.front(), times.back(), Median(cpu),
                static_cast<double>(worstRss) / 1024.0, Median(beforeMain), Median(ownStartUp));
    if (baseline != nullptr) {
        std::sort(gaps.begin(), gaps.end());
        std::printf("baseline first_paint_median_ms %.1f first_paint_min_ms %.1f before_main_median_ms %.1f\n"
                    "gap first_paint_median_ms %.1f gap_min_ms %.1f gap_max_ms %.1f (viewer minus baseline, pair by pair)\n",
                    Median(baseTimes), *std::min_element(baseTimes.begin(), baseTimes.end()), Median(baseBeforeMain),
                    Median(gaps), gaps.front(), gaps.back());
    }
    return 0;
}
