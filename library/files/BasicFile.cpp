#include "files/BasicFile.h"

#include <algorithm>

namespace Quilna {

namespace {

// Writes are gathered and reads fetched in pieces of this size; larger writes go straight through.
constexpr size_t bufferSize = 1 << 16;
// A large read is fetched in steps, so that a huge count does not reserve memory the file cannot fill.
constexpr size_t readStep = 1 << 20;

FileOpening openingOf(int32_t mode) {
    FileOpening opening;
    opening.read = mode == BasicFile::Read || mode == BasicFile::ReadWrite || mode == BasicFile::ReadWriteEmpty ||
                   mode == BasicFile::ReadAppend;
    opening.write = mode != BasicFile::Read;
    opening.truncate = mode == BasicFile::Write || mode == BasicFile::WriteNew || mode == BasicFile::ReadWriteEmpty;
    opening.append = mode == BasicFile::Append || mode == BasicFile::ReadAppend;
    opening.mustBeNew = mode == BasicFile::WriteNew;
    return opening;
}

bool isAppendMode(int32_t mode) { return mode == BasicFile::Append || mode == BasicFile::ReadAppend; }

}  // namespace

BasicFile::~BasicFile() { close(); }

bool BasicFile::fail(int32_t code) {
    error_ = code;
    return false;
}

bool BasicFile::canRead() const {
    return mode_ == Read || mode_ == ReadWrite || mode_ == ReadWriteEmpty || mode_ == ReadAppend;
}

bool BasicFile::canWrite() const { return mode_ >= Write && mode_ <= WriteNew; }

// The size and the position from the system. Appends go to the end, so that is where the
// position is.
void BasicFile::measure() {
    int64_t here = 0;
    file_->seek(0, OpenFile::Origin::Current, here, systemError_);
    int64_t end = 0;
    size_ = file_->seek(0, OpenFile::Origin::End, end, systemError_) ? end : 0;
    position_ = isAppendMode(mode_) ? size_ : here;
    if (position_ != size_) file_->seek(position_, OpenFile::Origin::Start, here, systemError_);
}

bool BasicFile::open(const std::string& name, int32_t mode) {
    if (isOpen()) return fail(AlreadyOpen);
    if (mode < Nothing || mode > WriteNew) return fail(UnknownMode);
    if (mode == Nothing) {
        error_ = None;
        return true;
    }
    file_ = files_.openFile(name, openingOf(mode), systemError_);
    if (!file_) return fail(OpenFailed);
    name_ = name;
    mode_ = mode;
    measure();
    updateAtEnd();
    error_ = None;
    return true;
}

void BasicFile::close() {
    if (!isOpen()) {
        error_ = NotOpen;
        return;
    }
    const bool flushed = flushPending();
    const bool closed = file_->close(systemError_);
    error_ = flushed && closed ? None : WriteFailed;
    file_.reset();
    ahead_.clear();
    aheadUsed_ = 0;
    mode_ = Nothing;
    size_ = 0;
    position_ = 0;
    atEnd_ = true;
}

bool BasicFile::flush() {
    if (!isOpen()) return fail(NotOpen);
    if (!canWrite()) return fail(NotForWriting);
    if (!flushPending()) return fail(WriteFailed);
    error_ = None;
    return true;
}

bool BasicFile::sync() {
    if (!flush()) return false;
    if (!file_->sync(systemError_)) return fail(WriteFailed);
    return true;
}

// What cannot be written is dropped, not kept for a later attempt that would put it elsewhere:
// the position and size become what the system holds.
bool BasicFile::flushPending() {
    if (pending_.empty()) return true;
    size_t written = 0;
    const bool ok = file_->write(pending_.data(), pending_.size(), written, systemError_);
    pending_.clear();
    if (!ok) measure();
    return ok;
}

bool BasicFile::writeThrough(const char* data, uint64_t count) {
    size_t written = 0;
    if (file_->write(data, static_cast<size_t>(count), written, systemError_)) return true;
    measure();
    return false;
}

// Bytes read ahead but not taken are given back: the system's position returns to ours.
bool BasicFile::forgetReadAhead() {
    const bool unread = aheadUsed_ < ahead_.size();
    ahead_.clear();
    aheadUsed_ = 0;
    int64_t reached = 0;
    return !unread || file_->seek(position_, OpenFile::Origin::Start, reached, systemError_);
}

bool BasicFile::readAheadFilled(bool& failed) {
    failed = false;
    if (aheadUsed_ < ahead_.size()) return true;
    ahead_.resize(bufferSize);
    aheadUsed_ = 0;
    size_t got = 0;
    failed = !file_->read(ahead_.data(), ahead_.size(), got, systemError_);
    ahead_.resize(failed ? 0 : got);
    return !ahead_.empty();
}

void BasicFile::takeReadAhead(std::string& out, size_t count) {
    out.append(ahead_, aheadUsed_, count);
    aheadUsed_ += count;
    position_ += static_cast<int64_t>(count);
}

// Nothing of a failed read is taken: the position goes back to where the read began.
bool BasicFile::readFailed(std::string& out, int64_t start) {
    out.clear();
    position_ = start;
    ahead_.clear();
    aheadUsed_ = 0;
    int64_t reached = 0;
    file_->seek(position_, OpenFile::Origin::Start, reached, systemError_);
    return fail(ReadFailed);
}

int64_t BasicFile::position() const { return isOpen() ? position_ : -1; }

bool BasicFile::seek(int64_t offset, int32_t origin, int32_t target) {
    if (!isOpen()) return fail(NotOpen);
    if (origin < FromStart || origin > FromCurrent) return fail(UnknownOrigin);
    if (target < ReadPointer || target > BothPointers) return fail(UnknownTarget);
    if (!flushPending()) return fail(WriteFailed);
    ahead_.clear();
    aheadUsed_ = 0;
    // The system may sit ahead of the position after reading; count from the known place.
    const OpenFile::Origin from = origin == FromEnd ? OpenFile::Origin::End : OpenFile::Origin::Start;
    if (origin == FromCurrent) offset += position_;
    int64_t reached = 0;
    if (!file_->seek(offset, from, reached, systemError_)) {
        SystemError restoring;
        file_->seek(position_, OpenFile::Origin::Start, reached, restoring);
        return fail(SeekFailed);
    }
    position_ = reached;
    updateAtEnd();
    error_ = None;
    return true;
}

bool BasicFile::read(std::string& out, uint64_t count) {
    out.clear();
    if (!isOpen()) return fail(NotOpen);
    if (!canRead()) return fail(NotForReading);
    if (!flushPending()) return fail(WriteFailed);
    if (count == 0) {
        error_ = None;
        return true;
    }
    const int64_t start = position_;
    bool failed = false;
    while (out.size() < count) {
        const uint64_t wanted = count - out.size();
        if (aheadUsed_ == ahead_.size() && wanted >= bufferSize) {
            // A large piece goes straight into the result.
            const size_t already = out.size();
            // Room grows with what came: a whole small file read to its end costs no megabyte.
            const size_t step =
                static_cast<size_t>(std::min<uint64_t>(std::min(readStep, std::max(bufferSize, already)), wanted));
            out.resize(already + step);
            size_t got = 0;
            failed = !file_->read(out.data() + already, step, got, systemError_);
            out.resize(already + (failed ? 0 : got));
            position_ += static_cast<int64_t>(failed ? 0 : got);
            if (failed || got == 0) break;
            continue;
        }
        if (!readAheadFilled(failed)) break;
        takeReadAhead(out, static_cast<size_t>(std::min<uint64_t>(wanted, ahead_.size() - aheadUsed_)));
    }
    if (failed) return readFailed(out, start);
    size_ = std::max(size_, position_);
    updateAtEnd();
    if (out.empty()) {
        atEnd_ = true;
        return fail(AlreadyAtEnd);
    }
    error_ = None;
    return true;
}

bool BasicFile::readLine(std::string& out) {
    out.clear();
    if (!isOpen()) return fail(NotOpen);
    if (!canRead()) return fail(NotForReading);
    if (!flushPending()) return fail(WriteFailed);
    const int64_t start = position_;
    bool failed = false;
    bool endedByLineFeed = false;
    while (!endedByLineFeed && readAheadFilled(failed)) {
        const size_t lineFeed = ahead_.find('\n', aheadUsed_);
        endedByLineFeed = lineFeed != std::string::npos;
        takeReadAhead(out, (endedByLineFeed ? lineFeed + 1 : ahead_.size()) - aheadUsed_);
    }
    if (failed) return readFailed(out, start);
    size_ = std::max(size_, position_);
    updateAtEnd();
    if (position_ == start) {
        atEnd_ = true;
        return fail(AlreadyAtEnd);
    }
    if (endedByLineFeed) out.pop_back();
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    error_ = None;
    return true;
}

bool BasicFile::write(const char* data, uint64_t count) {
    if (!isOpen()) return fail(NotOpen);
    if (!canWrite()) return fail(NotForWriting);
    if (!forgetReadAhead()) return fail(WriteFailed);
    if (pending_.size() + count > bufferSize && !flushPending()) return fail(WriteFailed);
    if (count >= bufferSize) {
        if (!writeThrough(data, count)) return fail(WriteFailed);
    } else {
        pending_.append(data, static_cast<size_t>(count));
    }
    if (isAppendMode(mode_)) {
        size_ += static_cast<int64_t>(count);
        position_ = size_;
    } else {
        position_ += static_cast<int64_t>(count);
        size_ = std::max(size_, position_);
    }
    updateAtEnd();
    error_ = None;
    return true;
}

bool BasicFile::write(const std::string& text) { return write(text.data(), text.size()); }

bool BasicFile::writeLine(const std::string& text) {
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text).push_back('\n');
    return write(line);
}

}  // namespace Quilna
