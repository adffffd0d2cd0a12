#pragma once
// A file held open for its contents. Reads and writes go to the current position (appends to
// the end, whatever the position); every call that fails says why in its last argument.

#include <cstddef>
#include <cstdint>

#include "platform/SystemError.h"

namespace Quilna {

// How a file is opened. Every writing mode creates a missing file (readable by its owner and
// group only); mustBeNew fails on an existing name instead.
struct FileOpening {
    bool read = false;
    bool write = false;
    bool truncate = false;  // empties the file
    bool append = false;    // every write goes to the end
    bool mustBeNew = false;
    // Reading too: a link at the name is refused instead of followed (writing never follows one).
    bool noLinks = false;
};

class OpenFile {
public:
    enum class Origin { Start, End, Current };

    virtual ~OpenFile() = default;

    // Up to count bytes; got is 0 at the end of the file.
    virtual bool read(char* buffer, size_t count, size_t& got, SystemError& error) = 0;
    // All count bytes, or a failure; written tells how many reached the file either way (a full
    // disk may take part of them).
    virtual bool write(const char* data, size_t count, size_t& written, SystemError& error) = 0;
    // Moves the position; reached gets the new one, counted from the start.
    virtual bool seek(int64_t offset, Origin origin, int64_t& reached, SystemError& error) = 0;
    // When the open file was last written, in seconds since 1970 UTC: the file itself, not
    // whatever its name leads to by now.
    virtual bool modifiedTime(int64_t& seconds, SystemError& error) = 0;
    // Puts what was written on stable storage.
    virtual bool sync(SystemError& error) = 0;
    // Closes the file: a failure here (a late write error) means written data may be lost.
    // Afterwards every call fails.
    virtual bool close(SystemError& error) = 0;
};

}  // namespace Quilna
