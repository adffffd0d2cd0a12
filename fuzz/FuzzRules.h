#pragma once
// What the rules fuzzers share: a real logger chain whose end counts the FATAL lines instead of
// writing them, and a stop that makes a broken invariant a finding.

#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "core/SmartPointer.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "logger/LoggerAgent.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"

namespace Quilna::FuzzRules {

class FatalCounter : public LoggerAgent {
public:
    std::string location() const override { return "counter"; }
    bool write(const std::string& line) override {
        if (line.rfind("FATAL", 0) == 0) ++fatalLines;
        return true;
    }
    int fatalLines = 0;
};

class Chain {
public:
    // Debug level 5, so that every debug line is built too.
    Chain() : counter_(new FatalCounter) {
        setDebugLevel(5);
        SmartPointer<LoggerAgent> agent(counter_);
        centre_ = makeSmart<LoggerCentre>(17, makeSmart<LogMessenger>(agent));
        unit_ = makeSmart<LoggerUnit>(centre_, 17);
    }
    LoggerUnit& unit() { return *unit_; }
    const SmartPointer<LoggerCentre>& centre() const { return centre_; }
    int& fatalLines() { return counter_->fatalLines; }

private:
    SmartPointer<FatalCounter> counter_;
    SmartPointer<LoggerCentre> centre_;
    SmartPointer<LoggerUnit> unit_;
};

// One chain for the whole run, its count cleared for each input.
inline Chain& chain() {
    static Chain shared;
    shared.fatalLines() = 0;
    return shared;
}

using Fuzz::require;

// A load either succeeds without FATAL or fails after exactly one.
inline void requireLoadOutcome(bool loaded, Chain& log) { require(loaded ? log.fatalLines() == 0 : log.fatalLines() == 1); }

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
