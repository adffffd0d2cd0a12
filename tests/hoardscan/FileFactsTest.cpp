#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <tuple>

#include "RulesTestSupport.h"
#include "files/FileOps.h"
#include "hoardscan/facts/DriveCheck.h"
#include "hoardscan/facts/FileTypes.h"
#include "hoardscan/facts/Owners.h"
#include "hoardscan/tallies/ResultFiles.h"
#include "hoardscan/app/ScanIdentity.h"
#include "hoardscan/app/ScanSettings.h"
#include "hoardscan/tallies/Tallies.h"
#include "hoardscan/tallies/Tallying.h"
#include "hoardscan/facts/Temperatures.h"
#include "results/AccountRecordFormat.h"
#include "results/ResultFileReader.h"
#include "support/FakePlatform.h"
#include "support/ProcessWideBackend.h"
#include "support/TestDirectory.h"
#include "time/TimeTestSupport.h"

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
    }

    void load(const char* text) {
        ASSERT_TRUE(types.loadFileTypeMappingText(text, "types.txt"));
        log.clear();
    }
    // File system and file type of a file, "fs|type".
    std::string facts(const std::string& name, const std::string& directory = "c:\\data\\",
                      const std::string& root = "C:\\", FileTypes* other = nullptr) {
        std::string fileSystem, fileType;
        (other ? *other : types).fileFacts(directory, name, root, status, fileSystem, fileType);
        return fileSystem + "|" + fileType;
    }

    FakePlatform fake;
    TestLog log;
    Tallies tallies;
    FileTypes types{fake, log.unit(), tallies};
    FileStatus status;
};

