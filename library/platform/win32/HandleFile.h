#pragma once
// An open file's contents through its kernel handle, which it owns.

#include <utility>

#include "platform/OpenFile.h"
#include "platform/win32/UniqueHandle.h"

namespace Quilna::win32 {

class HandleFile : public OpenFile {
public:
    HandleFile(UniqueHandle file, bool append) : file_(std::move(file)), append_(append) {}

    bool read(char* buffer, size_t count, size_t& got, SystemError& error) override;
    bool write(const char* data, size_t count, size_t& written, SystemError& error) override;
    bool seek(int64_t offset, Origin origin, int64_t& reached, SystemError& error) override;
    bool modifiedTime(int64_t& seconds, SystemError& error) override;
    bool sync(SystemError& error) override;
    bool close(SystemError& error) override;

private:
    UniqueHandle file_;
    bool append_;
};

}  // namespace Quilna::win32
