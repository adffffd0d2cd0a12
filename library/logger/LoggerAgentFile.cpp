#include "logger/LoggerAgentFile.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "config/Resources.h"
#include "files/FileOps.h"
#include "files/FilePlain.h"
#include "files/FileUtils.h"
#include "system/MonopolyHold.h"
#include "text/StringUtils.h"

namespace Quilna {

namespace {

const char* const kLineEnd = "\r\n";
const char* const kVersion = "VERSION(" QUILNA_VERSION_FOUR_PARTS ")";
const char* const kRevision = "REVISION(0)";
constexpr uint64_t kMebibyte = 1048576;
constexpr float kSizeFactorStep = 0.25f;
constexpr int kMaxIntervalSteps = 1000;

std::string quotedText(const std::string& text) { return "\"" + text + "\""; }

std::string extendedTime(const DateTime& moment) { return moment.formatLocal(false, false); }
std::string basicTime(const DateTime& moment) { return moment.formatLocal(true, false); }

// The guard name of a log: its file name, without any separator.
std::string lockNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    StringUtils::replaceChar(name, '/', '_');
    StringUtils::replaceChar(name, '\\', '_');
    return name;
}

std::string floatText(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

std::string registryName(const char* word) { return logApplicationName() + word; }

}  // namespace

// Holds both guards for a scope; nested holds of one thread take the named guard once.
class LoggerAgentFile::Guard {
public:
    explicit Guard(LoggerAgentFile& agent) : agent_(agent), held_(agent.takeGuard()) {}
    ~Guard() {
        if (held_) agent_.releaseGuard();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    bool held() const { return held_; }

private:
    LoggerAgentFile& agent_;
    bool held_;
};

// Sets the agent's state for a scope and puts the previous one back, also on an exception.
class LoggerAgentFile::StateScope {
public:
    StateScope(LoggerAgentFile& agent, State state) : agent_(agent), previous_(agent.state_) { agent.state_ = state; }
    ~StateScope() { agent_.state_ = previous_; }
    StateScope(const StateScope&) = delete;
    StateScope& operator=(const StateScope&) = delete;

private:
    LoggerAgentFile& agent_;
    State previous_;
};

LoggerAgentFile::LoggerAgentFile(Platform& system) : system_(system), inProcess_(system, system) {}

LoggerAgentFile::~LoggerAgentFile() {
    try {
        closeLog("Quitting Logger Agent");
    } catch (...) {
    }
}

std::string LoggerAgentFile::location() const { return "file:///" + path_; }

bool LoggerAgentFile::takeGuard() {
    inProcess_.enforce();
    if (guardDepth_ > 0) {
        ++guardDepth_;
        return true;
    }
    named_ = std::make_unique<Monopoly>(system_, system_, lockName_);
    for (int attempt = 0; attempt < guardAttempts; ++attempt) {
        if (named_->enforce()) {
            guardDepth_ = 1;
            return true;
        }
        // A lock that cannot be had at all is not waited for: the line is dropped at once.
        if (!named_->refusal().empty()) break;
        system_.sleepMs(guardPauseMs);
    }
    named_.reset();
    inProcess_.relax();
    return false;
}

void LoggerAgentFile::releaseGuard() {
    if (--guardDepth_ == 0 && named_) {
        named_->relax();
        named_.reset();
    }
    inProcess_.relax();
}

std::string LoggerAgentFile::guardRefusal(Platform& system, const std::string& path) {
    Monopoly guard(system, system, lockNameOf(path));
    guard.enforce();
    return guard.refusal();
}

bool LoggerAgentFile::isOpen() const {
    const FileBase* file = file_.get();
    return file && !file->isClosed();
}

bool LoggerAgentFile::write(const std::string& line) {
    if (file_.isNull()) return false;
    Guard guard(*this);
    if (!guard.held()) return false;
    refreshRotationTiming();
    forgetMovedFile();
    // Opened before the check, so that the first line of a process can rotate an existing log.
    if (!isOpen()) openLog();
    checkRotation();
    return append(line);
}

bool LoggerAgentFile::writeOwn(const std::string& line) {
    if (file_.isNull()) return false;
    Guard guard(*this);
    if (!guard.held()) return false;
    return append(line);
}

bool LoggerAgentFile::append(const std::string& line) {
    if (!isOpen()) openLog();
    FileBase& file = *file_;
    file.seek(0, 1);
    file.write(line + kLineEnd);
    if (state_ == State::Idle) clearInitRotation();
    file.flush();
    return true;
}

void LoggerAgentFile::openLog() {
    const DateTime now;
    opened_ = now;
    FileStatus status;
    const bool existed = FileOps::fileStatus(system_, path_, status);
    if (!existed) {
        clearInitRotation();  // a file this process creates is never rotated for Init
    } else {
        std::string text;
        if (readResource(system_, system_, registryName("LogOpened"), text) == ResourceResult::Ok)
            opened_ = DateTime(text);
    }

    file_->open(FileBase::Write | FileBase::Create | FileBase::Append | FileBase::Direct | FileBase::NoLock);
    identityKnown_ = FileOps::fileStatus(system_, path_, status) && status.hasIdentity;
    identity_ = status.identity;

    if (agentMessages() && state_ != State::WritingHeader) writeHeader();
    if (!existed) storeResource(registryName("LogOpened"), basicTime(now));
    anchor_ = now.value();
    computeNextRotation();
}

// A resource that cannot be stored (another user may hold the lock of the resources file) is
// said in the log, whether or not the agent's own lines are on, and the log goes on.
void LoggerAgentFile::storeResource(const std::string& name, const std::string& value) {
    std::string why;
    if (writeResource(system_, system_, name, value, &why) == ResourceResult::Ok) return;
    writeOwn(why.empty() ? "The resource " + name + " cannot be stored." : why);
}

void LoggerAgentFile::writeHeader() {
    StateScope scope(*this, State::WritingHeader);
    const DateTime now;
    append(std::string(kLineEnd) + "Quilna " + kVersion + " " + kRevision + kLineEnd + "Opened log file " +
           quotedText(path_) + ". Time: " + extendedTime(now) + " " + DateTime::formatZone(DateTime::processZone()) +
           kLineEnd);
}

void LoggerAgentFile::closeLog(const std::string& reason) {
    if (!isOpen()) return;
    if (agentMessages()) {
        writeOwn(std::string(kLineEnd) + "Closing log file " + quotedText(path_) +
                 ". Time: " + extendedTime(DateTime()) + ". Reason: " + reason + "." + kLineEnd);
    }
    identityKnown_ = false;
    file_->close();
}

// Another process may have rotated the file away while this one kept it open: the next line
// then goes into a new file at the path, not into the renamed one.
void LoggerAgentFile::forgetMovedFile() {
    if (!isOpen() || !identityKnown_) return;
    FileStatus status;
    const bool present = FileOps::fileStatus(system_, path_, status);
    if (present && (!status.hasIdentity || status.identity == identity_)) return;
    identityKnown_ = false;
    file_->close();
}

void LoggerAgentFile::refreshRotationTiming() {
    const Seen now{rotationInterval().value(), rotationSize(), rotationScheme(), rotationGeneration()};
    if (seenValid_ && now == seen_) return;
    seen_ = now;
    seenValid_ = true;
    computeNextRotation();
}

void LoggerAgentFile::computeNextRotation() {
    if ((rotationScheme() & Rotation::Time) == 0) return;
    const TimeSpan interval = rotationInterval();
    const DateTime anchor(anchor_);
    DateTime next = anchor + interval;
    if (interval.value() < 1 || !(anchor < next)) return;
    next.alignDown(interval);
    const DateTime now;
    if (next < now - interval) {
        next = now;
        next.alignDown(interval);
    }
    for (int step = 0; next < now && step < kMaxIntervalSteps; ++step) next += interval;
    nextRotation_ = next;
}

std::string LoggerAgentFile::rotationConditions() {
    const uint32_t scheme = rotationScheme();
    std::string conditions;
    const auto add = [&](const std::string& condition) {
        if (!conditions.empty()) conditions += " AND";
        conditions += condition;
    };
    if ((scheme & Rotation::Init) && initRotationPending()) add(" Init");
    const DateTime now;
    if ((scheme & Rotation::Time) && rotationInterval().value() > 0 && !(now < nextRotation_))
        add(" Time " + extendedTime(nextRotation_) + " <= " + extendedTime(now));
    // A limit of 0 (or none) is no limit: rotating before every line, the keep count would lose the log.
    if ((scheme & Rotation::Size) && rotationSize() > 0) {
        const uint64_t mebibytes = file_->seek(0, 1) / kMebibyte;
        const float limit = static_cast<float>(rotationSize()) * sizeFactor_;
        if (static_cast<float>(mebibytes) >= limit)
            add(" Size " + StringUtils::uint64Text(mebibytes) + " >= " + floatText(limit));
    }
    return conditions;
}

void LoggerAgentFile::checkRotation() {
    if (!isOpen() || state_ != State::Idle || rotationScheme() == 0) return;
    std::string conditions;
    {
        StateScope scope(*this, State::Checking);
        conditions = rotationConditions();
        if (conditions.empty()) return;
        if (agentMessages()) writeOwn("\nRotate contidion(s):" + conditions);
    }
    rotate();
}

// The rotated name keeps the extension of the file name: a.log becomes a_<opened>_<counter>.log.
std::string LoggerAgentFile::rotatedPath(int32_t counter) const {
    std::string base = path_;
    const std::string extension = FileUtils::splitExtension(system_.pathSyntax(), base);
    std::string rotated = base + "_" + basicTime(opened_) + "_" + StringUtils::intText(counter);
    if (!extension.empty()) rotated += "." + extension;
    return rotated;
}

void LoggerAgentFile::rotate() {
    Guard guard(*this);
    if (!guard.held()) return;
    StateScope scope(*this, State::Rotating);
    const bool messages = agentMessages();
    if (messages) writeOwn("\nRotation process started...");

    std::string counterText = "0";
    readResource(system_, system_, registryName("LogCounter"), counterText);
    // A counter that is no number or would overflow (the resource is a file others may edit)
    // starts again at 0.
    const int32_t counter =
        static_cast<int32_t>(StringUtils::decimalNumber(StringUtils::trimmed(counterText), INT32_MAX - 1).value_or(0));
    storeResource(registryName("LogCounter"), StringUtils::intText(counter + 1));

    const std::string from = path_;
    const std::string to = rotatedPath(counter);
    if (messages) writeOwn("Renaming file from " + quotedText(from) + " to " + quotedText(to) + ".");
    closeLog("Rotating log file");

    SystemError error;
    if (!renameLog(from, to, error)) {
        sizeFactor_ += kSizeFactorStep;
        writeOwn("Log file rotation error. (" + StringUtils::uint64Text(error.code) + ")");
        return;
    }
    sizeFactor_ = 1.0f;
    if (messages) writeOwn("Log continued from " + quotedText(FileUtils::fileName(system_.pathSyntax(), to)) + ".");
    removeOldCopies();
}

void LoggerAgentFile::setRotationKeep(int32_t copies) {
    if (copies >= 0) keptCopies_.store(copies);
}

// Keeps the newest rotationKeep() rotated copies of this log and deletes the others. A copy is
// told by its whole name, <base>_<opened>_<counter>[.<extension>], and its age by the opening
// time and then the counter in it: the counter alone starts again when its resource is lost.
void LoggerAgentFile::removeOldCopies() {
    std::string base = path_;
    const std::string extension = FileUtils::splitExtension(system_.pathSyntax(), base);
    const std::string directory = FileUtils::directoryName(system_.pathSyntax(), base);
    const std::string prefix = FileUtils::fileName(system_.pathSyntax(), base) + "_";
    const std::string suffix = extension.empty() ? std::string() : "." + extension;
    constexpr size_t openedLength = 15;  // 20130405T060708
    struct Copy {
        std::string opened;
        uint64_t counter;
        std::string name;
        bool operator<(const Copy& other) const {
            return opened != other.opened ? opened < other.opened : counter < other.counter;
        }
    };
    std::vector<Copy> copies;
    for (const DirEntry& entry : FileOps::listDirectory(system_, directory)) {
        const std::string& name = entry.name;
        if (!entry.isFile || name.size() < prefix.size() + openedLength + 2 + suffix.size() ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        const auto date = StringUtils::decimalNumber(std::string_view(middle).substr(0, 8));
        const auto time = StringUtils::decimalNumber(std::string_view(middle).substr(9, 6));
        const auto counter = StringUtils::decimalNumber(std::string_view(middle).substr(openedLength + 1));
        if (middle[8] != 'T' || middle[openedLength] != '_' || !date || !time || !counter) continue;
        copies.push_back(Copy{middle.substr(0, openedLength), *counter, name});
    }
    const size_t keep = static_cast<size_t>(rotationKeep());
    if (copies.size() <= keep) return;
    std::sort(copies.begin(), copies.end());
    for (size_t i = 0; i + keep < copies.size(); ++i) {
        const bool removed = FileOps::deleteFile(system_, directory + copies[i].name);
        if (agentMessages())
            writeOwn((removed ? "Removed the old log copy " : "Cannot remove the old log copy ") +
                     quotedText(copies[i].name) + " (keeping " + StringUtils::intText(rotationKeep()) + ").");
    }
}

// The rename of FileOps with its retries, except that a file another writer keeps open
// (Windows refuses to rename it) fails at once: that writer closes it only after this agent has
// let go of the guard, so retrying would only keep every writer of the log waiting, long enough
// for them to drop their lines.
bool LoggerAgentFile::renameLog(const std::string& from, const std::string& to, SystemError& error) {
    for (int attempt = 1; attempt <= FileOps::renameAttempts; ++attempt) {
        if (system_.moveFile(from, to, false, error)) return true;
        if (error.kind == ErrorKind::SharingViolation) return false;
        if (attempt < FileOps::renameAttempts) system_.sleepMs(FileOps::renamePauseMs);
    }
    return false;
}

bool LoggerAgentFile::setLogFile(const std::string& path) {
    if (!file_.isNull() && path == path_) return true;
    SmartPointer<FileBase> fresh = makeSmart<FilePlain>(system_, path);
    if (fresh.isNull()) return false;

    MonopolyHold hold(inProcess_);
    std::string note;
    try {
        if (isOpen()) {
            closeLog("Log file moved to " + quotedText(path) + ".");
            note = "Log continued from " + quotedText(path_) + "." + kLineEnd;
        }
    } catch (const FileException&) {
    }
    file_ = fresh;
    path_ = path;
    lockName_ = lockNameOf(path);
    identityKnown_ = false;
    try {
        if (agentMessages() && !note.empty()) writeOwn(note);
    } catch (const FileException&) {
        // The new log cannot be opened yet; the next line reports it.
    }
    return true;
}

}  // namespace Quilna
