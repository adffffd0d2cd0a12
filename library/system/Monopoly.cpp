#include "system/Monopoly.h"

namespace Quilna {

namespace {
constexpr uint32_t closingPauseMs = 10;
}

Monopoly::Monopoly(Locks& locks, SystemServices& services)
    : locks_(locks), services_(services), named_(false), section_(locks.makeRecursiveLock()) {}

Monopoly::Monopoly(Locks& locks, SystemServices& services, const std::string& name)
    : locks_(locks), services_(services), named_(true) {
    setName(name);
}

Monopoly::~Monopoly() {
    if (named_) {
        relaxNamed();
        return;
    }
    closing_ = true;
    // A lock still held by this thread is given back before it goes away.
    while (enforced_.load() && owner_.load() == services_.threadId()) relaxUnnamed();
    // Threads on their way in find it closing and leave; it goes once they have. Nobody on the
    // way in, no pause: a guard closed at every exit cost the program 10 ms each.
    while (entering_.load() > 0) services_.sleepMs(closingPauseMs);
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
    SystemError error;
    held_ = locks_.tryNamedLock(name_, error);
    refusal_ = error.detail;
    if (!held_) return false;
    enforced_.store(true);
    return true;
}

bool Monopoly::relaxNamed() {
    if (!enforced_.load() || !held_) return true;
    SystemError error;
    if (!held_->release(error)) return false;
    held_.reset();
    enforced_.store(false);
    return true;
}

bool Monopoly::enforceUnnamed() {
    if (!section_) return false;
    ++entering_;
    const bool entered = enterUnnamed();
    --entering_;
    return entered;
}

bool Monopoly::enterUnnamed() {
    if (closing_) return false;
    section_->enter();
    // Let in only as the guard closed (blocked until its last holder left): out again at once.
    if (closing_) {
        section_->leave();
        return false;
    }
    ++recursion_;
    owner_.store(services_.threadId());
    enforced_.store(true);
    return true;
}

bool Monopoly::relaxUnnamed() {
    // Leaving a lock this thread does not own would break it for its owner.
    if (!section_ || !enforced_.load() || owner_.load() != services_.threadId()) return true;
    // Count and owner change before the lock is left, while no other thread can enter.
    if (--recursion_ == 0) {
        enforced_.store(false);
        owner_.store(0);
    }
    section_->leave();
    return true;
}

}  // namespace Quilna