TEST_F(FileTypesTest, EachSchemeGivesTheFileSystemAndTheType) {
    const std::string attributes =
        "default-dirs=Lib\nsecret-$\n{\n%hidden,%system\n}\ndocuments\n{\ndoc\n}\nlinks\n{\n%link\n}\n";
    const std::string twice = "first\n{\ndoc\n}\nsecond\n{\ndoc\n*\n}\n";
    const uint16_t archive = FileAttribute::Archive;
    const std::vector<std::tuple<int32_t, std::string, uint16_t, std::string, std::string, std::string, std::string>>
        cases = {
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
            {FileTypes::Mapping, "default=\ndocument-types\n{\ndoc\n}\n", archive, "tool", "c:\\bin\\", "C:\\", "C|"},
            {FileTypes::Mapping, "default-dirs=Bin\nt\n{\ndoc\n}\n", archive, "tool", "c:\\bin2\\", "C:\\", "C|undef"},
            // Attribute types win over the extension.
            {FileTypes::Mapping, attributes, FileAttribute::Hidden | archive, "a.DOC", "c:\\data\\", "C:\\",
             "C|secret-doc"},
            {FileTypes::Mapping, attributes, FileAttribute::Link, "a.doc", "c:\\data\\", "C:\\", "C|links"},
            {FileTypes::FileName, "", archive, "Report.doc", "c:\\data\\sub\\", "C:\\", "c:\\data\\sub\\|Report.doc"},
        };
    for (const auto& [scheme, mapping, attributes, name, directory, root, expected] : cases) {
        SCOPED_TRACE(directory + name);
        FileTypes caseTypes{fake, log.unit(), tallies};
        ASSERT_TRUE(mapping.empty() || caseTypes.loadFileTypeMappingText(mapping, "types.txt"));
        caseTypes.setScheme(scheme);
        status.attributes = attributes;
        EXPECT_EQ(facts(name, directory, root, &caseTypes), expected);
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

TEST_F(FileTypesTest, MappingFilesLoadOrNameTheirErrors) {
    // A missing "{" fails the load; a block left open at the end keeps what it holds, with a warning.
    const std::vector<std::tuple<std::string, const char*, int, std::string, size_t>> cases = {
        {"default=x\ndocuments\n", "FATAL", 10, "2|types.txt", 0},
        {"documents\ndoc\n", "FATAL", 25, "{|doc|2|types.txt", 0},
        {"documents\n{\ndoc,txt\n\n", "WARNING", 42, "types.txt|documents|1", 2},
    };
    for (const auto& [text, severity, id, parameters, kept] : cases) {
        log.clear();
        FileTypes caseTypes{fake, log.unit(), tallies};
        EXPECT_EQ(caseTypes.loadFileTypeMappingText(text, "types.txt"), severity[0] == 'W') << text;
        EXPECT_EQ(log.messages(severity, id), (Texts{parameters})) << text;
        EXPECT_EQ(caseTypes.extensionTypes().size(), kept) << text;
    }
    // Files of this computer, in its own path syntax: one without mappings only warns.
    fake.syntax.reset();
    TestSupport::TestDirectory dir;
    const std::string empty = dir.write("empty.txt", "\n# only a comment\n");
    EXPECT_TRUE(types.loadFileTypeMappingFile(empty));
    EXPECT_EQ(log.messages("WARNING", 24), (Texts{empty}));
    EXPECT_EQ(types.defaultType(), "undef");
    EXPECT_TRUE(types.loadFileTypeMappingFile(dir.write("types.txt", mappingExample)));
    EXPECT_EQ(types.defaultType(), "other");
}

constexpr int64_t now = 1700000000;
constexpr int64_t day = 86400;

Texts describe(const std::vector<TemperatureBand>& bands) {
    Texts out;
    for (const TemperatureBand& band : bands)
        out.push_back(band.name + " " + std::to_string(band.minDays) + ".." + std::to_string(band.maxDays));
    return out;
}

class TemperaturesTest : public ::testing::Test {
protected:
    TemperaturesTest() { fake.clock = now; }

    // Both temperatures, "access/modify", of a file last read and written the given number of seconds ago.
    std::string of(int64_t accessedAgo, int64_t modifiedAgo, bool exists = true, Temperatures* other = nullptr) {
        FileStatus status;
        status.exists = exists;
        status.accessed = now - accessedAgo;
        status.modified = now - modifiedAgo;
        std::string access = "UNKNOWN", modify = "UNKNOWN";
        (other ? *other : temperatures).temperaturesOf("f.txt", access, modify, status);
        return access + "/" + modify;
    }

    FakePlatform fake;
    ProcessWideBackend installed{fake};  // the ages are counted from the process's clock
    TestLog log;
    Temperatures temperatures{fake, log.unit()};
    TestSupport::TestDirectory dir;
};

// Bands follow each other; a quoted name keeps its blanks, limits and names go without case.
TEST_F(TemperaturesTest, ExampleBandsFollowEachOtherAndBadBandsAreFatal) {
    ASSERT_TRUE(temperatures.loadTemperaturesFile(dir.write(
        "temperatures.txt", "# ages in days\nhot 7\n\"very warm\"   30 # a month\n\ncold 365\r\nfrozen INFINITY\n")));
    Texts expected{"hot 0..7", "\"very warm\" 8..30", "cold 31..365", "frozen 366..-1"};
    EXPECT_EQ(describe(temperatures.accessBands()), expected);
    EXPECT_EQ(describe(temperatures.modifyBands()), expected);
    EXPECT_EQ(log.messageCount(), 0u);

    EXPECT_EQ(of(7 * day, 8 * day), "hot/\"very warm\"");
    EXPECT_EQ(of(-5 * day, 30 * day + day - 1), "hot/\"very warm\"");  // age 0 from the future; whole days
    EXPECT_EQ(of(366 * day, 20000 * day), "frozen/frozen");
    EXPECT_EQ(log.debugTexts().back(), "      Accesstemp=frozen, Modifytemp=frozen.");
    EXPECT_EQ(temperatures.bandNamed("COLD")->name, "cold");
    EXPECT_EQ(temperatures.bandNamed("col"), nullptr);
    // Ages beyond the last band keep the value given; a file without status gets the first band.
    Temperatures two(fake, log.unit());
    ASSERT_TRUE(two.loadTemperaturesText("hot 7\nwarm 30\n", "t.txt"));
    EXPECT_EQ(of(31 * day, 2 * day, true, &two), "UNKNOWN/hot");
    EXPECT_EQ(of(0, 0, false, &two), "hot/hot");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"hot 7\nwarm thirty\n", "a number of days or infinity|thirty|2|t.txt"},
        {"hot -1\n", "a number of days or infinity|-1|1|t.txt"},
        {"hot 7\nwarm 7\n", "more than 7 days|7|2|t.txt"},
        {"hot 7\nwarm 7days\n", "more than 7 days|7days|2|t.txt"},
    };
    for (const auto& [text, fatal] : cases) {
        Temperatures fresh(fake, log.unit());
        log.clear();
        EXPECT_FALSE(fresh.loadTemperaturesText(text, "t.txt")) << text;
        EXPECT_EQ(log.messages("FATAL", 25), (Texts{fatal})) << text;
        EXPECT_TRUE(fresh.accessBands().empty()) << text;
    }
    // Taken as the lines stand, each with a warning: letters after a limit, a band after "infinity".
    Temperatures lenient(fake, log.unit());
    log.clear();
    ASSERT_TRUE(lenient.loadTemperaturesText("hot 12days\nall infinity\nnever 400\n", "t.txt"));
    EXPECT_EQ(describe(lenient.accessBands()), (Texts{"hot 0..12", "all 13..-1", "never 0..400"}));
    EXPECT_EQ(log.messages("WARNING", 41),
              (Texts{"1|t.txt|hot 12days|taken as 12 days, what follows the number left aside",
                     "3|t.txt|never 400|it follows a band without limit, starts again at day 0 and is never chosen"}));
    EXPECT_EQ(of(12 * day, 400 * day, true, &lenient), "hot/all");
    // No bands at all: nothing is classified.
    std::string path = dir.write("empty.txt", "# nothing here\n\n");
    log.clear();
    Temperatures none(fake, log.unit());
    ASSERT_TRUE(none.loadTemperaturesFile(path));
    EXPECT_EQ(log.messages("WARNING", 24), (Texts{path}));
    EXPECT_EQ(of(0, 0, false, &none), "UNKNOWN/UNKNOWN");
    EXPECT_EQ(log.messages("WARNING", 15), (Texts{"f.txt"}));
}

