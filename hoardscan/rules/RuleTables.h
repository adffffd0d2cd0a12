#pragma once
// The rules loaded from the file systems file and the accounts file, in file order.

#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

struct FileSystemRule {
    std::string host;        // pattern, upper case
    std::string fileSystem;  // pattern, lower case
    std::string path;        // pattern, lower case
    bool include = false;
    bool excludeAll = false;
    int32_t line = 0;  // in the file systems file, for --explain
};

struct AccountEntry {
    std::string dir;      // pattern, lower case
    std::string account;  // as written; may hold placeholders "%N%"
    int32_t line = 0;     // of its dir line in the accounts file, for --explain
};

struct HostRule {
    std::string name;  // pattern, upper case
    std::vector<AccountEntry> entries;
};

struct SiteRule {
    std::string name;                   // pattern, as written
    std::vector<std::string> excludes;  // file name patterns, as written
    std::vector<HostRule> hosts;
};

struct RuleTables {
    // Directories to investigate: the file systems file's part 1 paths for this computer,
    // then the logical drives added by the run.
    std::vector<std::string> drives;
    std::vector<FileSystemRule> fileSystems;
    std::vector<SiteRule> sites;
    // The files the rules came from, for --explain.
    std::string fileSystemsFile, accountsFile;
};

}  // namespace Quilna
