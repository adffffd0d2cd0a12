#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "common/ConfReader.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/Tallies.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

using RulesTest::TempDir;
using RulesTest::TestLog;
using Texts = std::vector<std::string>;

const char* const mappingExample =
    "default=other\n"
    "default-dirs=Bin,etc\n"
    "documents\n"
    "{\n"
    "doc,docx,txt\n"
    "%hidden\n"
    "}\n"
    "image-$\n"
    "{\n"
    "p*,jp?g\n"
    "}\n";

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
    ConfReader reader{log.centre()};
    Tallies tallies;
    FileTypes types{log.unit(), reader, tallies};
    FileStatus status;
};

TEST_F(FileTypesTest, MappingExampleLoads) {
    load(mappingExample);
    EXPECT_EQ(types.defaultType(), "other");
    EXPECT_EQ(types.defaultDirectories(), (Texts{"Bin", "etc"}));
    EXPECT_EQ(types.extensionTypes(),
              (std::map<std::string, std::string>{{"doc", "documents"}, {"docx", "documents"}, {"txt", "documents"}}));
    EXPECT_EQ(types.attributeTypes(), (std::vector<std::pair<std::string, std::string>>{{"hidden", "documents"}}));
    EXPECT_EQ(types.patternTypes(),
              (std::vector<std::pair<std::string, std::string>>{{"p*", "image-$"}, {"jp?g", "image-$"}}));
}

TEST_F(FileTypesTest, ItemsAreTakenAsWrittenAndTheFirstMappingIsKept) {
    load("default-dirs=bin\nfirst\n{\ndoc, txt,,%system,%Hidden\n}\nsecond\n{\ndoc\n*\n}\n");
    EXPECT_EQ(types.defaultType(), "bin");  // as the first line it is the "default" line
    EXPECT_TRUE(types.defaultDirectories().empty());
    EXPECT_EQ(types.extensionTypes(), (std::map<std::string, std::string>{{"", "first"}, {" txt", "first"}, {"doc", "first"}}));
    EXPECT_EQ(types.attributeTypes(),
              (std::vector<std::pair<std::string, std::string>>{{"system", "first"}, {"Hidden", "first"}}));
    EXPECT_EQ(FileTypes::attributeBit("Hidden"), 0);
    EXPECT_EQ(FileTypes::attributeBit("link"), FileAttribute::Link);
    EXPECT_EQ(FileTypes::attributeBit("temp"), FileAttribute::Temporary);
}

TEST_F(FileTypesTest, ExtensionSchemeKeepsTheCase) {
    types.setScheme(FileTypes::Extension);
    EXPECT_EQ(facts("Report.DOC"), "C|DOC");
    EXPECT_EQ(facts("report.doc"), "C|doc");
    EXPECT_EQ(facts("archive.tar.gz"), "C|gz");
    EXPECT_EQ(facts("README"), "C|");
    EXPECT_EQ(facts("x", "\\\\srv\\share\\", "\\\\srv\\share\\"), "\\\\srv\\share|");
    EXPECT_EQ(log.debugTexts().front(), "      Filesystem=\"C\", Filetype=\"DOC\".");
}

TEST_F(FileTypesTest, PosixRootsKeepTheirSlash) {
    fake.syntax = PathSyntax{};
    types.setScheme(FileTypes::Extension);
    EXPECT_EQ(facts("a.txt", "/data/", "/"), "/|txt");
    EXPECT_EQ(facts("a.txt", "/mnt/usb/x/", "/mnt/usb/"), "/mnt/usb|txt");
}

TEST_F(FileTypesTest, MappingSchemeLooksUpTheLowerCasedExtension) {
    load(mappingExample);
    types.setScheme(FileTypes::Mapping);
    types.setCollectExtensions(true);
    EXPECT_EQ(facts("Report.DOC"), "C|documents");
    EXPECT_EQ(facts("report.doc"), "C|documents");
    EXPECT_EQ(facts("photo.PNG"), "C|image-png");
    EXPECT_EQ(facts("photo.jpeg"), "C|image-jpeg");
    EXPECT_EQ(facts("data.xyz"), "C|undef");
    EXPECT_EQ(facts("again.png"), "C|image-png");
    // Extensions matched only by a pattern are collected, known ones are not; each once.
    EXPECT_EQ(tallies.extensionLines(), (Texts{"png", "jpeg", "xyz"}));
}

TEST_F(FileTypesTest, ExtensionsAreCollectedOnlyWithTheSwitch) {
    load(mappingExample);
    types.setScheme(FileTypes::Mapping);
    EXPECT_EQ(facts("data.xyz"), "C|undef");
    EXPECT_TRUE(tallies.extensionLines().empty());
}

