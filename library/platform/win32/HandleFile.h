#pragma once
// An open file's contents through its kernel handle, which it owns.

#include <utility>

#include "platform/OpenFile.h"
#include "platform/win32/UniqueHandle.h"

namespace Quilna::win32 {

class HandleFile : public OpenFile {
public:
    HandleFile(UniqueHandle file, bool append) : file_(std::move(file)), append_(append) {}

    SystemError read(char* buffer, size_t count, size_t& got) override;
    SystemError write(const char* data, size_t count, size_t& written) override;
    SystemError seek(int64_t offset, Origin origin, int64_t& reached) override;
    SystemError modifiedTime(int64_t& seconds) override;
    SystemError sync() override;
    SystemError close() override;

private:
    UniqueHandle file_;
    bool append_;
};

}  // namespace Quilna::win32
