// Win32: directories of the walk, held by their full path. Entries are listed with find-first on
// "path\*" and their status comes from the listing itself; nothing uses the process's current
// directory, and paths beyond the plain length reach the system with the long-path prefix.
#include <memory>
#include <string>

#include "platform/win32/Win32Impl.h"

namespace Quilna {

namespace {

// The server of a network path "\\server\share\...", empty for this computer.
std::string serverOf(const std::string& path) {
    if (path.size() <= 3 || path[0] != '\\' || path[1] != '\\') return std::string();
    const size_t end = path.find('\\', 2);
    return path.substr(2, end == std::string::npos ? std::string::npos : end - 2);
}

class WindowsDirectory : public OpenDirectory {
public:
    WindowsDirectory(win32::UniqueHandle handle, std::string path, const FileIdentity& identity)
        : handle_(std::move(handle)), path_(std::move(path)), identity_(identity) {}
    ~WindowsDirectory() override {
        if (listing_ != INVALID_HANDLE_VALUE) ::FindClose(listing_);
    }

    bool identity(FileIdentity& out) const override {
        out = identity_;
        return true;
    }

    Listing readEntries(const std::function<bool(const DirEntry&)>& visit, SystemError& error) override {
        if (ended_) return Listing::End;
        if (listing_ == INVALID_HANDLE_VALUE) {
            listing_ = ::FindFirstFileExW(win32::systemPath(path_ + "*").c_str(), FindExInfoBasic, &found_,
                                          FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
            if (listing_ == INVALID_HANDLE_VALUE) return end(ERROR_FILE_NOT_FOUND, error);
            pending_ = true;
        }
        for (;;) {
            if (!pending_) {
                if (!::FindNextFileW(listing_, &found_)) return end(ERROR_NO_MORE_FILES, error);
                pending_ = true;
            }
            pending_ = false;
            entry_.name = win32::toUtf8(found_.cFileName);
            entry_.isFile = !win32::isListedDirectory(found_);
            atEntry_ = true;
            const bool goOn = visit(entry_);
            atEntry_ = false;
            if (!goOn) return Listing::More;
        }
    }

    bool entryInfo(const std::string& name, FileInfo& out, SystemError& error) override {
        out = FileInfo{};
        if (name.empty()) return win32::fail(error, ERROR_INVALID_NAME);
        // The listing at this very entry already holds what a status call would tell.
        if (atEntry_ && name == entry_.name) {
            win32::listedStatus(found_, out);
            return true;
        }
        return win32::entryStatus(path_ + name, out) || win32::fail(error);
    }

    bool entryOwner(const std::string& name, std::string& domain, std::string& account, SystemError& error) override {
        if (name.empty()) return win32::fail(error, ERROR_INVALID_NAME);
        return win32::fileOwner(path_ + name, serverOf(path_), domain, account) || win32::fail(error);
    }

    std::unique_ptr<OpenDirectory> openSubdirectory(const std::string& name, SystemError& error) const override;
    std::unique_ptr<OpenDirectory> openParent(SystemError& error) const override;
    bool removeOwnFile(const std::string& name, const std::function<bool(const FileInfo&)>& wanted,
                       SystemError& error) override;

private:
    // The listing's end: complete when the system's last error is the one that says so.
    Listing end(DWORD complete, SystemError& error) {
        const DWORD last = ::GetLastError();
        if (listing_ != INVALID_HANDLE_VALUE) ::FindClose(listing_);
        listing_ = INVALID_HANDLE_VALUE;
        ended_ = true;
        if (last == complete) return Listing::End;
        error = win32::systemError(last);
        return Listing::Failed;
    }

    win32::UniqueHandle handle_;  // keeps the identity what was opened
    std::string path_;            // ends in "\"
    FileIdentity identity_;
    HANDLE listing_ = INVALID_HANDLE_VALUE;  // while the listing goes on
    WIN32_FIND_DATAW found_{};
    bool pending_ = false;  // found_ holds an entry not yet visited
    bool ended_ = false;
    DirEntry entry_;
    bool atEntry_ = false;
};

// Opens a directory by its full path (ending in "\"); with refuseLinks a junction or symbolic
// link in its place is not followed but refused.
std::unique_ptr<OpenDirectory> openByPath(std::string path, bool refuseLinks, SystemError& error) {
    // No access rights asked: metadata can be read even where the listing is denied.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (refuseLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    win32::UniqueHandle handle(::CreateFileW(win32::systemPath(path).c_str(), 0,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, flags, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &information)) {
        error = win32::lastSystemError();
        return nullptr;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (refuseLinks && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        ::GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
        win32::isLink(tag.FileAttributes, tag.ReparseTag)) {
        error = win32::systemError(ERROR_CANT_ACCESS_FILE);
        return nullptr;
    }
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = win32::systemError(ERROR_DIRECTORY);
        return nullptr;
    }
    const FileIdentity identity{information.dwVolumeSerialNumber,
                                (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
    return std::make_unique<WindowsDirectory>(std::move(handle), std::move(path), identity);
}

std::unique_ptr<OpenDirectory> WindowsDirectory::openSubdirectory(const std::string& name, SystemError& error) const {
    if (name.empty() || name == "." || name == ".." || name.find_first_of("\\/:*?") != std::string::npos) {
        error = win32::systemError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return openByPath(path_ + name + "\\", true, error);
}

// Status, owner and removal through one handle of the entry itself, never of what a reparse
// point names: what is checked is what goes.
bool WindowsDirectory::removeOwnFile(const std::string& name, const std::function<bool(const FileInfo&)>& wanted,
                                     SystemError& error) {
    if (name.empty() || name == "." || name == ".." || name.find_first_of("\\/:*?") != std::string::npos) {
        error = win32::systemError(ERROR_INVALID_NAME);
        return false;
    }
    win32::UniqueHandle file(::CreateFileW(win32::systemPath(path_ + name).c_str(),
                                           DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FileInfo info;
    if (!file.valid() || !win32::handleStatus(file.get(), info)) {
        error = win32::lastSystemError();
        return false;
    }
    constexpr uint16_t notPlain = FileAttribute::Directory | FileAttribute::Link;
    if ((info.attributes & notPlain) || !win32::ownedByThisProcess(file.get())) {
        error = win32::systemError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (!wanted(info)) return false;
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition)) return true;
    error = win32::lastSystemError();
    return false;
}

std::unique_ptr<OpenDirectory> WindowsDirectory::openParent(SystemError& error) const {
    const size_t separator = path_.size() > 1 ? path_.find_last_of('\\', path_.size() - 2) : std::string::npos;
    if (separator == std::string::npos) {
        error = win32::systemError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    return openByPath(path_.substr(0, separator + 1), false, error);
}

}  // namespace

std::unique_ptr<OpenDirectory> NativePlatform::openDirectory(const std::string& path, std::string& resolved,
                                                             SystemError& error) {
    std::string full = path.empty() ? std::string() : win32::fullPathOf(path);
    if (full.empty()) {
        error = win32::systemError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    if (full.back() != '\\') full += '\\';
    resolved = full;
    return openByPath(std::move(full), false, error);
}

}  // namespace Quilna
