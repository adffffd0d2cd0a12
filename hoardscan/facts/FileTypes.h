#pragma once
// The file system and file type fields of an account record, by the file type scheme:
// 0 the extension, 1 the file type mapping file, 3 the directory and the file name.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "files/FileStatus.h"
#include "platform/FileSystem.h"
#include "hoardscan/rules/RuleText.h"

namespace Quilna {

class LoggerUnit;
class Tallies;

class FileTypes {
public:
    enum Scheme : int32_t { Extension = 0, Mapping = 1, FileName = 3 };

    // Unknown extensions of the mapping scheme go to the tallies' extension lines.
    FileTypes(FileSystem& files, LoggerUnit& logger, Tallies& tallies);

    void setScheme(int32_t scheme) { scheme_ = scheme; }
    // The extension switch: collect extensions that the mapping does not know.
    void setCollectExtensions(bool collect) { collectExtensions_ = collect; }

    // Loads the mapping file; true also for an empty file. The same for a text already read
    // (fileName names it in messages).
    bool loadFileTypeMappingFile(const std::string& path);
    bool loadFileTypeMappingText(std::string_view text, const std::string& fileName);

    // Both fields of a file of the current directory. Root is the root the walk chose; status
    // is the walk's one status of the file (exists false when it could not be read).
    void fileFacts(const std::string& currentDirectory, const std::string& name, const std::string& root,
                   const FileStatus& status, std::string& fileSystem, std::string& fileType);

    const std::string& defaultType() const { return defaultType_; }
    const std::vector<std::pair<std::string, std::string>>& attributeTypes() const { return attributeTypes_; }
    const std::unordered_map<std::string, std::string>& extensionTypes() const { return extensionTypes_; }
    const std::vector<std::pair<std::string, std::string>>& patternTypes() const { return patternTypes_; }

    // The mapping line that gave the last type fileFacts found, and its item as written; line 0
    // when no line did (another scheme, or the built-in default). For --explain.
    struct TypeOrigin {
        int32_t line = 0;
        std::string item;
    };
    TypeOrigin lastTypeOrigin() const;
    const std::string& mappingFile() const { return mappingFile_; }

    // The attribute bit an attribute word of the mapping asks for; 0 for a word that never matches.
    static uint16_t attributeBit(std::string_view word);

private:
    bool readTypeBlock(RuleText& text, const std::string& typeName);
    void fileItems(const std::string& line, const std::string& typeName, int32_t lineNumber);
    void mappedType(const std::string& currentDirectory, const std::string& name, const FileStatus& status,
                    std::string& fileType);
    bool defaultDirectoryType(const std::string& currentDirectory, std::string& fileType);
    // The type for a non-empty lower-cased extension; empty when the mapping has none.
    void extensionType(const std::string& extension, std::string& fileType);
    void rootField(const std::string& root, std::string& fileSystem) const;

    FileSystem& files_;  // the mapping file is read through it
    LoggerUnit& logger_;
    Tallies& tallies_;
    int32_t scheme_ = Extension;
    bool collectExtensions_ = false;

    std::string defaultType_ = "undef";
    std::vector<std::string> defaultDirectories_;
    std::vector<std::string> defaultDirectoriesLower_;
    std::vector<std::pair<std::string, std::string>> attributeTypes_;  // (word, type)
    std::vector<uint16_t> attributeBits_;                              // the words' bits
    std::unordered_map<std::string, std::string> extensionTypes_;      // looked up for every file
    std::vector<std::pair<std::string, std::string>> patternTypes_;    // (pattern, type)
    std::string extension_;                                            // reused per file

    // Where each item came from, asked only by lastTypeOrigin: the walk stores which kind and
    // index decided, two numbers per file.
    enum class Decided : uint8_t { Nothing, Attribute, DefaultDirectory, Default, Extension, Pattern };
    Decided decided_ = Decided::Nothing;
    size_t decidedIndex_ = 0;
    std::string mappingFile_;
    int32_t defaultLine_ = 0, defaultDirectoriesLine_ = 0;
    std::vector<int32_t> attributeLines_, patternLines_;
    std::unordered_map<std::string, int32_t> extensionLines_;
};

}  // namespace Quilna
