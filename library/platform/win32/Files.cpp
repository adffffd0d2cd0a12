// Win32: file status, listing and file operations.
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/HandleFile.h"
#include "platform/win32/Win32Impl.h"

namespace Quilna {

namespace {

// The program's attribute bits and the Windows attributes they come from. Link has no
// Windows attribute of its own: it marks the reparse points that stand for another name.
struct AttributePair {
    DWORD windows;
    uint16_t program;
    bool writable;  // set back by setAttributes
};
constexpr AttributePair attributeTable[] = {
    {FILE_ATTRIBUTE_ARCHIVE, FileAttribute::Archive, true},
    {FILE_ATTRIBUTE_COMPRESSED, FileAttribute::Compressed, false},
    {FILE_ATTRIBUTE_DIRECTORY, FileAttribute::Directory, false},
    {FILE_ATTRIBUTE_ENCRYPTED, FileAttribute::Encrypted, false},
    {FILE_ATTRIBUTE_HIDDEN, FileAttribute::Hidden, true},
    {FILE_ATTRIBUTE_OFFLINE, FileAttribute::Offline, true},
    {FILE_ATTRIBUTE_READONLY, FileAttribute::ReadOnly, true},
    {FILE_ATTRIBUTE_SYSTEM, FileAttribute::System, true},
    {FILE_ATTRIBUTE_TEMPORARY, FileAttribute::Temporary, true},
    {FILE_ATTRIBUTE_NORMAL, FileAttribute::Normal, true},
    {FILE_ATTRIBUTE_SPARSE_FILE, FileAttribute::Sparse, false},
};

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A pattern names no file; the "?" of the long-path prefix "\\?\" is no pattern.
bool hasWildcard(const std::string& path) {
    const size_t start = path.rfind("\\\\?\\", 0) == 0 ? 4 : 0;
    return path.find_first_of("*?", start) != std::string::npos;
}

// Symbolic links and junctions (also volume mount points) stand for another name. Like
// links on POSIX they are listed as files and never entered: the target is reached, if at
// all, under its own name, so nothing is counted twice and no loop is walked.
bool isNameSurrogate(DWORD attributes, DWORD reparseTag) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag);
}

uint16_t programAttributes(DWORD attributes, DWORD reparseTag) {
    uint16_t bits = 0;
    for (const AttributePair& pair : attributeTable)
        if (attributes & pair.windows) bits |= pair.program;
    if (isNameSurrogate(attributes, reparseTag)) {
        bits |= FileAttribute::Link;
        bits &= static_cast<uint16_t>(~FileAttribute::Directory);
    }
    return bits;
}

DWORD windowsAttributes(uint16_t bits) {
    DWORD attributes = 0;
    for (const AttributePair& pair : attributeTable)
        if (pair.writable && (bits & pair.program)) attributes |= pair.windows;
    // NORMAL is valid only alone.
    if (attributes != FILE_ATTRIBUTE_NORMAL) attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

// Seconds since 1970 UTC from a FILETIME (100 ns ticks since 1601 UTC); an unset time is 0.
int64_t unixSeconds(const FILETIME& time) {
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    if (ticks == 0) return 0;
    constexpr int64_t ticksPerSecond = 10000000;
    constexpr int64_t epochTicks = 116444736000000000;  // 1970-01-01 in FILETIME ticks
    int64_t since = ticks - epochTicks;
    return since >= 0 ? since / ticksPerSecond : -((-since + ticksPerSecond - 1) / ticksPerSecond);
}

// Drive forms ("C:", "C:\") and share roots ("\\server\share") have no directory entry of
// their own that find-first could return.
bool isVolumeForm(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':' && (path.size() == 2 || (path.size() == 3 && isSeparator(path[2]))))
        return true;
    if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1])) return false;
    size_t server = path.find_first_of("\\/", 2);
    if (server == std::string::npos) return true;
    size_t share = path.find_first_of("\\/", server + 1);
    return share == std::string::npos || share == path.size() - 1;
}

// The fields that find data and attribute data share.
struct StatusFacts {
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    FILETIME created{}, accessed{}, modified{};
    uint64_t size = 0;
};

