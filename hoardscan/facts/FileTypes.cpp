#include "hoardscan/facts/FileTypes.h"

#include "files/FileUtils.h"
#include "hoardscan/app/MessageNumbers.h"
#include "hoardscan/rules/RulesFiles.h"
#include "hoardscan/tallies/Tallies.h"
#include "hoardscan/rules/WildcardMatch.h"
#include "logger/LoggerUnit.h"
#include "text/StringUtils.h"

namespace Quilna {

using namespace StringUtils;

namespace {

// The text after the line's first "=", leading blanks cut; empty without "=".
std::string afterEquals(const std::string& line) {
    size_t equals = line.find('=');
    if (equals == std::string::npos) return std::string();
    std::string value = line.substr(equals + 1);
    trimLeft(value);
    return value;
}

// A type name given out: its first "$" stands for the file's extension.
void giveType(const std::string& typeName, const std::string& extension, std::string& fileType) {
    fileType = typeName;
    size_t dollar = fileType.find('$');
    if (dollar != std::string::npos) fileType.replace(dollar, 1, extension);
}

// The text after the name's last "." as written; empty without ".".
void extensionOf(const std::string& name, std::string& extension) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) extension.clear();
    else extension.assign(name, dot + 1, std::string::npos);
}

}  // namespace

FileTypes::FileTypes(FileSystem& files, LoggerUnit& logger, Tallies& tallies)
    : files_(files), logger_(logger), tallies_(tallies) {}

uint16_t FileTypes::attributeBit(std::string_view word) {
    if (word == "system") return FileAttribute::System;
    if (word == "hidden") return FileAttribute::Hidden;
    if (word == "archive") return FileAttribute::Archive;
    if (word == "compressed") return FileAttribute::Compressed;
    if (word == "offline") return FileAttribute::Offline;
    if (word == "temp") return FileAttribute::Temporary;
    if (word == "link") return FileAttribute::Link;
    return 0;
}

// ---- the mapping file ----

bool FileTypes::loadFileTypeMappingFile(const std::string& path) {
    std::string text;
    return RulesFiles::readRulesFile(files_, logger_, path, text) && loadFileTypeMappingText(text, path);
}

bool FileTypes::loadFileTypeMappingText(std::string_view content, const std::string& fileName) {
    RuleText text{content, fileName};
    mappingFile_ = fileName;
    std::string line;
    if (!RulesFiles::readSignificantLine(text, line)) {
        logger_.warning(Message::EmptyRulesFile, ParamStream() << fileName);
        return true;
    }
    // "default-dirs" starts with "default" too: without a default line it is not the default.
    if (line.size() >= 8 && startsWith(line, "default") && !startsWith(line, "default-dirs")) {
        defaultType_ = afterEquals(line);
        defaultLine_ = text.lineNumber;
        RulesFiles::readSignificantLine(text, line);
    }
    if (line.size() >= 13 && startsWith(line, "default-dirs")) {
        defaultDirectories_ = split(afterEquals(line), ',');
        defaultDirectoriesLine_ = text.lineNumber;
        defaultDirectoriesLower_.clear();
        for (const std::string& directory : defaultDirectories_)
            defaultDirectoriesLower_.push_back(lowerCopy(directory));
        RulesFiles::readSignificantLine(text, line);
    }
    while (!line.empty()) {
        std::string typeName = std::move(line);
        if (!readTypeBlock(text, typeName)) return false;
        RulesFiles::readSignificantLine(text, line);
    }
    return true;
}

// "{", item lines, "}" after a type name.
bool FileTypes::readTypeBlock(RuleText& text, const std::string& typeName) {
    const auto typeLine = text.lineNumber;
    std::string line;
    if (!RulesFiles::readSignificantLine(text, line)) {
        logger_.fatal(Message::EndInsideBlock, ParamStream() << text.lineNumber << text.fileName);
        return false;
    }
    if (line != "{") {
        logger_.fatal(Message::ExpectedLine, ParamStream() << "{" << line << text.lineNumber << text.fileName);
        return false;
    }
    for (;;) {
        if (!RulesFiles::readSignificantLine(text, line)) {
            // What the block holds so far is kept: a lost last "}" costs no type already read.
            logger_.warning(Message::TypeBlockUnclosed, ParamStream() << text.fileName << typeName << typeLine);
            return true;
        }
        if (line == "}") return true;
        fileItems(line, typeName, text.lineNumber);
    }
}

// Items as written, blanks included: "%word" an attribute, a text without "*" and "?" an
// extension (its first type kept), anything else a pattern for the extension.
void FileTypes::fileItems(const std::string& line, const std::string& typeName, int32_t lineNumber) {
    for (std::string& item : split(line, ',')) {
        if (!item.empty() && item[0] == '%') {
            attributeBits_.push_back(attributeBit(std::string_view(item).substr(1)));
            attributeTypes_.emplace_back(item.substr(1), typeName);
            attributeLines_.push_back(lineNumber);
        } else if (item.find_first_of("*?") == std::string::npos) {
            extensionLines_.emplace(item, lineNumber);
            extensionTypes_.emplace(std::move(item), typeName);
        } else {
            patternTypes_.emplace_back(std::move(item), typeName);
            patternLines_.push_back(lineNumber);
        }
    }
}

