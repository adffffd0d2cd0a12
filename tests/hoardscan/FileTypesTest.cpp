#include <gtest/gtest.h>

#include <tuple>

#include "RulesTestSupport.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/Tallies.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

using RulesTest::TestLog;
using Texts = std::vector<std::string>;

const char* const mappingExample =
    "default= other\ndefault-dirs=Bin,etc\ndocuments\n{\ndoc,docx,txt\n%hidden\n}\nimage-$\n{\np*,jp?g\n}\n";

class FileTypesTest : public ::testing::Test {
protected:
    FileTypesTest() {
        fake.syntax = FakePlatform::windowsSyntax();
        status.exists = true;
        status.attributes = FileAttribute::Archive;
        log.clear();
    }

    void load(const char* text) {
        ASSERT_TRUE(types.loadFileTypeMappingText(text, "types.txt"));
        log.clear();
    }
    // File system and file type of a file, "fs|type".
    std::string facts(const std::string& name, const std::string& directory = "c:\\data\\",
                      const std::string& root = "C:\\") {
        std::string fileSystem, fileType;
        types.fileFacts(directory, name, root, status, fileSystem, fileType);
        return fileSystem + "|" + fileType;
    }

    FakePlatform fake;
    TestLog log;
    Tallies tallies;
    FileTypes types{log.unit(), tallies};
    FileStatus status;
};

TEST_F(FileTypesTest, EachSchemeGivesTheFileSystemAndTheType) {
    const std::string attributes =
        "default-dirs=Lib\nsecret-$\n{\n%hidden,%system\n}\ndocuments\n{\ndoc\n}\nlinks\n{\n%link\n}\n";
    const std::string twice = "first\n{\ndoc\n}\nsecond\n{\ndoc\n*\n}\n";
    struct Case {
        int32_t scheme;
        std::string mapping;
        uint16_t attributes;
        std::string name, directory, root, expected;
    };
    const uint16_t archive = FileAttribute::Archive;
    const std::vector<Case> cases = {
        {FileTypes::Extension, "", archive, "Report.DOC", "c:\\data\\", "C:\\", "C|DOC"},  // the case kept
        {FileTypes::Extension, "", archive, "archive.tar.gz", "c:\\data\\", "C:\\", "C|gz"},
        {FileTypes::Extension, "", archive, "x", "\\\\srv\\share\\", "\\\\srv\\share\\", "\\\\srv\\share|"},
        {FileTypes::Mapping, mappingExample, archive, "Report.DOC", "c:\\data\\", "C:\\", "C|documents"},
        {FileTypes::Mapping, mappingExample, archive, "photo.PNG", "c:\\data\\", "C:\\", "C|image-png"},
        // Without extension: the directory's name when it is a default directory, else the default.
        {FileTypes::Mapping, mappingExample, archive, "tool", "c:\\Program\\BIN\\", "C:\\", "C|Bin"},
        {FileTypes::Mapping, mappingExample, archive, "tool", "c:\\bin2\\", "C:\\", "C|other"},
        {FileTypes::Mapping, mappingExample, archive, "trailing.", "c:\\bin\\", "C:\\", "C|Bin"},
        {FileTypes::Mapping, "", archive, "tool", "c:\\bin\\", "C:\\", "C|undef"},
        {FileTypes::Mapping, twice, archive, "a.doc", "c:\\", "C:\\", "C|first"},  // the first mapping is kept
        {FileTypes::Mapping, "default=o\ndefault-dirs=\nt\n{\ndoc\n}\n", archive, "a.doc", "c:\\", "C:\\", "C|t"},
        {FileTypes::Mapping, "default=\nt\n{\ndoc\n}\n", archive, "tool", "c:\\bin\\", "C:\\", "C|"},
        {FileTypes::Mapping, "default-dirs=Bin\nt\n{\ndoc\n}\n", archive, "tool", "c:\\bin2\\", "C:\\", "C|undef"},
        // Attribute types win over the extension.
        {FileTypes::Mapping, attributes, FileAttribute::Hidden | archive, "a.DOC", "c:\\data\\", "C:\\",
         "C|secret-doc"},
        {FileTypes::Mapping, attributes, FileAttribute::Link, "a.doc", "c:\\data\\", "C:\\", "C|links"},
        {FileTypes::FileName, "", archive, "Report.doc", "c:\\data\\sub\\", "C:\\", "c:\\data\\sub\\|Report.doc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directory + c.name);
        FileTypes caseTypes{log.unit(), tallies};
        ASSERT_TRUE(c.mapping.empty() || caseTypes.loadFileTypeMappingText(c.mapping, "types.txt"));
        caseTypes.setScheme(c.scheme);
        status.attributes = c.attributes;
        std::string fileSystem, fileType;
        caseTypes.fileFacts(c.directory, c.name, c.root, status, fileSystem, fileType);
        EXPECT_EQ(fileSystem + "|" + fileType, c.expected);
    }
    EXPECT_EQ(log.debugTexts().front(), "      Filesystem=\"C\", Filetype=\"DOC\".");

    // Without the file's status the attribute items are skipped for that file.
    load("default-dirs=Bin\n");
    load(attributes.c_str());  // replaces the default directories
    types.setScheme(FileTypes::Mapping);
    EXPECT_EQ(facts("tool", "c:\\bin\\"), "C|undef");
    status.exists = false;
    status.attributes = FileAttribute::Hidden;
    EXPECT_EQ(facts("a.doc"), "C|documents");
    auto texts = log.debugTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "      Unable to get file info."), texts.end());
    // POSIX roots keep their slash.
    fake.syntax = PathSyntax{};
    types.setScheme(FileTypes::Extension);
    EXPECT_EQ(facts("a.txt", "/data/", "/"), "/|txt");
    EXPECT_EQ(facts("a.txt", "/mnt/usb/x/", "/mnt/usb/"), "/mnt/usb|txt");
    // An unknown scheme leaves the facts as they were and warns.
    types.setScheme(7);
    std::string fileSystem = "fs", fileType = "type";
    types.fileFacts("/", "a.doc", "/", status, fileSystem, fileType);
    EXPECT_EQ(fileSystem + "|" + fileType, "fs|type");
    EXPECT_EQ(log.messages("WARNING", 14), (Texts{"7"}));
}

