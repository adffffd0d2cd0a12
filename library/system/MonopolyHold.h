#pragma once
// Holds a Monopoly for a scope and gives it back on every path out of it, an exception
// included.

#include "system/Monopoly.h"

namespace Quilna {

class MonopolyHold {
public:
    explicit MonopolyHold(Monopoly& guard) : guard_(guard), held_(guard.enforce()) {}
    ~MonopolyHold() {
        if (held_) guard_.relax();
    }
    MonopolyHold(const MonopolyHold&) = delete;
    MonopolyHold& operator=(const MonopolyHold&) = delete;

    // An unnamed guard is always taken; a named one may be held elsewhere.
    bool held() const { return held_; }

private:
    Monopoly& guard_;
    bool held_;
};

}  // namespace Quilna
