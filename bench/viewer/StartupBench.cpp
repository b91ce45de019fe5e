// Start-up of the viewer: time from process start to the first painted frame under the
// offscreen platform, and the peak resident memory of the running viewer. Runs the real
// executable several times and reports the median and the worst, and the median split at
// the viewer's static construction: before it (fork, exec, loading the toolkit's libraries
// and their static set-up) and the viewer's own start-up after it. Given a baseline program,
// runs it in turns with the viewer and reports the viewer's gap to it.
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
    double mainThreadCpuMs = -1.0;    // CPU time of the main thread up to the first paint
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
    // The viewer prints its line right after the first paint: that moment, seen from here,
    // ends the measured interval (fork, exec, loading, start-up and the first frame).
    while ((n = read(pipeFd[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<size_t>(n));
        if (run.firstPaintMs < 0 && out.find('\n') != std::string::npos && out.find("first_paint_ms ") != std::string::npos) {
            run.firstPaintMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
    }
    close(pipeFd[0]);
    auto field = [&out](const char* name) {
        const size_t at = out.find(name);
        return at == std::string::npos ? -1.0 : std::strtod(out.c_str() + at + std::strlen(name), nullptr);
    };
    run.sinceStaticInitMs = field("since_static_init_ms ");
    run.mainThreadCpuMs = field("main_thread_cpu_ms ");
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKb = usage.ru_maxrss;
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    return run;
}

struct Series {
    std::vector<double> firstPaint, cpu, beforeMain, ownStartUp, mainThreadCpu;
    long worstRss = 0;

    bool Add(const Run& r) {
        if (r.status != 0 || r.firstPaintMs < 0) return false;
        firstPaint.push_back(r.firstPaintMs);
        cpu.push_back(r.cpuMs);
        if (r.sinceStaticInitMs >= 0) {
            ownStartUp.push_back(r.sinceStaticInitMs);
            beforeMain.push_back(r.firstPaintMs - r.sinceStaticInitMs);
        }
        if (r.mainThreadCpuMs >= 0) mainThreadCpu.push_back(r.mainThreadCpuMs);
        worstRss = std::max(worstRss, r.maxRssKb);
        return true;
    }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1.0 : v[v.size() / 2];
}

// The middle half of the values: from the first quartile to the third.
double Quartile(std::vector<double> v, int which) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1.0 : v[std::min(v.size() - 1, v.size() * static_cast<size_t>(which) / 4)];
}

void Print(const char* label, int runs, const Series& s) {
    std::printf("%sruns %d first_paint_median_ms %.1f first_paint_min_ms %.1f first_paint_max_ms %.1f "
                "cpu_per_run_median_ms %.1f peak_rss_mb %.1f before_main_median_ms %.1f own_startup_median_ms %.1f "
                "main_thread_cpu_median_ms %.1f\n",
                label, runs, Median(s.firstPaint), *std::min_element(s.firstPaint.begin(), s.firstPaint.end()),
                *std::max_element(s.firstPaint.begin(), s.firstPaint.end()), Median(s.cpu),
                static_cast<double>(s.worstRss) / 1024.0, Median(s.beforeMain), Median(s.ownStartUp),
                Median(s.mainThreadCpu));
}

}  // namespace

// Usage: viewer_startup_bench VIEWER [RUNS] [BASELINE]. With a baseline program (a bare window
// dressed as the viewer, bench/viewer_startup_baseline), both run in turns, each run of one
// followed by a run of the other, and the difference of every pair is reported.
int main(int argc, char** argv) {
    const char* viewer = argc > 1 ? argv[1] : "bin/quillmote";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const char* baseline = argc > 3 ? argv[3] : nullptr;
    for (const char* program : {viewer, baseline}) {
        if (program != nullptr && access(program, X_OK) != 0) {
            std::fprintf(stderr, "startup bench: no program at %s\n", program);
            return 1;
        }
    }
    RunOnce(viewer);  // warm the file cache
    if (baseline != nullptr) RunOnce(baseline);
    Series ours;
    Series bare;
    std::vector<double> gap;     // viewer minus baseline, run by run
    std::vector<double> cpuGap;  // the same for the main thread's CPU time
    for (int i = 0; i < runs; ++i) {
        // Alternate which goes first, so that neither always follows the other.
        const bool viewerFirst = i % 2 == 0;
        Run v;
        Run b;
        if (viewerFirst || baseline == nullptr) v = RunOnce(viewer);
        if (baseline != nullptr) b = RunOnce(baseline);
        if (!viewerFirst && baseline != nullptr) v = RunOnce(viewer);
        if (!ours.Add(v) || (baseline != nullptr && !bare.Add(b))) {
            std::fprintf(stderr, "startup bench: run %d failed (status %d, baseline %d)\n", i, v.status, b.status);
            return 1;
        }
        if (baseline != nullptr) {
            gap.push_back(v.firstPaintMs - b.firstPaintMs);
            if (v.mainThreadCpuMs >= 0 && b.mainThreadCpuMs >= 0) cpuGap.push_back(v.mainThreadCpuMs - b.mainThreadCpuMs);
        }
    }
    Print("", runs, ours);
    if (baseline != nullptr) {
        Print("baseline ", runs, bare);
        std::printf("gap_to_baseline median_ms %.1f quartiles_ms %.1f %.1f min_ms %.1f max_ms %.1f own_startup_gap_ms %.1f "
                    "main_thread_cpu_gap_median_ms %.1f quartiles_ms %.1f %.1f\n",
                    Median(gap), Quartile(gap, 1), Quartile(gap, 3), *std::min_element(gap.begin(), gap.end()),
                    *std::max_element(gap.begin(), gap.end()), Median(ours.ownStartUp) - Median(bare.ownStartUp),
                    Median(cpuGap), Quartile(cpuGap, 1), Quartile(cpuGap, 3));
    }
    return 0;
}
