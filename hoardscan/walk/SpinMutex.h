#pragma once
// The read-ahead's lock: held for a few hundred instructions at a time and taken by the walk
// several times per directory, so a waiter spins for it rather than sleep. A sleeping lock
// cost a wake-up (a switch on both cores) for most hand-overs, and those cost more than the
// reading they handed over; after a short spin the waiter yields its core all the same, so a
// holder that lost its own core gets it back.

#include <atomic>
#include <thread>

namespace Quilna {

class SpinMutex {
public:
    void lock() {
        for (unsigned spins = 0;;) {
            if (try_lock()) return;
            while (locked_.load(std::memory_order_relaxed)) {
                if (++spins < spinsBeforeYield) pause();
                else std::this_thread::yield();
            }
        }
    }
    bool try_lock() { return !locked_.exchange(true, std::memory_order_acquire); }
    void unlock() { locked_.store(false, std::memory_order_release); }

private:
    static constexpr unsigned spinsBeforeYield = 256;

    static void pause() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    std::atomic<bool> locked_{false};
};

}  // namespace Quilna