class CountingPlatform : public FakePlatform {
public:
    bool clusterSize(const std::string& root, uint32_t& bytes, SystemError& error) override {
        ++clusterCalls;
        return FakePlatform::clusterSize(root, bytes, error);
    }
    int clusterCalls = 0;
};

struct DriveCheckTest : ::testing::Test {
    CountingPlatform fake;
    TestLog log;
    DriveCheck check{fake, fake.pathSyntax(), log.unit()};
};

FileStatus fileOf(uint64_t size, uint16_t attributes = FileAttribute::Normal) {
    FileStatus status;
    status.exists = true;
    status.size = size;
    status.attributes = attributes;
    status.fullPath = "/data/file";
    return status;
}

int64_t physicalOf(DriveCheck& check, const FileStatus& status, int64_t* logical = nullptr) {
    int64_t l = -1, p = -1;
    check.sizesOf("/data/", "file", l, p, status);
    if (logical) *logical = l;
    return p;
}

// Whole clusters, the status call's allocation, or the compressed size, all in 64 bits.
TEST_F(DriveCheckTest, PhysicalSizesByKindOfFile) {
    const uint64_t fiveGiB = 5ull << 30;
    const std::vector<std::tuple<uint64_t, uint16_t, std::optional<uint64_t>, std::optional<uint64_t>, int64_t>> rows{
        {1, FileAttribute::Normal, {}, {}, 4096},
        {4097, FileAttribute::Normal, {}, {}, 8192},
        {fiveGiB + 1, FileAttribute::Normal, {}, {}, static_cast<int64_t>(fiveGiB + 4096)},
        {fiveGiB, FileAttribute::Sparse, 1 << 20, {}, 1 << 20},
        {30, FileAttribute::Link, 0, {}, 0},
        {10, FileAttribute::Normal, 0, {}, 4096},  // a plain file is still rounded up
        {fiveGiB, FileAttribute::Sparse, {}, 65536, 65536},
        {100ull << 32, FileAttribute::Compressed, {}, (3ull << 32) + 17, static_cast<int64_t>((3ull << 32) + 17)},
    };
    fake.clusterSizes["/data/"] = 4096;  // no drive root on POSIX: asked through the directory
    for (const auto& [size, attributes, allocated, compressed, physical] : rows) {
        FileStatus status = fileOf(size, attributes);
        status.hasAllocated = allocated.has_value();
        status.allocated = allocated.value_or(0);
        fake.compressedSizes["/data/file"] = compressed.value_or(65536);
        int64_t logical = 0;
        EXPECT_EQ(physicalOf(check, status, &logical), physical) << size << " " << attributes;
        EXPECT_EQ(logical, static_cast<int64_t>(size));
    }
    EXPECT_TRUE(log.messages("WARNING", 16).empty());

    // A compressed size that cannot be read: the logical size stands in.
    fake.compressedSizes["/data/file"] = std::nullopt;
    EXPECT_EQ(physicalOf(check, fileOf(1000, FileAttribute::Compressed)), 1000);
    EXPECT_EQ(log.messages("WARNING", 16), (Texts{"/data/file|5"}));
    FileStatus vanished = fileOf(100);
    vanished.exists = false;
    int64_t logical = -1;
    EXPECT_EQ(physicalOf(check, vanished, &logical), 0);
    EXPECT_EQ(logical, 0);
}

// Asked once per directory or known volume; a failure is reported once and asked again later.
TEST_F(DriveCheckTest, TheClusterSizeIsAskedOncePerDirectoryOrVolume) {
    // Per file: the volume entered first (0: a directory of no known volume, -1: none), the cluster size, the size.
    const std::vector<std::tuple<int, std::optional<uint32_t>, uint64_t>> files = {
        {0, 4096, 10}, {-1, 4096, 10}, {-1, 4096, 10}, {7, 4096, 10}, {7, 512, 10},
        {8, 512, 10},  {9, {}, 10},    {-1, {}, 20},   {9, 4096, 10}};
    Texts steps;
    for (const auto& [volume, cluster, size] : files) {
        if (volume > 0) check.enterDirectory(volume);
        if (volume == 0) check.enterDirectory();
        fake.clusterSizes["/data/"] = cluster;
        const int64_t physical = physicalOf(check, fileOf(size));
        steps.push_back(std::to_string(physical) + "/" + std::to_string(fake.clusterCalls));
    }
    // A size asked again would show 512 in the fifth; a failure leaves the logical size.
    EXPECT_EQ(steps, (Texts{"4096/1", "4096/1", "4096/1", "4096/2", "4096/2", "512/3", "10/4", "20/4", "4096/5"}));
    EXPECT_EQ(log.messages("WARNING", 16), (Texts{"/data/|5"}));
}

