#include "hoardscan/walk/TableWalk.h"

#include "files/FileOps.h"
#include "hoardscan/walk/DirectoryReader.h"
#include "hoardscan/facts/FactFinder.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/walk/RawVolumeBytes.h"
#include "hoardscan/rules/RuleDecisions.h"
#include "logger/LoggerUnit.h"
#include "ntfs/MftReader.h"
#include "ntfs/MftTree.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

// A name a listing could show: a hostile volume may hold others, which would make paths lie.
bool isPlainName(const PathSyntax& syntax, std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('\0') == std::string_view::npos &&
           name.find('/') == std::string_view::npos &&
           (!syntax.backslashIsSeparator || name.find('\\') == std::string_view::npos);
}

}  // namespace

// A directory on the path, or the one about to be entered.
struct TableWalk::Level {
    WalkDirectory directory;
    uint32_t record = 0;
    size_t next = 0;  // the name the search for subdirectories takes next
};

TableWalk::TableWalk(Platform& system, LoggerUnit& logger, RuleDecisions& decisions, FactFinder& facts,
                     const RunRoots& roots)
    : system_(system),
      syntax_(system.pathSyntax()),
      logger_(logger),
      decisions_(decisions),
      facts_(facts),
      roots_(roots) {}

TableWalk::~TableWalk() = default;

bool TableWalk::read(const std::string& root, const std::string& fileSystem, std::string& why) {
    SystemError error;
    std::string resolved;
    std::unique_ptr<OpenDirectory> top = system_.openDirectory(root, resolved, error);
    FileIdentity rootIdentity;
    if (!top || !top->identity(rootIdentity)) {
        why = "its root cannot be opened";
        return false;
    }
    table_ = readTable(root, why);
    if (!table_) return false;
    logger_.notice(Message::ReadFromTable, ParamStream()
                                               << root << static_cast<unsigned long long>(table_->entries().size()));
    tree_ = std::make_unique<Ntfs::MftTree>(*table_);
    goThrough(root, fileSystem, resolved, rootIdentity);
    tree_.reset();
    table_.reset();
    return true;
}

std::unique_ptr<Ntfs::MftTable> TableWalk::readTable(const std::string& root, std::string& why) const {
    SystemError error;
    std::unique_ptr<RawVolume> volume = system_.openRawVolume(root, error);
    if (!volume) {
        why = error.detail;
        return nullptr;
    }
    RawVolumeBytes bytes(std::move(volume));
    std::optional<Ntfs::MftTable> table = Ntfs::MftReader::read(bytes, why);
    if (!table) return nullptr;
    // Files of a damaged record, or owners not read, would be missing: the walk finds them.
    if (table->damaged() != 0) {
        why = "its table has " + std::to_string(table->damaged()) + " damaged record(s) (" +
              (table->reasons().empty() ? std::string() : table->reasons().front()) + ")";
        return nullptr;
    }
    if (!table->ownersProblem().empty()) {
        why = "the owners of its files cannot all be read from its table: " + table->ownersProblem();
        return nullptr;
    }
    if (table->upCase().empty()) {
        why = "its upper-case table cannot be read, which orders its directories";
        return nullptr;
    }
    return std::make_unique<Ntfs::MftTable>(std::move(*table));
}

void TableWalk::goThrough(const std::string& root, const std::string& fileSystem, const std::string& resolved,
                          const FileIdentity& rootIdentity) {
    root_ = root;
    directory_.clear();
    depth_ = 0;
    onPath_.clear();
    stopped_ = false;
    status_.emplace(TableStatus::ofThisSystem(syntax_), rootIdentity.volume);
    rules_ = decisions_.compile(fileSystem);
    reader_ = std::make_unique<DirectoryReader>(system_, syntax_, *rules_, 0);
    facts_.beginWalk(root_, *rules_);
    Level& top = levelAt(0);
    top.directory = WalkDirectory{};
    top.directory.path = resolved;
    top.directory.pathLength = resolved.size();
    rules_->start(probe_);
    rules_->feed(probe_, resolved);
    top.directory.state = rules_->keep(probe_, nullptr);
    top.directory.opened = true;
    top.directory.hasIdentity = true;
    top.directory.identity = rootIdentity;
    top.directory.accounted = rules_->isAccountedDirectory(*top.directory.state);
    top.record = Ntfs::MftTree::kRoot;
    enter(top, 0);
    while (depth_ > 0 && !stopped_) {
        if (Level* below = nextSubdirectory()) enter(*below, directory_.size());
        else leave();
    }
    depth_ = 0;
    reader_.reset();
    rules_.reset();
}

TableWalk::Level& TableWalk::levelAt(size_t depth) {
    while (levels_.size() <= depth) levels_.push_back(std::make_unique<Level>());
    return *levels_[depth];
}

