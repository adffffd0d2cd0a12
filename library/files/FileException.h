#pragma once
#include "core/Exception.h"

// Codes, texts and domain number of one domain of the exception family.

namespace Quilna {

enum FileExceptionCode : int32_t {
    FL_NONE = 0,
    FL_MEM = 1,
    FL_EXISTS_NOT = 2,
    FL_EXISTS = 3,
    FL_IS_OPEN = 4,
    FL_CANNOT_OPEN = 5,
    FL_IS_CLOSED = 6,
    FL_CANNOT_CLOSE = 7,
    FL_ACCESS_COMB = 8,
    FL_CANNOT_READ = 9,
    FL_READ = 10,
    FL_CANNOT_WRITE = 11,
    FL_WRITE = 12,
    FL_FLUSH = 13,
    FL_EOF = 14,
    FL_POSITION = 15,
    FL_CANNOT_UNLOCK = 16,
    FL_CANNOT_LOCK = 17,
    FL_IS_LOCKED = 18,
    FL_CANNOT_COPY = 19,
    FL_RENAME = 20,
    FL_REMOVE = 21,
    FL_CREATE_DIR = 22,
    FL_GET_DIR = 23,
    FL_NO_DIR = 24,
    FL_SPACE = 25,
    FL_ACCESS = 26,
    FL_ERROR = 28,
};

class FileException : public Exception {
public:
    explicit FileException(int32_t code) : Exception(code) {}
    FileException(int32_t code, std::string detail, const std::string& sourceUnit, int32_t line)
        : Exception(code, std::move(detail), sourceUnit, line) {}

    std::string& describe(std::string& out) const override { return describeAs(out); }
    int32_t domainId() const override { return 60; }
    // The code's name ("" when it has no row).
    static const char* codeName(int32_t code);

protected:
    const char* domainName() const override { return "File"; }
    const char* codeText() const override;
};

}  // namespace Quilna