TEST_F(FileTypesTest, ExtensionsMatchedOnlyByAPatternAreCollectedWithTheSwitch) {
    load(mappingExample);
    types.setScheme(FileTypes::Mapping);
    EXPECT_EQ(facts("data.xyz"), "C|undef");
    EXPECT_TRUE(tallies.extensionLines().empty());
    types.setCollectExtensions(true);
    for (const char* name : {"Report.DOC", "photo.PNG", "photo.jpeg", "data.xyz", "again.png"}) facts(name);
    EXPECT_EQ(tallies.extensionLines(), (Texts{"png", "jpeg", "xyz"}));
}

TEST_F(FileTypesTest, MappingFileErrors) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"default=x\ndocuments\n", 10, "2|types.txt"},
        {"documents\ndoc\n", 25, "{|doc|2|types.txt"},
        {"documents\n{\ndoc,txt\n\n", 10, "4|types.txt"},
    };
    for (const auto& [text, id, parameters] : cases) {
        log.clear();
        FileTypes caseTypes{log.unit(), tallies};
        EXPECT_FALSE(caseTypes.loadFileTypeMappingText(text, "types.txt")) << text;
        EXPECT_EQ(log.messages("FATAL", id), (Texts{parameters})) << text;
    }
    // Items read before the end stay.
    FileTypes partial{log.unit(), tallies};
    EXPECT_FALSE(partial.loadFileTypeMappingText("documents\n{\ndoc,txt\n", "types.txt"));
    EXPECT_EQ(partial.extensionTypes().size(), 2u);
}

TEST_F(FileTypesTest, LoadingAFile) {
    fake.syntax.reset();  // real files of this computer, in its own path syntax
    TestSupport::TestDirectory dir;
    std::string empty = dir.write("empty.txt", "\n# only a comment\n");
    EXPECT_TRUE(types.loadFileTypeMappingFile(empty));
    EXPECT_EQ(log.messages("WARNING", 24), (Texts{empty}));
    EXPECT_EQ(types.defaultType(), "undef");

    EXPECT_TRUE(types.loadFileTypeMappingFile(dir.write("types.txt", mappingExample)));
    EXPECT_EQ(types.defaultType(), "other");
}

}  // namespace
}  // namespace Quilna