template <typename Data>
StatusFacts factsOf(const Data& data, DWORD reparseTag) {
    StatusFacts facts;
    facts.attributes = data.dwFileAttributes;
    facts.reparseTag = reparseTag;
    facts.created = data.ftCreationTime;
    facts.accessed = data.ftLastAccessTime;
    facts.modified = data.ftLastWriteTime;
    facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return facts;
}

// One status call: the entry as the directory lists it, so the file is never opened and a
// locked or unreadable file still gives its size.
bool statusOf(const std::string& path, StatusFacts& facts) {
    const std::wstring systemPath = win32::systemPath(path);
    if (isVolumeForm(path)) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(systemPath.c_str(), GetFileExInfoStandard, &data)) return false;
        facts = factsOf(data, 0);
        return true;
    }
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW(systemPath.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    facts = factsOf(found, found.dwReserved0);
    return true;
}

bool isDriveRoot(const std::string& path) { return path.size() == 3 && path[1] == ':' && isSeparator(path[2]); }

// The status record of the facts.
void fillInfo(const StatusFacts& facts, FileInfo& out) {
    out.exists = true;
    out.attributes = programAttributes(facts.attributes, facts.reparseTag);
    out.size = (out.attributes & FileAttribute::Directory) ? 0 : facts.size;
    out.created = unixSeconds(facts.created);
    out.accessed = unixSeconds(facts.accessed);
    out.modified = unixSeconds(facts.modified);
}

}  // namespace

namespace win32 {
bool entryStatus(const std::string& path, FileInfo& out) {
    StatusFacts facts;
    if (!statusOf(path, facts)) return false;
    fillInfo(facts, out);
    return true;
}

void listedStatus(const WIN32_FIND_DATAW& found, FileInfo& out) { fillInfo(factsOf(found, found.dwReserved0), out); }

bool handleStatus(HANDLE file, FileInfo& out) {
    BY_HANDLE_FILE_INFORMATION information{};
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandle(file, &information)) return false;
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag))
        return false;
    fillInfo(factsOf(information, tag.ReparseTag), out);
    out.links = information.nNumberOfLinks;
    return true;
}

bool isListedDirectory(const WIN32_FIND_DATAW& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !isNameSurrogate(found.dwFileAttributes, found.dwReserved0);
}

bool isLink(DWORD attributes, DWORD reparseTag) { return isNameSurrogate(attributes, reparseTag); }

std::string fullPathOf(const std::string& path) {
    const std::wstring wide = toWide(path);
    std::wstring buffer(wide.size() + MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0) return std::string();
        if (length < buffer.size()) return toUtf8(buffer.data(), length);
        buffer.resize(length);
    }
}
}  // namespace win32

const PathSyntax& NativePlatform::pathSyntax() {
    static const PathSyntax windows{'\\', true, true, true, true, SIZE_MAX, 3 * 32767};
    return windows;
}

bool NativePlatform::fileInfo(const std::string& path, FileInfo& out, SystemError& error) {
    out = FileInfo{};
    if (path.empty() || hasWildcard(path)) return win32::fail(error, ERROR_INVALID_NAME);
    if (!win32::entryStatus(path, out)) return win32::fail(error);
    out.fullPath = win32::fullPathOf(path);
    return true;
}

bool NativePlatform::listDirectory(const std::string& directory, std::vector<DirEntry>& out, SystemError& error) {
    out.clear();
    std::string search = directory;
    if (!search.empty() && !isSeparator(search.back())) search += '\\';
    search += '*';
    WIN32_FIND_DATAW found{};
    HANDLE listing = ::FindFirstFileExW(win32::systemPath(search).c_str(), FindExInfoBasic, &found,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (listing == INVALID_HANDLE_VALUE) {
        // Nothing found, not even ".": an empty listing (a drive root), not a failure.
        const DWORD failure = ::GetLastError();
        return failure == ERROR_FILE_NOT_FOUND || failure == ERROR_NO_MORE_FILES || win32::fail(error, failure);
    }
    DWORD failure = ERROR_SUCCESS;
    for (;;) {
        out.push_back(DirEntry{win32::toUtf8(found.cFileName), !win32::isListedDirectory(found)});
        if (!::FindNextFileW(listing, &found)) {
            failure = ::GetLastError();
            break;
        }
    }
    ::FindClose(listing);
    return failure == ERROR_NO_MORE_FILES || win32::fail(error, failure);
}

bool NativePlatform::currentDirectory(std::string& out, SystemError& error) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) return win32::fail(error);
        if (length < buffer.size()) {
            out = win32::toUtf8(buffer.data(), length);
            break;
        }
        buffer.resize(length);
    }
    // A drive root keeps its separator: "C:" alone would mean the current directory of C:.
    if (!isDriveRoot(out))
        while (out.size() > 1 && isSeparator(out.back())) out.pop_back();
    return true;
}

