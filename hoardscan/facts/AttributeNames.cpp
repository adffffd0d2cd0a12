#include "hoardscan/facts/AttributeNames.h"

#include "platform/FileAttribute.h"

namespace Quilna {

AttributeNames::AttributeNames()
    : entries_{{"temp", FileAttribute::Temporary},      {"offline", FileAttribute::Offline},
               {"system", FileAttribute::System},       {"hidden", FileAttribute::Hidden},
               {"sparse", FileAttribute::Sparse},       {"compressed", FileAttribute::Compressed},
               {"encrypted", FileAttribute::Encrypted}, {"link", FileAttribute::Link},
               {"readonly", FileAttribute::ReadOnly},   {"plain", FileAttribute::Archive},
               {"plain", FileAttribute::Normal}} {}

const std::string& AttributeNames::statusOf(uint16_t attributes) const {
    for (const auto& [name, flag] : entries_)
        if (attributes & flag) return name;
    return plain_;
}

}  // namespace Quilna
