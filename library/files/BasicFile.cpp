#include "files/BasicFile.h"

#include <algorithm>

#include "files/FileOps.h"
#include "platform/Platform.h"

namespace Quilna {

namespace {

std::ios::openmode streamMode(int32_t mode) {
    switch (mode) {
        case BasicFile::Read: return std::ios::in | std::ios::binary;
        case BasicFile::Write:
        case BasicFile::WriteNew: return std::ios::out | std::ios::trunc | std::ios::binary;
        case BasicFile::Append: return std::ios::out | std::ios::app | std::ios::binary;
        case BasicFile::ReadWrite: return std::ios::in | std::ios::out | std::ios::binary;
        case BasicFile::ReadWriteEmpty: return std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary;
        default: return std::ios::in | std::ios::out | std::ios::app | std::ios::binary;
    }
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

bool BasicFile::openStream(const std::string& name, int32_t mode) {
    // A directory opens as a stream on some systems and then fails every read.
    FileStatus status;
    if (FileOps::fileStatus(name, status) && status.isDirectory()) return false;
    buffer_ = platform().openFile(name, streamMode(mode), mode == WriteNew);
    stream_.rdbuf(buffer_.get());
    return buffer_ != nullptr;
}

void BasicFile::measureSize() {
    std::streambuf* buffer = stream_.rdbuf();
    std::streamoff here = buffer->pubseekoff(0, std::ios::cur);
    std::streamoff end = buffer->pubseekoff(0, std::ios::end);
    size_ = end < 0 ? 0 : static_cast<int64_t>(end);
    // Appends go to the end, so that is where the position starts.
    if (isAppendMode(mode_)) {
        position_ = size_;
    } else {
        buffer->pubseekoff(here < 0 ? 0 : here, std::ios::beg);
        position_ = here < 0 ? 0 : static_cast<int64_t>(here);
    }
}

bool BasicFile::open(const std::string& name, int32_t mode) {
    if (isOpen()) return fail(AlreadyOpen);
    if (mode < Nothing || mode > WriteNew) return fail(UnknownMode);
    if (mode == Nothing) {
        error_ = None;
        return true;
    }
    stream_.clear();
    if (!openStream(name, mode)) {
        stream_.clear();
        return fail(OpenFailed);
    }
    name_ = name;
    mode_ = mode;
    measureSize();
    direction_ = canRead() ? Direction::Reading : Direction::Writing;
    updateAtEnd();
    error_ = None;
    return true;
}

void BasicFile::close() {
    if (!isOpen()) {
        error_ = NotOpen;
        return;
    }
    error_ = buffer_->close() ? None : WriteFailed;
    stream_.rdbuf(nullptr);
    buffer_.reset();
    stream_.clear();
    mode_ = Nothing;
    direction_ = Direction::None;
    size_ = 0;
    position_ = 0;
    atEnd_ = true;
}

bool BasicFile::flush() {
    if (!isOpen()) return fail(NotOpen);
    if (!canWrite()) return fail(NotForWriting);
    if (!stream_.flush()) {
        stream_.clear();
        return fail(WriteFailed);
    }
    error_ = None;
    return true;
}

int64_t BasicFile::position(int32_t) const { return isOpen() ? position_ : -1; }

void BasicFile::useDirection(Direction direction) {
    if (direction_ != direction && direction_ != Direction::None) {
        // Switching between reading and writing needs a seek in between.
        stream_.rdbuf()->pubseekoff(position_, std::ios::beg);
    }
    direction_ = direction;
}

bool BasicFile::seek(int64_t offset, int32_t origin, int32_t target) {
    if (!isOpen()) return fail(NotOpen);
    if (origin < FromStart || origin > FromCurrent) return fail(UnknownOrigin);
    if (target < ReadPointer || target > BothPointers) return fail(UnknownTarget);
    std::ios::seekdir from = origin == FromStart ? std::ios::beg : (origin == FromEnd ? std::ios::end : std::ios::cur);
    if (origin == FromCurrent) {
        // The stream may sit elsewhere after a direction switch; count from the known place.
        from = std::ios::beg;
        offset += position_;
    }
    std::streamoff reached = stream_.rdbuf()->pubseekoff(offset, from);
    if (reached < 0) {
        stream_.rdbuf()->pubseekoff(position_, std::ios::beg);
        return fail(SeekFailed);
    }
    position_ = static_cast<int64_t>(reached);
    if (target == ReadPointer) direction_ = Direction::Reading;
    if (target == WritePointer) direction_ = Direction::Writing;
    updateAtEnd();
    error_ = None;
    return true;
}

bool BasicFile::read(std::string& out, uint64_t count) {
    out.clear();
    if (!isOpen()) return fail(NotOpen);
    if (!canRead()) return fail(NotForReading);
    useDirection(Direction::Reading);
    if (count == 0) {
        error_ = None;
        return true;
    }
    if (stream_.peek() == std::char_traits<char>::eof()) {
        bool broken = stream_.bad();
        stream_.clear();
        atEnd_ = true;
        return fail(broken ? ReadFailed : AlreadyAtEnd);
    }
    // Grown in steps so that a huge count does not reserve memory the file cannot fill.
    constexpr uint64_t step = 1 << 20;
    while (out.size() < count) {
        size_t already = out.size();
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(step, count - already));
        out.resize(already + chunk);
        stream_.read(out.data() + already, static_cast<std::streamsize>(chunk));
        size_t got = static_cast<size_t>(stream_.gcount());
        out.resize(already + got);
        if (got < chunk) break;
    }
    if (stream_.bad()) {
        stream_.clear();
        stream_.rdbuf()->pubseekoff(position_, std::ios::beg);
        out.clear();
        return fail(ReadFailed);
    }
    stream_.clear();
    position_ += static_cast<int64_t>(out.size());
    size_ = std::max(size_, position_);
    updateAtEnd();
    error_ = None;
    return true;
}

bool BasicFile::readLine(std::string& out) {
    out.clear();
    if (!isOpen()) return fail(NotOpen);
    if (!canRead()) return fail(NotForReading);
    useDirection(Direction::Reading);
    if (stream_.peek() == std::char_traits<char>::eof()) {
        bool broken = stream_.bad();
        stream_.clear();
        atEnd_ = true;
        return fail(broken ? ReadFailed : AlreadyAtEnd);
    }
    std::getline(stream_, out);
    if (stream_.bad()) {
        stream_.clear();
        stream_.rdbuf()->pubseekoff(position_, std::ios::beg);
        out.clear();
        return fail(ReadFailed);
    }
    // Without eof the line ended in a line feed, which getline consumed.
    bool endedByLineFeed = !stream_.eof();
    stream_.clear();
    position_ += static_cast<int64_t>(out.size()) + (endedByLineFeed ? 1 : 0);
    size_ = std::max(size_, position_);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    updateAtEnd();
    error_ = None;
    return true;
}

bool BasicFile::write(const char* data, uint64_t count) {
    if (!isOpen()) return fail(NotOpen);
    if (!canWrite()) return fail(NotForWriting);
    useDirection(Direction::Writing);
    if (!stream_.write(data, static_cast<std::streamsize>(count))) {
        stream_.clear();
        stream_.rdbuf()->pubseekoff(position_, std::ios::beg);
        return fail(WriteFailed);
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