bool NativePlatform::copyFile(const std::string& from, const std::string& to, bool overwrite, SystemError& error) {
    const std::wstring target = win32::systemPath(to);
    // A link or junction put where the copy goes would take the copy to its target: refused.
    const DWORD existing = ::GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_REPARSE_POINT))
        return win32::fail(error, ERROR_CANT_ACCESS_FILE);
    return ::CopyFileW(win32::systemPath(from).c_str(), target.c_str(), overwrite ? FALSE : TRUE) != 0 ||
           win32::fail(error);
}

bool NativePlatform::moveFile(const std::string& from, const std::string& to, bool replace, SystemError& error) {
    const std::wstring source = win32::systemPath(from), target = win32::systemPath(to);
    if (!replace) return ::MoveFileW(source.c_str(), target.c_str()) != 0 || win32::fail(error);
    return ::MoveFileExW(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != 0 ||
           win32::fail(error);
}

bool NativePlatform::deleteFile(const std::string& path, SystemError& error) {
    return ::DeleteFileW(win32::systemPath(path).c_str()) != 0 || win32::fail(error);
}

bool NativePlatform::createDirectory(const std::string& path, SystemError& error) {
    return ::CreateDirectoryW(win32::systemPath(path).c_str(), nullptr) != 0 || win32::fail(error);
}

bool NativePlatform::setAttributes(const std::string& path, uint16_t attributes, SystemError& error) {
    return ::SetFileAttributesW(win32::systemPath(path).c_str(), windowsAttributes(attributes)) != 0 ||
           win32::fail(error);
}

namespace {
// An existing file opened for writing, never through a link: a link planted in its place is
// refused, not followed.
win32::UniqueHandle openExistingForWriting(const std::string& path) {
    win32::UniqueHandle file(::CreateFileW(
        win32::systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (file.valid() && (!::GetFileInformationByHandle(file.get(), &information) ||
                         (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        file.reset();
        ::SetLastError(ERROR_CANT_ACCESS_FILE);
    }
    return file;
}
}  // namespace

bool NativePlatform::syncFile(const std::string& path, SystemError& error) {
    win32::UniqueHandle file = openExistingForWriting(path);
    return (file.valid() && ::FlushFileBuffers(file.get()) != 0) || win32::fail(error);
}

bool NativePlatform::truncateFile(const std::string& path, uint64_t size, SystemError& error) {
    win32::UniqueHandle file = openExistingForWriting(path);
    if (!file.valid()) return win32::fail(error);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return (::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) != 0 && ::SetEndOfFile(file.get()) != 0) ||
           win32::fail(error);
}

}  // namespace Quilna

namespace Quilna {

// A file opened for writing is opened as itself, never through a symbolic link or junction put in
// its place (that is refused), and emptied only once it is known to be a plain file. Files are
// shared for reading and writing as the C runtime shares its files.
std::unique_ptr<OpenFile> NativePlatform::openFile(const std::string& path, const FileOpening& opening,
                                                   SystemError& error) {
    if (path.empty()) {
        error = win32::systemError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    const DWORD access = (opening.read ? GENERIC_READ : 0) | (opening.write ? GENERIC_WRITE : 0);
    const DWORD disposition = !opening.write ? OPEN_EXISTING : (opening.mustBeNew ? CREATE_NEW : OPEN_ALWAYS);
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (opening.write || opening.noLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    win32::UniqueHandle file(::CreateFileW(win32::systemPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, disposition, flags, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &information)) {
        error = win32::lastSystemError();
        return nullptr;
    }
    if (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
        error = win32::systemError(ERROR_CANT_ACCESS_FILE);
        return nullptr;
    }
    if (opening.write && opening.truncate && !::SetEndOfFile(file.get())) {
        error = win32::lastSystemError();
        return nullptr;
    }
    return std::make_unique<win32::HandleFile>(std::move(file), opening.append);
}

}  // namespace Quilna
