#pragma once
// The path a C++ stream opens a file by: on Windows the UTF-8 text becomes the system's UTF-16
// (with the long-path prefix where needed), elsewhere the bytes stay as they are.

#include <filesystem>
#include <string>

namespace Quilna {

std::filesystem::path streamPath(const std::string& path);

}  // namespace Quilna
