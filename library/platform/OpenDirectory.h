#pragma once
// A directory held open for a walk. Its entries, their status and its subdirectories are asked
// for through it, by name, so that nothing depends on the process's current directory or on how
// long the path has grown: the POSIX backend holds a descriptor, the Win32 backend the full path.
// A walk that reads ahead (other threads listing directories and taking the status of their
// entries before the walk reaches them) can stand in for a backend's directories unchanged.

#include <functional>
#include <memory>
#include <string>

#include "platform/DirEntry.h"
#include "platform/FileIdentity.h"
#include "platform/FileInfo.h"
#include "platform/SystemError.h"

namespace Quilna {

class OpenDirectory {
public:
    virtual ~OpenDirectory() = default;

    // The full path, ending in the separator.
    virtual const std::string& path() const = 0;
    // The identity of the directory that was opened, whatever its name stands for by now.
    virtual bool identity(FileIdentity& out) const = 0;
    // The entries in enumeration order, "." and ".." where the system lists them, handed to visit
    // one at a time so that a huge directory is never held whole; visit returns false to stop.
    // False when the listing could not be read to its end.
    virtual bool visitEntries(const std::function<bool(const DirEntry&)>& visit) = 0;
    // One status call for an entry of this directory, links not followed; fullPath is path() and
    // the name. While visitEntries is at an entry, the backend may answer from the listing itself.
    virtual bool entryInfo(const std::string& name, FileInfo& out) = 0;
    // A subdirectory, refusing a link or anything else that is no directory by now.
    virtual std::unique_ptr<OpenDirectory> openSubdirectory(const std::string& name, SystemError& error) = 0;
    // The directory ".." leads to from here (not necessarily the one this was opened from:
    // callers compare identities). Its path is this path without its last component.
    virtual std::unique_ptr<OpenDirectory> openParent(SystemError& error) = 0;
};

}  // namespace Quilna
