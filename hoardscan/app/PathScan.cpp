#include "hoardscan/app/PathScan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "files/FileOps.h"
#include "hoardscan/rules/AnchoredPaths.h"
#include "hoardscan/app/ExitCode.h"
#include "hoardscan/facts/FileTypes.h"
#include "hoardscan/app/PathSummary.h"
#include "hoardscan/app/ScanEngine.h"
#include "hoardscan/app/ScanProgress.h"
#include "hoardscan/app/ShippedRules.h"
#include "logger/LogCommons.h"
#include "logger/LogMessenger.h"
#include "logger/LogState.h"
#include "logger/LoggerCentre.h"
#include "logger/LoggerUnit.h"
#include "platform/FileAttribute.h"
#include "platform/Platform.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

constexpr size_t directoriesShown = 20;
// Files directly in a scanned path are charged to this account.
constexpr const char* topAccount = "(top)";

void refuse(const std::string& why) { std::fprintf(stderr, "hoardscan: %s\n", why.c_str()); }

bool isDirectory(FileSystem& files, const std::string& path) {
    FileInfo info;
    SystemError error;
    return files.fileInfo(path, info, error) && info.exists && (info.attributes & FileAttribute::Directory) != 0;
}

// Without its final separator, but a root stays one ("/", "C:\").
std::string withoutFinalSeparator(const PathSyntax& syntax, std::string path) {
    const char separator = syntax.separator;
    while (path.size() > 1 && path.back() == separator && path[path.size() - 2] != ':') path.pop_back();
    return path;
}

}  // namespace

PathScan::PathScan(Platform& system, CommandLine::Request request)
    : system_(system),
      request_(std::move(request)),
      log_(makeSmart<LoggerUnit>(
          system,
          makeSmart<LoggerCentre>(Application::Hoardscan, makeSmart<LogMessenger>(system, SmartPointer<LoggerAgent>())),
          Module::Storage)) {
    // Nothing would take the records: none is built, not even a debug line.
    setDebugLevel(0);
    setSeverityFilter(Severity::None);
}

PathScan::~PathScan() = default;

int PathScan::run(const std::atomic<int>& stopRequest) {
    identity_ = ScanIdentity::ofThisComputer(system_);
    if (!preparePaths() || !prepareSettings()) return ExitCode::SetupFailed;
    engine_ = std::make_unique<ScanEngine>(system_, *log_, settings_, identity_, system_.processId());
    if (!loadBuiltInRules()) return ExitCode::SetupFailed;

    PathSummary summary(directoriesShown);
    std::unique_ptr<ScanProgress> progress;
    if (system_.standardErrorIsTerminal()) {
        progress = std::make_unique<ScanProgress>();
        summary.showProgressOn(*progress);
    }
    engine_->tallying.summarizeInto(summary);
    engine_->roots.assign(roots_);
    engine_->walk.stopWhen(stopRequest);
    engine_->resultFiles.startRun();
    for (size_t i = 0; i < roots_.size() && stopRequest.load() == StopRequest::None; ++i)
        engine_->walk.walk(roots_[i], fileSystemOf(roots_[i]));
    if (progress) progress->erase();
    if (stopRequest.load() != StopRequest::None) engine_->resultFiles.keepUnfinishedNames();
    engine_->tallying.finishResultFiles();

    const std::string out = request_.json ? summary.json(roots_) : summary.text(roots_);
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    return exitCode(stopRequest.load());
}

bool PathScan::preparePaths() {
    for (const std::string& path : request_.paths) {
        std::string root = withoutFinalSeparator(system_.pathSyntax(), AnchoredPaths::anchored(system_, path));
        if (!isDirectory(system_, root)) {
            refuse("'" + path + "' is not a directory that can be scanned");
            return false;
        }
        roots_.push_back(std::move(root));
    }
    return true;
}

