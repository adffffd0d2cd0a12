#include "collector/Complaints.h"

#include <iostream>

namespace Quilna {

void Complaints::say(const std::string& line) {
    std::lock_guard<std::mutex> hold(guard_);
    settleHeld(false);
    if (said_ >= perInterval_) {
        ++heldBack_;
        return;
    }
    ++said_;
    std::cerr << "hoardscan-collector: " << line << std::endl;
}

void Complaints::settle(bool final) {
    std::lock_guard<std::mutex> hold(guard_);
    settleHeld(final);
}

void Complaints::settleHeld(bool final) {
    const Clock::time_point now = Clock::now();
    if (!final && now - started_ < interval_) return;
    if (heldBack_ > 0)
        std::cerr << "hoardscan-collector: " << heldBack_ << " more complaints like these were not shown" << std::endl;
    started_ = now;
    said_ = 0;
    heldBack_ = 0;
}

}  // namespace Quilna
