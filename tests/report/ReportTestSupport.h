#pragma once
// Helpers of the report tests: a temporary folder of their own, writers of result files
// in the scanner's formats, and the report program run in-process.

#include "hoardscan/ResultRecords.h"
#include "tools/report/Commands.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace Quilna::ReportTest {

namespace fs = std::filesystem;

// A folder unique to this process and object, removed with it.
class TempFolder {
public:
    TempFolder() {
        std::random_device seed;
        path_ = fs::temp_directory_path() /
                ("hoardscan-report-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
}

inline std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A number as the scanner writes it: whole values below 2^53 plainly, others shortest.
inline std::string numberText(double value) {
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
        return std::to_string(static_cast<int64_t>(value));
    }
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

struct GeneratedRecord {
    int64_t day = 0;
    RecordKey key;
    int64_t files = 0;
    int64_t bytes = 0;
    int64_t bytesOnDisk = 0;

    double weightedSize() const { return bytes * 0.00001 + bytesOnDisk * 0.0001; }
};

inline std::string recordLines(const GeneratedRecord& record) {
    return "1:" + std::to_string(record.day) + ":29:" + record.key.text() + "\n1:" + std::to_string(record.files) +
           ":" + std::to_string(record.bytes) + ":" + std::to_string(record.bytesOnDisk) + ":" +
           numberText(record.weightedSize()) + "\n";
}

inline fs::path writeRecordFile(const fs::path& folder, int64_t day, int64_t processId,
                                const std::vector<GeneratedRecord>& records) {
    std::string text;
    for (const GeneratedRecord& record : records) text += recordLines(record);
    const fs::path file = folder / ("Hoardscan-" + std::to_string(day) + "-" + std::to_string(processId) + ".data");
    writeText(file, text);
    return file;
}

inline RecordKey makeKey(const std::string& host, const std::string& account, const std::string& user,
                         const std::string& group, const std::string& type, const std::string& access,
                         const std::string& modify) {
    RecordKey key;
    key[KeyField::Site] = "OSLO";
    key[KeyField::Host] = host;
    key[KeyField::FileSystem] = "C";
    key[KeyField::Account] = account;
    key[KeyField::User] = user;
    key[KeyField::Group] = group;
    key[KeyField::FileType] = type;
    key[KeyField::Status] = "Normal";
    key[KeyField::AccessTemperature] = access;
    key[KeyField::ModifyTemperature] = modify;
    return key;
}

// Records of one run drawn from small pools, so that keys repeat within a file (as they do
// when the scanner flushes its buffer more than once) and between runs.
inline std::vector<GeneratedRecord> randomRecords(std::mt19937& random, const std::string& host, int64_t day,
                                                  size_t count) {
    static const std::vector<std::string> accounts = {"sales", "it", "hr", "finance", "legal"};
    static const std::vector<std::string> users = {"ann", "bob", "cid", "dag"};
    static const std::vector<std::string> groups = {"Users", "Users,Staff", "UNDEF", "Admins,Users"};
    static const std::vector<std::string> types = {"doc", "xls", "iso", "jpg", "undef"};
    static const std::vector<std::string> temperatures = {"hot", "warm", "cold", "frozen"};
    const auto pick = [&](const std::vector<std::string>& pool) { return pool[random() % pool.size()]; };
    std::vector<GeneratedRecord> records;
    for (size_t i = 0; i < count; ++i) {
        GeneratedRecord record;
        record.day = day;
        record.key = makeKey(host, pick(accounts), pick(users), pick(groups), pick(types), pick(temperatures),
                             pick(temperatures));
        record.files = 1 + static_cast<int64_t>(random() % 50);
        record.bytes = static_cast<int64_t>(random() % 5000000000ull);
        record.bytesOnDisk = record.bytes + static_cast<int64_t>(random() % 4096);
        records.push_back(record);
    }
    return records;
}

struct RunOutput {
    int exitCode = 0;
    std::string out;
    std::string err;
};

inline RunOutput runReport(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int exitCode = Commands::run(arguments, out, err);
    return RunOutput{exitCode, out.str(), err.str()};
}

}  // namespace Quilna::ReportTest
