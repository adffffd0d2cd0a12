// Win32: clock, local time, environment, process and system information.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/CalendarFields.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Impl.h"
// NetAPI declarations need the Windows types first.
#include <lm.h>

namespace Quilna {

NativePlatform::NativePlatform() : impl_(std::make_unique<Impl>()) {}
NativePlatform::~NativePlatform() = default;

int64_t NativePlatform::now() { return static_cast<int64_t>(::_time64(nullptr)); }

void NativePlatform::initTimeZone() { ::_tzset(); }

bool NativePlatform::toLocalCalendar(int64_t utcSeconds, CalendarTime& out) {
    __time64_t t = static_cast<__time64_t>(utcSeconds);
    struct tm fields {};
    if (::_localtime64_s(&fields, &t) != 0) return false;
    out = calendarFromFields(fields);
    return true;
}

bool NativePlatform::fromLocalCalendar(const CalendarTime& local, int64_t& utcSeconds) {
    struct tm fields = fieldsFromCalendar(local);
    __time64_t t = ::_mktime64(&fields);
    if (t == static_cast<__time64_t>(-1)) return false;
    utcSeconds = static_cast<int64_t>(t);
    return true;
}

// The process environment is read and written through the system, so a variable set to the
// empty text stays set (the C runtime's copy cannot hold empty values). The runtime's copy is
// kept in step because its time-zone set-up reads TZ from there.
bool NativePlatform::getEnv(const std::string& name, std::string& value) {
    const std::wstring wideName = win32::toWide(name);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            value.clear();
            return true;
        }
        if (length < buffer.size()) {
            value = win32::toUtf8(buffer.data(), length);
            return true;
        }
        buffer.resize(length);
    }
}

bool NativePlatform::setEnv(const std::string& name, const std::string& value, SystemError& error) {
    if (name.empty() || name.find('=') != std::string::npos) return win32::fail(error, ERROR_INVALID_PARAMETER);
    // An empty value removes the runtime's copy; the system's copy then holds the empty text.
    const std::wstring wideName = win32::toWide(name), wideValue = win32::toWide(value);
    ::_wputenv_s(wideName.c_str(), wideValue.c_str());
    return ::SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str()) != 0 || win32::fail(error);
}

bool NativePlatform::unsetEnv(const std::string& name, SystemError& error) {
    if (name.empty() || name.find('=') != std::string::npos) return win32::fail(error, ERROR_INVALID_PARAMETER);
    const std::wstring wideName = win32::toWide(name);
    ::_wputenv_s(wideName.c_str(), L"");
    return ::SetEnvironmentVariableW(wideName.c_str(), nullptr) != 0 || ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ||
           win32::fail(error);
}

void NativePlatform::sleepMs(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t NativePlatform::threadId() { return ::GetCurrentThreadId(); }

uint32_t NativePlatform::processId() { return ::GetCurrentProcessId(); }

namespace win32 {
SystemError systemError(uint32_t code) {
    switch (code) {
        case ERROR_SUCCESS: return SystemError{};
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_NO_SUCH_ALIAS:
        case NERR_GroupNotFound: return {ErrorKind::NotFound, code};
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return {ErrorKind::AccessDenied, code};
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return {ErrorKind::SharingViolation, code};
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return {ErrorKind::DiskFull, code};
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return {ErrorKind::NoMemory, code};
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return {ErrorKind::Exists, code};
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_BAD_NET_NAME: return {ErrorKind::NoNetwork, code};
        default: return {ErrorKind::Other, code};
    }
}

SystemError lastSystemError() { return systemError(::GetLastError()); }

bool fail(SystemError& error, DWORD code) {
    // A call that failed without a reason of its own still fails.
    error = systemError(code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE);
    return false;
}

bool fail(SystemError& error) { return fail(error, ::GetLastError()); }
}  // namespace win32

std::string NativePlatform::errorText(uint32_t code) {
    wchar_t* message = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    if (length == 0 || !message) return "Unknown error " + std::to_string(code);
    std::string text = win32::toUtf8(message, length);
    ::LocalFree(message);
    // The system ends its texts with a line end (and sometimes a blank before it).
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.pop_back();
    return text;
}

void NativePlatform::exitProcess(int code) { std::exit(code); }

namespace {
std::atomic<std::atomic<bool>*> stopFlag{nullptr};
std::atomic<bool> stopOnInterrupt{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI consoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (!stopOnInterrupt.load()) return FALSE;  // the default: the process ends
            if (auto* flag = stopFlag.load()) flag->store(true);
            return TRUE;
        case CTRL_LOGOFF_EVENT:
            // Only services see it, for whichever user logs off: no reason to stop.
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (auto* flag = stopFlag.load()) flag->store(true);
            // The system ends the process as soon as this returns; a short grace lets the
            // program close its files first (it ends the process itself when done).
            ::Sleep(4000);
            return TRUE;
        default: return FALSE;
    }
}
}  // namespace

