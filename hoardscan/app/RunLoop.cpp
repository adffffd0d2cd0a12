// scan: the second phase of the program. Lists the drives, chooses the file systems to
// investigate, reads them one after another (walked, or NTFS volumes from their tables) and
// finishes the result files.
#include <thread>

#include "files/FileOps.h"
#include "hoardscan/walk/DrivePaths.h"
#include "hoardscan/app/Hoardscan.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/app/ScanEngine.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"

namespace Quilna {

bool Hoardscan::scan(const std::atomic<bool>& quitFlag, const std::atomic<int>& stopRequest) {
    log().notice(Message::ScanStarting);
    log().debug(1, "Getting available drives...");
    if (!collectDrives()) return false;
    if (LoggerUnit::isDebugOn(1))
        log().debug(1, "   Got %i file system(s) to investigate.",
                    ParamStream() << static_cast<unsigned long long>(engine_->tables.drives.size()));
    log().debug(1, "Processing file systems...");
    if (!reportParallelism()) return false;
    chooseFileSystems();
    engine_->roots.assign(fileSystemRoots_);

    removeOldResultFiles();
    engine_->resultFiles.startRun();
    engine_->walk.stopWhen(stopRequest);
    engine_->tableWalk.stopWhen(stopRequest);
    // The scan runs in this one thread.
    if (LoggerUnit::isDebugOn(4)) log().debug(4, "Thread number: %i", ParamStream() << 0);
    for (size_t i = 0; i < fileSystemRoots_.size() && stopRequest.load() == StopRequest::None; ++i)
        readFileSystem(fileSystemRoots_[i], fileSystemNames_[i]);

    stopRequest_ = stopRequest.load();
    finishResultFiles(quitFlag);
    return true;
}

// From its volume's table where the setting allows and the volume can be read so, else walked;
// the log says which, and why not from the table.
void Hoardscan::readFileSystem(const std::string& root, const std::string& fileSystem) {
    // A file system the rules exclude is the walk's to skip, with its own line: there is no way
    // of reading it to choose.
    if (!engine_->decisions.isExcludedTree(std::string(), root, fileSystem)) {
        std::string why = "hoardscan.mft is off";
        if (settings_.masterFileTable && engine_->tableWalk.read(root, fileSystem, why)) return;
        log().notice(Message::WalkedInstead, ParamStream() << root << why);
    }
    engine_->walk.walk(root, fileSystem);
}

// The logical drives follow the directories of the file systems file; a drive that the file
// already names is not added again, so that it is walked once.
bool Hoardscan::collectDrives() {
    std::vector<std::string> roots;
    SystemError error;
    if (!system_.logicalDrives(roots, error)) {
        log().fatal(Message::NoDriveList, ParamStream() << error.code);
        return false;
    }
    std::vector<std::string>& drives = engine_->tables.drives;
    listedDrives_ = drives.size();
    for (const std::string& root : roots)
        if (!root.empty() && !isListedDrive(root, listedDrives_)) drives.push_back(root);
    return true;
}

bool Hoardscan::isListedDrive(const std::string& root, size_t before) const {
    const PathSyntax& syntax = system_.pathSyntax();
    const std::string wanted = DrivePaths::comparable(syntax, root);
    for (size_t i = 0; i < before; ++i)
        if (DrivePaths::comparable(syntax, engine_->tables.drives[i]) == wanted) return true;
    return false;
}

// The setting is reported only: file systems are walked one after another. Without it (reported
// when it was read) the scan does not start.
bool Hoardscan::reportParallelism() {
    if (!settings_.filesystemsInParallel) return false;
    const int32_t wanted = *settings_.filesystemsInParallel;
    const int32_t available = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    if (!LoggerUnit::isDebugOn(4)) return true;
    log().debug(4, "Max threads available for parallelism: %i", ParamStream() << available);
    if (available < wanted)
        log().debug(4, "Specified threads are greater than the available resources. Used threads: %i",
                    ParamStream() << available);
    else log().debug(4, "Used threads: %i", ParamStream() << wanted);
    return true;
}

void Hoardscan::chooseFileSystems() {
    const std::vector<std::string>& drives = engine_->tables.drives;
    for (size_t i = 0; i < drives.size(); ++i) {
        const std::string& root = drives[i];
        // Named twice in the file systems file: walked once.
        if (isListedDrive(root, i) || isMissingRoot(root, i)) continue;
        if (LoggerUnit::isDebugOn(2)) log().debug(2, "Investigating file system \"%s\"...", ParamStream() << root);
        std::string name = engine_->driveCheck.driveType(root);
        if (name.empty()) continue;
        fileSystemNames_.push_back(std::move(name));
        fileSystemRoots_.push_back(root);
    }
}

// A directory the administrator named that is not there is a part not walked (exit code 4), not
// a drive of a type left alone.
bool Hoardscan::isMissingRoot(const std::string& root, size_t index) {
    if (index >= listedDrives_ || FileOps::exists(system_, system_, root)) return false;
    log().warning(Message::RootMissing, ParamStream() << root << settings_.fileSystemsFile);
    ++missingRoots_;
    return true;
}

// A finished name promises a complete file: the account record file and the inactive-file
// table get theirs only when their last flush wrote everything that was left and no record was
// lost on the way. A run stopped by a signal writes what it counted under the unfinished names.
void Hoardscan::finishResultFiles(const std::atomic<bool>& quitFlag) {
    if (stopRequest_ != StopRequest::None) {
        log().warning(Message::StoppedBySignal, ParamStream() << stopSignalName(stopRequest_));
        engine_->resultFiles.keepUnfinishedNames();
    } else {
        log().debug(1, quitFlag.load() ? "Got quit signal." : "Finished processing file systems.");
    }
    engine_->tallying.finishResultFiles();
}

}  // namespace Quilna
