#include "platform/com/module_lock.h"

#include <atomic>

namespace corvo::com {
namespace {
std::atomic<LONG> g_lock_count{0};
}  // namespace

void ModuleLock::Lock() noexcept {
    g_lock_count.fetch_add(1, std::memory_order_relaxed);
}
void ModuleLock::Unlock() noexcept {
    g_lock_count.fetch_sub(1, std::memory_order_acq_rel);
}
std::mutex& ModuleLock::CriticalSection() noexcept {
    static std::mutex section;
    return section;
}
LONG ModuleLock::Count() noexcept {
    return g_lock_count.load(std::memory_order_acquire);
}

}  // namespace corvo::com
