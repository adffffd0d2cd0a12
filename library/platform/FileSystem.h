#pragma once
// Files and directories: path syntax, status, listing, directories to walk, file contents, and
// the file operations.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/DirEntry.h"
#include "platform/FileAttribute.h"
#include "platform/FileInfo.h"
#include "platform/OpenDirectory.h"
#include "platform/OpenFile.h"
#include "platform/PathSyntax.h"
#include "platform/SystemError.h"

namespace Quilna {

// Every operation that can fail tells why in its last argument (see SystemError.h).
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual const PathSyntax& pathSyntax() = 0;
    // One status call, links not followed.
    virtual bool fileInfo(const std::string& path, FileInfo& out, SystemError& error) = 0;
    // Every entry, "." and ".." included, in enumeration order: callers choose among them (the
    // systems' own patterns differ in case and in old short names).
    virtual bool listDirectory(const std::string& directory, std::vector<DirEntry>& out, SystemError& error) = 0;
    // A directory to walk, by its path (links on the way followed); null when it cannot be opened.
    // resolved gets the directory's full path as the system resolves it, ending in the separator.
    virtual std::unique_ptr<OpenDirectory> openDirectory(const std::string& path, std::string& resolved,
                                                         SystemError& error) = 0;
    // The process's current directory, without a final separator: relative settings are
    // anchored to it at start. The walk never uses it.
    virtual bool currentDirectory(std::string& out, SystemError& error) = 0;
    virtual bool copyFile(const std::string& from, const std::string& to, bool overwrite, SystemError& error) = 0;
    virtual bool moveFile(const std::string& from, const std::string& to, bool replace, SystemError& error) = 0;
    virtual bool deleteFile(const std::string& path, SystemError& error) = 0;
    virtual bool createDirectory(const std::string& path, SystemError& error) = 0;
    virtual bool setAttributes(const std::string& path, uint16_t attributes, SystemError& error) = 0;
    virtual bool syncFile(const std::string& path, SystemError& error) = 0;  // flush to stable storage
    virtual bool truncateFile(const std::string& path, uint64_t size, SystemError& error) = 0;  // cut to size bytes
    // Opens a file for its contents; null on failure, with error saying why. A directory is
    // refused. Backends that can refuse links, other users' files and places that other users
    // control do so for every writing mode (writeRefusal says why).
    virtual std::unique_ptr<OpenFile> openFile(const std::string& path, const FileOpening& opening,
                                               SystemError& error) = 0;
    // Why this program refuses to write the file at path (with a final separator: to create
    // files in that directory): a directory on the way or the name itself that someone else
    // controls, named with what is wrong. Empty when nothing is refused (also by default).
    virtual std::string writeRefusal(const std::string& path);
    // Why this process cannot make files in the directory at path (or make it, when it is not
    // there): the directory, or the nearest one on its way that is there, cannot be entered or
    // written by this user, named with its mode and owner. Empty when nothing stops it (also by
    // default).
    virtual std::string directoryAccessRefusal(const std::string& path);
};

}  // namespace Quilna
