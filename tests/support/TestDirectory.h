#pragma once
// A fresh temporary directory for one test, removed afterwards; unique so that tests may run in parallel.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace Quilna::TestSupport {

class TestDirectory {
public:
    TestDirectory() {
        static std::atomic<unsigned> counter{0};
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device entropy;
        do {
            path_ = base / ("quilna-files-" + std::to_string(entropy()) + "-" + std::to_string(counter++));
        } while (!std::filesystem::create_directory(path_));
    }
    ~TestDirectory() {
        std::error_code ignored;
        // Unreadable or read-only entries must go too; stepping never throws on paths too long to reach.
        std::filesystem::recursive_directory_iterator entry(path_, ignored), end;
        for (; entry != end; entry.increment(ignored))
            if (!entry->is_symlink(ignored))
                std::filesystem::permissions(entry->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TestDirectory(const TestDirectory&) = delete;
    TestDirectory& operator=(const TestDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string text() const { return path_.string(); }
    std::string child(const std::string& name) const { return (path_ / name).string(); }

    // Writes a file holding exactly the content; returns its path.
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream file(path_ / name, std::ios::binary | std::ios::trunc);
        file << content;
        return child(name);
    }

    std::string read(const std::string& name) const { return readFile(child(name)); }

    static std::string readFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
};

}  // namespace Quilna::TestSupport
