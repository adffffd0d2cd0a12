#pragma once
// What every fuzz target shares: a broken property as a finding, and the input as text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace Quilna::Fuzz {

// Aborts, so that libFuzzer keeps the input and shows the stack.
inline void require(bool condition, const char* property = "property") {
    if (condition) return;
    std::fprintf(stderr, "broken property: %s\n", property);
    std::abort();
}

inline std::string text(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// The input after its first byte, which chooses one of `choices` (seeds begin with '0', '1', ...).
inline std::string chosen(const uint8_t* data, size_t size, size_t choices, size_t& choice) {
    choice = size == 0 ? 0 : data[0] % choices;
    return size == 0 ? "" : text(data + 1, size - 1);
}

}  // namespace Quilna::Fuzz
