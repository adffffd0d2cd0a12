// hoardscan --explain: for each path, every decision a run takes on it with the rules line that
// took it. The installation is set up as --check sets it up (nothing written), and each decision
// is asked of the code the walk asks: the listing's reader, the facts stage, the tallies' key.
#include <algorithm>
#include <cstdio>

#include "files/FileUtils.h"
#include "hoardscan/rules/AnchoredPaths.h"
#include "hoardscan/walk/DirectoryReader.h"
#include "hoardscan/app/ExitCode.h"
#include "hoardscan/app/Hoardscan.h"
#include "hoardscan/app/ScanEngine.h"
#include "platform/FileAttribute.h"
#include "platform/FileInfo.h"
#include "platform/Platform.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

std::string placeOf(const std::string& file, int32_t line) { return file + ":" + std::to_string(line); }

std::string ruleText(const FileSystemRule& rule) {
    return rule.host + ":" + rule.fileSystem + ":" + rule.path +
           (rule.include      ? " include"
            : rule.excludeAll ? " exclude_all"
                              : " exclude");
}

std::string bandText(const Temperatures& temperatures, const std::string& name) {
    const TemperatureBand* band = temperatures.bandNamed(name);
    if (!band) return name + " (no band covers its age)";
    const std::string limit = band->maxDays == -1 ? "infinity" : std::to_string(band->maxDays);
    return name + " (" + placeOf(temperatures.fileName(), band->line) + " \"" + band->name + " " + limit + "\")";
}

// The path made whole, without trailing separators but for a root.
std::string wholePath(FileSystem& files, const std::string& path) {
    std::string whole = AnchoredPaths::anchored(files, path);
    FileUtils::normaliseSeparators(files.pathSyntax(), whole);
    while (whole.size() > 1 && whole.back() == files.pathSyntax().separator) whole.pop_back();
    return whole;
}

bool startsWithPath(const PathSyntax& syntax, const std::string& path, const std::string& root) {
    if (syntax.caseInsensitive) return StringUtils::lowerCopy(path).starts_with(StringUtils::lowerCopy(root));
    return path.starts_with(root);
}

}  // namespace

int Hoardscan::explain(const std::vector<std::string>& paths) {
    std::erase_if(options_, [](const auto& option) { return option.first != "c"; });
    identity_ = ScanIdentity::ofThisComputer(system_);
    if (!findConfiguration()) {
        std::printf("FATAL: %s\nhoardscan --explain: the installation cannot be set up.\n", failure_.c_str());
        return ExitCode::SetupFailed;
    }
    startCheckLogging();
    if (!checkSetUp(false) || !collectDrives()) {
        std::printf("hoardscan --explain: the installation cannot be set up%s%s\n", failure_.empty() ? "." : ": ",
                    failure_.c_str());
        return ExitCode::SetupFailed;
    }
    chooseFileSystems();
    bool explained = true;
    for (const std::string& path : paths) explained = explainPath(wholePath(system_, path)) && explained;
    return explained ? ExitCode::Success : ExitCode::SetupFailed;
}

// The walked file system holding the path: the longest root it lies below; -1 for none.
int Hoardscan::fileSystemOf(const std::string& path) const {
    const PathSyntax& syntax = system_.pathSyntax();
    int found = -1;
    size_t longest = 0;
    for (size_t i = 0; i < fileSystemRoots_.size(); ++i) {
        std::string root = fileSystemRoots_[i];
        FileUtils::addSeparator(syntax, root);
        if ((startsWithPath(syntax, path + syntax.separator, root)) && root.size() > longest) {
            found = static_cast<int>(i);
            longest = root.size();
        }
    }
    return found;
}

bool Hoardscan::explainPath(const std::string& path) {
    std::printf("%s\n", path.c_str());
    FileInfo info;
    SystemError error;
    if (!system_.fileInfo(path, info, error) || !info.exists) {
        std::printf("  not found: it cannot be explained\n");
        return false;
    }
    const int fileSystem = fileSystemOf(path);
    if (fileSystem < 0) {
        std::printf("  file systems: below no file system a run walks\n");
        return true;
    }
    const std::string& root = fileSystemRoots_[static_cast<size_t>(fileSystem)];
    const std::string& type = fileSystemNames_[static_cast<size_t>(fileSystem)];
    std::unique_ptr<PathRules> rules = engine_->decisions.compile(type);
    std::string resolved;
    std::unique_ptr<OpenDirectory> top = system_.openDirectory(root, resolved, error);
    if (!top) {
        std::printf("  file systems: %s (%s) cannot be opened\n", root.c_str(), type.c_str());
        return false;
    }
    std::string rootText = root;
    FileUtils::addSeparator(system_.pathSyntax(), rootText);
    // Below the root the path is longer than the root with its separator.
    if (path.size() <= rootText.size()) {
        std::printf("  file systems: the root of a walked file system (%s, %s)\n", root.c_str(), type.c_str());
        return true;
    }
    if (engine_->decisions.isExcludedTree(std::string(), root, type)) {
        std::printf("  file systems: not walked: its file system %s (%s) is excluded by the file systems rules\n",
                    root.c_str(), type.c_str());
        return true;
    }
    PathRules::Probe probe;
    rules->start(probe);
    rules->feed(probe, resolved);
    // The directories on the way, as the walk enters them: an exclude_all rule ends it.
    const PathSyntax& syntax = system_.pathSyntax();
    std::string directory = resolved;
    size_t at = rootText.size();
    for (size_t end; (end = path.find(syntax.separator, at)) != std::string::npos; at = end + 1) {
        const std::string name = path.substr(at, end - at);
        rules->feed(probe, name);
        const FileSystemRule* rule = rules->firstFileSystemRule(probe);
        if (rule && rule->excludeAll) {
            std::printf("  file systems: not walked: %s%s is excluded by %s \"%s\"\n", directory.c_str(), name.c_str(),
                        placeOf(engine_->tables.fileSystemsFile, rule->line).c_str(), ruleText(*rule).c_str());
            return true;
        }
        // Every mount is walked as a drive of its own: one that fileSystemOf did not choose is not walked.
        if (system_.isMountPoint(directory + name)) {
            std::printf("  file systems: not walked: %s%s is a mount point of a file system a run does not walk\n",
                        directory.c_str(), name.c_str());
            return true;
        }
        rules->feed(probe, std::string_view(&syntax.separator, 1));
        directory.append(name).push_back(syntax.separator);
    }
    return explainEntry(*rules, root, directory, path.substr(at), probe, info);
}

