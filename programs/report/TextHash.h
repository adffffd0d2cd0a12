#pragma once
// A hash for maps keyed by std::string that also takes std::string_view, so that a lookup
// with a view builds no string (used with std::equal_to<>).

#include <cstddef>
#include <functional>
#include <string_view>

namespace Quilna {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace Quilna
