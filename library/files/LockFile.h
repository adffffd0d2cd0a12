#pragma once
// Keeps two writers, in this process or in others, from updating the same file at once: a
// small text file named after the protected file with ".lock" appended says when the lock
// was taken, until when it holds, who holds it and whether the holder keeps the protected
// file open. A lock whose holder is gone is cleared by the next writer once it has expired.
//
// The format is shared with the other programs of the family, four lines each ended by a
// line feed: the time taken and the time valid until (compact UTC, "20130701T120000Z"), the
// holder's token (the time of its making and ten characters 0x20-0x7D), and "original" or
// "missing". The lock is never renewed, so a holder that runs past its expiry may be joined by
// another writer.
//
// Races. Looking for a lock file and creating one are a single step: the lock file is created
// exclusively (never through a link, readable by owner and group only), so of two writers that
// both found no lock only one gets it. Clearing an expired lock is not atomic: its token is read
// again right before it is deleted, yet a writer that clears and retakes it in that instant
// loses its new lock file. Everything rests on every writer honouring the lock file; the files
// themselves are opened without sharing restrictions.

#include <string>

#include "files/BasicFile.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "time/DateTime.h"
#include "time/TimeSpan.h"

namespace Quilna {

class LockFile {
public:
    // Builds this object's token, notes whether the file exists, and reads an existing lock file.
    LockFile(FileSystem& files, Drives& drives, const std::string& path);
    virtual ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    bool isPresent() const { return present_; }
    bool originalExisted() const { return originalExisted_; }

    // False when a lock file is present or cannot be created.
    bool lock(const TimeSpan& lifetime, bool holdOriginal);
    // Releases the own lock, or clears another holder's expired one; false while another
    // holder's lock is still valid or cannot be removed.
    bool unlock();
    // Closes the held protected file but keeps the lock, so that the file can be replaced
    // before the lock lets other writers in.
    void releaseOriginal();

    static std::string lockPath(const std::string& path) { return path + ".lock"; }

private:
    // Reads a time of a lock file: the compact UTC form as UTC, anything else as the
    // date-time parser reads it.
    static DateTime parseStamp(const std::string& text);
    void readExisting();
    bool writeLock(bool holdOriginal);
    bool holdProtectedFile();
    bool clearExpired();
    std::string tokenOnDisk() const;

    FileSystem& files_;
    Drives& drives_;
    // The protected file, held open while the lock holds the original.
    BasicFile original_;
    std::string name_;
    DateTime takenAt_{0};
    DateTime validUntil_{0};
    std::string foundToken_;
    std::string ownToken_;
    bool present_ = false;
    bool originalExisted_ = false;
};

}  // namespace Quilna
