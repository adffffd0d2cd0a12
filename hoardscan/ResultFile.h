#pragma once
// One result file of a run. It is opened at its first flush (its name carries that flush's day
// stamp and the process id), appended to by every later flush, and holds at all times exactly
// what the completed flushes wrote: a flush that fails part-way is cut back off the file, so
// that the next flush can write its whole buffer again without doubling anything.

#include <cstdint>
#include <string>

#include "files/BasicFile.h"

namespace Quilna {

class LoggerUnit;

class ResultFile {
public:
    // The name is directory + stem + "-" + day stamp + "-" + process id + ending.
    ResultFile(LoggerUnit& logger, std::string stem, std::string ending, uint32_t processId);

    // Starts a flush: opens the file when needed (in the directory, named with the day stamp
    // when the run has not opened it yet). False after reporting CRITICAL 17 (or 33).
    bool begin(const std::string& directory, int32_t day);
    // Writes one element of the flush. False after reporting ERROR 18 with the text; the flush
    // is then undone.
    bool put(const std::string& text);
    // Completes the flush. False after reporting ERROR 18; the flush is then undone.
    bool commit();
    // Closes the file. True when it holds exactly what the completed flushes wrote.
    bool close();

    // The stem of a name not yet given (the temperature log's carries a setting).
    void setStem(std::string stem) {
        if (name_.empty()) stem_ = std::move(stem);
    }

    // Empty until the file was opened.
    const std::string& name() const { return name_; }
    const std::string& stem() const { return stem_; }
    bool isOpen() const { return file_.isOpen(); }
    // Bytes written by the completed flushes.
    int64_t committedSize() const { return committed_; }

private:
    bool reopen();
    void undo();
    // CRITICAL 17, or 33 with the reason when the platform refuses the place or the name.
    void reportUnopened(const std::string& name);

    LoggerUnit& logger_;
    std::string stem_;
    std::string ending_;
    uint32_t processId_;
    std::string name_;
    BasicFile file_;
    int64_t committed_ = 0;
    bool cutBackPending_ = false;  // a failed flush still lies beyond committed_
    std::string lastText_;
};

}  // namespace Quilna