TEST_F(DriveCheckTest, DriveTypesGiveTheirWordsAndPathRootsTheirLetters) {
    fake.driveTypes = {{"c/", 4}, {"u/", 0}, {"n/", 1}, {"x/", 9}};
    const Texts words{check.driveType("c/"), check.driveType("u/"), check.driveType("n/"), check.driveType("x/")};
    EXPECT_EQ(words, (Texts{"remote", "", "", ""}));
    EXPECT_EQ(log.messages("WARNING", 20), (Texts{"u/"}));
    EXPECT_EQ(log.messages("WARNING", 21), (Texts{"n/"}));
    EXPECT_EQ(log.messages("ERROR", 22), (Texts{"9|x/"}));
    const PathSyntax windowsSyntax = FakePlatform::windowsSyntax();
    const DriveCheck windows(fake, windowsSyntax, log.unit());
    EXPECT_EQ((Texts{windows.pathRoot("C:\\dir\\file"), windows.pathRoot("\\\\server\\share\\file"),
                     windows.pathRoot("d:\\data\\", "x.doc")}),
              (Texts{"C:", "", "d:"}));
    const PathSyntax posixSyntax{};
    EXPECT_EQ(DriveCheck(fake, posixSyntax, log.unit()).pathRoot("/data/", "a:b"), "");
}

class ServerProbe : public FakePlatform {
public:
    bool fileOwner(const std::string& path, const std::string& server, std::string& domain, std::string& account,
                   SystemError& error) override {
        servers.push_back(server);
        return FakePlatform::fileOwner(path, server, domain, account, error);
    }
    std::vector<std::string> servers;
};

// A Windows computer with three local groups; the group tables start empty for each test.
class OwnersTest : public ::testing::Test {
protected:
    OwnersTest() {
        Owners::forgetGroupTables();
        fake.syntax = windows;
        fake.groups = {SystemError{}, {"Administrators", "Users", "Guests", "Leftovers"}};
        fake.members["Administrators"] = {SystemError{}, {"PC42\\Administrator", "OFFICE\\ann"}};
        fake.members["Users"] = {SystemError{}, {"OFFICE\\Ann", "OFFICE\\bob"}};
        fake.members["Guests"] = {SystemError{}, {"PC42\\Guest"}};
        fake.members["Leftovers"] = {SystemError{}, {"PC42\\undef"}};
        fake.owners["c:\\data\\report.doc"] = {"OFFICE", "ann"};
        fake.owners["c:\\data\\setup.log"] = {"BUILTIN", "Administrators"};
        fake.owners["c:\\data\\notes.txt"] = {"OFFICE", "carol"};
        status.exists = true;
    }
    ~OwnersTest() override { Owners::forgetGroupTables(); }

    std::string ownerOf(const std::string& name, Texts& groups, const std::string& directory = "c:\\data\\") {
        std::string user = "UNDEF";
        owners.ownerOf(directory, name, status, user, groups);
        return user;
    }

    ServerProbe fake;
    const PathSyntax windows = FakePlatform::windowsSyntax();
    Owners owners{fake, fake, windows};
    FileStatus status;
};

// The owner and the local groups holding it: members whose name ends in the user, without case.
TEST_F(OwnersTest, OwnerAndTheGroupsHoldingIt) {
    const std::vector<std::tuple<std::string, std::string, Texts>> cases = {
        {"report.doc", "\\\\OFFICE\\ann", {"Administrators", "Users"}},
        {"setup.log", "Administrator", {"Administrators"}},  // the Administrators group is the Administrator
        {"no-such-file.doc", "UNDEF", {"Leftovers"}},        // members ending in "undef"
        {"notes.txt", "\\\\OFFICE\\carol", {}},
    };
    for (const auto& [file, owner, expected] : cases) {
        Texts groups{"stale"};
        EXPECT_EQ(ownerOf(file, groups), owner);
        EXPECT_EQ(groups, expected) << file;
    }
    // Owners of network files are asked of their server.
    fake.servers.clear();
    Texts groups;
    for (const char* directory : {"\\\\files\\home\\ann\\", "\\\\x", "\\\\srv"}) ownerOf("a.doc", groups, directory);
    EXPECT_EQ(fake.servers, (Texts{"files", "", "srv"}));
    EXPECT_EQ(owners.localGroupsOf("\\\\office\\bob"), (Texts{"Users"}));
    fake.user = "bob";  // an empty user is the one running the program
    EXPECT_EQ(owners.localGroupsOf(""), (Texts{"Users"}));
    // Asked ahead by a helper of the walk: taken as it was found, the file not asked again.
    status.ownerLookup = OwnerLookup::Found;
    status.owner = "\\\\OFFICE\\bob";
    EXPECT_EQ(ownerOf("report.doc", groups), "\\\\OFFICE\\bob");
    EXPECT_EQ(groups, (Texts{"Users"}));
    status.ownerLookup = OwnerLookup::NotFound;
    EXPECT_EQ(ownerOf("report.doc", groups), "UNDEF");
    // The group tables are process-wide and read once per run.
    Owners another(fake, fake, windows);
    EXPECT_EQ(another.localGroupsOf("bob"), (Texts{"Users"}));
    EXPECT_EQ(fake.localGroupsCalls, 1);
    for (const char* group : {"Administrators", "Users", "Guests", "Leftovers"})
        EXPECT_EQ(fake.memberCalls[group], 1) << group;
}

