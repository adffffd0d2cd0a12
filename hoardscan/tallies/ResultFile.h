#pragma once
// One result file of a run. It is opened at its first flush (its name carries that flush's day
// stamp and the process id), appended to by every later flush, and holds at all times exactly
// what the completed flushes wrote: a flush that fails part-way is cut back off the file, so
// that the next flush can write its whole buffer again without doubling anything.

#include <cstdint>
#include <string>

#include "files/BasicFile.h"
#include "platform/FileSystem.h"
#include "results/ResultFileName.h"

namespace Quilna {

class LoggerUnit;

class ResultFile {
public:
    // The name is the directory and the kind's name for the day stamp and the process id,
    // its unfinished one when the kind has one.
    ResultFile(FileSystem& files, LoggerUnit& logger, ResultFileKind kind, uint32_t processId);

    // Starts a flush: opens the file when needed (in the directory, named with the day stamp
    // when the run has not opened it yet). False after reporting CRITICAL 17 (or 33).
    bool begin(const std::string& directory, int32_t day);
    // Writes one element of the flush. False after reporting ERROR 18 with the text; the flush
    // is then undone.
    bool put(const std::string& text);
    // The text and a line end, as put would write them joined.
    bool putLine(const std::string& text);
    // Completes the flush. False after reporting ERROR 18; the flush is then undone.
    bool commit();
    // Closes the file. True when it holds exactly what the completed flushes wrote.
    bool close();

    // The monitor of a temperature log's name not yet given (init reads it).
    void setMonitor(std::string monitor) {
        if (name_.empty()) fileName_.monitor = std::move(monitor);
    }

    // Empty until the file was opened.
    const std::string& name() const { return name_; }
    // The name it gets when finished: the same as name() for a kind without an unfinished one.
    std::string finishedName() const;
    std::string stem() const { return fileName_.stem(); }
    bool isOpen() const { return file_.isOpen(); }

private:
    // A failed write: logged with the text, and the file taken back to its last commit.
    bool failedAt(const std::string& text);
    bool reopen();
    void undo();
    // CRITICAL 17, or 33 with the reason when the platform refuses the place or the name.
    void reportUnopened(const std::string& name);

    FileSystem& files_;
    LoggerUnit& logger_;
    ResultFileName fileName_;
    std::string directory_;
    std::string name_;
    BasicFile file_;
    int64_t committed_ = 0;
    bool cutBackPending_ = false;  // a failed flush still lies beyond committed_
    std::string lastText_;
};

}  // namespace Quilna
