#include "collector/CollectorOutput.h"

#include <iostream>

#include "files/BasicFile.h"
#include "files/FileOps.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

// The system's own line end, as the other log files of the system have it.
#ifdef _WIN32
constexpr const char* kLineEnd = "\r\n";
#else
constexpr const char* kLineEnd = "\n";
#endif

std::string linesText(uint64_t count) { return std::to_string(count) + (count == 1 ? " line was" : " lines were"); }

}  // namespace

CollectorOutput::CollectorOutput(FileSystem& files, SystemServices& services, std::string path)
    : files_(files), services_(services), path_(std::move(path)) {}

CollectorOutput::~CollectorOutput() {
    if (lost_ > 0)
        std::cerr << "hoardscan-collector: " << linesText(lost_) << " lost; " << name()
                  << " could not be written again before the end" << std::endl;
}

bool CollectorOutput::canOpen(std::string& why) const {
    if (path_.empty()) return true;
    BasicFile file(files_);
    if (file.open(path_, BasicFile::Append)) return true;
    why = files_.writeRefusal(path_);
    if (why.empty()) why = services_.errorText(file.systemError().code);
    return false;
}

// Every line opens the file anew, so a line after a rotation already lands in the new file; the
// file is made at once all the same, so that it is there, with our owner and mode, before the
// next record comes.
void CollectorOutput::reopen() {
    if (path_.empty()) return;
    std::string why;
    if (canOpen(why)) {
        std::cerr << "hoardscan-collector: reopened " << path_ << std::endl;
        return;
    }
    std::cerr << "hoardscan-collector: cannot reopen " << path_ << ": " << why << std::endl;
}

void CollectorOutput::writeLine(const std::string& record) {
    // A record is one line, whatever its sender put in it: no record can end its line early and
    // forge another.
    const std::string line = StringUtils::escapeControls(record);
    const bool written = path_.empty() ? writeToStandardOutput(line + "\n") : appendToFile(line + kLineEnd);
    if (written) {
        if (lost_ > 0) reportRecovery();
        lost_ = 0;
        return;
    }
    if (lost_++ == 0) reportFailure();
}

// Each line is appended on its own and the file closed again, so that no buffer holding part
// of a failed line is carried over to the next attempt.
bool CollectorOutput::appendToFile(const std::string& text) {
    if (cutPending_ && !cutBack()) return false;
    BasicFile file(files_);
    if (!file.open(path_, BasicFile::Append)) {
        error_ = file.systemError();
        return false;
    }
    const uint64_t before = static_cast<uint64_t>(file.size());
    bool written = file.write(text) && file.flush();
    file.close();
    written = written && file.error() == BasicFile::None;
    error_ = written ? SystemError{} : file.systemError();
    if (written) return true;
    // A full disk may have taken the start of the line.
    cutPending_ = true;
    cutTo_ = before;
    cutBack();
    return false;
}

// Only cuts what grew beyond the last whole line: a file removed or emptied meanwhile is left
// as it is.
bool CollectorOutput::cutBack() {
    FileStatus status;
    if (FileOps::fileStatus(files_, path_, status) && status.size > cutTo_ &&
        !files_.truncateFile(path_, cutTo_, error_))
        return false;
    cutPending_ = false;
    return true;
}

// A pipe or terminal cannot be cut back: what the system took of a failed line stays there.
bool CollectorOutput::writeToStandardOutput(const std::string& text) {
    return services_.writeStandardOutput(text, error_);
}

void CollectorOutput::reportFailure() const {
    std::cerr << "hoardscan-collector: cannot write to " << name();
    if (error_.failed()) std::cerr << ": " << services_.errorText(error_.code);
    std::cerr << "; lines are lost until it can be written again" << std::endl;
}

void CollectorOutput::reportRecovery() const {
    std::cerr << "hoardscan-collector: writing to " << name() << " again; " << linesText(lost_) << " lost" << std::endl;
}

std::string CollectorOutput::name() const { return path_.empty() ? "standard output" : path_; }

}  // namespace Quilna