TEST_F(OwnersTest, FailedGroupListsAreAskedAgain) {
    fake.groups = {SystemError{}, {"Users", "Denied", "Partial"}};
    fake.members["Denied"] = {SystemError{ErrorKind::AccessDenied, 5}, {"OFFICE\\ann"}};
    fake.members["Partial"] = {SystemError{ErrorKind::Other, 234}, {"OFFICE\\ann"}};
    EXPECT_EQ(owners.localGroupsOf("ann"), (Texts{"Users"}));
    EXPECT_EQ(owners.localGroupsOf("ann"), (Texts{"Users"}));
    EXPECT_EQ(fake.memberCalls["Users"], 1);
    for (const char* group : {"Denied", "Partial"}) EXPECT_EQ(fake.memberCalls[group], 2) << group;
    // An owner id's answer is not for keeping while a group could not be read.
    std::string user;
    Texts groups;
    status.hasOwnerId = true;
    EXPECT_FALSE(owners.ownerOf("/", "f", status, user, groups));
    // A failed enumeration of the groups is tried again too.
    Owners::forgetGroupTables();
    fake.localGroupsCalls = 0;
    fake.groups = {SystemError{ErrorKind::Other, 234}, {"Users"}};
    EXPECT_TRUE(owners.localGroupsOf("ann").empty());
    fake.groups = {SystemError{}, {"Users"}};
    EXPECT_EQ(owners.localGroupsOf("ann"), (Texts{"Users"}));
    EXPECT_EQ(fake.localGroupsCalls, 2);
    EXPECT_TRUE(owners.ownerOf("/", "f", status, user, groups));
}

TEST(Owners, AnOwnerIdThatNoAccountHasLeavesTheUserUndefined) {
    TestSupport::TestDirectory dir;
    FileStatus status;
    ASSERT_TRUE(FileOps::fileStatus(platform(), dir.write("mine.txt", "x"), status));
    if (!status.hasOwnerId) GTEST_SKIP() << "the platform gives no owner id";
    status.ownerId = 4123456789u;
    Owners::forgetGroupTables();
    NativePlatform native;
    Owners owners(native, native, native.pathSyntax());
    std::string user = "UNDEF";
    std::vector<std::string> groups;
    owners.ownerOf(dir.child(""), "mine.txt", status, user, groups);
    EXPECT_EQ(user, "UNDEF");
    Owners::forgetGroupTables();
}

TEST(Tallies, AFullBufferIsDueOncePerBufferOfUpdatesAndLosesOnlyNewEntries) {
    Tallies tallies(3);
    std::string due;
    for (const char* key : {"b", "b", "a", "c", "d", "a", "e", "f", "g"})
        due += tallies.addAccountRecord(key, 10, 4096) ? 'F' : '.';
    EXPECT_EQ(due, "...F..F..");
    EXPECT_EQ(tallies.accountRecords().begin()->first, "a");  // in key order
    EXPECT_EQ(tallies.accountRecords().at("a").files, 2);
    EXPECT_EQ(std::make_tuple(tallies.accountRecords().size(), tallies.lostAccountRecords(), tallies.filesCounted()),
              std::make_tuple(size_t{3}, size_t{4}, size_t{9}));  // d, e, f, g lost
    EXPECT_EQ(tallies.bytesOnDiskCounted(), 9 * 4096);
    tallies.clearAccountRecords();
    EXPECT_FALSE(tallies.addAccountRecord("b", 7, 8));
    EXPECT_EQ(tallies.accountRecords().at("b").bytes, 7);

    // An inactive row already buffered is neither added again nor lost, until the buffer is flushed.
    Tallies one(1);
    for (const char* name : {"a.doc", "a.doc", "b.doc"})
        EXPECT_TRUE(one.addInactiveRow(name, "/x/", 1023, "2013-07-01T14:00:00", "cold")) << name;
    EXPECT_EQ(one.inactiveRows(), (std::deque<std::string>{"a.doc,/x/,0,2013-07-01T14:00:00,cold,"}));
    Tallies two(2);  // with room left, the same row once
    for (const char* name : {"a.doc", "a.doc"}) two.addInactiveRow(name, "/x/", 0, "t", "cold");
    EXPECT_EQ(std::make_pair(two.inactiveRows().size(), two.lostInactiveRows()),
              std::make_pair(size_t{1}, uint64_t{0}));
    one.clearInactiveRows();
    one.addInactiveRow("a.doc", "/x/", 1023, "2013-07-01T14:00:00", "cold");
    EXPECT_EQ(std::make_pair(one.inactiveRows().size(), one.lostInactiveRows()),
              std::make_pair(size_t{1}, uint64_t{1}));
    EXPECT_TRUE(one.addTemperatureRow(1, "/a/", 1));
    EXPECT_TRUE(one.addTemperatureRow(2, "/b/", 1));
    EXPECT_EQ(one.lostTemperatureRows(), 1u);

    // Every directory entered holds a row; only those that reach the limit are listed, by path and summed.
    Tallies rows(4);
    rows.setTemperatureLimit(10);
    due.clear();
    for (const auto& [visit, path, bytes] : std::vector<std::tuple<uint64_t, std::string, int64_t>>{
             {1, "/b/", 6}, {1, "/b/", 6}, {2, "/c/", 9}, {3, "/b/", 10}, {4, "/a/", 10}})
        due += rows.addTemperatureRow(visit, path, bytes) ? 'F' : '.';
    EXPECT_EQ(due, "....F");
    EXPECT_EQ(rows.temperatureRows(), (std::vector<Tallies::DirectoryTotal>{{"/a/", 10}, {"/b/", 22}}));
    rows.clearTemperatureRows();  // the rest of a directory after a flush is a row of its own
    EXPECT_FALSE(rows.addTemperatureRow(4, "/a/", 12));
    EXPECT_EQ(rows.temperatureRows(), (std::vector<Tallies::DirectoryTotal>{{"/a/", 12}}));

    // Long paths fill a buffer by their bytes long before its number of records.
    Tallies deep(1000000);
    size_t added = 1;
    while (!deep.addInactiveRow(std::to_string(added), std::string(1 << 20, 'd'), 0, "t", "cold")) ++added;
    EXPECT_EQ(added, Tallies::bufferBytes >> 20);
    EXPECT_TRUE(deep.addTemperatureRow(1, std::string(Tallies::bufferBytes, 'd'), 1));
}

