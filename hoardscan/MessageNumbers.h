#pragma once
// Numbers of the program's catalogue messages (texts live in the message catalogue).

#include <cstdint>

namespace Quilna::Message {

constexpr int32_t SettingMissing = 2;        // key
constexpr int32_t SettingUnusable = 3;       // key, value
constexpr int32_t CannotOpenFile = 8;        // path
constexpr int32_t BadRuleKeyword = 9;        // line number, file
constexpr int32_t EndInsideBlock = 10;       // line number, file
constexpr int32_t UnexpectedLine = 11;       // line, line number, file
constexpr int32_t UnknownScheme = 14;        // scheme number
constexpr int32_t NoFileInformation = 15;    // file name
constexpr int32_t PlaceholderTooDeep = 19;   // placeholder number, path, components
constexpr int32_t EmptyRulesFile = 24;       // file
constexpr int32_t ExpectedLine = 25;         // expected text, line, line number, file

}  // namespace Quilna::Message
