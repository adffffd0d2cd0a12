#pragma once
// The .reg files this process has read, each kept parsed until the file on disk changes: a
// run reads its resources many times (every ${name} of a value is a read), and a file of tens
// of megabytes must not be parsed again for each of them.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/posix/RegFile.h"

namespace Quilna::posix {

class RegFileCache {
public:
    // Files beyond this size are not read.
    static constexpr uint64_t largestFile = 64 * 1024 * 1024;

    // The parsed file at path, parsed again only when the path names another file or the file
    // changed (size, modification time). Null, with errno set, when it cannot be opened, is not
    // a regular file (a FIFO would block the reader), is too large, cannot be read or is no .reg
    // text. Never blocks on what is not a regular file.
    std::shared_ptr<const RegFile> load(const std::string& path);
    // How often a file was read and parsed.
    uint64_t parses() const;

private:
    struct Stamp {
        uint64_t device = 0, inode = 0, size = 0;
        int64_t seconds = 0, nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Parsed {
        Stamp stamp;
        std::shared_ptr<const RegFile> file;
    };

    mutable std::mutex guard_;
    std::map<std::string, Parsed> files_;
    uint64_t parses_ = 0;
};

}  // namespace Quilna::posix
