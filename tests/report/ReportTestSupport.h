#pragma once

#include "results/AccountRecordFormat.h"
#include "results/ResultFileReader.h"
#include "report/Commands.h"
#include "support/TestDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace Quilna::ReportTest {

namespace fs = std::filesystem;
using TempFolder = TestSupport::TestDirectory;

inline fs::path writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
}
inline std::string readText(const fs::path& file) { return TempFolder::readFile(file.string()); }

// Whether text holds part; the message shows both either way.
inline ::testing::AssertionResult contains(const std::string& text, const std::string& part) {
    return (text.find(part) != std::string::npos ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "\"" << part << "\" in:\n"
           << text;
}

struct GeneratedRecord {
    int64_t day = 0;
    RecordKey key;
    int64_t files = 0, bytes = 0, bytesOnDisk = 0;
};

inline std::string recordLines(const GeneratedRecord& r) {
    return "1:" + std::to_string(r.day) + ":29:" + AccountRecordFormat::keyText(r.key) +
           "\n1:" + std::to_string(r.files) + ":" + std::to_string(r.bytes) + ":" + std::to_string(r.bytesOnDisk) +
           ":" + std::to_string(r.bytes * 0.00001 + r.bytesOnDisk * 0.0001) + "\n";
}

inline fs::path writeRecordFile(const fs::path& folder, int64_t day, int64_t pid,
                                const std::vector<GeneratedRecord>& records) {
    std::string text;
    for (const GeneratedRecord& record : records) text += recordLines(record);
    return writeText(folder / ("Hoardscan-" + std::to_string(day) + "-" + std::to_string(pid) + ".data"), text);
}

inline RecordKey makeKey(const std::string& host, const std::string& account, const std::string& user,
                         const std::string& group, const std::string& type, const std::string& access,
                         const std::string& modify) {
    return RecordKey{{"OSLO", host, "C", account, user, group, type, "Normal", access, modify}};
}

// Small pools, so that keys repeat within a file (a buffer flushed twice) and between runs.
inline std::vector<GeneratedRecord> randomRecords(std::mt19937& random, const std::string& host, int64_t day,
                                                  size_t count) {
    const auto pick = [&](std::vector<std::string> pool) { return pool[random() % pool.size()]; };
    std::vector<GeneratedRecord> records(count);
    for (GeneratedRecord& record : records) {
        const auto bytes = static_cast<int64_t>(random() % 5000000000ull);
        record = {day,
                  makeKey(host, pick({"sales", "it", "hr", "finance", "legal"}), pick({"ann", "bob", "cid", "dag"}),
                          pick({"Users", "Users,Staff", "UNDEF", "Admins,Users"}),
                          pick({"doc", "xls", "iso", "jpg", "undef"}), pick({"hot", "warm", "cold", "frozen"}),
                          pick({"hot", "warm", "cold", "frozen"})),
                  1 + static_cast<int64_t>(random() % 50), bytes, bytes + static_cast<int64_t>(random() % 4096)};
    }
    return records;
}

// Rows "name,directory,KiB,last access,temperature,".
inline fs::path writeInactiveFile(const fs::path& folder, int64_t day, int64_t pid,
                                  const std::vector<std::string>& rows) {
    std::string text = std::string(InactiveTableFormat::header) + "\n";
    for (const std::string& row : rows) text += row + "\n";
    return writeText(folder / ("HoardscanInactive-" + std::to_string(day) + "-" + std::to_string(pid) + ".csv"), text);
}

inline fs::path setModified(const fs::path& file, int64_t seconds) {
    fs::last_write_time(file,
                        std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(seconds))));
    return file;
}

struct RunOutput {
    int exitCode = 0;
    std::string out, err;
};

inline RunOutput runReport(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int exitCode = Commands::run(arguments, out, err);
    return RunOutput{exitCode, out.str(), err.str()};
}

}  // namespace Quilna::ReportTest
