// The defaults of the file slice for backends that keep no rules of their own for writing.
#include "platform/FileSystem.h"

#include "platform/StreamPath.h"

namespace Quilna {

std::unique_ptr<std::filebuf> FileSystem::openFile(const std::string& path, std::ios::openmode mode, bool mustBeNew) {
    FileInfo existing;
    const bool exists = fileInfo(path, existing);
    if (mustBeNew && exists) return nullptr;
    // The system's own name of the file (UTF-16 on Windows).
    const std::filesystem::path name = streamPath(path);
    auto buffer = std::make_unique<std::filebuf>();
    if (buffer->open(name, mode | std::ios::binary)) return buffer;
    // Reading and writing without emptying needs the file: an append creates it without ever
    // emptying one that appeared meanwhile.
    if ((mode & std::ios::in) && (mode & std::ios::out) && !exists) {
        std::ofstream(name, std::ios::out | std::ios::app | std::ios::binary).close();
        if (buffer->open(name, mode | std::ios::binary)) return buffer;
    }
    return nullptr;
}

std::string FileSystem::writeRefusal(const std::string&) { return std::string(); }

}  // namespace Quilna
