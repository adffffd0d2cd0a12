#include "files/FilePlain.h"

#include <cstring>

#include "files/FileOps.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

int32_t dataFileMode(uint16_t access, const std::string& name) {
    const bool reading = access & FileBase::Read;
    const bool writing = access & FileBase::Write;
    if (reading && !writing) return BasicFile::Read;
    if (reading && writing) {
        if (access & FileBase::Append) return BasicFile::ReadAppend;
        return (access & FileBase::Truncate) ? BasicFile::ReadWriteEmpty : BasicFile::ReadWrite;
    }
    if (writing) return (access & FileBase::Append) ? BasicFile::Append : BasicFile::Write;
    QUILNA_THROW(FileException, FL_ACCESS_COMB, name);
}

}  // namespace

FilePlain::~FilePlain() {
    if (closed_) return;
    try {
        close();
    } catch (...) {
        // A destructor cannot report; what close left behind stays as it is.
    }
}

void FilePlain::open(uint16_t access) {
    if (!closed_) QUILNA_THROW(FileException, FL_IS_OPEN, name_);
    const bool reading = access & Read;
    const bool writing = access & Write;
    if (reading && !writing && (access & (Truncate | Create | Append)))
        QUILNA_THROW(FileException, FL_ACCESS_COMB, name_);
    if ((access & Truncate) && (access & Append)) QUILNA_THROW(FileException, FL_ACCESS_COMB, name_);
    // Writes go to the file itself and take no lock file: nothing here rewrites a file in place.
    if (writing && (access & (Direct | NoLock)) != (Direct | NoLock))
        QUILNA_THROW(FileException, FL_ACCESS_COMB, name_);
    if (reading && !writing && !FileOps::exists(name_))
        QUILNA_THROW(FileException, FL_EXISTS_NOT, name_ + "-->File does not exist.");
    if (!data_.open(name_, dataFileMode(access, name_))) QUILNA_THROW(FileException, FL_CANNOT_OPEN, name_);
    closed_ = false;
    access_ = access;
    position_ = writing ? static_cast<uint64_t>(data_.position()) : 0;
    atEnd_ = data_.atEnd();
}

void FilePlain::close() {
    if (closed_) return;
    // A write that fails only now (a full disk) is reported.
    const bool complete = !(access_ & Write) || data_.flush();
    data_.close();
    closed_ = true;
    access_ = 0;
    position_ = 0;
    if (!complete) QUILNA_THROW(FileException, FL_CANNOT_CLOSE, name_);
}

void FilePlain::requireReading(int32_t code) const {
    if (closed_) QUILNA_THROW(FileException, FL_IS_CLOSED, name_);
    if (!(access_ & Read)) QUILNA_THROW(FileException, code, name_);
}

void FilePlain::requireWriting() const {
    if (closed_) QUILNA_THROW(FileException, FL_IS_CLOSED, name_);
    if (!(access_ & Write)) QUILNA_THROW(FileException, FL_CANNOT_WRITE, name_);
}

void FilePlain::writeFailed() const {
    QUILNA_THROW(FileException, FL_WRITE,
                 name_ + " - BFile error: " + StringUtils::intText(data_.error()) +
                     " - Access: " + StringUtils::intText(data_.mode()));
}

bool FilePlain::read(std::string& out, uint64_t count) {
    requireReading(FL_READ);
    if (!data_.read(out, count))
        QUILNA_THROW(FileException, data_.error() == BasicFile::AlreadyAtEnd ? FL_EOF : FL_READ, name_);
    position_ += out.size();
    atEnd_ = data_.atEnd();
    return out.size() == count;
}

uint64_t FilePlain::read(char* buffer, uint64_t count) {
    std::string got;
    read(got, count);
    std::memcpy(buffer, got.data(), got.size());
    return got.size();
}

std::string FilePlain::readLine() {
    requireReading(FL_CANNOT_READ);
    std::string line;
    if (!data_.readLine(line))
        QUILNA_THROW(FileException, data_.error() == BasicFile::AlreadyAtEnd ? FL_EOF : FL_READ, name_);
    position_ = static_cast<uint64_t>(data_.position());
    atEnd_ = data_.atEnd();
    return line;
}

bool FilePlain::write(const std::string& text) {
    write(text.data(), text.size());
    return true;
}

uint64_t FilePlain::write(const char* buffer, uint64_t count) {
    requireWriting();
    if (!data_.write(buffer, count)) writeFailed();
    position_ = static_cast<uint64_t>(data_.position());
    return count;
}

bool FilePlain::writeLine(const std::string& text) {
    requireWriting();
    if (!data_.writeLine(text)) writeFailed();
    position_ = static_cast<uint64_t>(data_.position());
    return true;
}

bool FilePlain::flush() {
    requireWriting();
    if (!data_.flush()) QUILNA_THROW(FileException, FL_FLUSH, name_);
    return true;
}

uint64_t FilePlain::seek(int64_t offset, int32_t origin) {
    if (closed_) QUILNA_THROW(FileException, FL_IS_CLOSED, name_);
    if (!data_.seek(offset, origin, BasicFile::BothPointers)) QUILNA_THROW(FileException, FL_POSITION, name_);
    position_ = static_cast<uint64_t>(data_.position());
    atEnd_ = data_.atEnd();
    return position_;
}

uint64_t FilePlain::position() {
    if (!closed_) position_ = static_cast<uint64_t>(data_.position());
    return position_;
}

bool FilePlain::atEnd() {
    if (!closed_) atEnd_ = data_.atEnd();
    return atEnd_;
}

}  // namespace Quilna
