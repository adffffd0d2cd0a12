#pragma once
// Path arithmetic and compound file operations built on FileOps. Separators follow the
// platform's path syntax: "/" only on POSIX ("\" is an ordinary character there); "\" and "/"
// both read, "\" written on Windows.

#include <cstdint>
#include <string>

#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/PathSyntax.h"

namespace Quilna::FileUtils {

// Appends the separator unless the path is empty or already ends in one.
void addSeparator(const PathSyntax& syntax, std::string& path);
// Every run of separators after the first character becomes one separator, so the two
// leading backslashes of "\\server\share" stay.
void normaliseSeparators(const PathSyntax& syntax, std::string& path);
// Removes trailing separators; a path made only of separators keeps its first one.
void stripSeparators(const PathSyntax& syntax, std::string& path);
// The part after the last separator; the whole path when there is none.
std::string fileName(const PathSyntax& syntax, const std::string& path);
// The part up to and including the last separator; empty when there is none.
std::string directoryName(const PathSyntax& syntax, const std::string& path);
// Returns the extension and cuts the path before the file name's last ".".
std::string splitExtension(const PathSyntax& syntax, std::string& path);
// False when the path holds "?" or "*" or ends in a separator; an empty path is valid.
bool isValidFileName(const PathSyntax& syntax, const std::string& path);
// False when the path is not found. Without force a read-only file is left alone; with force
// a failed delete is retried once after the attributes are set to Normal.
bool removeFile(FileSystem& files, const std::string& path, bool force);
// A new file holding exactly the text (an existing one is emptied first); a failed write
// removes the file.
bool writeFile(FileSystem& files, const std::string& path, const std::string& text);
// Makes the directory part of the path with its missing parents. True when it exists
// afterwards; otherwise the directory that could not be made goes to failed (when given).
bool makeDirectories(FileSystem& files, Drives& drives, const std::string& path, std::string* failed = nullptr);

bool isSeparator(const PathSyntax& syntax, char c);

}  // namespace Quilna::FileUtils