TEST_F(FileTypesTest, FilesWithoutExtensionTakeTheirDirectoryOrTheDefault) {
    load(mappingExample);
    types.setScheme(FileTypes::Mapping);
    EXPECT_EQ(facts("tool", "c:\\Program\\BIN\\"), "C|Bin");
    EXPECT_EQ(facts("hosts", "c:\\windows\\etc\\\\"), "C|etc");
    EXPECT_EQ(facts("tool", "c:\\bin2\\"), "C|other");
    EXPECT_EQ(facts("trailing.", "c:\\bin\\"), "C|Bin");  // an empty extension

    FileTypes bare{log.unit(), reader, tallies};
    bare.setScheme(FileTypes::Mapping);
    std::string fileSystem, fileType;
    bare.fileFacts("c:\\bin\\", "tool", "C:\\", status, fileSystem, fileType);
    EXPECT_EQ(fileType, "undef");
}

TEST_F(FileTypesTest, AttributeTypesWinOverTheExtension) {
    load("secret-$\n{\n%hidden,%system\n}\ndocuments\n{\ndoc\n}\nlinks\n{\n%link\n}\n");
    types.setScheme(FileTypes::Mapping);
    EXPECT_EQ(facts("a.doc"), "C|documents");
    status.attributes = FileAttribute::Hidden | FileAttribute::Archive;
    EXPECT_EQ(facts("a.DOC"), "C|secret-doc");
    status.attributes = FileAttribute::Link;
    EXPECT_EQ(facts("a.doc"), "C|links");

    // Without the file's status the attribute items are skipped for that file.
    status.exists = false;
    EXPECT_EQ(facts("a.doc"), "C|documents");
    auto texts = log.debugTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "      Unable to get file info."), texts.end());
}

TEST_F(FileTypesTest, FileNameSchemeAndUnknownSchemes) {
    types.setScheme(FileTypes::FileName);
    EXPECT_EQ(facts("Report.doc", "c:\\data\\sub\\"), "c:\\data\\sub\\|Report.doc");
    log.clear();
    for (int scheme : {2, 7}) {
        types.setScheme(scheme);
        std::string fileSystem = "fs", fileType = "type";
        types.fileFacts("c:\\", "a.doc", "C:\\", status, fileSystem, fileType);
        EXPECT_EQ(fileSystem + "|" + fileType, "fs|type");
    }
    EXPECT_EQ(log.messages("WARNING", 14), (Texts{"2", "7"}));
    EXPECT_TRUE(log.debugTexts().empty());
}

TEST_F(FileTypesTest, MappingFileErrors) {
    struct Case {
        const char* text;
        const char* severity;
        int id;
        const char* parameters;
    };
    const Case cases[] = {
        {"default=x\ndocuments\n", "FATAL", 10, "2|types.txt"},
        {"documents\ndoc\n}\n", "FATAL", 25, "{|doc|2|types.txt"},
        {"documents\n{\ndoc,txt\n\n", "FATAL", 10, "4|types.txt"},
    };
    for (const Case& c : cases) {
        TestLog caseLog;
        Tallies caseTallies;
        FileTypes caseTypes{caseLog.unit(), reader, caseTallies};
        EXPECT_FALSE(caseTypes.loadFileTypeMappingText(c.text, "types.txt")) << c.text;
        EXPECT_EQ(caseLog.messages(c.severity, c.id), (Texts{c.parameters})) << c.text;
    }
    // Items read before the end stay.
    FileTypes partial{log.unit(), reader, tallies};
    EXPECT_FALSE(partial.loadFileTypeMappingText("documents\n{\ndoc,txt\n", "types.txt"));
    EXPECT_EQ(partial.extensionTypes().size(), 2u);
}

TEST_F(FileTypesTest, LoadingThroughTheSetting) {
    fake.syntax.reset();  // real files of this computer, in its own path syntax
    TempDir dir;
    EXPECT_FALSE(types.loadFileTypeMapping());
    EXPECT_EQ(log.messages("FATAL", 2), (Texts{"hoardscan.filename"}));
    EXPECT_EQ(log.debugTexts().back(), "No filename extension mapping file configured.");

    auto configure = [&](const std::string& path) {
        ASSERT_TRUE(reader.buildTreeFromText(
            "hoardscan () = '' { filename (FileName) = '" + RulesTest::quotedPath(path) + "' {} }", "c"));
    };
    std::string missing = dir.file("missing.txt");
    configure(missing);
    EXPECT_FALSE(types.loadFileTypeMapping());
    EXPECT_EQ(log.messages("FATAL", 3), (Texts{"hoardscan.filename|" + missing}));
    EXPECT_EQ(log.debugTexts().back(), "Filename extension mapping file \"" + missing + "\" does not exist.");

    std::string empty = dir.write("empty.txt", "\n# only a comment\n");
    configure(empty);
    EXPECT_TRUE(types.loadFileTypeMapping());
    EXPECT_EQ(log.messages("WARNING", 24), (Texts{empty}));
    EXPECT_EQ(types.defaultType(), "undef");

    configure(dir.write("types.txt", mappingExample));
    EXPECT_TRUE(types.loadFileTypeMapping());
    EXPECT_EQ(types.defaultType(), "other");
}

}  // namespace
}  // namespace Quilna
