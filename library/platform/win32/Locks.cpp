// Win32: named locks are named mutexes that exist only while held; recursive locks are
// critical sections.
#include "platform/NamedLock.h"
#include "platform/RecursiveLock.h"
#include "platform/win32/Win32Impl.h"

namespace Quilna {

namespace {

// Holds a named mutex this process created and owns. Closing the last handle removes the
// object, so the name is free again; a process that ends without releasing frees it too.
class MutexLock : public NamedLock {
public:
    explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
    ~MutexLock() override {
        SystemError ignored;
        release(ignored);
    }

    bool release(SystemError& error) override {
        if (!mutex_.valid()) return true;
        const bool released = ::ReleaseMutex(mutex_.get()) != 0 || win32::fail(error);
        mutex_.reset();
        return released;
    }

private:
    win32::UniqueHandle mutex_;
};

class CriticalSectionLock : public RecursiveLock {
public:
    CriticalSectionLock() { ::InitializeCriticalSection(&section_); }
    ~CriticalSectionLock() override { ::DeleteCriticalSection(&section_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

    void enter() override { ::EnterCriticalSection(&section_); }
    void leave() override { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

}  // namespace

std::unique_ptr<NamedLock> NativePlatform::tryNamedLock(const std::string& name, SystemError& error) {
    // An empty name would make an unnamed mutex that excludes nobody.
    if (name.empty()) {
        win32::fail(error, ERROR_INVALID_NAME);
        error.detail = "a lock needs a name";
        return nullptr;
    }
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, win32::toWide(name).c_str());
    const DWORD made = ::GetLastError();
    // Another kind of object of that name, or one this user may not open: no wait changes that.
    if (!mutex) {
        win32::fail(error, made);
        error.detail = "the lock \"" + name + "\" cannot be made: " + errorText(made);
        return nullptr;
    }
    if (made == ERROR_ALREADY_EXISTS) {
        // Someone holds it: this handle did not take ownership.
        ::CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<MutexLock>(mutex);
}

std::unique_ptr<RecursiveLock> NativePlatform::makeRecursiveLock() { return std::make_unique<CriticalSectionLock>(); }

}  // namespace Quilna
