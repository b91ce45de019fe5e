#include "app/shell/FontConfiguration.h"

#include <fontconfig/fontconfig.h>
#include <malloc.h>

#include <chrono>
#include <thread>

namespace {
std::thread g_reader;
bool g_started = false;
double g_waitMs = 0.0;
}  // namespace

void StartReadingFontConfiguration() {
    if (g_started) return;
    g_started = true;
    // One heap for every thread: a thread's own heap would start on small pages, each first
    // write a page fault, and the reader would finish later than the main thread needs it.
    mallopt(M_ARENA_MAX, 1);
    // fontconfig keeps the first configuration made; the toolkit's own FcInit then finds it.
    g_reader = std::thread([] { FcInit(); });
}

void FinishReadingFontConfiguration() {
    if (!g_reader.joinable()) return;
    const auto start = std::chrono::steady_clock::now();
    g_reader.join();
    g_waitMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double FontConfigurationWaitMs() { return g_waitMs; }
