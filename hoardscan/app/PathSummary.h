#pragma once
// What a scan of a path prints: the totals, the largest directories (whole subtrees, from the
// directory totals' sums), and the files, bytes on disk and share of each user, type and access
// temperature; as text for people or as JSON for scripts. Fed one counted file at a time on the
// walk's thread; it also drives the progress line, when there is one.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hoardscan/tallies/LargestDirectories.h"

namespace Quilna {

class ScanProgress;
struct FileFacts;

class PathSummary {
public:
    struct Sums {
        int64_t files = 0;
        int64_t bytes = 0;
        int64_t bytesOnDisk = 0;
    };

    explicit PathSummary(size_t directoriesShown) : largest_(directoriesShown) {}

    void showProgressOn(ScanProgress& progress) { progress_ = &progress; }
    void add(const FileFacts& facts);
    LargestDirectories& largestDirectories() { return largest_; }

    std::string text(const std::vector<std::string>& paths) const;
    std::string json(const std::vector<std::string>& paths) const;

    const Sums& total() const { return total_; }
    // "1.5 GiB", "512 B".
    static std::string readableSize(double bytes);

private:
    using Table = std::map<std::string, Sums>;
    static void addTo(Table& table, const std::string& name, const FileFacts& facts);
    static void add(Sums& sums, const FileFacts& facts);
    // By user name without the computer's, as people know them.
    Table shownUsers() const;
    void appendTextTable(std::string& out, const char* title, const Table& table) const;
    void appendTextRow(std::string& out, const Sums& sums, const std::string& name) const;
    void appendJsonTable(std::string& out, const char* name, const Table& table) const;
    static void appendJsonRow(std::string& out, const Sums& sums, double total, const char* nameKey,
                              const std::string& name);
    static std::vector<std::pair<std::string, Sums>> largestFirst(const Table& table);

    Sums total_;
    Table users_, types_, temperatures_;
    LargestDirectories largest_;
    ScanProgress* progress_ = nullptr;
    uint32_t sinceTick_ = 0;
};

}  // namespace Quilna
