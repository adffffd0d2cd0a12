#include "hoardscan/walk/Walk.h"

#include "hoardscan/facts/FactFinder.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/walk/ReadAhead.h"
#include "hoardscan/rules/RuleDecisions.h"
#include "logger/LoggerUnit.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

// Directories kept open at once below the root, at most; a deeper walk lets go of the ones
// farthest up (the root stays open: the way back down starts there).
constexpr size_t kOpenLevels = 256;

bool hasSubdirectoriesToEnter(const WalkDirectory& directory) {
    for (size_t i = directory.next; i < directory.subdirectories.size(); ++i)
        if (directory.subdirectories[i] && directory.subdirectories[i]->kind == WalkDirectory::Kind::Enter) return true;
    return false;
}

}  // namespace

Walk::Walk(FileSystem& files, Drives& drives, LoggerUnit& logger, RuleDecisions& decisions, FactFinder& facts,
           const RunRoots& roots)
    : files_(files),
      drives_(drives),
      syntax_(files.pathSyntax()),
      logger_(logger),
      decisions_(decisions),
      facts_(facts),
      roots_(roots),
      readAhead_(std::make_unique<ReadAhead>(drives, syntax_, 0)) {}

Walk::~Walk() = default;

void Walk::readAheadWith(unsigned helpers) {
    readAhead_.reset();
    readAhead_ = std::make_unique<ReadAhead>(drives_, syntax_, helpers);
}

void Walk::walk(const std::string& root, const std::string& fileSystem) {
    root_ = root;
    fileSystem_ = fileSystem;
    levels_.clear();
    directory_.clear();
    openLevels_ = 0;
    unreachableFrom_ = SIZE_MAX;
    onPath_.clear();
    stopped_ = false;
    if (decisions_.isExcludedTree(std::string(), root, fileSystem)) {
        if (LoggerUnit::isDebugOn(3))
            logger_.debug(3, "This directory and all it's subdirectories are excluded: \"%s\".", ParamStream() << root);
        return;
    }
    SystemError error;
    std::string resolved;
    std::unique_ptr<OpenDirectory> top = files_.openDirectory(root, resolved, error);
    if (!top) {
        unreadable("access", root);
        return;
    }
    // Asked once here, so that the system's mount table is read before helpers ask it.
    drives_.isMountPoint(resolved);
    rules_ = decisions_.compile(fileSystem);
    facts_.beginWalk(root_, *rules_);
    rootDirectory_ = std::make_unique<WalkDirectory>();
    WalkDirectory& rootDirectory = *rootDirectory_;
    rootDirectory.path = resolved;
    rootDirectory.pathLength = resolved.size();
    PathRules::Probe state;
    rules_->start(state);
    rules_->feed(state, resolved);
    rootDirectory.state = rules_->keep(state, nullptr);
    readAhead_->begin(*rules_);
    readAhead_->rootOpened(rootDirectory, std::move(top));
    openLevel(rootDirectory, 0);
    while (!levels_.empty() && !stopped_) {
        const WalkDirectory& level = *levels_.back();
        if (level.next < level.subdirectories.size()) enterSubdirectory(readAhead_->takeSubdirectory());
        else leaveLevel();
    }
    readAhead_->end();
    levels_.clear();
    rootDirectory_.reset();
    rules_.reset();
}

void Walk::enterSubdirectory(WalkDirectory& below) {
    if (below.kind == WalkDirectory::Kind::ExcludedTree) {
        if (LoggerUnit::isDebugOn(5))
            decisions_.reportExcludedTree(*below.excludingRule, StringUtils::lowerCopy(directory_ + below.name));
        if (LoggerUnit::isDebugOn(3))
            logger_.debug(3, "This directory and all it's subdirectories are excluded: \"%s\".",
                          ParamStream() << below.name);
        return;
    }
    // Every mount is walked once, as a drive of its own, when it is one (never a pseudo file system).
    if (below.kind == WalkDirectory::Kind::MountPoint) {
        roots_.tellMountPoint(directory_ + below.name);
        return;
    }
    if (!below.opened) {
        unreadable("access", directory_ + below.name);
        discard(below);
        return;
    }
    openLevel(below, directory_.size());
}

void Walk::openLevel(WalkDirectory& directory, size_t parentLength) {
    if (directory.hasIdentity && isOnPath(directory.identity)) {
        if (LoggerUnit::isDebugOn(1))
            logger_.debug(1, "Directory \"%s\" leads back into its own path and is not entered.",
                          ParamStream() << directory_ + directory.name);
        discard(directory);
        return;
    }
    if (!directory.accounted) {
        discard(directory);
        return;
    }
    directory.parentLength = parentLength;
    if (levels_.empty()) directory_ = directory.path;
    else directory_.append(directory.name).push_back(syntax_.separator);
    if (LoggerUnit::isDebugOn(3)) logger_.debug(3, "Processing \"%s\"...", ParamStream() << directory_);
    facts_.enterDirectory(directory);
    readAhead_->enter(directory);
    listEntries(directory);
    // Stopped inside the listing: a reader may still be reading it, and the walk ends here.
    if (stopped_) return;
    if (directory.hasIdentity) onPath_.insert(directory.identity);
    // A directory with nothing to enter was closed by its reader once listed.
    if (!levels_.empty() && directory.directory) ++openLevels_;
    levels_.push_back(&directory);
    letGoOfDistantLevels();
}

