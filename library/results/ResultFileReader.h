#pragma once
// Reads the result files of a run back: the account record file, the inactive-file table,
// the temperature log and the extension log, and the names they carry. Every malformed line
// is a ResultFileError naming the file, the line and what is wrong, never quoting the content:
// the file may be anything a hostile user placed. Lines are streamed and bounded in length, so
// a file of any size is read in bounded memory; the vector forms are for small files and tests.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/AccountRecord.h"
#include "results/InactiveTableFormat.h"
#include "results/ResultFileError.h"
#include "results/ResultFileName.h"
#include "results/TemperatureLogFormat.h"

namespace Quilna {

class ResultFileReader {
public:
    explicit ResultFileReader(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }
    std::optional<ResultFileName> name() const { return ResultFileName::parse(path_.filename().string()); }

    using AccountRecordSink = std::function<void(const AccountRecordView&)>;
    using InactiveRowSink = std::function<void(InactiveRow&&)>;
    using TemperatureRowSink = std::function<void(TemperatureRow&&)>;
    using ExtensionSink = std::function<void(std::string_view extension, int64_t line)>;

    void forEachAccountRecord(const AccountRecordSink& sink);
    void forEachInactiveRow(const InactiveRowSink& sink);
    void forEachTemperatureRow(const TemperatureRowSink& sink);
    void forEachExtension(const ExtensionSink& sink);

    std::vector<AccountRecord> accountRecords();
    // The run's value per key text: a key flushed more than once counts as the sum.
    std::map<std::string, AccountValues> accountTotals();
    std::vector<InactiveRow> inactiveRows();
    std::vector<TemperatureRow> temperatureRows();
    std::vector<std::string> extensions();

    // Size and a 64-bit FNV-1a hash of the bytes of the last complete read, so that a
    // caller can tell one file's content from another's without reading it twice.
    uint64_t contentSize() const { return contentSize_; }
    uint64_t contentHash() const { return contentHash_; }

private:
    using LineSink = std::function<void(std::string_view line, int64_t number)>;

    void forEachLine(const LineSink& sink);
    [[noreturn]] void fail(int64_t line, const std::string& reason) const;

    // Fails with the format's reason and the line number when the line was refused.
    void check(bool parsed, int64_t line) const {
        if (!parsed) fail(line, fault_);
    }

    std::filesystem::path path_;
    uint64_t contentSize_ = 0;
    uint64_t contentHash_ = 0;
    std::string fault_;
};

}  // namespace Quilna
