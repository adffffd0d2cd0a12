#pragma once
// The program's exit codes: what a scheduler learns of a run.

namespace Quilna::ExitCode {

constexpr int Success = 0;            // every enabled result file was finished
constexpr int SetupFailed = 1;        // command line, configuration, logging, a setting or a rules file
constexpr int ScanNotStarted = 2;     // no drive list, or no "hoardscan.filesystems-in-parallel"
constexpr int ResultsUnfinished = 3;  // the scan ran, but a result file could not be written or finished
constexpr int WalkUnfinished = 4;     // every result file finished, but a part of a file system was not walked
constexpr int Interrupted = 130;      // stopped by SIGINT (128 + its number, as shells report it)
constexpr int Terminated = 143;       // stopped by SIGTERM

}  // namespace Quilna::ExitCode
