#pragma once
// A result file that cannot be read or holds a malformed line. The message names the file
// and, when the fault lies in a line, its number: "<file>:<line>: <reason>".

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace Quilna {

class ResultFileError : public std::runtime_error {
public:
    ResultFileError(std::string file, int64_t line, std::string reason)
        : std::runtime_error(compose(file, line, reason)),
          file_(std::move(file)),
          line_(line),
          reason_(std::move(reason)) {}

    const std::string& file() const { return file_; }
    int64_t line() const { return line_; }  // 0 when the fault is not in one line
    const std::string& reason() const { return reason_; }

private:
    static std::string compose(const std::string& file, int64_t line, const std::string& reason) {
        return line > 0 ? file + ":" + std::to_string(line) + ": " + reason : file + ": " + reason;
    }

    std::string file_;
    int64_t line_;
    std::string reason_;
};

}  // namespace Quilna
