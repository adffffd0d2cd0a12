// The program's settings, read from the configuration file into one value. A required setting
// that cannot be used ends the reading with a FATAL record naming its key (and its value).
#include <algorithm>
#include <thread>

#include "config/ConfReader.h"
#include "files/FileOps.h"
#include "files/FileUtils.h"
#include "hoardscan/rules/AnchoredPaths.h"
#include "hoardscan/facts/FileTypes.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/app/ScanSettings.h"
#include "hoardscan/app/SettingFailure.h"
#include "logger/LoggerUnit.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

constexpr int64_t bytesPerMebibyte = 1048576;

// An existing directory (a file of that name will not hold result files).
bool isDirectory(FileSystem& files, Drives& drives, const std::string& path) {
    std::string bare = path;
    FileUtils::stripSeparators(files.pathSyntax(), bare);
    // A root ("/", "C:") has no status of its own to ask for.
    if (bare.size() <= 1 || bare.back() == ':') return FileOps::exists(files, drives, path);
    FileStatus status;
    return FileOps::fileStatus(files, bare, status) && status.isDirectory();
}

// Why no result directory may be made or used at the path: a place another user controls, one
// this user cannot enter, or one below a mount point that is not mounted (it would fill the file
// system below); empty when none.
std::string placeRefusal(FileSystem& files, Drives& drives, const std::string& directory) {
    if (std::string refusal = files.writeRefusal(directory); !refusal.empty()) return refusal;
    if (std::string refusal = files.directoryAccessRefusal(directory); !refusal.empty()) return refusal;
    const std::string mountPoint = drives.unmountedMountPointAbove(directory);
    if (mountPoint.empty()) return std::string();
    return "its place belongs to the mount point " + mountPoint +
           " of the system's configuration, but nothing is mounted there now: the directory would be written on "
           "the file system below";
}

class SettingsReader {
public:
    SettingsReader(FileSystem& files, Drives& drives, const ConfReader& configuration, LoggerUnit& log, bool checking)
        : files_(files), drives_(drives), configuration_(configuration), log_(log), checking_(checking) {}

    std::optional<ScanSettings> read() {
        // A run stops at the first setting it cannot use; a check goes on, to report them all.
        bool usable = true;
        const auto goOn = [&](bool fine) {
            usable = usable && fine;
            return usable || checking_;
        };
        if (!goOn(readSwitches()) || !goOn(readInactiveLogLimit()) || !goOn(readTemperatureMonitor()) ||
            !goOn(readDirectoryTotals()))
            return std::nullopt;
        if (!goOn(readDirectory("hoardscan.working-dir", "No log directory configured.",
                                "Log directory \"%s\" does not exist.", settings_.workingDirectory)) ||
            !goOn(readDirectory("hoardscan.temp-dir", "No temp directory configured.",
                                "Temp directory \"%s\" does not exist.", settings_.tempDirectory)))
            return std::nullopt;
        if (!goOn(readFile("hoardscan.filesystems", "No file systems file configured.",
                           "File systems file \"%s\" does not exist.", settings_.fileSystemsFile)) ||
            !goOn(readFile("hoardscan.hoardscan", "No accounts/hoardscan file configured.",
                           "Account/hoardscan file \"%s\" does not exist.", settings_.accountsFile)))
            return std::nullopt;
        readUserDirectories();
        if (!goOn(readFileTypeScheme())) return std::nullopt;
        if (settings_.fileTypeScheme == FileTypes::Mapping &&
            !goOn(readFile("hoardscan.filename", "No filename extension mapping file configured.",
                           "Filename extension mapping file \"%s\" does not exist.", settings_.fileTypeMappingFile)))
            return std::nullopt;
        if (!goOn(readFile("hoardscan.temperatures", "No temperatures file configured.",
                           "Temperaturs file \"%s\" does not exist.", settings_.temperaturesFile)))
            return std::nullopt;
        readBufferSize();
        if (!goOn(readReadAhead()) || !goOn(readKeepResults()) || !goOn(readMasterFileTable()) || !usable)
            return std::nullopt;
        readParallelism();
        return std::move(settings_);
    }

private:
    // A required setting that cannot be read: reported as missing or invalid, with its debug line.
    bool unusable(const char* key, const char* type, int result, const char* debugLine) {
        SettingFailure::report(log_, configuration_, key, type, result);
        log_.debug(1, debugLine);
        return false;
    }

    bool readSwitches() {
        if (int result = configuration_.getBool("hoardscan.extension", settings_.extensionLog);
            result != ConfResult::Found)
            return unusable("hoardscan.extension", "Bool", result, "No extension configured.");
        if (int result = configuration_.getBool("hoardscan.inactive-log", settings_.inactiveLog);
            result != ConfResult::Found)
            return unusable("hoardscan.inactive-log", "Bool", result, "No inactive log configured.");
        if (int result = configuration_.getBool("hoardscan.temperature-log", settings_.temperatureLog);
            result != ConfResult::Found)
            return unusable("hoardscan.temperature-log", "Bool", result, "No temperature log configured.");
        return true;
    }

