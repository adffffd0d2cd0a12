#include "system/Monopoly.h"

#include "platform/Platform.h"

namespace Quilna {

namespace {
constexpr uint32_t closingPauseMs = 10;
}

Monopoly::Monopoly() : named_(false), section_(platform().makeRecursiveLock()) {}

Monopoly::Monopoly(const std::string& name) : named_(true) { setName(name); }

Monopoly::~Monopoly() {
    if (named_) {
        relaxNamed();
        return;
    }
    closing_ = true;
    // A lock still held by this thread is given back before it goes away.
    while (enforced_.load() && owner_.load() == platform().threadId()) relaxUnnamed();
    platform().sleepMs(closingPauseMs);
}

bool Monopoly::setName(const std::string& name) {
    if (held_) return false;
    name_ = name;
    for (char& c : name_)
        if (c == '/' || c == '\\') c = '_';
    return true;
}

bool Monopoly::enforce() { return named_ ? enforceNamed() : enforceUnnamed(); }

bool Monopoly::relax() { return named_ ? relaxNamed() : relaxUnnamed(); }

bool Monopoly::enforceNamed() {
    if (enforced_.load()) return true;
    if (name_.empty() || held_) return false;
    held_ = platform().tryNamedLock(name_, refusal_);
    if (!held_) return false;
    enforced_.store(true);
    return true;
}

bool Monopoly::relaxNamed() {
    if (!enforced_.load() || !held_) return true;
    if (!held_->release()) return false;
    held_.reset();
    enforced_.store(false);
    return true;
}

bool Monopoly::enforceUnnamed() {
    if (!section_ || closing_) return false;
    section_->enter();
    ++recursion_;
    owner_.store(platform().threadId());
    enforced_.store(true);
    return true;
}

bool Monopoly::relaxUnnamed() {
    // Leaving a lock this thread does not own would break it for its owner.
    if (!section_ || !enforced_.load() || owner_.load() != platform().threadId()) return true;
    // Count and owner change before the lock is left, while no other thread can enter.
    if (--recursion_ == 0) {
        enforced_.store(false);
        owner_.store(0);
    }
    section_->leave();
    return true;
}

}  // namespace Quilna
