#pragma once
// The one mutual-exclusion primitive of the program, in two modes chosen at construction.
// Named: excludes everybody, in any process, who uses the same name; taking it never blocks,
// the caller retries. Unnamed: a recursive in-process lock that blocks.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Locks.h"
#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"
#include "platform/SystemServices.h"

namespace Quilna {

class Monopoly {
public:
    Monopoly(Locks& locks, SystemServices& services);                           // unnamed
    Monopoly(Locks& locks, SystemServices& services, const std::string& name);  // named
    virtual ~Monopoly();
    Monopoly(const Monopoly&) = delete;
    Monopoly& operator=(const Monopoly&) = delete;

    // True when this guard now holds the lock.
    bool enforce();
    // False only when releasing a held named lock fails. A guard that does not hold the lock,
    // or a thread that does not own an unnamed one, changes nothing and gets true.
    bool relax();
    // Why the last enforce of a named guard failed when no wait can help (its lock cannot be had
    // at all); empty when it may succeed later.
    const std::string& refusal() const { return refusal_; }

    const std::string& name() const { return name_; }
    // Every "/" and "\" becomes "_"; refused (false) while the lock is held.
    bool setName(const std::string& name);

private:
    bool enforceNamed();
    bool relaxNamed();
    bool enforceUnnamed();
    bool enterUnnamed();
    bool relaxUnnamed();

    Locks& locks_;
    SystemServices& services_;
    bool named_;
    std::atomic<bool> enforced_{false};
    std::string name_;
    std::unique_ptr<NamedLock> held_;         // named guards, null while not held
    std::string refusal_;                     // named guards
    std::unique_ptr<RecursiveLock> section_;  // unnamed guards
    int32_t recursion_ = 0;                   // changed only by the owning thread
    std::atomic<uint32_t> owner_{0};          // owning thread, 0 when free
    std::atomic<bool> closing_{false};
    std::atomic<uint32_t> entering_{0};  // threads inside enforce of an unnamed guard
};

}  // namespace Quilna
