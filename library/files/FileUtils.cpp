#include "files/FileUtils.h"

#include "files/BasicFile.h"
#include "files/FileOps.h"

namespace Quilna::FileUtils {

namespace {

size_t lastSeparator(const PathSyntax& syntax, const std::string& path) {
    return syntax.backslashIsSeparator ? path.find_last_of("/\\") : path.find_last_of('/');
}

}  // namespace

bool isSeparator(const PathSyntax& syntax, char c) { return c == '/' || (c == '\\' && syntax.backslashIsSeparator); }

void addSeparator(const PathSyntax& syntax, std::string& path) {
    if (!path.empty() && !isSeparator(syntax, path.back())) path += syntax.separator;
}

void normaliseSeparators(const PathSyntax& syntax, std::string& path) {
    if (path.size() < 2) return;
    std::string result(1, path[0]);
    result.reserve(path.size());
    bool inRun = false;
    for (size_t i = 1; i < path.size(); ++i) {
        if (isSeparator(syntax, path[i])) {
            if (!inRun) result += syntax.separator;
            inRun = true;
        } else {
            result += path[i];
            inRun = false;
        }
    }
    path = std::move(result);
}

void stripSeparators(const PathSyntax& syntax, std::string& path) {
    while (path.size() > 1 && isSeparator(syntax, path.back())) path.pop_back();
}

std::string fileName(const PathSyntax& syntax, const std::string& path) {
    size_t separator = lastSeparator(syntax, path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string directoryName(const PathSyntax& syntax, const std::string& path) {
    size_t separator = lastSeparator(syntax, path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string splitExtension(const PathSyntax& syntax, std::string& path) {
    size_t separator = lastSeparator(syntax, path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return std::string();
    std::string found = path.substr(dot + 1);
    path.erase(dot);
    return found;
}

bool isValidFileName(const PathSyntax& syntax, const std::string& path) {
    if (path.empty()) return true;
    if (path.find_first_of("?*") != std::string::npos) return false;
    return !isSeparator(syntax, path.back());
}

bool removeFile(FileSystem& files, const std::string& path, bool force) {
    FileStatus status;
    if (!FileOps::fileStatus(files, path, status)) return false;
    if (!force) {
        if (status.attributes & FileAttribute::ReadOnly) return false;
        return FileOps::deleteFile(files, path);
    }
    if (FileOps::deleteFile(files, path)) return true;
    FileOps::setAttributes(files, path, FileAttribute::Normal);
    return FileOps::deleteFile(files, path);
}

bool writeFile(FileSystem& files, const std::string& path, const std::string& text) {
    BasicFile file(files);
    if (!file.open(path, BasicFile::Write)) return false;
    // The flush catches a full disk before the file is declared written.
    bool written = file.write(text) && file.flush();
    file.close();
    if (!written) removeFile(files, path, false);
    return written;
}

bool makeDirectories(FileSystem& files, Drives& drives, const std::string& path, std::string* failed) {
    if (path.empty()) return true;
    const PathSyntax& syntax = files.pathSyntax();
    std::string directory = directoryName(syntax, path);
    stripSeparators(syntax, directory);
    // A bare name lies in the current directory: nothing to make.
    if (directory.empty() || FileOps::exists(files, drives, directory)) return true;
    // A root that cannot be found: nothing above it to make.
    if (directory.size() >= path.size() || !makeDirectories(files, drives, directory, failed)) {
        if (failed && directory.size() >= path.size()) *failed = directory;
        return false;
    }
    // Someone else may make it at the same moment: it existing afterwards is success.
    if (FileOps::createDirectory(files, directory) || FileOps::exists(files, drives, directory)) return true;
    if (failed) *failed = directory;
    return false;
}

}  // namespace Quilna::FileUtils