    // In MiB; a nightly table of cold files must not fill the disk whatever the tree.
    bool readInactiveLogLimit() {
        return !settings_.inactiveLog || readMebibytes("hoardscan.inactive-log-limit", settings_.inactiveLogLimit, 1,
                                                       "No inactive log limit configured.");
    }

    // An optional size in MiB: kept as it is when absent, refused below the least it may be.
    bool readMebibytes(const char* key, int64_t& bytes, int32_t least, const char* missing) {
        int32_t mebibytes = static_cast<int32_t>(bytes / bytesPerMebibyte);
        const int result = configuration_.getInteger(key, mebibytes);
        if (result != ConfResult::Found && result != ConfResult::NotFound)
            return unusable(key, "Integer", result, missing);
        if (mebibytes < least) {
            log_.fatal(Message::SettingInvalid, ParamStream()
                                                    << key << std::to_string(mebibytes)
                                                    << "a size of at least " + std::to_string(least) + " MiB expected");
            return false;
        }
        bytes = static_cast<int64_t>(mebibytes) * bytesPerMebibyte;
        return true;
    }

    bool readTemperatureMonitor() {
        if (!settings_.temperatureLog) return true;
        if (int result = configuration_.getString("hoardscan.temperature-monitor", settings_.temperatureMonitor, true);
            result != ConfResult::Found)
            return unusable("hoardscan.temperature-monitor", "String", result, "No temperature to monitor.");
        int32_t mebibytes = 0;
        if (int result = configuration_.getInteger("hoardscan.temperature-monitor-size", mebibytes);
            result != ConfResult::Found) {
            SettingFailure::report(log_, configuration_, "hoardscan.temperature-monitor-size", "Integer", result);
            if (LoggerUnit::isDebugOn(1))
                log_.debug(1, "No %s monitor size configured.", ParamStream() << settings_.temperatureMonitor);
            return false;
        }
        settings_.temperatureMonitorSize = static_cast<int64_t>(mebibytes) * bytesPerMebibyte;
        if (LoggerUnit::isDebugOn(2))
            log_.debug(2, "Limits of %s directory size: %i",
                       ParamStream() << settings_.temperatureMonitor
                                     << static_cast<long long>(settings_.temperatureMonitorSize));
        return true;
    }

    // Off unless asked for; the size in MiB, 0 for every directory with a counted file below it.
    bool readDirectoryTotals() {
        int result = configuration_.getBool("hoardscan.directory-totals", settings_.directoryTotals);
        if (result != ConfResult::Found && result != ConfResult::NotFound)
            return unusable("hoardscan.directory-totals", "Bool", result, "No directory totals configured.");
        return !settings_.directoryTotals ||
               readMebibytes("hoardscan.directory-totals-size", settings_.directoryTotalsSize, 0,
                             "No directory totals size configured.");
    }

    // A result directory, created with its missing parents and pinned to an absolute path.
    bool readDirectory(const char* key, const char* missingLine, const char* absentLine, std::string& directory) {
        std::string value;
        const int result = configuration_.getDirName(key, value);
        if (result != ConfResult::Found || value.empty())
            return unusable(key, "DirName", result == ConfResult::Found ? ConfResult::NotFound : result, missingLine);
        FileUtils::normaliseSeparators(files_.pathSyntax(), value);
        FileUtils::addSeparator(files_.pathSyntax(), value);
        value = AnchoredPaths::anchored(files_, value);
        // Nothing is made in, or written to, a place that another user controls.
        if (const std::string refusal = placeRefusal(files_, drives_, value); !refusal.empty()) {
            log_.fatal(Message::SettingInvalid, ParamStream() << key << value << refusal);
            return false;
        }
        if (checking_ && !FileOps::exists(files_, drives_, value)) {
            directory = value;
            return true;
        }
        if (!FileUtils::makeDirectories(files_, drives_, value) || !isDirectory(files_, drives_, value)) {
            log_.fatal(Message::SettingUnusable, ParamStream() << key << value);
            if (LoggerUnit::isDebugOn(1)) log_.debug(1, absentLine, ParamStream() << value);
            return false;
        }
        directory = value;
        return true;
    }

    // A rules file that is there.
    bool readFile(const char* key, const char* missingLine, const char* absentLine, std::string& path) {
        if (int result = configuration_.getFileName(key, path); result != ConfResult::Found)
            return unusable(key, "FileName", result, missingLine);
        if (!FileOps::exists(files_, drives_, path)) {
            log_.fatal(Message::SettingUnusable, ParamStream() << key << path);
            if (LoggerUnit::isDebugOn(1)) log_.debug(1, absentLine, ParamStream() << path);
            return false;
        }
        return true;
    }

