// Win32: owners from file security descriptors, local groups and members from NetAPI.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/win32/Win32Impl.h"
// NetAPI and security declarations need the Windows types first.
#include <aclapi.h>
#include <lm.h>

namespace Quilna {

namespace {

// A growable byte buffer aligned for the structures the system writes into it.
class AlignedBuffer {
public:
    explicit AlignedBuffer(DWORD bytes) { resize(bytes); }
    void resize(DWORD bytes) { words_.resize((bytes + sizeof(uint64_t) - 1) / sizeof(uint64_t)); }
    void* data() { return words_.data(); }
    DWORD size() const { return static_cast<DWORD>(words_.size() * sizeof(uint64_t)); }

private:
    std::vector<uint64_t> words_;
};

bool readOwnerDescriptor(const std::string& path, AlignedBuffer& descriptor) {
    const std::wstring systemPath = win32::systemPath(path);
    for (;;) {
        DWORD needed = 0;
        if (::GetFileSecurityW(systemPath.c_str(), OWNER_SECURITY_INFORMATION, descriptor.data(), descriptor.size(),
                               &needed))
            return true;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) return false;
        descriptor.resize(needed);
    }
}

bool lookUpAccount(const std::string& server, PSID owner, std::string& domain, std::string& account) {
    const std::wstring wideServer = win32::toWide(server);
    std::vector<wchar_t> name(20), domainName(20);
    for (;;) {
        DWORD nameSize = static_cast<DWORD>(name.size()), domainSize = static_cast<DWORD>(domainName.size());
        SID_NAME_USE use{};
        if (::LookupAccountSidW(server.empty() ? nullptr : wideServer.c_str(), owner, name.data(), &nameSize,
                                domainName.data(), &domainSize, &use)) {
            account = win32::toUtf8(name.data());
            domain = win32::toUtf8(domainName.data());
            return true;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        // The sizes now hold what the system needs (with the terminating zero).
        if (nameSize <= name.size() && domainSize <= domainName.size()) return false;
        if (nameSize > name.size()) name.resize(nameSize);
        if (domainSize > domainName.size()) domainName.resize(domainSize);
    }
}

// Frees a NetAPI result buffer on scope exit.
class NetBuffer {
public:
    NetBuffer() = default;
    ~NetBuffer() {
        if (buffer_) ::NetApiBufferFree(buffer_);
    }
    NetBuffer(const NetBuffer&) = delete;
    NetBuffer& operator=(const NetBuffer&) = delete;
    LPBYTE* address() { return &buffer_; }
    template <typename Entry>
    const Entry* entries() const {
        return reinterpret_cast<const Entry*>(buffer_);
    }

private:
    LPBYTE buffer_ = nullptr;
};

}  // namespace

bool win32::fileOwner(const std::string& path, const std::string& server, std::string& domain, std::string& account) {
    AlignedBuffer descriptor(36);
    if (path.empty() || !readOwnerDescriptor(path, descriptor)) return false;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!::GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || !owner) return false;
    return lookUpAccount(server, owner, domain, account);
}

namespace {

// A piece of the process's token (TokenOwner, TokenUser), in a buffer of the size it needs.
bool readToken(TOKEN_INFORMATION_CLASS piece, AlignedBuffer& buffer) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const win32::UniqueHandle held(token);
    DWORD needed = 0;
    if (::GetTokenInformation(token, piece, buffer.data(), buffer.size(), &needed)) return true;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buffer.resize(needed);
    return ::GetTokenInformation(token, piece, buffer.data(), buffer.size(), &needed);
}

}  // namespace

bool win32::ownedByThisProcess(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    AlignedBuffer defaultOwner(64), user(64);
    const bool own =
        owner && ((readToken(TokenOwner, defaultOwner) &&
                   ::EqualSid(owner, static_cast<TOKEN_OWNER*>(defaultOwner.data())->Owner)) ||
                  (readToken(TokenUser, user) && ::EqualSid(owner, static_cast<TOKEN_USER*>(user.data())->User.Sid)));
    ::LocalFree(descriptor);
    return own;
}

bool NativePlatform::fileOwner(const std::string& path, const std::string& server, std::string& domain,
                               std::string& account, SystemError& error) {
    if (path.empty()) return win32::fail(error, ERROR_INVALID_NAME);
    return win32::fileOwner(path, server, domain, account) || win32::fail(error);
}

// The find data carries no owner: callers ask fileOwner.
bool NativePlatform::ownerById(uint32_t, std::string&, std::string&, SystemError& error) {
    return win32::fail(error, ERROR_NOT_SUPPORTED);
}

bool NativePlatform::ownerBySid(std::span<const uint8_t> sid, std::string& domain, std::string& account,
                                SystemError& error) {
    if (sid.size() < 8 || sid.size() > SECURITY_MAX_SID_SIZE) return win32::fail(error, ERROR_INVALID_SID);
    // A copy: the system takes a SID at its own alignment, and only once checked.
    AlignedBuffer copy(static_cast<DWORD>(sid.size()));
    std::memcpy(copy.data(), sid.data(), sid.size());
    if (!::IsValidSid(copy.data()) || ::GetLengthSid(copy.data()) != sid.size())
        return win32::fail(error, ERROR_INVALID_SID);
    return lookUpAccount(std::string(), copy.data(), domain, account) || win32::fail(error);
}

bool NativePlatform::localGroups(std::vector<std::string>& names, SystemError& error) {
    names.clear();
    NetBuffer buffer;
    DWORD read = 0, total = 0;
    DWORD_PTR resume = 0;
    NET_API_STATUS status =
        ::NetLocalGroupEnum(nullptr, 0, buffer.address(), MAX_PREFERRED_LENGTH, &read, &total, &resume);
    if (status != NERR_Success) return win32::fail(error, status);
    const auto* groups = buffer.entries<LOCALGROUP_INFO_0>();
    for (DWORD i = 0; groups && i < read; ++i) names.push_back(win32::toUtf8(groups[i].lgrpi0_name));
    return true;
}

bool NativePlatform::localGroupMembers(const std::string& group, std::vector<std::string>& members,
                                       SystemError& error) {
    members.clear();
    std::wstring wideGroup = win32::toWide(group);
    NetBuffer buffer;
    DWORD read = 0, total = 0;
    DWORD_PTR resume = 0;
    NET_API_STATUS status = ::NetLocalGroupGetMembers(nullptr, wideGroup.c_str(), 3, buffer.address(),
                                                      MAX_PREFERRED_LENGTH, &read, &total, &resume);
    if (status != NERR_Success) return win32::fail(error, status);
    const auto* entries = buffer.entries<LOCALGROUP_MEMBERS_INFO_3>();
    for (DWORD i = 0; entries && i < read; ++i) members.push_back(win32::toUtf8(entries[i].lgrmi3_domainandname));
    return true;
}

}  // namespace Quilna
