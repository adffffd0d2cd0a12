#pragma once
// Where the collector writes its lines: a file it appends to (never through a link, nor in a
// place another user controls), or standard output. A line that
// cannot be written is counted as lost, and the next one is tried again, so that the output
// resumes by itself once there is room; standard error tells when lines start to be lost and
// how many were lost once writing works again.

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"
#include "platform/SystemError.h"
#include "platform/SystemServices.h"

namespace Quilna {

class CollectorOutput {
public:
    // An empty path is standard output.
    CollectorOutput(FileSystem& files, SystemServices& services, std::string path);
    ~CollectorOutput();
    CollectorOutput(const CollectorOutput&) = delete;
    CollectorOutput& operator=(const CollectorOutput&) = delete;

    // Whether the file can be opened for appending (standard output always can); else why not.
    bool canOpen(std::string& why) const;
    // Opens the file again (as asked after a rotation), saying so on standard error.
    void reopen();
    // Writes the record as one line (control bytes escaped as \xNN) with the system's line end
    // (LF, CR LF on Windows), or counts it as lost.
    void writeLine(const std::string& record);

private:
    bool appendToFile(const std::string& text);
    bool cutBack();
    bool writeToStandardOutput(const std::string& text);
    void reportFailure() const;
    void reportRecovery() const;
    std::string name() const;

    FileSystem& files_;
    SystemServices& services_;
    std::string path_;
    uint64_t lost_ = 0;  // lines lost since the last one written
    SystemError error_;  // of the last failed attempt
    // After a write that failed part-way the file is cut back to its last whole line before
    // anything else is written to it; while that fails, cutTo_ stays set.
    bool cutPending_ = false;
    uint64_t cutTo_ = 0;
};

}  // namespace Quilna
