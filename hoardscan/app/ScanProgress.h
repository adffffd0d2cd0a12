#pragma once
// The progress line of a scan of a path on a terminal: files, bytes, directories, files per second
// and the current directory on standard error, rewritten in place a few times a second and erased
// at the end. The walk's thread calls tick only every so many files, so the clock is read rarely.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace Quilna {

class ScanProgress {
public:
    // Files between two looks at the clock.
    static constexpr uint32_t filesPerTick = 256;

    ScanProgress();
    ~ScanProgress();
    ScanProgress(const ScanProgress&) = delete;
    ScanProgress& operator=(const ScanProgress&) = delete;

    void tick(uint64_t files, double bytes, uint64_t directories, std::string_view directory);
    // Erases the line, if one is shown.
    void erase();

private:
    void show(uint64_t files, double bytes, uint64_t directories, std::string_view directory, double seconds);

    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point shown_;
    std::string line_;  // reused per refresh
    bool showing_ = false;
};

}  // namespace Quilna
