#include "hoardscan/tallies/ResultFile.h"

#include "files/FileOps.h"
#include "hoardscan/app/MessageNumbers.h"
#include "logger/LoggerUnit.h"
#include "text/StringUtils.h"

namespace Quilna {

ResultFile::ResultFile(FileSystem& files, LoggerUnit& logger, ResultFileKind kind, uint32_t processId)
    : files_(files), logger_(logger), file_(files) {
    fileName_.kind = kind;
    fileName_.processId = processId;
    fileName_.unfinished = ResultFileName::hasUnfinishedName(kind);
}

bool ResultFile::begin(const std::string& directory, int32_t day) {
    if (file_.isOpen()) return true;
    if (!name_.empty()) return reopen();
    fileName_.day = day;
    const std::string name = directory + fileName_.text();
    // A file of that name is a leftover of a killed run with the same process id, emptied here;
    // a link or another user's file is refused, as is a directory another user controls.
    if (!file_.open(name, BasicFile::Write)) {
        // The next flush tries again, with its own day stamp in the name.
        reportUnopened(name);
        return false;
    }
    name_ = name;
    directory_ = directory;
    committed_ = 0;
    return true;
}

std::string ResultFile::finishedName() const {
    ResultFileName finished = fileName_;
    finished.unfinished = false;
    return directory_ + finished.text();
}

// After a failed flush the file was closed; it is cut back to what the completed flushes
// wrote and opened for appending.
bool ResultFile::reopen() {
    if (cutBackPending_) {
        if (!FileOps::truncateFile(files_, name_, static_cast<uint64_t>(committed_))) {
            logger_.critical(Message::CannotOpenResult, ParamStream() << name_);
            return false;
        }
        cutBackPending_ = false;
    }
    if (!file_.open(name_, BasicFile::Append)) {
        reportUnopened(name_);
        return false;
    }
    return true;
}

void ResultFile::reportUnopened(const std::string& name) {
    const std::string refusal = files_.writeRefusal(name);
    if (refusal.empty()) logger_.critical(Message::CannotOpenResult, ParamStream() << name);
    else logger_.critical(Message::ResultRefused, ParamStream() << name << refusal);
}

namespace {

// The text of a record as one log line: its line feeds become blanks.
std::string oneLine(const std::string& text) {
    std::string line = text;
    StringUtils::replaceChar(line, '\n', ' ');
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

}  // namespace

bool ResultFile::put(const std::string& text) {
    lastText_ = text;
    return file_.write(text) || failedAt(text);
}

bool ResultFile::putLine(const std::string& text) {
    lastText_ = text;
    return (file_.write(text) && file_.write("\n", 1)) || failedAt(text);
}

bool ResultFile::failedAt(const std::string& text) {
    logger_.error(Message::CannotWriteResult, ParamStream() << oneLine(text));
    undo();
    return false;
}

bool ResultFile::commit() {
    if (!file_.isOpen()) return false;
    if (file_.flush()) {
        committed_ = file_.size();
        lastText_.clear();
        return true;
    }
    // Buffered elements reach the system only now: the last one is among those lost.
    logger_.error(Message::CannotWriteResult, ParamStream() << oneLine(lastText_));
    undo();
    return false;
}

// The file is closed, and cut back to what the completed flushes wrote.
void ResultFile::undo() {
    file_.close();
    cutBackPending_ = !FileOps::truncateFile(files_, name_, static_cast<uint64_t>(committed_));
}

bool ResultFile::close() {
    if (file_.isOpen()) {
        file_.close();
        if (file_.error() != BasicFile::None)
            cutBackPending_ = !FileOps::truncateFile(files_, name_, static_cast<uint64_t>(committed_));
    } else if (cutBackPending_ && !name_.empty()) {
        cutBackPending_ = !FileOps::truncateFile(files_, name_, static_cast<uint64_t>(committed_));
    }
    return !name_.empty() && !cutBackPending_;
}

}  // namespace Quilna
