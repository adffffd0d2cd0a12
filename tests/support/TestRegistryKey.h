#pragma once
// A registry key of its own for one test: installation resources written by tests go below
// SOFTWARE\Quilna\Tests\, never into the installation's key, so that test programs may run in
// parallel and on a machine with a real installation. On POSIX the key is a file below the
// registry root, which the tests point at a temporary directory; on Windows the keys stay below
// SOFTWARE\Quilna\Tests unless a test removes its own (tools/ci/windows throws the whole
// Wine prefix away).

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