// A row past the longest path keeps the beginning of its directory, ended at a character's first
// byte and marked; from the first row that would pass the table's limit on, rows are only counted.
TEST(Tallies, AnInactiveRowIsBoundedByTheLongestPathAndTheTableByItsLimit) {
    const std::string whole = "cold.doc,/a/,0,t,cold,";
    const std::string cut = "f,/abcdefghij...,0,t,cold,";  // "é" would be split: cut before it
    Tallies tallies(1000);
    tallies.setInactiveLimits(InactiveTableFormat::header.size() + 1 + whole.size() + 1 + cut.size() + 1, 16);
    tallies.addInactiveRow("cold.doc", "/a/", 0, "t", "cold");
    tallies.addInactiveRow("f", "/abcdefghij\xC3\xA9/x/", 0, "t", "cold");  // 17 bytes with the name
    tallies.addInactiveRow("cold.doc", "/a/", 0, "t", "cold");              // already there, at the limit
    for (const char* name : {"g.doc", "h"}) tallies.addInactiveRow(name, "/", 0, "t", "cold");
    EXPECT_EQ(tallies.inactiveRows(), (std::deque<std::string>{whole, cut}));
    EXPECT_EQ(std::make_tuple(tallies.inactiveRowsAdded(), tallies.inactiveRowsCut(), tallies.inactiveRowsOverLimit()),
              std::make_tuple(uint64_t{2}, uint64_t{1}, uint64_t{2}));
    InactiveRow row;
    std::string fault;
    ASSERT_TRUE(InactiveTableFormat::parseRow(cut, row, fault)) << fault;
    EXPECT_TRUE(row.cut);
    ASSERT_TRUE(InactiveTableFormat::parseRow(whole, row, fault)) << fault;
    EXPECT_FALSE(row.cut);
}

namespace fs = std::filesystem;

struct ResultFilesTest : ::testing::Test {
    ResultFilesTest() {
        settings.workingDirectory = directory.text() + "/work/";
        settings.tempDirectory = directory.text() + "/side/";
        fs::create_directory(settings.workingDirectory);
        fs::create_directory(settings.tempDirectory);
    }
    static std::string read(const std::string& path) { return TestSupport::TestDirectory::readFile(path); }

    NativePlatform native;
    TestSupport::TestDirectory directory;
    ScanSettings settings;
    RulesTest::TestLog log{1};
    Tallies tallies;
    const uint32_t pid = 4242;
};

TEST(ResultFilesDay, TheDayStampIsTheNearestLocalMidnightWithNoonCountingForward) {
    TimeTest::ZoneScope zone("+02:00");
    const int32_t april5 = TimeTest::utc(2013, 4, 5) - 2 * 3600;                                // local midnight
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 5, 9, 59, 59))), april5);   // 11:59:59 local
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 5, 10))), april5 + 86400);  // noon local
    EXPECT_EQ(ResultFiles::dayStamp(DateTime(TimeTest::utc(2013, 4, 4, 23))), april5);          // 01:00 local
}

