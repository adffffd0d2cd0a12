// POSIX: file status, listing, current directory and file operations.
#include "platform/posix/PosixImpl.h"

namespace Quilna {

const PathSyntax& NativePlatform::pathSyntax() {
    static const PathSyntax posix{'/', false, false, false, false};
    return posix;
}

// Not yet implemented: filled in with the file library.
bool NativePlatform::fileInfo(const std::string&, FileInfo&) { return false; }
bool NativePlatform::directoryIdentity(const std::string&, FileIdentity&) { return false; }
bool NativePlatform::listDirectory(const std::string&, const std::string&, std::vector<DirEntry>&) { return false; }
bool NativePlatform::currentDirectory(std::string&) { return false; }
bool NativePlatform::setCurrentDirectory(const std::string&) { return false; }
bool NativePlatform::copyFile(const std::string&, const std::string&, bool) { return false; }
bool NativePlatform::moveFile(const std::string&, const std::string&, bool) { return false; }
bool NativePlatform::deleteFile(const std::string&) { return false; }
bool NativePlatform::createDirectory(const std::string&) { return false; }
bool NativePlatform::setAttributes(const std::string&, uint16_t) { return false; }
bool NativePlatform::syncFile(const std::string&) { return false; }

}  // namespace Quilna
