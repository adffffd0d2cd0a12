#pragma once
// A directory held open for a walk. Its entries, their status and its subdirectories are asked
// for through it, by name, so that nothing depends on the process's current directory or on how
// long the path has grown: the POSIX backend holds a descriptor and keeps no path at all (a deep
// tree costs no more per directory than a shallow one), the Win32 backend the full path.
// Threads reading ahead of a walk may open subdirectories of one directory at the same time;
// one directory is listed by one thread at a time.

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
    enum class Listing { More, End, Failed };

    virtual ~OpenDirectory() = default;

    // The identity of the directory that was opened, whatever its name stands for by now.
    virtual bool identity(FileIdentity& out) const = 0;
    // The next entries in enumeration order, "." and ".." where the system lists them, handed to
    // visit one at a time, so that a huge directory is never held whole. When visit returns false
    // the call ends (More) and the next call goes on after that entry. End when the listing was
    // read to its end, Failed (error saying why) when it could not be.
    virtual Listing readEntries(const std::function<bool(const DirEntry&)>& visit, SystemError& error) = 0;
    // One status call for an entry of this directory, links not followed; fullPath stays empty.
    // While readEntries is at an entry, the backend may answer from the listing itself.
    virtual bool entryInfo(const std::string& name, FileInfo& out, SystemError& error) = 0;
    // The owner of an entry where its status does not carry an owner id (Windows): its domain
    // and account, asked of the system that holds the directory.
    virtual bool entryOwner(const std::string& name, std::string& domain, std::string& account, SystemError& error) = 0;
    // A subdirectory, refusing a link or anything else that is no directory by now.
    virtual std::unique_ptr<OpenDirectory> openSubdirectory(const std::string& name, SystemError& error) const = 0;
    // The directory ".." leads to from here (not necessarily the one this was opened from:
    // callers compare identities).
    virtual std::unique_ptr<OpenDirectory> openParent(SystemError& error) const = 0;
    // Removes an entry of this directory by its name when it is a plain file of this program's
    // user and wanted, told its status (one status call), agrees. A link goes nowhere: neither
    // it nor what it names is removed, nor a directory or a device. False when nothing was
    // removed: error says why, and stays None when wanted declined.
    virtual bool removeOwnFile(const std::string& name, const std::function<bool(const FileInfo&)>& wanted,
                               SystemError& error) = 0;
};

}  // namespace Quilna
