#pragma once
// An open file's contents through its descriptor, which it owns.

#include <utility>

#include "platform/OpenFile.h"
#include "platform/posix/Descriptor.h"

namespace Quilna::posix {

class DescriptorFile : public OpenFile {
public:
    explicit DescriptorFile(Descriptor file) : file_(std::move(file)) {}

    SystemError read(char* buffer, size_t count, size_t& got) override;
    SystemError write(const char* data, size_t count, size_t& written) override;
    SystemError seek(int64_t offset, Origin origin, int64_t& reached) override;
    SystemError modifiedTime(int64_t& seconds) override;
    SystemError sync() override;
    SystemError close() override;

private:
    Descriptor file_;
};

}  // namespace Quilna::posix