// Everything written reads back: names with separators, control bytes or beyond a line buffer; sizes near 2^64.
TEST_F(ResultFilesTest, EveryResultFileReadsBackToTheRecordsWritten) {
    settings.inactiveLog = true;
    settings.temperatureMonitor = "very-cold";
    settings.temperatureMonitorSize = 4096;
    const int64_t belowTop = 9223372036854774784;  // 2^63 - 1024: twice it is 2^64 - 2048
    std::string longName;
    for (int i = 0; i < 20000; ++i) longName += "\xc3\xa9";
    // A name as the walk hands it over, and as the key, the inactive-file table and the logs give it back.
    const std::vector<std::array<std::string, 4>> names = {
        {"a:b,c;d", "a_b,c;d", "a:b_c;d", "a:b,c;d"},
        {"tab\tcr\r\nlf\x01\x1f\x7f", "tab_cr__lf__\x7f", "tab_cr__lf__\x7f", "tab_cr__lf__\x7f"},
        {longName, longName, longName, longName}};
    const auto keyOf = [](const std::string& name) {
        RecordKey key;
        key.fields = {"OSLO", "PC42", "C", name, name, name, name, "plain", "cold", "frozen"};
        return AccountRecordFormat::keyText(key);
    };
    ResultFiles files(native, native, log.unit(), settings, pid);
    files.startRun();
    uint64_t visit = 0;
    for (const auto& name : names) {
        tallies.addAccountRecord(keyOf(name[0]), 4294967297, 4294971392);  // 2^32 + 1, in whole clusters
        tallies.addInactiveRow(name[0], "/d/" + name[0] + "/", INT64_MAX, "2013-04-05T12:00:00", "frozen");
        tallies.addTemperatureRow(++visit, "/t/" + name[0] + "/", belowTop);
        tallies.addTemperatureRow(visit, "/t/" + name[0] + "/", belowTop);
        tallies.addExtension(name[0]);
    }
    tallies.addTemperatureRow(++visit, "/at-limit/", 4096);
    tallies.addTemperatureRow(++visit, "/below-limit/", 4095);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    ASSERT_TRUE(files.flushInactiveRows(tallies));
    // The second flush repeats every key, with two files just below 2^63 bytes each.
    for (const auto& name : names)
        for (int i = 0; i < 2; ++i) tallies.addAccountRecord(keyOf(name[0]), belowTop, belowTop);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    ASSERT_TRUE(files.flushTemperatureRows(tallies));
    ASSERT_TRUE(files.writeExtensionLog(tallies));
    files.finishAccountRecords(true);
    files.finishInactiveRows(true, tallies);
    files.finishTemperatureLog(true);
    files.finishExtensionLog(true);
    ASSERT_EQ(files.finishedFiles(), 4);

    const std::string day = std::to_string(ResultFiles::dayStamp(DateTime()));
    const auto reader = [&](const std::string& path) {
        ResultFileReader reader(platform(), platform(), path);
        const auto name = reader.name();
        EXPECT_TRUE(name && !name->unfinished && name->day == std::stoll(day) && name->processId == pid) << path;
        return reader;
    };
    const auto totals = reader(settings.workingDirectory + "Hoardscan-" + day + "-4242.data").accountTotals();
    const auto rows = reader(settings.tempDirectory + "HoardscanInactive-" + day + "-4242.csv").inactiveRows();
    ResultFileReader temperatureLog = reader(settings.tempDirectory + "Hoardscan-very-cold-" + day + "-4242.log");
    EXPECT_EQ(temperatureLog.name()->monitor, "very-cold");
    std::map<std::string, double> directories, expectedDirectories{{"/at-limit/", 4096}};
    for (const TemperatureRow& row : temperatureLog.temperatureRows()) directories[row.directory] = row.bytes;
    ASSERT_EQ(std::make_pair(totals.size(), rows.size()), std::make_pair(names.size(), names.size()));
    Texts extensions;
    // Each key twice, its values summed: 3 files, 2^32 + 1 and 2^64 - 2048 bytes.
    const double bytes = 4294967297.0 + 18446744073709549568.0, onDisk = 4294971392.0 + 18446744073709549568.0;
    for (size_t i = 0; i < names.size(); ++i) {
        const AccountValues& values = totals.at(keyOf(names[i][1]));
        EXPECT_EQ(std::make_tuple(values.files, values.bytes, values.bytesOnDisk), std::make_tuple(3.0, bytes, onDisk));
        EXPECT_DOUBLE_EQ(values.weightedSize, bytes * 0.00001 + onDisk * 0.0001);
        EXPECT_EQ(rows[i].name + "|" + rows[i].directory + "|" + std::to_string(rows[i].kib) + "|" +
                      rows[i].lastAccess + "|" + rows[i].temperature,  // 9007199254740991 KiB: (2^63 - 1) / 1024
                  names[i][2] + "|/d/" + names[i][2] + "/|9007199254740991|2013-04-05T12:00:00|frozen");
        expectedDirectories["/t/" + names[i][3] + "/"] = 18446744073709549568.0;
        extensions.push_back(names[i][3]);
    }
    EXPECT_EQ(directories, expectedDirectories);
    EXPECT_EQ(reader(settings.tempDirectory + "HoardscanExtension-" + day + "-4242.log").extensions(), extensions);
}

