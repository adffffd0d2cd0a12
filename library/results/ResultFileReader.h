#pragma once
// Reads the result files of a run back: the account record file, the inactive-file table,
// the temperature log, the extension log and the directory totals, and the names they carry. Every malformed line
// is a ResultFileError naming the file, the line and what is wrong, never quoting the content:
// the file may be anything a hostile user placed. Lines are streamed and bounded in length, so
// a file of any size is read in bounded memory; the vector forms are for small files and tests.
// The file is opened once, at the first read, never through a link, and only when it is a
// regular file; later reads and its modification time come from the same open file, so that
// a name swapped for another file meanwhile changes nothing.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/OpenFile.h"
#include "platform/SystemServices.h"
#include "results/AccountRecord.h"
#include "results/DirectoryTotalsFormat.h"
#include "results/InactiveTableFormat.h"
#include "results/ResultFileError.h"
#include "results/ResultFileName.h"
#include "results/TemperatureLogFormat.h"

namespace Quilna {

class ResultFileReader {
public:
    ResultFileReader(FileSystem& files, SystemServices& services, std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }
    std::optional<ResultFileName> name() const { return ResultFileName::parse(path_.filename().string()); }

    using AccountRecordSink = std::function<void(const AccountRecordView&)>;
    using InactiveRowSink = std::function<void(InactiveRow&&)>;
    using TemperatureRowSink = std::function<void(TemperatureRow&&)>;
    using DirectoryTotalSink = std::function<void(DirectoryTotalRow&&)>;
    using ExtensionSink = std::function<void(std::string_view extension, int64_t line)>;
    // Told of a line passed over: its number and why.
    using SkippedLineSink = std::function<void(int64_t line, const std::string& reason)>;

    void forEachAccountRecord(const AccountRecordSink& sink);
    // The rows of directories name paths of any depth: with skipped given, a row longer than
    // the line limit is passed over and told of instead of failing the whole file.
    void forEachInactiveRow(const InactiveRowSink& sink, const SkippedLineSink& skipped = {});
    void forEachTemperatureRow(const TemperatureRowSink& sink, const SkippedLineSink& skipped = {});
    void forEachDirectoryTotal(const DirectoryTotalSink& sink, const SkippedLineSink& skipped = {});
    void forEachExtension(const ExtensionSink& sink);

    std::vector<AccountRecord> accountRecords();
    // The run's value per key text: a key flushed more than once counts as the sum.
    std::map<std::string, AccountValues> accountTotals();
    std::vector<InactiveRow> inactiveRows();
    std::vector<TemperatureRow> temperatureRows();
    std::vector<DirectoryTotalRow> directoryTotals();
    std::vector<std::string> extensions();

    // Size and a 64-bit FNV-1a hash of the bytes of the last complete read, so that a
    // caller can tell one file's content from another's without reading it twice.
    uint64_t contentSize() const { return contentSize_; }
    uint64_t contentHash() const { return contentHash_; }
    // When the file was last written (seconds since 1970), from the open file.
    std::optional<int64_t> modifiedTime();

private:
    using LineSink = std::function<void(std::string_view line, int64_t number)>;

    void forEachLine(const LineSink& sink, const SkippedLineSink& skipped = {});
    // Each line parsed by parseRow(line, row, fault) into a row that knows its line number.
    template <class Row, class Parse>
    void forEachRow(Parse parseRow, const std::function<void(Row&&)>& sink, const SkippedLineSink& skipped);
    OpenFile& openedFile();
    [[noreturn]] void fail(int64_t line, const std::string& reason) const;

    // Fails with the format's reason and the line number when the line was refused.
    void check(bool parsed, int64_t line) const {
        if (!parsed) fail(line, fault_);
    }

    FileSystem& files_;
    SystemServices& services_;
    std::filesystem::path path_;
    std::unique_ptr<OpenFile> file_;
    uint64_t contentSize_ = 0;
    uint64_t contentHash_ = 0;
    std::string fault_;
};

}  // namespace Quilna
