#pragma once
// What the rules fuzzers share: a logger that builds every message but sends none, and a stop
// that makes a broken invariant a finding.

#include <cstdlib>
#include <string>
#include <string_view>

#include "common/SmartPointer.h"
#include "logger/LogState.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"

namespace Quilna::FuzzRules {

// Debug level 5, so that every debug line's parameters are built too.
inline LoggerUnit& silentLogger() {
    static LoggerUnit* unit = [] {
        setDebugLevel(5);
        static LoggerUnit silent(SmartPointer<LoggerCentre>(), 17);
        return &silent;
    }();
    return *unit;
}

inline void require(bool condition) {
    if (!condition) std::abort();
}

inline bool hasUpper(std::string_view text) {
    for (char c : text)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

inline bool hasLower(std::string_view text) {
    for (char c : text)
        if (c >= 'a' && c <= 'z') return true;
    return false;
}

}  // namespace Quilna::FuzzRules