void TableWalk::enter(Level& level, size_t parentLength) {
    WalkDirectory& directory = level.directory;
    if (onPath_.contains(level.record)) {
        if (LoggerUnit::isDebugOn(1))
            logger_.debug(1, "Directory \"%s\" leads back into its own path and is not entered.",
                          ParamStream() << directory_ + directory.name);
        return;
    }
    if (!directory.accounted) return;
    directory.parentLength = parentLength;
    if (depth_ == 0) directory_ = directory.path;
    else directory_.append(directory.name).push_back(syntax_.separator);
    if (LoggerUnit::isDebugOn(3)) logger_.debug(3, "Processing \"%s\"...", ParamStream() << directory_);
    facts_.enterDirectory(directory);
    const std::span<const uint32_t> names = tree_->children(level.record);
    if (LoggerUnit::isDebugOn(5)) {
        // "." and ".." as a listing counts them; Windows lists neither in a drive's root.
        const bool dots = depth_ > 0 || status_->shown() == TableStatus::Shown::ThroughMount;
        logger_.debug(5, "   Found %i file(s) in \"%s\"...",
                      ParamStream() << static_cast<unsigned long long>(names.size() + (dots ? 2 : 0))
                                    << (depth_ > 0 ? directory.name : root_));
    }
    for (const uint32_t name : names) {
        if (TableStatus::isDirectory(tree_->entryOf(name)) || !isPlain(name)) continue;
        if (stopRequested()) return;
        handOnFile(directory, name);
    }
    onPath_.insert(level.record);
    level.next = 0;
    ++depth_;
}

void TableWalk::handOnFile(const WalkDirectory& directory, uint32_t name) {
    const Ntfs::MftEntry& entry = tree_->entryOf(name);
    WalkDirectory::File& file = file_;
    file.found = reader_->decideFile(directory, std::string(table_->text(tree_->name(name))), probe_, file);
    if (file.found) {
        // The mount makes up a link's target, and so its size: only the mount can tell it.
        SystemError error;
        if (!status_->asksTheSystem(entry) || !system_.fileInfo(directory_ + file.name, file.info, error))
            status_->fill(entry, file.name, file.info);
        file.info.fullPath.clear();
        findOwner(entry, file.info);
    }
    facts_.fileFound(directory, directory_, file);
}

// Windows names the owner's account as the walk's own lookup does; POSIX has no account for a
// SID, which is then the owner's name.
void TableWalk::findOwner(const Ntfs::MftEntry& entry, FileInfo& info) {
    info.hasOwnerId = false;
    const std::span<const uint8_t> sid = table_->owners().ownerSid(entry.securityId);
    auto [known, first] = owners_.try_emplace(std::string(sid.begin(), sid.end()));
    if (first && !sid.empty()) {
        std::string domain, account;
        SystemError error;
        if (system_.ownerBySid(sid, domain, account, error)) known->second = FileOps::ownerText(domain, account);
        else if (status_->shown() == TableStatus::Shown::ThroughMount)
            known->second = Ntfs::SecurityOwners::sidText(sid);
    }
    info.ownerLookup = known->second ? OwnerLookup::Found : OwnerLookup::NotFound;
    if (known->second) info.owner = *known->second;
}

bool TableWalk::isPlain(uint32_t name) const {
    if (isPlainName(syntax_, table_->text(tree_->name(name)))) return true;
    if (LoggerUnit::isDebugOn(1))
        logger_.debug(1, "A name of record %i in \"%s\" is no name a listing could show: it is not counted.",
                      ParamStream() << static_cast<unsigned long long>(tree_->entryOf(name).record) << directory_);
    return false;
}

TableWalk::Level* TableWalk::nextSubdirectory() {
    Level& top = *levels_[depth_ - 1];
    const std::span<const uint32_t> names = tree_->children(top.record);
    while (top.next < names.size()) {
        const uint32_t name = names[top.next++];
        const Ntfs::MftEntry& entry = tree_->entryOf(name);
        if (!TableStatus::isDirectory(entry) || !isPlain(name)) continue;
        Level& below = levelAt(depth_);
        below.directory = WalkDirectory{};
        below.directory.parent = &top.directory;
        below.directory.name = table_->text(tree_->name(name));
        below.record = entry.record;
        reader_->decideSubdirectory(top.directory, probe_, below.directory);
        if (below.directory.kind == WalkDirectory::Kind::ExcludedTree) {
            if (LoggerUnit::isDebugOn(5))
                decisions_.reportExcludedTree(*below.directory.excludingRule,
                                              StringUtils::lowerCopy(directory_ + below.directory.name));
            if (LoggerUnit::isDebugOn(3))
                logger_.debug(3, "This directory and all it's subdirectories are excluded: \"%s\".",
                              ParamStream() << below.directory.name);
            continue;
        }
        if (below.directory.kind == WalkDirectory::Kind::MountPoint) {
            roots_.tellMountPoint(directory_ + below.directory.name);
            continue;
        }
        below.directory.opened = true;
        below.directory.hasIdentity = true;
        below.directory.identity = FileIdentity{status_->volume(), entry.record};
        below.directory.accounted = rules_->isAccountedDirectory(*below.directory.state);
        return &below;
    }
    return nullptr;
}

void TableWalk::leave() {
    Level& top = *levels_[depth_ - 1];
    facts_.leaveDirectory(directory_);
    onPath_.erase(top.record);
    directory_.resize(top.directory.parentLength);
    --depth_;
}

bool TableWalk::stopRequested() {
    if (stopRequest_ && stopRequest_->load(std::memory_order_relaxed) != StopRequest::None) stopped_ = true;
    return stopped_;
}

}  // namespace Quilna
