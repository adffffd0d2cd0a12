#pragma once
// The collector's own complaints on standard error, a few per interval: a sender that floods
// it with bad messages must not flood the log of whoever runs it. What is held back is counted
// and said in one line when the interval is over, and at the end.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace Quilna {

class Complaints {
public:
    using Clock = std::chrono::steady_clock;

    Complaints(uint32_t perInterval, Clock::duration interval) : perInterval_(perInterval), interval_(interval) {}

    // Writes the line, unless this interval has had its share: then it is only counted.
    void say(const std::string& line);
    // Says how many were held back once their interval is over (also at the end, with final).
    void settle(bool final = false);

private:
    void settleHeld(bool final);

    std::mutex guard_;  // both of the collector's threads complain
    const uint32_t perInterval_;
    const Clock::duration interval_;
    Clock::time_point started_ = Clock::now();
    uint32_t said_ = 0;
    uint64_t heldBack_ = 0;
};

}  // namespace Quilna