void NativePlatform::watchStopSignals(std::atomic<bool>* flag, bool includeInterrupt) {
    stopFlag.store(flag);
    stopOnInterrupt.store(includeInterrupt);
    static std::once_flag installed;
    std::call_once(installed, [] { ::SetConsoleCtrlHandler(consoleControl, TRUE); });
}

void NativePlatform::watchReopenSignal(std::atomic<bool>* /*flag*/) {}

// A GUI program has no console: no Ctrl-C or other stop request reaches it. Shut-down and
// log-off set the quit flag of watchStopSignals only.
void NativePlatform::watchStopRequests(std::atomic<int>* /*request*/) {}

bool NativePlatform::processExists(uint32_t processId) {
    const win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.valid()) return ::GetLastError() == ERROR_ACCESS_DENIED;  // another user's
    DWORD code = 0;
    return ::GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

bool NativePlatform::processHasThread(uint32_t processId, uint32_t threadId) {
    const win32::UniqueHandle thread(::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId));
    return thread.valid() && ::GetProcessIdOfThread(thread.get()) == processId;
}

// ---- System information ----

uint32_t NativePlatform::processorArchitecture() {
    std::call_once(impl_->architectureOnce, [this] {
        // A 32-bit process on 64-bit Windows reports the machine's own architecture this way.
        using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
        auto nativeInfo = win32::lookUpEntryPoint<NativeInfoFn>(L"kernel32.dll", "GetNativeSystemInfo");
        SYSTEM_INFO info{};
        if (nativeInfo) {
            nativeInfo(&info);
        } else {
            ::GetSystemInfo(&info);
        }
        impl_->architecture = info.wProcessorArchitecture;
    });
    return impl_->architecture;
}

bool NativePlatform::osVersion(OsVersion& out) {
    // The version functions of kernel32 report 6.2 to every program without a compatibility
    // manifest on any later system; the kernel's own call tells the truth.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    auto rtlGetVersion = win32::lookUpEntryPoint<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) {
        info = OSVERSIONINFOEXW{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
    }
    out.ntFamily = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    out.workstation = info.wProductType == VER_NT_WORKSTATION;
    out.suiteMask = info.wSuiteMask;
    out.serverR2Metric = ::GetSystemMetrics(SM_SERVERR2);
    out.name.clear();
    return true;
}

bool NativePlatform::computerName(std::string& out) {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name / sizeof name[0];
    if (!::GetComputerNameW(name, &size)) return false;
    out = win32::toUtf8(name, size);
    return true;
}

bool NativePlatform::dnsDomain(std::string& out) {
    std::vector<wchar_t> name(256);
    for (;;) {
        DWORD size = static_cast<DWORD>(name.size());
        if (::GetComputerNameExW(ComputerNameDnsDomain, name.data(), &size)) {
            out = win32::toUtf8(name.data(), size);
            return true;
        }
        if (::GetLastError() != ERROR_MORE_DATA || size <= name.size()) return false;
        name.resize(size);
    }
}

bool NativePlatform::workgroup(std::string& out) {
    LPBYTE buffer = nullptr;
    if (::NetWkstaGetInfo(nullptr, 100, &buffer) != NERR_Success || !buffer) {
        if (buffer) ::NetApiBufferFree(buffer);
        return false;
    }
    out = win32::toUtf8(reinterpret_cast<WKSTA_INFO_100*>(buffer)->wki100_langroup);
    ::NetApiBufferFree(buffer);
    return true;
}

bool NativePlatform::userName(std::string& out) {
    std::vector<wchar_t> name(20);
    for (;;) {
        DWORD size = static_cast<DWORD>(name.size());
        if (::GetUserNameW(name.data(), &size)) {
            out = win32::toUtf8(name.data());
            return true;
        }
        // The system reports a short buffer as 122, older documentation says 234.
        DWORD error = ::GetLastError();
        if ((error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) || size <= name.size()) return false;
        name.resize(size);
    }
}

// Windows keeps no system log here: the records stay in the program's log and the collector's.
void NativePlatform::writeSystemLog(SystemLogLevel, const std::string&) {}

bool NativePlatform::isWow64() {
    std::call_once(impl_->wow64Once, [this] {
        using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
        auto isWow64Process = win32::lookUpEntryPoint<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
        BOOL answer = FALSE;
        impl_->wow64 = isWow64Process && isWow64Process(::GetCurrentProcess(), &answer) && answer == 1;
    });
    return impl_->wow64;
}

// A GUI-subsystem program has a console only when one was attached; a redirected handle is no console.
bool NativePlatform::standardErrorIsTerminal() {
    const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_CHAR &&
           ::GetConsoleMode(handle, &mode) != 0;
}

bool NativePlatform::writeStandardOutput(const std::string& bytes, SystemError& error) {
    const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return win32::fail(error, ERROR_INVALID_HANDLE);
    for (size_t done = 0; done < bytes.size();) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(handle, bytes.data() + done, piece, &put, nullptr)) return win32::fail(error);
        if (put == 0) return win32::fail(error, ERROR_HANDLE_DISK_FULL);
        done += put;
    }
    return true;
}

}  // namespace Quilna
