#pragma once
// A directory that nobody but this process's user and root controls, held open, so that files
// are made and opened relative to it and nothing on the way can change between the check and
// the use. The way is walked from "/" one name at a time: every directory on it must belong to
// root or this user and be writable by nobody else, except a sticky directory of root's such as
// /tmp; a link on the way is followed only when root or this user owns it.

#include <sys/types.h>

#include <string>

#include "platform/posix/Descriptor.h"

namespace Quilna::posix {

class TrustedDirectory {
public:
    struct Rules {
        bool create = false;  // missing directories are made, with exactly createMode
        mode_t createMode = 0750;
        bool ownOnly = false;    // the directory itself must be this user's and no one else's
        bool exactMode = false;  // an existing directory itself is given createMode too
        // The directory itself may not be one where others add names, sticky or not: the files
        // of a result directory are made there night after night.
        bool namesOwnOnly = false;
    };

    TrustedDirectory(const std::string& path, const Rules& rules);

    bool valid() const { return directory_.valid(); }
    int fd() const { return directory_.get(); }
    // The directory as reached, links resolved.
    const std::string& path() const { return reached_; }
    // Why the directory is refused: the directory on the way and what is wrong with it; empty
    // when it is not refused (it may still be missing or unreachable, error() says why).
    const std::string& refusal() const { return refusal_; }
    int error() const { return error_; }

    // Opens a file of the directory for writing: flags of open(2) (O_CREAT, O_EXCL, O_TRUNC,
    // O_APPEND, O_RDWR ...), never through a link, and only a regular file of root or this user;
    // a new file gets the mode. -1 with errno set on failure.
    int openForWriting(const std::string& name, int flags, mode_t mode) const;
    // The same relative to any directory descriptor (AT_FDCWD: the current directory), for a
    // path whose directories are already known to be safe. The open never waits (O_NONBLOCK), so
    // that a FIFO or device in the file's place is refused at once instead of holding the program.
    static int openRegularForWriting(int directory, const std::string& path, int flags, mode_t mode);

    // What is wrong with a name of the directory for writing: a link, not a regular file,
    // another user's file; empty when nothing (or nothing is there).
    std::string nameRefusal(const std::string& name) const;
    // The same for a path relative to any directory descriptor, shown as given.
    static std::string pathRefusal(int directory, const std::string& path, const std::string& shown);

    // The user an owner id stands for in a refusal: "user 1000 (ann)".
    static std::string ownerText(uid_t owner);

private:
    bool walk(std::string path, const Rules& rules);
    bool refuse(const std::string& where, const std::string& what);
    bool fail(int error);

    Descriptor directory_;
    std::string reached_;
    std::string refusal_;
    int error_ = 0;
};

}  // namespace Quilna::posix
