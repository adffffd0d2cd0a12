#pragma once
// The one FileBase implementation: a BasicFile with access flags, a lock file against other
// writers and a safe update through the temporary copy "<name>.tmp". The copy is made anew
// (never through a link, readable by owner and group only) and put on stable storage before it
// takes the file's name, so a crash leaves the old content or the new, never a mixture.

#include "files/BasicFile.h"
#include "files/FileBase.h"
#include "platform/Platform.h"

namespace Quilna {

class FilePlain : public FileBase {
public:
    // The whole platform: its files, the drives by which a name such as "C:" exists, and the
    // pause between attempts to replace the file.
    FilePlain(Platform& system, std::string name) : FileBase(std::move(name)), system_(system), data_(system) {}
    ~FilePlain() override;

    void open(uint16_t access) override;
    void close() override;
    void discard() override;
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

    std::string temporaryName() const { return name_ + ".tmp"; }

    // Attempts of the final rename of the temporary copy, each itself retrying.
    static constexpr int replaceAttempts = 10;
    static constexpr uint32_t replacePauseMs = 2000;

private:
    std::string prepareWriting(uint16_t access);
    void makeTemporaryCopy();
    bool copyOriginalTo(const std::string& working) const;
    void releaseLeftovers();
    void unlockOrThrow();
    bool replaceByTemporary();
    void closeData();
    void requireReading(int32_t code) const;
    void requireWriting() const;
    void writeFailed() const;

    Platform& system_;
    BasicFile data_;
    // Exceptions in flight when the file was opened: more at destruction means the writer is
    // being unwound, and its unfinished copy must not replace the file.
    int exceptionsAtOpen_ = 0;
};

}  // namespace Quilna
