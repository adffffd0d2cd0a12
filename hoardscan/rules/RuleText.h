#pragma once
// A rules file's text being read line by line, with the number of the last line read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Quilna {

struct RuleText {
    std::string_view text;
    std::string fileName;    // names the file in messages
    size_t position = 0;     // where the next line starts
    int32_t lineNumber = 0;  // lines read so far, skipped ones included
};

}  // namespace Quilna
