#pragma once
// What the system's own status call tells of a file of an NTFS volume, made from the file's
// entry in the volume's table, so that a file system read from its table is counted as the walk
// counts it. Windows lists the volume's own facts (its attribute bits, the times to the second;
// no allocation: the walk asks for sizes as it does for a listed file); the table adds what the
// listing lacks, the identity and the number of names, so that a hard-linked file is charged
// once. An ntfs-3g mount on POSIX shows them as a POSIX status: type and mode (without the
// DOS attributes: every file writable, a name with a leading dot hidden, a file with fewer
// blocks than its size sparse), 512-byte blocks, the record number as inode, the record's link
// count; a link's size is the target text the mount makes up, which only the mount knows.
// Times are the table's whole seconds: both systems round down, and the scan keeps none before
// 1970 nor after 2038.

#include <cstdint>
#include <string>

#include "ntfs/MftEntry.h"
#include "platform/FileInfo.h"
#include "platform/PathSyntax.h"

namespace Quilna {

class TableStatus {
public:
    enum class Shown { AsListed, ThroughMount };

    // Files of the volume whose root has this identity's volume.
    TableStatus(Shown shown, uint64_t volume) : shown_(shown), volume_(volume) {}
    // The way this system shows an NTFS volume's files.
    static Shown ofThisSystem(const PathSyntax& syntax);

    // A junction, mount point or symbolic link: listed as a link, never entered.
    static bool isLink(const Ntfs::MftEntry& entry);
    static bool isDirectory(const Ntfs::MftEntry& entry);

    // The status of the file with that name (all of FileInfo but its owner).
    void fill(const Ntfs::MftEntry& entry, const std::string& name, FileInfo& info) const;
    // Whether the status of this file must come from the system (a link on a mount).
    bool asksTheSystem(const Ntfs::MftEntry& entry) const { return shown_ == Shown::ThroughMount && isLink(entry); }
    Shown shown() const { return shown_; }
    uint64_t volume() const { return volume_; }

private:
    void fillAsListed(const Ntfs::MftEntry& entry, FileInfo& info) const;
    void fillThroughMount(const Ntfs::MftEntry& entry, const std::string& name, FileInfo& info) const;

    Shown shown_;
    uint64_t volume_;
};

}  // namespace Quilna
