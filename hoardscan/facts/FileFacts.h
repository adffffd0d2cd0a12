#pragma once
// What the scan learns of one counted file: the facts stage (FactFinder) fills it, the tallies
// stage (Tallying) folds it in. One value serves file after file, its texts reused, so that a
// file costs no allocation once the walk is warm.

#include <cstdint>
#include <string>

#include "files/FileStatus.h"

namespace Quilna {

struct FileFacts {
    // The walk's own texts, valid while the file is handed on.
    const std::string* directory = nullptr;  // ends in a separator
    const std::string* name = nullptr;
    // The directories entered so far in the run: the files of one come one after the other, so
    // this tells them apart without comparing paths.
    uint64_t directoryVisit = 0;
    FileStatus status;  // the file's one status, read with its directory
    std::string account;
    std::string site;
    std::string fileSystem;
    std::string fileType;
    std::string user;   // "UNDEF" when the owner cannot be found
    std::string group;  // the owner's local groups joined by ",", else "UNDEF"
    std::string accessTemperature;
    std::string modifyTemperature;
    const std::string* statusWord = nullptr;
    int64_t logicalSize = 0;
    int64_t physicalSize = 0;
};

}  // namespace Quilna