// The defaults of a run, but no side file but the directory totals, and those only when written.
bool PathScan::prepareSettings() {
    settings_.fileTypeScheme = FileTypes::Mapping;
    settings_.filesystemsInParallel = 1;
    settings_.directoryTotalsSize = std::numeric_limits<int64_t>::max();
    if (request_.outputDirectory.empty()) return true;
    const std::string directory =
        withoutFinalSeparator(system_.pathSyntax(), AnchoredPaths::anchored(system_, request_.outputDirectory));
    if (!isDirectory(system_, directory)) {
        refuse("-o " + request_.outputDirectory + ": no such directory");
        return false;
    }
    settings_.workingDirectory = settings_.tempDirectory = directory + system_.pathSyntax().separator;
    settings_.directoryTotals = true;
    settings_.directoryTotalsSize = ScanSettings().directoryTotalsSize;
    return true;
}

bool PathScan::loadBuiltInRules() {
    RuleTables& tables = engine_->tables;
    tables.fileSystems.push_back(FileSystemRule{"*", "*", "*", true, false});
    HostRule host{"*", {}};
    for (const std::string& root : roots_) addAccountEntries(root, host.entries);
    tables.sites.push_back(SiteRule{"*", {}, {std::move(host)}});
    if (engine_->fileTypes.loadFileTypeMappingText(ShippedRules::fileTypes, "filetypes.rules") &&
        engine_->temperatures.loadTemperaturesText(ShippedRules::temperatures, "temperatures.rules"))
        return true;
    refuse("the built-in rules cannot be read");
    return false;
}

// An account per directory at the first level below the root, named after it; the root's own
// files are charged to one account of their own.
void PathScan::addAccountEntries(const std::string& root, std::vector<AccountEntry>& entries) const {
    const char separator = system_.pathSyntax().separator;
    std::string directory = StringUtils::lowerCopy(root);
    if (directory.back() != separator) directory.push_back(separator);
    // The rules have no escape: a "*" in the path itself would reach across separators and charge
    // a subdirectory's files to the top. "?" takes one character, the path's own, and no other.
    std::replace(directory.begin(), directory.end(), '*', '?');
    size_t depth = 0;
    for (const char c : directory) depth += c == separator ? 1 : 0;
    entries.push_back(AccountEntry{directory, topAccount});
    entries.push_back(AccountEntry{directory + "*", "%" + std::to_string(depth + 1) + "%"});
}

std::string PathScan::fileSystemOf(const std::string& path) {
    std::vector<std::string> drives;
    SystemError error;
    std::string best;
    const PathSyntax& syntax = system_.pathSyntax();
    const std::string comparable = StringUtils::lowerCopy(path) + syntax.separator;
    if (system_.logicalDrives(drives, error)) {
        for (const std::string& drive : drives) {
            std::string prefix = StringUtils::lowerCopy(withoutFinalSeparator(syntax, drive));
            if (prefix.empty() || prefix.back() != syntax.separator) prefix.push_back(syntax.separator);
            if (comparable.rfind(prefix, 0) == 0 && drive.size() > best.size()) best = drive;
        }
    }
    std::string type = best.empty() ? std::string() : engine_->driveCheck.driveType(best);
    return type.empty() ? "fixed" : type;
}

int PathScan::exitCode(int stopRequest) const {
    if (stopRequest == StopRequest::Interrupt) return ExitCode::Interrupted;
    if (stopRequest != StopRequest::None) return ExitCode::Terminated;
    const Walk& walk = engine_->walk;
    if (const uint64_t missed = walk.unreadableDirectories() + walk.unfinishedDirectories(); missed > 0) {
        std::fprintf(stderr, "hoardscan: %llu directories could not be read; their files are not counted\n",
                     static_cast<unsigned long long>(missed));
    }
    if (!request_.outputDirectory.empty() &&
        engine_->resultFiles.finishedFiles() < engine_->resultFiles.enabledFiles()) {
        refuse("a result file could not be written or finished in " + request_.outputDirectory);
        return ExitCode::ResultsUnfinished;
    }
    return walk.unreadableDirectories() + walk.unfinishedDirectories() > 0 ? ExitCode::WalkUnfinished
                                                                           : ExitCode::Success;
}

}  // namespace Quilna
