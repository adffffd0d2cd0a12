#pragma once
// The ten fields that classify an account record, in the order its key lists them: the one
// model of a key for the scanner's tallies, the record file and whoever reads it back.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace Quilna {

enum class KeyField : size_t {
    Site,
    Host,
    FileSystem,
    Account,
    User,
    Group,
    FileType,
    Status,
    AccessTemperature,
    ModifyTemperature
};
inline constexpr size_t keyFieldCount = 10;

// Text is std::string for a key kept, std::string_view for one looked at in passing.
template <class Text>
struct BasicRecordKey {
    std::array<Text, keyFieldCount> fields;

    const Text& operator[](KeyField field) const { return fields[static_cast<size_t>(field)]; }
    Text& operator[](KeyField field) { return fields[static_cast<size_t>(field)]; }
};

using RecordKey = BasicRecordKey<std::string>;
using RecordKeyView = BasicRecordKey<std::string_view>;

}  // namespace Quilna
