#include "platform/clock.h"

#include <atomic>

namespace {
const SystemClock kSystemClock;
std::atomic<const Clock*> g_clock{nullptr};
} // namespace

const Clock& Clock::current()
{
    const Clock* c = g_clock.load(std::memory_order_acquire);
    return c ? *c : kSystemClock;
}

void Clock::install(const Clock* clock) { g_clock.store(clock, std::memory_order_release); }
