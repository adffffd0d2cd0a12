// Win32: mailslots "\\.\mailslot\<name>"; anyone may write (null DACL).
#include <vector>

#include "platform/MailslotEndpoint.h"
#include "platform/win32/Win32Impl.h"

namespace Quilna {

namespace {

// Security attributes whose present but null DACL grants access to everybody; the handle
// is inheritable.
class OpenToEveryone {
public:
    bool prepare(SystemError& error) {
        if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE)) {
            error = win32::lastSystemError();
            return false;
        }
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = TRUE;
        return true;
    }
    SECURITY_ATTRIBUTES* get() { return &attributes_; }

private:
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

std::wstring mailslotPath(const std::string& name, bool wholeDomain) {
    return (wholeDomain ? L"\\\\*\\mailslot\\" : L"\\\\.\\mailslot\\") + win32::toWide(name);
}

// The receiver's mailslot handle or the sender's file handle; the system refuses the
// operations that do not fit the kind of handle.
class MailslotHandle : public MailslotEndpoint {
public:
    explicit MailslotHandle(HANDLE handle) : handle_(handle) {}

    bool write(const std::string& bytes, SystemError& error) override {
        DWORD written = 0;
        if (!::WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            error = win32::lastSystemError();
            return false;
        }
        if (written != bytes.size()) {
            error = win32::systemError(ERROR_WRITE_FAULT);
            return false;
        }
        return true;
    }

    bool nextMessageSize(bool& waiting, uint32_t& size, SystemError& error) override {
        DWORD next = 0, count = 0;
        if (!::GetMailslotInfo(handle_.get(), nullptr, &next, &count, nullptr)) {
            error = win32::lastSystemError();
            return false;
        }
        waiting = next != MAILSLOT_NO_MESSAGE;
        size = waiting ? next : 0;
        return true;
    }

    bool read(uint32_t size, std::string& out, SystemError& error) override {
        std::vector<char> buffer(size + 1);
        DWORD got = 0;
        if (!::ReadFile(handle_.get(), buffer.data(), size, &got, nullptr)) {
            error = win32::lastSystemError();
            return false;
        }
        out.assign(buffer.data(), got);
        return true;
    }

private:
    win32::UniqueHandle handle_;
};

}  // namespace

std::unique_ptr<MailslotEndpoint> NativePlatform::createMailslot(const std::string& name, uint32_t largestMessage,
                                                                 SystemError& error) {
    OpenToEveryone security;
    if (!security.prepare(error)) return nullptr;
    // A larger message fails at its sender's write: a message that does not fit the buffer stays
    // in the mailslot, so the receiver could not take it off without reading it whole. Reads wait
    // for a message (callers ask for one first).
    HANDLE slot =
        ::CreateMailslotW(mailslotPath(name, false).c_str(), largestMessage, MAILSLOT_WAIT_FOREVER, security.get());
    if (slot == INVALID_HANDLE_VALUE) {
        error = win32::lastSystemError();
        return nullptr;
    }
    return std::make_unique<MailslotHandle>(slot);
}

std::unique_ptr<MailslotEndpoint> NativePlatform::openMailslot(const std::string& name, bool wholeDomain,
                                                               SystemError& error) {
    OpenToEveryone security;
    if (!security.prepare(error)) return nullptr;
    HANDLE file =
        ::CreateFileW(mailslotPath(name, wholeDomain).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      security.get(), OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = win32::lastSystemError();
        return nullptr;
    }
    return std::make_unique<MailslotHandle>(file);
}

}  // namespace Quilna
