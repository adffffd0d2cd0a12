// A run that was killed leaves its ".make" files behind, and nothing would ever finish them:
// at start, those of this installation whose process is gone and that have not changed for a
// day are removed, each with a log line.
#include "files/FileOps.h"
#include "hoardscan/Hoardscan.h"
#include "hoardscan/MessageNumbers.h"
#include "results/ResultFileName.h"
#include "logger/LoggerUnit.h"
#include "platform/Platform.h"
#include "time/DateTime.h"

namespace Quilna {

namespace {

constexpr int64_t staleAfterSeconds = 86400;

}  // namespace

void Hoardscan::removeStaleResultFiles() {
    removeStaleResultFilesIn(settings_.workingDirectory);
    if (settings_.tempDirectory != settings_.workingDirectory) removeStaleResultFilesIn(settings_.tempDirectory);
}

void Hoardscan::removeStaleResultFilesIn(const std::string& directory) {
    const int64_t now = DateTime().value();
    Platform& system = platform();
    for (const DirEntry& entry : FileOps::listDirectory(directory, "*.make")) {
        const auto name = ResultFileName::parse(entry.name);
        if (!entry.isFile || !name || !name->unfinished) continue;
        const std::string path = directory + entry.name;
        FileStatus status;
        // Only plain files: a link would not be this program's.
        if (!FileOps::fileStatus(path, status) || status.attributes & (FileAttribute::Directory | FileAttribute::Link))
            continue;
        const auto process = static_cast<uint32_t>(name->processId);
        if (now - status.modified.value() < staleAfterSeconds || process == system.processId() ||
            system.processExists(process))
            continue;
        if (FileOps::deleteFile(path))
            log().notice(Message::StaleResultRemoved, ParamStream()
                                                          << path << static_cast<unsigned long long>(process));
    }
}

}  // namespace Quilna
