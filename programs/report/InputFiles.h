#pragma once
// The result files named on the import command line: files as given, folders searched
// with their subfolders. Files whose names no scanner writes are left out of folders and
// refused when named; unfinished ones and extension logs are noted and left out, and so are
// links and special files in folders.

#include "results/ResultFileName.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace Quilna {

struct InputFile {
    std::filesystem::path path;
    ResultFileName name;
};

namespace InputFiles {

using Note = std::function<void(const std::string& message)>;

// The files to import in import order: account record files first, so that the side files
// of the same runs find their host. Throws a usage ReportError for a missing path or a
// named file that is no result file.
std::vector<InputFile> collect(const std::vector<std::string>& arguments, const Note& note);

}  // namespace InputFiles
}  // namespace Quilna
