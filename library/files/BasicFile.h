#pragma once
// A small stateful wrapper around a file opened through the platform, buffered in both
// directions, that reports failures by an error code and never throws. It keeps one position
// for reading and writing. The platform refuses links and other users' places for writing.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/OpenFile.h"

namespace Quilna {

class BasicFile {
public:
    enum Mode : int32_t {
        Nothing = 0,  // open succeeds at once without opening anything
        Read = 1,
        Write = 2,  // empties an existing file
        Append = 3,
        ReadWrite = 4,       // creates a missing file, like every other writing mode
        ReadWriteEmpty = 5,  // empties the file
        ReadAppend = 6,
        WriteNew = 7,  // creates the file; fails when the name is taken
    };
    enum Error : int32_t {
        None = 0,
        NotOpen = 1,
        AlreadyOpen = 2,
        UnknownMode = 3,
        OpenFailed = 4,
        UnknownOrigin = 5,
        NotForReading = 6,
        ReadFailed = 7,
        NotForWriting = 8,
        WriteFailed = 9,
        AlreadyAtEnd = 10,
        UnknownTarget = 11,
        SeekFailed = 12,
    };
    enum Origin : int32_t { FromStart = 0, FromEnd = 1, FromCurrent = 2 };
    enum Pointer : int32_t { ReadPointer = 0, WritePointer = 1, LastUsed = 2, BothPointers = 3 };

    explicit BasicFile(FileSystem& files) : files_(files) {}
    virtual ~BasicFile();
    BasicFile(const BasicFile&) = delete;
    BasicFile& operator=(const BasicFile&) = delete;

    bool open(const std::string& name, int32_t mode);
    void close();
    bool flush();  // writing modes only: hands what is buffered to the system
    bool sync();   // writing modes only: flushes, then puts the file on stable storage

    const std::string& name() const { return name_; }
    int32_t mode() const { return mode_; }
    int32_t error() const { return error_; }
    // What the system said of the last call that failed there (None when it failed here).
    const SystemError& systemError() const { return systemError_; }
    bool isOpen() const { return mode_ != Nothing; }
    // Reading and writing share the one position.
    int64_t position() const;
    int64_t size() const { return isOpen() ? size_ : -1; }
    bool atEnd() const { return atEnd_; }

    bool seek(int64_t offset, int32_t origin, int32_t target = LastUsed);
    // Reads count bytes, or up to the end of the file.
    bool read(std::string& out, uint64_t count);
    // The next line without its line feed and without any carriage return.
    bool readLine(std::string& out);
    bool write(const std::string& text);
    bool write(const char* data, uint64_t count);
    bool writeLine(const std::string& text);

private:
    bool fail(int32_t code);
    bool canRead() const;
    bool canWrite() const;
    void measure();
    bool flushPending();
    bool writeThrough(const char* data, uint64_t count);
    bool forgetReadAhead();
    // The read-ahead has bytes left, refilled when needed; false at the end or on a failure.
    bool readAheadFilled(bool& failed);
    void takeReadAhead(std::string& out, size_t count);
    bool readFailed(std::string& out, int64_t start);
    void updateAtEnd() { atEnd_ = position_ >= size_; }

    FileSystem& files_;
    std::string name_;
    int32_t mode_ = Nothing;
    std::unique_ptr<OpenFile> file_;
    // Written, not yet handed to the system; the system's position is before these bytes.
    std::string pending_;
    // Read from the system, from aheadUsed_ on not yet taken; the system's position is after them.
    std::string ahead_;
    size_t aheadUsed_ = 0;
    int64_t size_ = 0;
    int64_t position_ = 0;
    bool atEnd_ = true;
    int32_t error_ = None;
    SystemError systemError_;
};

}  // namespace Quilna
