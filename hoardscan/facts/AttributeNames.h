#pragma once
// The status word of an account record: the first entry of a fixed table whose attribute
// flag the file carries, so the order of the table decides ("temp" before "hidden").

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Quilna {

class AttributeNames {
public:
    AttributeNames();

    // "plain" when no entry matches.
    const std::string& statusOf(uint16_t attributes) const;
    const std::vector<std::pair<std::string, uint16_t>>& entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, uint16_t>> entries_;
    std::string plain_ = "plain";
};

}  // namespace Quilna
