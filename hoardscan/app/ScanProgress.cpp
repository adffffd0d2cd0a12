#include "hoardscan/app/ScanProgress.h"

#include <cstdio>

#include "hoardscan/app/PathSummary.h"

namespace Quilna {

namespace {

constexpr auto refresh = std::chrono::milliseconds(250);
// Room for the figures and a directory on a narrow terminal; the directory keeps its end.
constexpr size_t shownDirectory = 40;

}  // namespace

// The first look at the clock shows the line.
ScanProgress::ScanProgress() : started_(std::chrono::steady_clock::now()), shown_(started_ - refresh) {}

ScanProgress::~ScanProgress() { erase(); }

void ScanProgress::tick(uint64_t files, double bytes, uint64_t directories, std::string_view directory) {
    const auto now = std::chrono::steady_clock::now();
    if (now - shown_ < refresh) return;
    shown_ = now;
    show(files, bytes, directories, directory, std::chrono::duration<double>(now - started_).count());
}

void ScanProgress::show(uint64_t files, double bytes, uint64_t directories, std::string_view directory,
                        double seconds) {
    char figures[160];
    std::snprintf(figures, sizeof figures, "\r\033[K%llu files, %s, %llu directories, %.0f files/s  ",
                  static_cast<unsigned long long>(files), PathSummary::readableSize(bytes).c_str(),
                  static_cast<unsigned long long>(directories), seconds > 0 ? static_cast<double>(files) / seconds : 0);
    line_.assign(figures);
    size_t start = directory.size() > shownDirectory ? directory.size() - shownDirectory : 0;
    while (start < directory.size() && (static_cast<unsigned char>(directory[start]) & 0xC0) == 0x80) ++start;
    if (start > 0) line_.append("...");
    // A name is anybody's: no byte of it reaches the terminal as a control character.
    for (const char c : directory.substr(start))
        line_.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    std::fputs(line_.c_str(), stderr);
    std::fflush(stderr);
    showing_ = true;
}

void ScanProgress::erase() {
    if (!showing_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    showing_ = false;
}

}  // namespace Quilna
