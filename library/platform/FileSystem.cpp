#include "platform/FileSystem.h"

namespace Quilna {

bool FileSystem::visitDirectory(const std::string& directory, const std::string& pattern,
                                const std::function<bool(const DirEntry&)>& visit) {
    std::vector<DirEntry> entries;
    const bool complete = listDirectory(directory, pattern, entries);
    for (const DirEntry& entry : entries)
        if (!visit(entry)) break;
    return complete;
}

}  // namespace Quilna
