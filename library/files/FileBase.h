#pragma once
// The abstract, exception-throwing file interface: every failure is a FileException. Writers
// take a lock file against other writers and, unless told otherwise, write a temporary copy
// that replaces the file only when it is closed.

#include <cstdint>
#include <memory>
#include <string>

#include "files/FileException.h"
#include "files/LockFile.h"
#include "time/TimeSpan.h"

namespace Quilna {

class FileBase {
public:
    enum Access : uint16_t {
        Read = 0x01,
        Write = 0x02,     // takes the lock and writes the temporary copy unless told otherwise
        Truncate = 0x04,  // with Read and Write: empty the file
        Create = 0x08,    // no effect of its own; forbidden with read-only access
        Append = 0x10,
        Direct = 0x20,  // write the file itself, no temporary copy
        NoLock = 0x40,  // take no lock file
    };

    explicit FileBase(std::string name) : name_(std::move(name)) {}
    virtual ~FileBase();
    FileBase(const FileBase&) = delete;
    FileBase& operator=(const FileBase&) = delete;

    virtual void open(uint16_t access) = 0;
    // Finishes, and makes the written temporary copy the file.
    virtual void close() = 0;
    // Closes and throws the temporary copy away; a file that did not exist before is removed.
    virtual void discard() = 0;
    // True when all bytes were read.
    virtual bool read(std::string& out, uint64_t count) = 0;
    // The number of bytes read.
    virtual uint64_t read(char* buffer, uint64_t count) = 0;
    virtual bool write(const std::string& text) = 0;
    // The number of bytes written.
    virtual uint64_t write(const char* buffer, uint64_t count) = 0;
    virtual std::string readLine() = 0;
    virtual bool writeLine(const std::string& text) = 0;
    virtual bool flush() = 0;
    // Origin 0 from the start, 1 from the end, 2 from the current position; the new position.
    virtual uint64_t seek(int64_t offset, int32_t origin) = 0;
    virtual uint64_t position() { return position_; }
    virtual bool atEnd() { return atEnd_; }
    // Throws (code 27) unless every character below 0x20 is a tab, carriage return or line feed.
    virtual void checkText(const std::string& text);

    const std::string& name() const { return name_; }
    bool isClosed() const { return closed_; }
    uint16_t access() const { return access_; }

    // The code checkText throws; it has no row in the code table.
    static constexpr int32_t badControlCharacter = 27;

protected:
    std::string name_;
    bool tempInUse_ = false;
    uint16_t access_ = 0;
    uint64_t position_ = 0;
    bool atEnd_ = false;
    bool closed_ = true;
    std::unique_ptr<LockFile> lock_;
    TimeSpan lockLifetime_{30};
};

}  // namespace Quilna
