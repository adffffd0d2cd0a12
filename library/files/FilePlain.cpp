#include "files/FilePlain.h"

#include <cstring>
#include <exception>
#include <new>

#include "files/FileOps.h"
#include "files/FileUtils.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

// The temporary copy is made in pieces of this size.
constexpr uint64_t copyPiece = 1 << 16;

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
        // A writer unwound by an exception has not finished its update: the old content stays.
        if (tempInUse_ && std::uncaught_exceptions() > exceptionsAtOpen_) discard();
        else close();
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
    const int32_t mode = dataFileMode(access, name_);
    if (reading && !writing && !FileOps::exists(system_, system_, name_))
        QUILNA_THROW(FileException, FL_EXISTS_NOT, name_ + "-->File does not exist.");
    // The temporary copy comes with the lock: a writer without a lock writes the file itself.
    std::string working = name_;
    if (writing && !(access & NoLock)) working = prepareWriting(access);
    if (!data_.open(working, mode)) {
        releaseLeftovers();
        QUILNA_THROW(FileException, FL_CANNOT_OPEN, working);
    }
    closed_ = false;
    access_ = access;
    exceptionsAtOpen_ = std::uncaught_exceptions();
    position_ = writing ? static_cast<uint64_t>(data_.position()) : 0;
    atEnd_ = data_.atEnd();
}

// Takes the lock and, without Direct, makes the temporary copy; returns the file to write.
std::string FilePlain::prepareWriting(uint16_t access) {
    // The copy is read from the file and takes its place: a link or another user's place is
    // refused here, as every writing open refuses it.
    const std::string refusal = system_.writeRefusal(name_);
    if (!refusal.empty()) QUILNA_THROW(FileException, FL_CANNOT_OPEN, refusal);
    try {
        lock_ = std::make_unique<LockFile>(system_, system_, name_);
    } catch (const std::bad_alloc&) {
        QUILNA_THROW(FileException, FL_MEM, name_);
    }
    if (lock_->isPresent() && !lock_->unlock()) {
        lock_.reset();
        QUILNA_THROW(FileException, FL_IS_LOCKED, name_);
    }
    const bool useCopy = !(access & Direct);
    if (!lock_->lock(lockLifetime_, useCopy)) {
        lock_.reset();
        QUILNA_THROW(FileException, FL_CANNOT_LOCK, name_);
    }
    if (!useCopy) return name_;
    makeTemporaryCopy();
    return temporaryName();
}

// Made under the lock, so no other writer is half-way through its own copy. A copy left by a
// writer that died belongs to no one: it goes, and the new one is created afresh.
void FilePlain::makeTemporaryCopy() {
    tempInUse_ = true;
    const std::string working = temporaryName();
    const bool cleared = !FileOps::exists(system_, system_, working) || FileUtils::removeFile(system_, working, true);
    // Writing on without the old content would replace the file by a partial one.
    if (!cleared || (lock_->originalExisted() && !copyOriginalTo(working))) {
        releaseLeftovers();
        QUILNA_THROW(FileException, FL_CANNOT_COPY, name_);
    }
}

bool FilePlain::copyOriginalTo(const std::string& working) const {
    BasicFile from(system_);
    BasicFile to(system_);
    if (!from.open(name_, BasicFile::Read) || !to.open(working, BasicFile::WriteNew)) return false;
    std::string piece;
    while (!from.atEnd())
        if (!from.read(piece, copyPiece) || !to.write(piece)) return false;
    return to.flush();
}

// Everything an unfinished open made goes while the lock still keeps other writers out.
void FilePlain::releaseLeftovers() {
    // Only an own copy is removed: another writer may be working on a copy of that name.
    if (tempInUse_ && FileOps::exists(system_, system_, temporaryName()))
        FileUtils::removeFile(system_, temporaryName(), true);
    tempInUse_ = false;
    if (!lock_) return;
    lock_->releaseOriginal();
    if (!lock_->originalExisted()) FileUtils::removeFile(system_, name_, false);
    unlockOrThrow();
}

void FilePlain::unlockOrThrow() {
    if (!lock_) return;
    const bool released = lock_->unlock();
    lock_.reset();
    if (!released) QUILNA_THROW(FileException, FL_CANNOT_UNLOCK, name_);
}

bool FilePlain::replaceByTemporary() {
    for (int attempt = 1; attempt <= replaceAttempts; ++attempt) {
        if (FileOps::renameFile(system_, system_, temporaryName(), name_, true)) return true;
        if (attempt < replaceAttempts) system_.sleepMs(replacePauseMs);
    }
    return false;
}

void FilePlain::closeData() {
    data_.close();
    closed_ = true;
    access_ = 0;
    position_ = 0;
}

void FilePlain::close() {
    if (closed_) return;
    // A write that fails only now (a full disk) must not put a cut copy in the file's place; the
    // copy is on stable storage before it takes the file's name.
    const bool writing = access_ & Write;
    bool complete = !writing || (tempInUse_ ? data_.sync() : data_.flush());
    closeData();
    if (writing && data_.error() != BasicFile::None) complete = false;
    if (!complete) {
        releaseLeftovers();
        QUILNA_THROW(FileException, FL_CANNOT_CLOSE, name_);
    }
    bool replaced = true;
    if (tempInUse_) {
        // The lock stays until the copy has replaced the file; only the held original is let go.
        lock_->releaseOriginal();
        replaced = replaceByTemporary();
        // An unreplaced copy is kept: it holds the only new content.
        tempInUse_ = false;
    }
    unlockOrThrow();
    if (!replaced) QUILNA_THROW(FileException, FL_RENAME, "Failed to update the file \"" + name_ + "\"");
}

void FilePlain::discard() {
    if (closed_) return;
    closeData();
    releaseLeftovers();
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
