#include "platform/worker/HelperThread.h"

#include <time.h>

namespace worker {

int64_t MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

HelperThread::HelperThread() : m_thread([this] { Loop(); }) {}

HelperThread::~HelperThread()
{
    Join();
    m_quit.store(true, std::memory_order_release);
    m_started.fetch_add(1, std::memory_order_acq_rel);
    m_started.notify_one();
    m_thread.join();
}

void HelperThread::Start(Job job, void* context)
{
    m_job = job;
    m_context = context;
    m_started.fetch_add(1, std::memory_order_acq_rel);  // publishes the job to the thread
    m_started.notify_one();
}

void HelperThread::Join()
{
    const uint32_t started = m_started.load(std::memory_order_relaxed);
    // A job usually ends within microseconds of being asked to: spin first, then sleep.
    if (SpinWait([&] { return m_finished.load(std::memory_order_acquire) == started; }, 50000)) return;
    for (uint32_t finished = m_finished.load(std::memory_order_acquire); finished != started;
         finished = m_finished.load(std::memory_order_acquire)) {
        m_finished.wait(finished, std::memory_order_acquire);
    }
}

void HelperThread::Loop()
{
    uint32_t seen = 0;
    for (;;) {
        m_started.wait(seen, std::memory_order_acquire);
        const uint32_t started = m_started.load(std::memory_order_acquire);
        if (m_quit.load(std::memory_order_acquire)) return;
        m_job(m_context);
        seen = started;
        m_finished.store(started, std::memory_order_release);
        m_finished.notify_one();
    }
}

}  // namespace worker
