#pragma once
// A small stateful wrapper around a binary file stream that reports failures by an error
// code and never throws. The stream keeps one position for reading and writing; the last
// direction used is remembered so that a switch re-seeks as the C library requires. Files are
// opened through the platform, which refuses links and other users' places for writing.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

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

    BasicFile() = default;
    virtual ~BasicFile();
    BasicFile(const BasicFile&) = delete;
    BasicFile& operator=(const BasicFile&) = delete;

    bool open(const std::string& name, int32_t mode);
    void close();
    bool flush();  // writing modes only

    const std::string& name() const { return name_; }
    int32_t mode() const { return mode_; }
    int32_t error() const { return error_; }
    bool isOpen() const { return mode_ != Nothing; }
    // Both pointers are the one stream position; the argument is kept for the callers' sake.
    int64_t position(int32_t pointer = LastUsed) const;
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
    enum class Direction { None, Reading, Writing };

    bool fail(int32_t code);
    bool canRead() const;
    bool canWrite() const;
    void useDirection(Direction direction);
    bool openStream(const std::string& name, int32_t mode);
    void measureSize();
    void updateAtEnd() { atEnd_ = position_ >= size_; }

    std::string name_;
    int32_t mode_ = Nothing;
    std::unique_ptr<std::filebuf> buffer_;
    std::iostream stream_{nullptr};
    int64_t size_ = 0;
    int64_t position_ = 0;
    Direction direction_ = Direction::None;
    bool atEnd_ = true;
    int32_t error_ = None;
};

}  // namespace Quilna
