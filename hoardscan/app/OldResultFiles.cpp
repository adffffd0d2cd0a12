// Result files this program left in its directories, removed at start with a NOTICE each:
// unfinished ones of a run that died (nothing would ever finish them) and, when
// hoardscan.keep-results is set, finished ones older than that many days (nothing else empties
// the directories, and a whole machine's inactive table alone takes tens of MB per run).
// At start rather than after the run: the room is free before this run writes its own files,
// the walk counts the directories as they are left, and this run has no file yet that an old
// one could be taken for.
#include "hoardscan/app/Hoardscan.h"
#include "hoardscan/app/MessageNumbers.h"
#include "results/ResultFileName.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"
#include "time/DateTime.h"

#include <utility>
#include <vector>

namespace Quilna {

namespace {

constexpr int64_t secondsPerDay = 86400;
constexpr int64_t staleAfterSeconds = secondsPerDay;

bool isSideFile(ResultFileKind kind) { return kind != ResultFileKind::AccountRecords; }

}  // namespace

struct Hoardscan::OldResultSweep {
    int64_t now = 0;
    std::string directory;   // held open, ending in a separator
    bool records = false;    // the account record files are in this directory
    bool sideFiles = false;  // the side files are
    uint64_t expired = 0;    // finished files removed, and their bytes
    uint64_t expiredBytes = 0;
};

void Hoardscan::removeOldResultFiles() {
    if (!settings_.keepResultsDays)
        log().debug(1, "No hoardscan.keep-results configured: finished result files are kept.");
    OldResultSweep sweep;
    sweep.now = DateTime().value();
    const bool shared = settings_.tempDirectory == settings_.workingDirectory;
    sweep.directory = settings_.workingDirectory;
    sweep.records = true;
    sweep.sideFiles = shared;
    removeOldResultFilesIn(sweep);
    if (!shared) {
        sweep.directory = settings_.tempDirectory;
        sweep.records = false;
        sweep.sideFiles = true;
        removeOldResultFilesIn(sweep);
    }
    if (settings_.keepResultsDays && LoggerUnit::isDebugOn(1))
        log().debug(1, "Removed %i result files older than %i days: %i bytes freed.",
                    ParamStream() << static_cast<unsigned long long>(sweep.expired) << *settings_.keepResultsDays
                                  << static_cast<unsigned long long>(sweep.expiredBytes));
}

// Only names this program makes, each removed by its name in the directory held open: a link
// or a directory of such a name, or a file of another user, is left as it is.
void Hoardscan::removeOldResultFilesIn(OldResultSweep& sweep) {
    std::string resolved;
    SystemError error;
    std::unique_ptr<OpenDirectory> opened = system_.openDirectory(sweep.directory, resolved, error);
    if (!opened) return;
    std::vector<std::pair<std::string, ResultFileName>> candidates;
    // A listing cut short leaves the rest for the next run.
    opened->readEntries(
        [&](const DirEntry& entry) {
            auto name = ResultFileName::parse(entry.name);
            if (entry.isFile && name && (isSideFile(name->kind) ? sweep.sideFiles : sweep.records))
                candidates.emplace_back(entry.name, std::move(*name));
            return true;
        },
        error);
    // Removed after the listing, which a removal during it could make skip or repeat names.
    for (const auto& [entryName, name] : candidates) removeOldResultFile(*opened, entryName, name, sweep);
}

void Hoardscan::removeOldResultFile(OpenDirectory& directory, const std::string& entryName, const ResultFileName& name,
                                    OldResultSweep& sweep) {
    if (!name.unfinished && !settings_.keepResultsDays) return;
    const auto process = static_cast<uint32_t>(name.processId);
    // Age by the last write: a run writes its files while it goes and leaves them when it ends.
    // The day stamp of the name is only the nearest local midnight, and not every file system
    // keeps a creation time.
    const int64_t oldest = name.unfinished ? staleAfterSeconds : *settings_.keepResultsDays * secondsPerDay;
    uint64_t bytes = 0;
    SystemError error;
    const bool removed = directory.removeOwnFile(
        entryName,
        [&](const FileInfo& info) {
            bytes = info.size;
            // Never a file of this run, nor one that a running process may still write (an
            // unfinished name, or a log that has none).
            return sweep.now - info.modified > oldest && process != system_.processId() &&
                   !system_.processExists(process);
        },
        error);
    const std::string path = sweep.directory + entryName;
    if (!removed) {
        if (error.failed() && LoggerUnit::isDebugOn(2))
            log().debug(2, "Old result file \"%s\" not removed: %s",
                        ParamStream() << path << system_.errorText(error.code));
        return;
    }
    if (name.unfinished) {
        log().notice(Message::StaleResultRemoved, ParamStream() << path << static_cast<unsigned long long>(process));
        return;
    }
    log().notice(Message::ResultExpired, ParamStream() << path << *settings_.keepResultsDays);
    ++sweep.expired;
    sweep.expiredBytes += bytes;
}

}  // namespace Quilna
