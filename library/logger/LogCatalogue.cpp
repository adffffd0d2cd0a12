// The message catalogue of LogCommons: templates read from one message file per module.
#include <new>

#include "files/BasicFile.h"
#include "files/FileException.h"
#include "files/FileOps.h"
#include "logger/LogCommons.h"
#include "text/StringUtils.h"
#include "text/TextEncoding.h"

namespace Quilna {

namespace {

const char* const kMessageDirectory = "LogMessages";
const char* const kMessageExtension = ".mess";

std::string baseNameOf(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// A catalogue file's name ends in the extension, in any case where the system compares names so.
bool isCatalogueName(std::string name, bool caseInsensitive) {
    const std::string_view extension(kMessageExtension);
    if (caseInsensitive) StringUtils::toLower(name);
    return name.ends_with(extension);
}

bool passesFilter(const std::string& baseName, const std::string& filter) {
    return filter == "all" || filter.find(baseName) != std::string::npos;
}

}  // namespace

int32_t LogCommons::loadMessageFile(FileSystem& files, const std::string& path, int32_t module) {
    BasicFile file(files);
    if (!file.open(path, BasicFile::Read)) QUILNA_THROW(FileException, FL_CANNOT_OPEN, path);
    int32_t count = 0;
    std::string line;
    while (!file.atEnd()) {
        if (!file.readLine(line)) {
            if (file.error() == BasicFile::AlreadyAtEnd) break;
            QUILNA_THROW(FileException, FL_READ, path);
        }
        TextEncoding::decodeFileText(line);
        // A line of blanks says nothing, like an empty one; a comment starts the raw line.
        if (StringUtils::trimmed(line).empty() || StringUtils::startsWith(line, "//")) continue;
        std::string text = line;
        const std::string number = StringUtils::splitFirst(text, ':');
        catalogue_.emplace(catalogueKey(module, StringUtils::toInt32(StringUtils::trimmed(number))),
                           StringUtils::trimmed(text));
        ++count;
    }
    return count;
}

LoadResult LogCommons::loadMessages(FileSystem& files, const std::string& directory, const std::string& filter) {
    LoadResult result;
    try {
        const std::string folder = directory + kMessageDirectory;
        const std::string separator(1, files.pathSyntax().separator);
        const bool caseInsensitive = files.pathSyntax().caseInsensitive;
        for (const DirEntry& entry : FileOps::listDirectory(files, folder)) {
            if (!entry.isFile || !isCatalogueName(entry.name, caseInsensitive)) continue;
            const std::string baseName = baseNameOf(entry.name);
            const int32_t module = moduleFromKey(baseName);
            if (module == Module::Unknown || !passesFilter(baseName, filter)) {
                result.rejected.push_back(baseName);
                continue;
            }
            const int32_t count = loadMessageFile(files, folder + separator + baseName + kMessageExtension, module);
            result.loaded.push_back(baseName);
            result.counts.push_back(count);
        }
        result.status = true;
    } catch (const FileException& error) {
        result.message = error.fullText();
    } catch (const std::bad_alloc&) {
        result.message = "OUT OF MEMORY";
    } catch (...) {
        result.message = "Unknown";
    }
    return result;
}

}  // namespace Quilna
