#pragma once
// Waits for a condition with a deadline instead of sleeping for a guessed time.

#include <chrono>
#include <thread>

namespace Quilna::TestSupport {

// Polls the condition every millisecond until it holds or the deadline passes; its last answer.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
    for (const auto end = std::chrono::steady_clock::now() + deadline; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        if (condition()) return true;
    return condition();
}

}  // namespace Quilna::TestSupport
