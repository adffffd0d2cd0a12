#pragma once
// The system's mounts as /proc/self/mountinfo lists them, with the rules that turn them into
// the program's drives: pseudo file systems, mounts below them and repeats left out. A directory
// bound onto itself (as a service's sandbox binds its writable and protected paths) shows what
// was there already: it is no mount of its own.

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace Quilna {

struct Mount {
    std::string mountPoint;  // unescaped, without a final "/" except for "/"
    std::string root;        // the part of the file system mounted there
    std::string fileSystem;  // type, e.g. ext4, tmpfs, nfs4
    std::string source;      // e.g. /dev/vda1
    unsigned major = 0;
    unsigned minor = 0;
    std::string id, parent;  // mountinfo's mount ids
};

class MountTable {
public:
    // Reads /proc/self/mountinfo; false when it cannot be read.
    bool load();
    // Parses mountinfo text (for tests).
    void parse(const std::string& text);

    bool loaded() const { return loaded_; }
    const std::vector<Mount>& mounts() const { return mounts_; }
    // Mount points of real file systems, in mountinfo order, each once per device and root.
    std::vector<const Mount*> drives() const;
    // The mount whose mount point is exactly this directory (a final "/" is ignored); the last
    // one listed wins, as it hides the earlier ones.
    const Mount* find(const std::string& directory) const;
    bool isMountPoint(const std::string& directory) const;

    static bool isPseudoFileSystem(const std::string& type);
    static std::string unescape(const std::string& field);

private:
    // Shows what its parent mount shows at the same place: the same file system and part of it.
    bool isSelfBind(const Mount& mount) const;

    std::vector<Mount> mounts_;
    // Ordered: a few dozen paths that differ early compare faster than the walk's path hashes.
    std::set<std::string, std::less<>> mountPoints_;
    bool loaded_ = false;
};

}  // namespace Quilna
