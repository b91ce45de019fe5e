// One helper thread that runs jobs handed over by one owner thread.
//
// Between jobs the thread sleeps in the kernel, so an idle program costs no CPU. Waking it
// takes tens of microseconds on a busy virtual machine, so an owner that knows work is coming
// starts the job early and lets the job wait for its work (see SpinWait).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace worker {

class HelperThread {
public:
    using Job = void (*)(void* context);

    HelperThread();   // starts the thread, asleep
    ~HelperThread();  // waits for a running job, then ends the thread
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Hands `job` to the thread and returns at once. The previous job must have been joined.
    void Start(Job job, void* context);
    // Returns once the job handed by the last Start has returned (at once if there is none).
    void Join();
    bool Running() const { return m_started.load(std::memory_order_acquire) != m_finished.load(std::memory_order_acquire); }

private:
    void Loop();

    Job m_job = nullptr;
    void* m_context = nullptr;
    std::atomic<uint32_t> m_started{0};   // jobs handed over
    std::atomic<uint32_t> m_finished{0};  // jobs returned
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

// Waits until `ready()` holds: spins (cheap to leave, costly to stay in) for at most
// `spinNanoseconds`, then returns false so the caller can fall back to a sleeping wait.
template <class Ready>
bool SpinWait(Ready&& ready, int64_t spinNanoseconds);

// Spins a short moment (a pause instruction where there is one).
inline void Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

int64_t MonotonicNanoseconds();

template <class Ready>
bool SpinWait(Ready&& ready, int64_t spinNanoseconds)
{
    if (ready()) return true;
    const int64_t until = MonotonicNanoseconds() + spinNanoseconds;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            Relax();
            if (ready()) return true;
        }
        if (MonotonicNanoseconds() >= until) return ready();
    }
}

}  // namespace worker
