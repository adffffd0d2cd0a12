#include "hoardscan/walk/DirectoryReader.h"

#include "files/FileOps.h"

namespace Quilna {

namespace {

bool isDotEntry(const std::string& name) { return name == "." || name == ".."; }

}  // namespace

void DirectoryReader::open(WalkDirectory& directory, const std::shared_ptr<OpenDirectory>& parent) const {
    SystemError error;
    // What the listing called a directory may have gone or become a link meanwhile: the
    // directory is opened only as a directory and never through a link.
    std::unique_ptr<OpenDirectory> open = parent ? parent->openSubdirectory(directory.name, error) : nullptr;
    if (open) opened(directory, std::move(open));
}

void DirectoryReader::opened(WalkDirectory& directory, std::unique_ptr<OpenDirectory> open) const {
    directory.opened = true;
    directory.hasIdentity = open->identity(directory.identity);
    directory.accounted = rules_.isAccountedDirectory(*directory.state);
    // A directory of no interest to the accounts file is not listed: the walk leaves it at once.
    if (directory.accounted) directory.directory = std::move(open);
}

// One piece's reading, held by a single reference in the listing's callback: a callback holding
// more is allocated anew for every piece.
struct DirectoryReader::Reading {
    WalkDirectory& directory;
    OpenDirectory& open;
    PieceRead& read;
    PathRules::Probe probe;
    size_t taken = 0;
    // The files of a spent piece are written over: their names keep their room.
    size_t files = 0;
};

void DirectoryReader::readPiece(WalkDirectory& directory, OpenDirectory& open, PieceRead& read) const {
    Reading at{directory, open, read, {}};
    read.listing = open.readEntries([this, &at](const DirEntry& entry) { return take(at, entry); }, read.listingError);
    read.files.resize(at.files);
}

bool DirectoryReader::take(Reading& at, const DirEntry& entry) const {
    ++at.read.entries;
    if (isDotEntry(entry.name)) return true;
    if (!entry.isFile) {
        at.read.subdirectories.push_back(subdirectory(at.directory, entry.name, at.probe, at.read));
    } else {
        if (at.files == at.read.files.size()) at.read.files.emplace_back();
        readFile(at.directory, at.open, entry.name, at.probe, at.read.files[at.files++]);
    }
    return ++at.taken < pieceSize_;
}

void DirectoryReader::readFile(const WalkDirectory& directory, OpenDirectory& open, const std::string& name,
                               PathRules::Probe& probe, WalkDirectory::File& file) const {
    // One status call, and only for a file the walk will count.
    SystemError error;
    file.found = decideFile(directory, name, probe, file) && open.entryInfo(name, file.info, error);
    if (!file.found || !file.info.exists || file.info.hasOwnerId) return;
    std::string domain, account;
    const bool owned = open.entryOwner(name, domain, account, error);
    file.info.ownerLookup = owned ? OwnerLookup::Found : OwnerLookup::NotFound;
    if (owned) file.info.owner = FileOps::ownerText(domain, account);
}

bool DirectoryReader::decideFile(const WalkDirectory& directory, const std::string& name, PathRules::Probe& probe,
                                 WalkDirectory::File& file) const {
    file.name = name;
    probe = *directory.state;
    rules_.feedFileName(probe, name);
    file.rule = rules_.firstFileSystemRule(probe);
    const bool included = !file.rule || file.rule->include;
    // Every field is written: the file may be a spent piece's, written over.
    file.account = included && rules_.hasSites() ? rules_.accountEntry(*directory.state, name, nullptr) : nullptr;
    file.counted = included && (!rules_.hasSites() || file.account);
    return file.counted;
}

std::unique_ptr<WalkDirectory> DirectoryReader::subdirectory(WalkDirectory& directory, const std::string& name,
                                                             PathRules::Probe& probe, PieceRead& read) const {
    std::unique_ptr<WalkDirectory> below;
    if (read.spareDirectories.empty()) {
        below = std::make_unique<WalkDirectory>();
    } else {
        below = std::move(read.spareDirectories.back());
        read.spareDirectories.pop_back();
    }
    below->parent = &directory;
    below->name = name;
    decideSubdirectory(directory, probe, *below);
    return below;
}

void DirectoryReader::decideSubdirectory(const WalkDirectory& directory, PathRules::Probe& probe,
                                         WalkDirectory& below) const {
    const std::string& name = below.name;
    below.pathLength = directory.pathLength + name.size() + 1;
    probe = *directory.state;
    rules_.feed(probe, name);
    const FileSystemRule* rule = rules_.firstFileSystemRule(probe);
    if (rule && rule->excludeAll) {
        below.kind = WalkDirectory::Kind::ExcludedTree;
        below.excludingRule = rule;
        return;
    }
    // Every mount is walked once, as a drive of its own. A path too long to be a mount point
    // is not kept: nothing below it needs it.
    if (below.pathLength <= syntax_.longestMountPoint && directory.pathLength == directory.path.size()) {
        below.path.reserve(below.pathLength);
        below.path.assign(directory.path).append(name);
        if (drives_.isMountPoint(below.path)) {
            below.kind = WalkDirectory::Kind::MountPoint;
            return;
        }
        below.path.push_back(syntax_.separator);
    }
    rules_.feed(probe, std::string_view(&syntax_.separator, 1));
    below.state = rules_.keep(probe, directory.state);
}

}  // namespace Quilna
