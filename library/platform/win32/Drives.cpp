// Win32: logical drives, drive types, cluster and compressed sizes, volume mount points.
#include <string>
#include <vector>

#include "platform/win32/Win32Impl.h"

namespace Quilna {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string withFinalSeparator(const std::string& directory) {
    if (directory.empty() || isSeparator(directory.back())) return directory;
    return directory + '\\';
}

// "C:\" and "\\server\share\" name a volume's root whatever they hold.
bool isRootForm(const std::string& directory) {
    std::string path = withFinalSeparator(directory);
    if (path.size() == 3 && path[1] == ':') return true;
    if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1])) return false;
    size_t server = path.find_first_of("\\/", 2);
    return server != std::string::npos && path.find_first_of("\\/", server + 1) == path.size() - 1;
}

}  // namespace

bool NativePlatform::logicalDrives(std::vector<std::string>& roots, SystemError& error) {
    roots.clear();
    std::vector<wchar_t> list;
    for (;;) {
        DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(list.size()), list.data());
        if (length == 0) {
            error = win32::lastSystemError();
            return false;
        }
        if (length < list.size()) break;
        // The first call asks for the length; a drive added in between asks again.
        list.assign(length + 1, '\0');
    }
    for (const wchar_t* root = list.data(); *root; root += std::char_traits<wchar_t>::length(root) + 1)
        roots.push_back(win32::toUtf8(root));
    return true;
}

int NativePlatform::driveType(const std::string& root) {
    return static_cast<int>(::GetDriveTypeW(win32::toWide(root).c_str()));
}

bool NativePlatform::clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    // A drive ("C:") is asked as it is; any other directory (on a share, say) through the root of
    // its volume; nothing at all means the current directory's volume.
    std::wstring volume = win32::toWide(root);
    if (!root.empty() && !(root.size() == 2 && root[1] == ':')) {
        std::wstring found(win32::systemPath(root).size() + MAX_PATH, L'\0');
        if (::GetVolumePathNameW(win32::systemPath(root).c_str(), found.data(), static_cast<DWORD>(found.size())))
            volume.assign(found.c_str());
    }
    if (!::GetDiskFreeSpaceW(volume.empty() ? nullptr : volume.c_str(), &sectorsPerCluster, &bytesPerSector,
                             &freeClusters, &totalClusters)) {
        error = win32::lastSystemError();
        return false;
    }
    bytes = sectorsPerCluster * bytesPerSector;
    return true;
}

bool NativePlatform::compressedSize(const std::string& path, uint64_t& bytes, SystemError& error) {
    DWORD high = 0;
    ::SetLastError(ERROR_SUCCESS);
    DWORD low = ::GetCompressedFileSizeW(win32::systemPath(path).c_str(), &high);
    if (low == INVALID_FILE_SIZE) {
        DWORD failure = ::GetLastError();
        if (failure != ERROR_SUCCESS) {
            error = win32::systemError(failure);
            return false;
        }
    }
    bytes = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

// A directory is a mount point when a volume is mounted there: a drive or share root, or a
// volume mount point (a reparse point that the system resolves to a volume). Junctions and
// links to directories are reparse points too, but no volume answers for them.
bool NativePlatform::isMountPoint(const std::string& directory) {
    if (directory.empty()) return false;
    if (isRootForm(directory))
        return ::GetDriveTypeW(win32::toWide(withFinalSeparator(directory)).c_str()) > DRIVE_NO_ROOT_DIR;
    DWORD attributes = ::GetFileAttributesW(win32::systemPath(directory).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    wchar_t volume[64] = {};
    return ::GetVolumeNameForVolumeMountPointW(win32::systemPath(withFinalSeparator(directory)).c_str(), volume,
                                               sizeof volume / sizeof volume[0]) != 0;
}

}  // namespace Quilna
