#pragma once
// A result file that cannot be read or holds a malformed line. The message names the file
// and, when the fault lies in a line, its number: "<file>:<line>: <reason>". One of the
// library's exceptions, its text the plain message: the report tool prints it as it is.

#include <cstdint>
#include <string>
#include <utility>

#include "core/Exception.h"

namespace Quilna {

class ResultFileError : public Exception {
public:
    ResultFileError(std::string file, int64_t line, std::string reason)
        : Exception(0),
          message_(compose(file, line, reason)),
          file_(std::move(file)),
          line_(line),
          reason_(std::move(reason)) {}

    const std::string& file() const { return file_; }
    int64_t line() const { return line_; }  // 0 when the fault is not in one line
    const std::string& reason() const { return reason_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    static std::string compose(const std::string& file, int64_t line, const std::string& reason) {
        return line > 0 ? file + ":" + std::to_string(line) + ": " + reason : file + ": " + reason;
    }

    std::string message_;
    std::string file_;
    int64_t line_;
    std::string reason_;
};

}  // namespace Quilna
