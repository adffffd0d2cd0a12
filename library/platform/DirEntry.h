#pragma once
#include <string>

namespace Quilna {

// One entry of a directory listing, in enumeration order.
struct DirEntry {
    std::string name;
    bool isFile = true;  // false for directories
};

}  // namespace Quilna
