#pragma once
// A registry key of its own for one test, apart from the installation's and other tests' keys.

#include <atomic>
#include <random>
#include <string>

#include "platform/Platform.h"

namespace Quilna::TestSupport {

inline std::string uniqueResourceKey() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}() % 1000000;
    return "SOFTWARE\\Quilna\\Tests\\" + std::to_string(platform().processId()) + "-" + std::to_string(seed) + "-" +
           std::to_string(counter++);
}

}  // namespace Quilna::TestSupport
