#include "platform/win32/HandleFile.h"

#include <algorithm>

#include "platform/win32/Win32Impl.h"

namespace Quilna::win32 {

namespace {
// The most one call moves; larger counts take several.
constexpr size_t largestCall = 1u << 30;
}  // namespace

bool HandleFile::read(char* buffer, size_t count, size_t& got, SystemError& error) {
    got = 0;
    DWORD read = 0;
    if (!::ReadFile(file_.get(), buffer, static_cast<DWORD>(std::min(count, largestCall)), &read, nullptr))
        return fail(error);
    got = read;
    return true;
}

bool HandleFile::write(const char* data, size_t count, size_t& written, SystemError& error) {
    written = 0;
    int64_t end = 0;
    // Appends go to the end as it is now, which another writer may have moved.
    if (append_ && !seek(0, Origin::End, end, error)) return false;
    while (written < count) {
        DWORD put = 0;
        if (!::WriteFile(file_.get(), data + written, static_cast<DWORD>(std::min(count - written, largestCall)), &put,
                         nullptr))
            return fail(error);
        // A write that takes nothing without saying why has no room left.
        if (put == 0) return fail(error, ERROR_DISK_FULL);
        written += put;
    }
    return true;
}

bool HandleFile::seek(int64_t offset, Origin origin, int64_t& reached, SystemError& error) {
    const DWORD method = origin == Origin::Start ? FILE_BEGIN : (origin == Origin::End ? FILE_END : FILE_CURRENT);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    LARGE_INTEGER result{};
    if (!::SetFilePointerEx(file_.get(), distance, &result, method)) return fail(error);
    reached = static_cast<int64_t>(result.QuadPart);
    return true;
}

bool HandleFile::modifiedTime(int64_t& seconds, SystemError& error) {
    FILETIME written{};
    if (!::GetFileTime(file_.get(), nullptr, nullptr, &written)) return fail(error);
    // FILETIME counts 100 ns ticks from 1601; whole seconds from 1970, rounded down.
    constexpr int64_t ticksPerSecond = 10000000;
    constexpr int64_t epochTicks = 116444736000000000;
    const auto ticks =
        static_cast<int64_t>((static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
    const int64_t since = ticks - epochTicks;
    seconds = since >= 0 ? since / ticksPerSecond : -((-since + ticksPerSecond - 1) / ticksPerSecond);
    return true;
}

bool HandleFile::sync(SystemError& error) { return ::FlushFileBuffers(file_.get()) || fail(error); }

bool HandleFile::close(SystemError& error) {
    if (!file_.valid()) return fail(error, ERROR_INVALID_HANDLE);
    return ::CloseHandle(file_.release()) || fail(error);
}

}  // namespace Quilna::win32
