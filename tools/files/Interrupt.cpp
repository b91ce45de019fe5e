#include "tools/files/Interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_caught = 0;

extern "C" void NoteSignal(int signal) {
    if (g_caught == 0) g_caught = signal;
}

}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a write under way completes; the loop stops after it
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int CaughtInterrupt() { return g_caught; }
