#include "files/FileUtils.h"

#include "files/BasicFile.h"
#include "files/FileOps.h"
#include "platform/Platform.h"

namespace Quilna::FileUtils {

namespace {

size_t lastSeparator(const std::string& path) {
    return platform().pathSyntax().backslashIsSeparator ? path.find_last_of("/\\") : path.find_last_of('/');
}

}  // namespace

bool isSeparator(char c) { return c == '/' || (c == '\\' && platform().pathSyntax().backslashIsSeparator); }

void addSeparator(std::string& path) {
    if (!path.empty() && !isSeparator(path.back())) path += platform().pathSyntax().separator;
}

void normaliseSeparators(std::string& path) {
    if (path.size() < 2) return;
    const char separator = platform().pathSyntax().separator;
    std::string result(1, path[0]);
    result.reserve(path.size());
    bool inRun = false;
    for (size_t i = 1; i < path.size(); ++i) {
        if (isSeparator(path[i])) {
            if (!inRun) result += separator;
            inRun = true;
        } else {
            result += path[i];
            inRun = false;
        }
    }
    path = std::move(result);
}

void stripSeparators(std::string& path) {
    while (path.size() > 1 && isSeparator(path.back())) path.pop_back();
}

std::string fileName(const std::string& path) {
    size_t separator = lastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string directoryName(const std::string& path) {
    size_t separator = lastSeparator(path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string splitExtension(std::string& path) {
    size_t separator = lastSeparator(path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return std::string();
    std::string found = path.substr(dot + 1);
    path.erase(dot);
    return found;
}

bool isValidFileName(const std::string& path) {
    if (path.empty()) return true;
    if (path.find_first_of("?*") != std::string::npos) return false;
    return !isSeparator(path.back());
}

bool removeFile(const std::string& path, bool force) {
    FileStatus status;
    if (!FileOps::fileStatus(path, status)) return false;
    if (!force) {
        if (status.attributes & FileAttribute::ReadOnly) return false;
        return FileOps::deleteFile(path);
    }
    if (FileOps::deleteFile(path)) return true;
    FileOps::setAttributes(path, FileAttribute::Normal);
    return FileOps::deleteFile(path);
}

bool writeFile(const std::string& path, const std::string& text) {
    BasicFile file;
    if (!file.open(path, BasicFile::Write)) return false;
    // The flush catches a full disk before the file is declared written.
    bool written = file.write(text) && file.flush();
    file.close();
    if (!written) removeFile(path, false);
    return written;
}

bool makeDirectories(const std::string& path, std::string* failed) {
    if (path.empty()) return true;
    std::string directory = directoryName(path);
    stripSeparators(directory);
    // A bare name lies in the current directory: nothing to make.
    if (directory.empty() || FileOps::exists(directory)) return true;
    // A root that cannot be found: nothing above it to make.
    if (directory.size() >= path.size() || !makeDirectories(directory, failed)) {
        if (failed && directory.size() >= path.size()) *failed = directory;
        return false;
    }
    // Someone else may make it at the same moment: it existing afterwards is success.
    if (FileOps::createDirectory(directory) || FileOps::exists(directory)) return true;
    if (failed) *failed = directory;
    return false;
}

}  // namespace Quilna::FileUtils