// ---- per file ----

void FileTypes::fileFacts(const std::string& currentDirectory, const std::string& name, const std::string& root,
                          const FileStatus& status, std::string& fileSystem, std::string& fileType) {
    decided_ = Decided::Nothing;
    switch (scheme_) {
        case Extension:
            rootField(root, fileSystem);
            extensionOf(name, fileType);
            break;
        case Mapping:
            rootField(root, fileSystem);
            mappedType(currentDirectory, name, status, fileType);
            break;
        case FileName:
            fileSystem = currentDirectory;
            fileType = name;
            break;
        default: logger_.warning(Message::UnknownScheme, ParamStream() << scheme_); return;
    }
    if (LoggerUnit::isDebugOn(5))
        logger_.debug(5, "      Filesystem=\"%s\", Filetype=\"%s\".", ParamStream() << fileSystem << fileType);
}

// "C:\" gives "C": trailing separators and then a final ":" removed.
void FileTypes::rootField(const std::string& root, std::string& fileSystem) const {
    fileSystem = root;
    FileUtils::stripSeparators(files_.pathSyntax(), fileSystem);
    if (!fileSystem.empty() && fileSystem.back() == ':') fileSystem.pop_back();
}

void FileTypes::mappedType(const std::string& currentDirectory, const std::string& name, const FileStatus& status,
                           std::string& fileType) {
    extensionOf(name, extension_);
    toLower(extension_);
    fileType.clear();
    if (!attributeTypes_.empty()) {
        if (!status.exists) {
            logger_.debug(1, "      Unable to get file info.");
        } else {
            for (size_t i = 0; i < attributeTypes_.size(); ++i) {
                if (attributeBits_[i] & status.attributes) {
                    giveType(attributeTypes_[i].second, extension_, fileType);
                    decided_ = Decided::Attribute;
                    decidedIndex_ = i;
                    break;
                }
            }
        }
    }
    if (!fileType.empty()) return;
    if (extension_.empty()) {
        decided_ = defaultDirectoryType(currentDirectory, fileType) ? Decided::DefaultDirectory : Decided::Default;
        if (fileType.empty()) fileType = defaultType_;
        return;
    }
    extensionType(extension_, fileType);
}

// A file without extension in a directory named like a default directory gets that name.
bool FileTypes::defaultDirectoryType(const std::string& currentDirectory, std::string& fileType) {
    if (defaultDirectories_.empty()) return false;
    size_t end = currentDirectory.size();
    while (end > 0 && FileUtils::isSeparator(files_.pathSyntax(), currentDirectory[end - 1])) --end;
    size_t begin = end;
    while (begin > 0 && !FileUtils::isSeparator(files_.pathSyntax(), currentDirectory[begin - 1])) --begin;
    std::string last = lowerCopy(std::string_view(currentDirectory).substr(begin, end - begin));
    for (size_t i = 0; i < defaultDirectoriesLower_.size(); ++i) {
        if (defaultDirectoriesLower_[i] == last) {
            fileType = defaultDirectories_[i];
            decidedIndex_ = i;
            return true;
        }
    }
    return false;
}

void FileTypes::extensionType(const std::string& extension, std::string& fileType) {
    auto known = extensionTypes_.find(extension);
    if (known != extensionTypes_.end()) {
        giveType(known->second, extension, fileType);
        decided_ = Decided::Extension;
        return;
    }
    for (size_t i = 0; i < patternTypes_.size(); ++i) {
        if (wildcardMatch(patternTypes_[i].first, extension)) {
            giveType(patternTypes_[i].second, extension, fileType);
            decided_ = Decided::Pattern;
            decidedIndex_ = i;
            break;
        }
    }
    if (collectExtensions_ && !tallies_.hasExtension(extension)) tallies_.addExtension(extension);
    if (fileType.empty()) fileType = "undef";
}

FileTypes::TypeOrigin FileTypes::lastTypeOrigin() const {
    switch (decided_) {
        case Decided::Attribute: return {attributeLines_[decidedIndex_], "%" + attributeTypes_[decidedIndex_].first};
        case Decided::DefaultDirectory: return {defaultDirectoriesLine_, defaultDirectories_[decidedIndex_]};
        case Decided::Default: return {defaultLine_, "default"};
        case Decided::Extension: {
            const auto line = extensionLines_.find(extension_);
            return {line == extensionLines_.end() ? 0 : line->second, extension_};
        }
        case Decided::Pattern: return {patternLines_[decidedIndex_], patternTypes_[decidedIndex_].first};
        case Decided::Nothing: break;
    }
    return {};
}

}  // namespace Quilna
