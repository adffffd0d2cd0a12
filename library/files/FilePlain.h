#pragma once
// The one FileBase implementation: a BasicFile with access flags.

#include "files/BasicFile.h"
#include "files/FileBase.h"

namespace Quilna {

class FilePlain : public FileBase {
public:
    explicit FilePlain(std::string name) : FileBase(std::move(name)) {}
    ~FilePlain() override;

    void open(uint16_t access) override;
    void close() override;
    bool read(std::string& out, uint64_t count) override;
    uint64_t read(char* buffer, uint64_t count) override;
    bool write(const std::string& text) override;
    uint64_t write(const char* buffer, uint64_t count) override;
    std::string readLine() override;
    bool writeLine(const std::string& text) override;
    bool flush() override;
    uint64_t seek(int64_t offset, int32_t origin) override;
    uint64_t position() override;
    bool atEnd() override;

private:
    void requireReading(int32_t code) const;
    void requireWriting() const;
    void writeFailed() const;

    BasicFile data_;
};

}  // namespace Quilna