// The path's own decisions, as an entry of its directory's listing (directory: the walk's text
// of it, ending in the separator; probe: its rules' state).
bool Hoardscan::explainEntry(const PathRules& rules, const std::string& root, const std::string& directory,
                             const std::string& name, const PathRules::Probe& probe, const FileInfo& info) {
    SystemError error;
    std::string resolved;
    std::unique_ptr<OpenDirectory> open = system_.openDirectory(directory, resolved, error);
    if (!open) {
        std::printf("  its directory %s cannot be opened\n", directory.c_str());
        return false;
    }
    WalkDirectory listed;
    listed.state = rules.keep(probe, nullptr);
    listed.path = directory;
    listed.pathLength = directory.size();
    WalkDirectory::File file;
    PathRules::Probe work;
    DirectoryReader(system_, system_.pathSyntax(), rules, 1).readFile(listed, *open, name, work, file);
    const bool isDirectory = (info.attributes & FileAttribute::Directory) != 0;
    if (isDirectory) explainDirectoryWalk(rules, probe, name);
    if (file.rule)
        std::printf("  file systems: %s by %s \"%s\"\n", file.rule->include ? "included" : "excluded",
                    placeOf(engine_->tables.fileSystemsFile, file.rule->line).c_str(), ruleText(*file.rule).c_str());
    else std::printf("  file systems: included: no rule of %s matches it\n", engine_->tables.fileSystemsFile.c_str());
    if (file.rule && !file.rule->include) return true;
    engine_->facts.beginWalk(root, rules);
    engine_->facts.enterDirectory(listed);
    FileFacts* facts = engine_->facts.explainFile(listed, directory, file);
    explainAccount(file.account, facts);
    if (facts) explainFacts(*facts, isDirectory);
    return true;
}

// A directory is not counted itself: the walk enters it, or not, and lists it when the accounts
// file has an interest in it.
void Hoardscan::explainDirectoryWalk(const PathRules& rules, const PathRules::Probe& parent, const std::string& name) {
    PathRules::Probe probe = parent;
    rules.feed(probe, name);
    const FileSystemRule* rule = rules.firstFileSystemRule(probe);
    if (rule && rule->excludeAll) {
        std::printf("  walk: not entered: excluded with all below it by %s \"%s\"\n",
                    placeOf(engine_->tables.fileSystemsFile, rule->line).c_str(), ruleText(*rule).c_str());
        return;
    }
    rules.feed(probe, std::string_view(&system_.pathSyntax().separator, 1));
    std::printf("  walk: entered; %s\n", rules.isAccountedDirectory(probe)
                                             ? "its files are listed"
                                             : "not listed: no accounts entry lies in it or on the way to one");
}

void Hoardscan::explainAccount(const AccountEntry* entry, const FileFacts* facts) {
    const std::string& accounts = engine_->tables.accountsFile;
    if (!facts) {
        if (entry)
            std::printf("  account: %s \"%s -> %s\" gives no account: not counted\n",
                        placeOf(accounts, entry->line).c_str(), entry->dir.c_str(), entry->account.c_str());
        else std::printf("  account: no entry of %s charges it: not counted\n", accounts.c_str());
        return;
    }
    if (entry)
        std::printf("  account: %s \"%s -> %s\" -> %s (site %s)\n", placeOf(accounts, entry->line).c_str(),
                    entry->dir.c_str(), entry->account.c_str(), facts->account.c_str(), facts->site.c_str());
    else
        std::printf("  account: %s (site %s): the accounts file has no sites\n", facts->account.c_str(),
                    facts->site.c_str());
}

void Hoardscan::explainFacts(FileFacts& facts, bool isDirectory) {
    std::printf("  owner: %s; groups: %s\n", facts.user.c_str(), facts.group.c_str());
    const FileTypes::TypeOrigin origin = engine_->fileTypes.lastTypeOrigin();
    if (origin.line > 0)
        std::printf("  type: %s (%s \"%s\")\n", facts.fileType.c_str(),
                    placeOf(engine_->fileTypes.mappingFile(), origin.line).c_str(), origin.item.c_str());
    else std::printf("  type: %s (no line of a file type mapping)\n", facts.fileType.c_str());
    std::printf("  status: %s\n", facts.statusWord->c_str());
    std::printf("  access: %s; modify: %s\n", bandText(engine_->temperatures, facts.accessTemperature).c_str(),
                bandText(engine_->temperatures, facts.modifyTemperature).c_str());
    if (isDirectory) {
        std::printf("  record: none: a directory is not counted itself, its files are\n");
        return;
    }
    std::string key;
    engine_->tallying.recordKey(facts, key);
    std::printf("  record: %s\n", key.c_str());
}

}  // namespace Quilna
