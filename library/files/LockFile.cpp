#include "files/LockFile.h"

#include <random>

#include "files/FileOps.h"

namespace Quilna {

namespace {

constexpr const char* holdsOriginalWord = "original";
constexpr const char* missingWord = "missing";
constexpr int tokenRandomLength = 10;

// The construction time and ten printable characters (0x20 to 0x7D). The characters come
// from the system's entropy source, not from a generator seeded with the time: two objects
// made in the same second must not share a token, or one would take the other's lock for its own.
std::string makeToken(const DateTime& now) {
    std::string token = now.formatUtc(true, false);
    std::random_device entropy;
    for (int i = 0; i < tokenRandomLength; ++i) token += static_cast<char>(entropy() % 94 + 32);
    return token;
}

bool isDigits(const std::string& text, size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

int32_t number(const std::string& text, size_t from, size_t count) {
    int32_t value = 0;
    for (size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

}  // namespace

LockFile::LockFile(FileSystem& files, Drives& drives, const std::string& path)
    : files_(files), drives_(drives), original_(files), name_(path) {
    DateTime now;
    ownToken_ = makeToken(now);
    originalExisted_ = FileOps::exists(files_, drives_, path);
    readExisting();
}

LockFile::~LockFile() { original_.close(); }

// The times are written in UTC ("20130701T120000Z"); reading them as local time would move
// the expiry by the zone's offset, so that form is read as UTC here.
DateTime LockFile::parseStamp(const std::string& text) {
    if (text.size() != 16 || text[8] != 'T' || text[15] != 'Z' || !isDigits(text, 0, 8) || !isDigits(text, 9, 6))
        return DateTime(text);
    TimeZoneInfo utc;
    utc.set = true;
    DateTime moment(0);
    moment.fromFields(number(text, 0, 4), number(text, 4, 2), number(text, 6, 2), number(text, 9, 2),
                      number(text, 11, 2), number(text, 13, 2), utc, false);
    return moment;
}

void LockFile::readExisting() {
    present_ = FileOps::exists(files_, drives_, lockPath(name_));
    if (!present_) return;
    takenAt_ = DateTime(0);
    validUntil_ = DateTime(0);
    foundToken_.clear();
    // A lock file that cannot be read counts as present with its times at the epoch, so it
    // is treated as expired.
    BasicFile file(files_);
    if (!file.open(lockPath(name_), BasicFile::Read)) return;
    std::string line;
    if (file.readLine(line)) takenAt_ = parseStamp(line);
    if (file.error() == BasicFile::None && file.readLine(line)) validUntil_ = parseStamp(line);
    if (file.error() == BasicFile::None && file.readLine(line)) foundToken_ = line;
    file.close();
}

bool LockFile::writeLock(bool holdOriginal) {
    const std::string path = lockPath(name_);
    // Created exclusively: a writer that got in first keeps its lock file, and a link or another
    // user's file at the name is refused, not written through.
    BasicFile lockFile(files_);
    if (!lockFile.open(path, BasicFile::WriteNew)) return false;
    bool written = lockFile.writeLine(takenAt_.formatUtc(true, false)) &&
                   lockFile.writeLine(validUntil_.formatUtc(true, false)) && lockFile.writeLine(ownToken_) &&
                   lockFile.writeLine(holdOriginal ? holdsOriginalWord : missingWord) && lockFile.flush();
    // Closed once written: Windows cannot delete a file that is open, so a lock file kept open
    // by a holder that runs past its expiry could never be cleared by the next writer.
    lockFile.close();
    if (written && lockFile.error() == BasicFile::None) return true;
    // A half-written lock file would keep others out for no one.
    FileOps::deleteFile(files_, path);
    return false;
}

// The holder's token of the lock file on disk; empty when there is none or it cannot be read.
std::string LockFile::tokenOnDisk() const {
    BasicFile file(files_);
    if (!file.open(lockPath(name_), BasicFile::Read)) return std::string();
    std::string line;
    for (int number = 1; number <= 3; ++number)
        if (!file.readLine(line) || file.error() != BasicFile::None) return std::string();
    return line;
}

bool LockFile::holdProtectedFile() {
    // Held without changing the content: read when it exists, else created by an append open
    // (discarding a new file removes it again).
    int32_t mode = FileOps::exists(files_, drives_, name_) ? BasicFile::Read : BasicFile::Append;
    return original_.open(name_, mode);
}

bool LockFile::lock(const TimeSpan& lifetime, bool holdOriginal) {
    takenAt_.setNow();
    validUntil_ = takenAt_ + lifetime;
    if (present_) return false;
    if (!writeLock(holdOriginal)) {
        // Someone may have locked since this object was made: its lock is what unlock must judge.
        readExisting();
        return false;
    }
    if (holdOriginal && !holdProtectedFile()) {
        FileOps::deleteFile(files_, lockPath(name_));
        return false;
    }
    present_ = true;
    foundToken_ = ownToken_;
    return true;
}

void LockFile::releaseOriginal() { original_.close(); }

// Another holder's lock, once expired. It is read again first: a writer that cleared it and
// took its own since it was read holds a live lock, and a lock already cleared is gone.
bool LockFile::clearExpired() {
    if (DateTime() < validUntil_) return false;
    const std::string path = lockPath(name_);
    if (tokenOnDisk() != foundToken_ && FileOps::exists(files_, drives_, path)) {
        readExisting();
        return false;
    }
    if (!FileOps::deleteFile(files_, path) && FileOps::exists(files_, drives_, path)) return false;
    present_ = false;
    return true;
}

bool LockFile::unlock() {
    if (!present_) return true;
    if (foundToken_ != ownToken_) return clearExpired();
    original_.close();
    // Once expired, the lock may have been cleared and taken by another writer: that writer's
    // lock file is not this object's to delete.
    const std::string holder = tokenOnDisk();
    if (holder.empty() || holder == ownToken_) FileOps::deleteFile(files_, lockPath(name_));
    present_ = false;
    return true;
}

}  // namespace Quilna