    void readUserDirectories() {
        std::string value;
        if (configuration_.getString("hoardscan.user-dirs", value, true) != ConfResult::Found) {
            settings_.userDirectories.push_back("documents and settings");
            return;
        }
        for (std::string piece : StringUtils::split(value, ','))
            settings_.userDirectories.push_back(StringUtils::toLower(StringUtils::trim(piece)));
    }

    bool readFileTypeScheme() {
        int32_t scheme = 0;
        if (int result = configuration_.getInteger("hoardscan.filetype", scheme); result != ConfResult::Found)
            return unusable("hoardscan.filetype", "Integer", result, "No filetype scheme configured.");
        settings_.fileTypeScheme = scheme;
        switch (scheme) {
            case FileTypes::Extension: log_.debug(1, "Will be using the extension file type scheme."); return true;
            case FileTypes::Mapping: log_.debug(1, "Will be using the file type mapping scheme."); return true;
            case FileTypes::FileName: log_.debug(1, "Will be using the file name file type scheme."); return true;
            case 2: log_.fatal(Message::SchemeRefused, ParamStream() << scheme << "hoardscan.filetype"); return false;
            default:
                log_.error(Message::UnknownScheme, ParamStream() << scheme);
                log_.fatal(Message::SettingMissing, ParamStream() << "hoardscan.filetype");
                return false;
        }
    }

    void readBufferSize() {
        if (configuration_.getInteger("hoardscan.buffer", settings_.bufferSize) != ConfResult::Found)
            settings_.bufferSize = 1000;
    }

    // Helper threads of the walk: by default one per processor besides the walk's own, at most four
    // (the kernel's side of a scan gains little from more; a helper more than the processors
    // only takes turns with the walk); 0 turns the read-ahead off.
    bool readReadAhead() {
        constexpr int32_t most = 16;
        const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
        int32_t helpers = static_cast<int32_t>(std::min(4u, processors - 1));
        const int result = configuration_.getInteger("hoardscan.read-ahead", helpers);
        if (result != ConfResult::Found && result != ConfResult::NotFound)
            return unusable("hoardscan.read-ahead", "Integer", result, "No read-ahead configured.");
        if (helpers < 0 || helpers > most) {
            log_.fatal(Message::SettingInvalid, ParamStream()
                                                    << "hoardscan.read-ahead" << std::to_string(helpers)
                                                    << "a number of helper threads from 0 (none) to 16 expected");
            return false;
        }
        settings_.readAhead = static_cast<unsigned>(helpers);
        return true;
    }

    // Days that finished result files are kept; absent, they are never removed. Only a whole
    // number as written: files are removed by it, and a slip ("3O", "thirty") must not read as
    // a smaller number.
    bool readKeepResults() {
        const char* key = "hoardscan.keep-results";
        std::string text;
        int32_t days = 0;
        int result = configuration_.get(key, "Integer", text);
        if (result == ConfResult::NotFound) return true;
        if (result == ConfResult::Found) result = configuration_.getInteger(key, days);
        if (result != ConfResult::Found) return unusable(key, "Integer", result, "No result retention configured.");
        StringUtils::trim(text);
        const bool digits = !text.empty() &&
                            std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
        if (!digits || days < 1) {
            log_.fatal(Message::SettingInvalid, ParamStream()
                                                    << key << text << "a whole number of days of at least 1 expected");
            return false;
        }
        settings_.keepResultsDays = days;
        return true;
    }

    // NTFS volumes read from their table where they can be ("auto"), or always walked ("off").
    bool readMasterFileTable() {
        const char* key = "hoardscan.mft";
        std::string value;
        const int result = configuration_.getString(key, value, true);
        if (result == ConfResult::NotFound) return true;
        if (result != ConfResult::Found) return unusable(key, "String", result, "No master file table use configured.");
        std::string word = value;
        StringUtils::toLower(StringUtils::trim(word));
        if (word != "auto" && word != "off") {
            log_.fatal(Message::SettingInvalid, ParamStream() << key << value << "auto or off expected");
            return false;
        }
        settings_.masterFileTable = word == "auto";
        return true;
    }

    void readParallelism() {
        int32_t wanted = 0;
        if (int result = configuration_.getInteger("hoardscan.filesystems-in-parallel", wanted);
            result != ConfResult::Found)
            unusable("hoardscan.filesystems-in-parallel", "Integer", result, "No specified file system in parallel.");
        else settings_.filesystemsInParallel = wanted;
    }

    FileSystem& files_;
    Drives& drives_;
    const ConfReader& configuration_;
    LoggerUnit& log_;
    bool checking_;  // nothing created, every unusable setting reported
    ScanSettings settings_;
};

}  // namespace

std::optional<ScanSettings> readSettings(FileSystem& files, Drives& drives, const ConfReader& configuration,
                                         LoggerUnit& log, bool checking) {
    return SettingsReader(files, drives, configuration, log, checking).read();
}

}  // namespace Quilna
