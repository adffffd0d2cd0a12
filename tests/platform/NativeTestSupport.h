#pragma once
// Helpers for the tests of the native backend. These tests are built for every system, so
// they reach the system only through platform() and the standard library.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>

#include "platform/Platform.h"

namespace Quilna::NativeTest {

inline bool onWindows() { return std::filesystem::path::preferred_separator == '\\'; }

// A name no other test program or run uses at the same time.
inline std::string uniqueName(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    return prefix + std::to_string(platform().processId()) + "-" + std::to_string(seed % 100000) + "-" +
           std::to_string(counter++);
}

// A fresh directory below the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir() {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do {
            path_ = base / uniqueName("quilna-native-");
        } while (!std::filesystem::create_directory(path_));
    }
    ~TempDir() {
        std::error_code ignored;
        // Read-only files cannot be removed on Windows.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string text() const { return path_.string(); }
    std::string child(const std::string& name) const { return (path_ / name).string(); }

    // Writes a file of the given content and returns its path.
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream file(path_ / name, std::ios::binary);
        file << content;
        return child(name);
    }

private:
    std::filesystem::path path_;
};

// Sets an environment variable through the platform for a test's lifetime.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
        had_ = platform().getEnv(name_, old_);
        platform().setEnv(name_, value);
    }
    ~ScopedEnv() {
        if (had_) {
            platform().setEnv(name_, old_);
        } else {
            platform().unsetEnv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

// Restores the process's current directory after a test that changes it.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(std::filesystem::current_path()) {}
    ~CurrentDirectoryGuard() {
        std::error_code ignored;
        std::filesystem::current_path(saved_, ignored);
    }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    std::filesystem::path saved_;
};

}  // namespace Quilna::NativeTest
