#pragma once
// The log file at the end of the chain: appends lines, writes its own housekeeping lines
// (opened, closed, moved, rotated) and rotates the file at start, by time or by size. Several
// threads and several processes may write into one log file: an in-process guard and a
// guard named after the file keep their lines whole, and the rotation counter and opening
// time of the file live in the registry, not in the process.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/SmartPointer.h"
#include "files/FileBase.h"
#include "logger/LoggerAgent.h"
#include "logger/RotationSettings.h"
#include "platform/Platform.h"
#include "system/Monopoly.h"
#include "time/DateTime.h"

namespace Quilna {

class LoggerAgentFile : public LoggerAgent {
public:
    // No file yet. The system gives the guards, the rename and the registry values.
    explicit LoggerAgentFile(Platform& system);
    // Closes the file with the reason "Quitting Logger Agent".
    ~LoggerAgentFile() override;

    // "file:///" followed by the path.
    std::string location() const override;
    // Appends the line and its CR LF, rotating first when a condition holds. False when the
    // guard could not be taken (the line is dropped); a log that cannot be opened throws the
    // FileException.
    bool write(const std::string& line) override;

    // Binds the agent to a path; an open log is closed with a note and the new file starts
    // with "Log continued from" the old one. False when the file object cannot be made.
    bool setLogFile(const std::string& path);

    const std::string& path() const { return path_; }
    // Why the guard of the log at path can never be taken (its lock file is refused, say), so
    // that no line of it can be written; empty when it can, or is only held by another writer.
    static std::string guardRefusal(Platform& system, const std::string& path);
    // 1.0, raised by a quarter after each failed rotation.
    float sizeFactor() const { return sizeFactor_; }

    // How many rotated copies of the log are kept (initially 10); a rotation deletes the oldest
    // beyond that number. 0 keeps none; negative values are ignored.
    void setRotationKeep(int32_t copies);
    int32_t rotationKeep() const { return keptCopies_.load(); }

    // About two seconds of trying for the guard of the file. Short pauses: a writer that logs
    // without a break frees the guard only for moments, and long pauses would miss them all.
    static constexpr int guardAttempts = 2000;
    static constexpr uint32_t guardPauseMs = 1;

private:
    enum class State { Idle, Checking, Rotating, WritingHeader };
    class Guard;
    class StateScope;

    bool takeGuard();
    void releaseGuard();
    // The agent's own lines: written in any state, under the guard it may already hold.
    bool writeOwn(const std::string& line);
    bool append(const std::string& line);
    bool isOpen() const;
    void openLog();
    void writeHeader();
    void storeResource(const std::string& name, const std::string& value);
    void closeLog(const std::string& reason);
    void forgetMovedFile();
    void refreshRotationTiming();
    void computeNextRotation();
    std::string rotationConditions();
    void checkRotation();
    void rotate();
    bool renameLog(const std::string& from, const std::string& to, SystemError& error);
    void removeOldCopies();
    std::string rotatedPath(int32_t counter) const;

    Platform& system_;
    SmartPointer<FileBase> file_;
    std::string path_;
    Monopoly inProcess_;
    std::unique_ptr<Monopoly> named_;
    int guardDepth_ = 0;
    std::string lockName_;
    DateTime opened_{0};
    DateTime nextRotation_{DateTime::largest};
    State state_ = State::Idle;
    float sizeFactor_ = 1.0f;
    int32_t anchor_ = 0;
    std::atomic<int32_t> keptCopies_{defaultRotationKeep};  // set by a reload while others log

    // The settings seen at the previous write; a change recomputes the next rotation time.
    struct Seen {
        int32_t interval = -1;
        int32_t size = -1;
        uint32_t scheme = 0;
        uint32_t generation = 0;
        bool operator==(const Seen&) const = default;
    };
    Seen seen_;
    bool seenValid_ = false;

    // Which file the open handle is: another process may have rotated it away.
    bool identityKnown_ = false;
    FileIdentity identity_;
};

}  // namespace Quilna
