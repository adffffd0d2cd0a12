#pragma once
// An open file's contents through its descriptor, which it owns.

#include <utility>

#include "platform/OpenFile.h"
#include "platform/posix/Descriptor.h"

namespace Quilna::posix {

class DescriptorFile : public OpenFile {
public:
    explicit DescriptorFile(Descriptor file) : file_(std::move(file)) {}

    bool read(char* buffer, size_t count, size_t& got, SystemError& error) override;
    bool write(const char* data, size_t count, size_t& written, SystemError& error) override;
    bool seek(int64_t offset, Origin origin, int64_t& reached, SystemError& error) override;
    bool modifiedTime(int64_t& seconds, SystemError& error) override;
    bool sync(SystemError& error) override;
    bool close(SystemError& error) override;

private:
    Descriptor file_;
};

}  // namespace Quilna::posix