class RefusedCuts : public FakePlatform {
public:
    bool truncateFile(const std::string& path, uint64_t size, SystemError& error) override {
        if (refuse) error = SystemError{ErrorKind::AccessDenied, 5};
        return !refuse && FakePlatform::truncateFile(path, size, error);
    }
    bool refuse = false;
};

// A write that fails part-way (a full disk) is cut back off, so the next flush writes the whole buffer again.
TEST_F(ResultFilesTest, AFailedFlushKeepsItsBufferTheFileAsTheLastCompleteFlushLeftItAndTheUnfinishedName) {
    RefusedCuts fake;
    settings.workingDirectory = settings.tempDirectory = directory.text() + "/later/";
    Tallies buffer(300);
    ResultFiles files(fake, fake, log.unit(), settings, pid);
    buffer.addAccountRecord("0:A", 10, 4096);
    EXPECT_FALSE(files.flushAccountRecords(buffer));
    EXPECT_FALSE(files.flushAccountRecords(buffer));
    const std::string d = std::to_string(ResultFiles::dayStamp(DateTime()));
    const std::string name = settings.workingDirectory + "Hoardscan-" + d + "-4242.make";
    EXPECT_EQ(log.messages("CRITICAL", 17), (std::vector<std::string>{name, name}));
    EXPECT_EQ(buffer.accountRecords().size(), 1u);
    EXPECT_FALSE(files.flushTemperatureRows(buffer));

    fs::create_directory(settings.workingDirectory);
    buffer.addAccountRecord("0:B", 0, 0);
    ASSERT_TRUE(files.flushAccountRecords(buffer));
    const std::string firstFlush = read(name);
    EXPECT_EQ(firstFlush, "1:" + d + ":29:0:A\n1:1:10:4096:0.4097\n1:" + d + ":29:0:B\n1:1:0:0:0\n");

    for (int i = 0; i < 300; ++i)
        buffer.addAccountRecord("0:" + std::string(100, 'k') + std::to_string(1000 + i), i, 4096);
    *fake.diskRoom = 5000;
    EXPECT_FALSE(files.flushAccountRecords(buffer));
    EXPECT_EQ(read(name), firstFlush);
    EXPECT_EQ(std::make_pair(log.messages("ERROR", 18).size(), buffer.accountRecords().size()),
              std::make_pair(size_t{1}, size_t{300}));
    buffer.addAccountRecord("0:late", 1, 4096);
    EXPECT_EQ(buffer.lostAccountRecords(), 1u);

    fake.diskRoom->reset();
    ASSERT_TRUE(files.flushAccountRecords(buffer));
    const std::string written = read(name);
    EXPECT_EQ(written.substr(0, firstFlush.size()), firstFlush);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 * 302);
    // A failed flush whose cut back was refused is cut back when the file is closed.
    fake.refuse = true;
    buffer.addAccountRecord("0:C", 1, 4096);
    *fake.diskRoom = 10;
    EXPECT_FALSE(files.flushAccountRecords(buffer));
    fake.refuse = false;
    files.finishAccountRecords(true);
    EXPECT_EQ(read(files.accountFile().finishedName()), written);
    // A last flush that fails keeps the unfinished name, though the file was cut back whole.
    ResultFiles last(fake, fake, log.unit(), settings, pid + 1);
    ASSERT_TRUE(last.flushAccountRecords(tallies));
    tallies.addAccountRecord("0:A", 1, 4096);
    *fake.diskRoom = 10;
    Tallying(fake.pathSyntax(), settings, ScanIdentity{"PC42", "OSLO"}, tallies, last).finishResultFiles();
    EXPECT_EQ(last.unfinishedFiles(), (std::vector<std::string>{last.accountFile().name()}));
}

// The rename fails every attempt (the clock is faked, so the pauses cost nothing).
class NoRenames : public FakePlatform {
public:
    bool moveFile(const std::string&, const std::string&, bool, SystemError& error) override {
        error = SystemError{ErrorKind::AccessDenied, 5};
        return false;
    }
};

TEST_F(ResultFilesTest, AnIncompleteFileOrAFailedRenameKeepsTheUnfinishedName) {
    ResultFiles files(native, native, log.unit(), settings, pid);
    ASSERT_TRUE(files.flushAccountRecords(tallies));
    const std::string name = files.accountFile().name();
    files.finishAccountRecords(false);
    EXPECT_EQ(log.messages("ERROR", 31), (std::vector<std::string>{name}));
    EXPECT_EQ(files.unfinishedFiles(), (std::vector<std::string>{name}));

    NoRenames fake;
    fake.clock = 1700000000;
    settings.inactiveLog = true;
    ResultFiles renamed(fake, fake, log.unit(), settings, pid);
    ASSERT_TRUE(renamed.flushInactiveRows(tallies));
    const std::string table = renamed.inactiveFile().name();
    renamed.finishInactiveRows(true, tallies);
    EXPECT_EQ(read(table), "");  // no header without rows
    EXPECT_EQ(log.messages("ERROR", 13), (std::vector<std::string>{table + "|" + table.substr(0, table.size() - 5)}));
}

}  // namespace
}  // namespace Quilna
