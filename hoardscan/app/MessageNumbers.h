#pragma once
// Numbers of the program's catalogue messages (texts live in the message catalogue).

#include <cstdint>

namespace Quilna::Message {

constexpr int32_t NoCatalogueDirectory = 1;  // key
constexpr int32_t SettingMissing = 2;        // key
constexpr int32_t SettingUnusable = 3;       // key, value
constexpr int32_t NoDriveList = 4;           // system error code
constexpr int32_t ScanStarting = 7;          // none
constexpr int32_t CannotOpenFile = 8;        // path
constexpr int32_t BadRuleKeyword = 9;        // line number, file
constexpr int32_t EndInsideBlock = 10;       // line number, file
constexpr int32_t UnexpectedLine = 11;       // line, line number, file
constexpr int32_t NoMemoryForDrives = 12;    // none
constexpr int32_t CannotRename = 13;         // old name, new name
constexpr int32_t UnknownScheme = 14;        // scheme number
constexpr int32_t NoFileInformation = 15;    // file name
constexpr int32_t SizeUnavailable = 16;      // path or root, system error code
constexpr int32_t CannotOpenResult = 17;     // file name
constexpr int32_t CannotWriteResult = 18;    // text not written
constexpr int32_t PlaceholderTooDeep = 19;   // placeholder number, path, components
constexpr int32_t DriveTypeUnknown = 20;     // root
constexpr int32_t NoRootDirectory = 21;      // root
constexpr int32_t UnexpectedDriveType = 22;  // drive type number, root
constexpr int32_t EmptyRulesFile = 24;       // file
constexpr int32_t ExpectedLine = 25;         // expected text, line, line number, file
constexpr int32_t SchemeRefused = 26;        // scheme number, key
constexpr int32_t CatalogueNotLoaded = 30;   // why loading stopped
constexpr int32_t ResultIncomplete = 31;     // file name
constexpr int32_t WalkLostItsWay = 32;       // directory
constexpr int32_t RunFinished = 33;          // exit code, seconds, files, bytes, bytes on disk, unreadable
                                             // directories, directories not walked to their end,
                                             // result files finished, enabled, outcome
constexpr int32_t SettingInvalid = 34;       // key, value, what was expected
constexpr int32_t StaleResultRemoved = 35;   // file name, process id
constexpr int32_t StoppedBySignal = 36;      // signal name
constexpr int32_t ResultRefused = 37;        // file name, reason
constexpr int32_t RepeatsLeftOut = 40;       // message number, times left out, times logged
constexpr int32_t RulesLineTaken = 41;       // line number, file, line, how it was taken
constexpr int32_t TypeBlockUnclosed = 42;    // file, type name, the type name's line number
constexpr int32_t InactiveOverLimit = 43;    // file, limit in MiB, rows written, rows not written
constexpr int32_t InactiveRowsCut = 44;      // rows, file, longest path in bytes
constexpr int32_t ResultExpired = 45;        // file name, days kept
constexpr int32_t UnknownSetting = 46;       // file, line number, key, "; did you mean NAME?" or nothing
constexpr int32_t RootMissing = 47;          // directory, file systems file
constexpr int32_t ReadFromTable = 48;        // file system, records
constexpr int32_t WalkedInstead = 49;        // file system, why it was not read from its table

}  // namespace Quilna::Message