void Walk::listEntries(WalkDirectory& directory) {
    if (LoggerUnit::isDebugOn(5)) {
        // The number of entries comes before the files: only here is the listing held whole.
        readAhead_->wantWholeListing(directory);
        std::vector<WalkDirectory::Piece> pieces;
        for (bool last = false; !last && readAhead_->nextPiece(directory, piece_, last);)
            pieces.push_back(std::move(piece_));
        if (!directory.listedWhole) unreadable("list", directory_);
        // The directory as the walk was given it: the root's path, a subdirectory's name.
        logger_.debug(5, "   Found %i file(s) in \"%s\"...",
                      ParamStream() << static_cast<unsigned long long>(directory.entries)
                                    << (directory.parent ? directory.name : root_));
        for (WalkDirectory::Piece& piece : pieces)
            for (WalkDirectory::File& file : piece) {
                if (stopRequested()) return;
                facts_.fileFound(directory, directory_, file);
            }
        return;
    }
    // A piece at a time: a directory of a million files costs no more memory than a small one.
    for (bool last = false; !last && readAhead_->nextPiece(directory, piece_, last);) {
        for (WalkDirectory::File& file : piece_) {
            if (stopRequested()) return;
            facts_.fileFound(directory, directory_, file);
        }
    }
    if (!directory.listedWhole) unreadable("list", directory_);
}

bool Walk::stopRequested() {
    if (stopRequest_ && stopRequest_->load(std::memory_order_relaxed) != StopRequest::None) stopped_ = true;
    return stopped_;
}

void Walk::unreadable(const char* verb, const std::string& directory) {
    ++unreadable_;
    if (!LoggerUnit::isDebugOn(1)) return;
    const std::string format = std::string("Unable to ") + verb + " \"%s\".";
    logger_.debug(1, format.c_str(), ParamStream() << directory);
}

void Walk::discard(WalkDirectory& directory) {
    if (directory.parent) readAhead_->discard(directory);
}

void Walk::leaveLevel() {
    const WalkDirectory& top = *levels_.back();
    facts_.leaveDirectory(directory_);
    if (top.hasIdentity) onPath_.erase(top.identity);
    if (levels_.size() > 1) {
        const size_t parent = levels_.size() - 2;
        WalkDirectory& above = *levels_[parent];
        // Found again, or what is left of it is lost; never the rest of the file system.
        if (!above.directory && !reopenLevel(parent)) {
            if (hasSubdirectoriesToEnter(above)) {
                logger_.error(Message::WalkLostItsWay, ParamStream() << directory_.substr(0, top.parentLength));
                ++unfinished_;
            }
            readAhead_->dropRest(above);
        }
        if (top.directory) --openLevels_;
    }
    directory_.resize(top.parentLength);
    levels_.pop_back();
    readAhead_->leave();
}

void Walk::letGoOfDistantLevels() {
    while (openLevels_ > kOpenLevels) {
        readAhead_->letGo(*levels_[levels_.size() - openLevels_]);
        --openLevels_;
    }
}

bool Walk::reopenLevel(size_t level) {
    if (level >= unreachableFrom_) return false;
    const WalkDirectory& wanted = *levels_[level];
    SystemError error;
    std::shared_ptr<OpenDirectory> open;
    // The way the walk came: ".." of the level below.
    if (const WalkDirectory& below = *levels_[level + 1]; below.directory) open = below.directory->openParent(error);
    if (!isSame(open, wanted)) open = descendTo(level);
    if (!open) return false;
    readAhead_->reopened(*levels_[level], std::move(open));
    ++openLevels_;
    return true;
}

// Moved meanwhile: down again by the levels' names from the nearest one still open (the root at
// least), each the same directory as before.
std::shared_ptr<OpenDirectory> Walk::descendTo(size_t level) {
    size_t from = level;
    while (!levels_[from]->directory) --from;
    std::shared_ptr<OpenDirectory> at = levels_[from]->directory;
    SystemError error;
    for (size_t i = from + 1; i <= level; ++i) {
        std::shared_ptr<OpenDirectory> down = at->openSubdirectory(levels_[i]->name, error);
        if (!isSame(down, *levels_[i])) {
            unreachableFrom_ = i;
            return nullptr;
        }
        at = std::move(down);
    }
    return at;
}

bool Walk::isSame(const std::shared_ptr<OpenDirectory>& candidate, const WalkDirectory& directory) {
    FileIdentity found;
    return candidate && (!directory.hasIdentity || (candidate->identity(found) && found == directory.identity));
}

bool Walk::isOnPath(const FileIdentity& identity) const { return onPath_.contains(identity); }

}  // namespace Quilna
