#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <filesystem>
#include <fstream>

#include "files/FileOps.h"
#include "hoardscan/rules/RulesFiles.h"
#include "hoardscan/RulesTestSupport.h"
#include "hoardscan/app/ScanEngine.h"
#include "hoardscan/app/ScanSettings.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

// Native directories wrapped to fake what a real tree cannot show on demand, counting calls.
class TreeFaults : public FakePlatform {
public:
    class Directory : public OpenDirectory {
    public:
        Directory(TreeFaults& faults, std::unique_ptr<OpenDirectory> native, std::string path, bool loops)
            : faults_(faults), native_(std::move(native)), path_(std::move(path)), loops_(loops) {
            ++faults_.openDirectories;
        }
        ~Directory() override { --faults_.openDirectories; }
        bool identity(FileIdentity& out) const override {
            if (loops_) {
                out = faults_.loopTarget;
                return true;
            }
            return native_->identity(out);
        }
        Listing readEntries(const std::function<bool(const DirEntry&)>& visit, SystemError& error) override {
            const Listing listing = native_->readEntries(visit, error);
            if (listing == Listing::End && path_ == faults_.phantomIn && !phantomListed_) {
                phantomListed_ = true;
                visit({"ghost.txt", true});
            }
            return listing;
        }
        bool entryInfo(const std::string& name, FileInfo& out, SystemError& error) override {
            ++faults_.entryInfoCalls;
            return native_->entryInfo(name, out, error);
        }
        bool entryOwner(const std::string& name, std::string& domain, std::string& account,
                        SystemError& error) override {
            return native_->entryOwner(name, domain, account, error);
        }
        std::unique_ptr<OpenDirectory> openSubdirectory(const std::string& name, SystemError& error) const override {
            ++faults_.subdirectoryOpens;
            if (path_ + name == faults_.replacedByLink) {
                fs::rename(faults_.replacedByLink, faults_.replacedByLink + "-moved");
                fs::create_directory_symlink(faults_.linkTarget, faults_.replacedByLink);
            }
            return wrap(faults_, native_->openSubdirectory(name, error), path_ + name + "/", name == faults_.loopName);
        }
        std::unique_ptr<OpenDirectory> openParent(SystemError& error) const override {
            const size_t slash = path_.find_last_of('/', path_.size() - 2);
            return wrap(faults_, native_->openParent(error), path_.substr(0, slash + 1), false);
        }
        bool removeOwnFile(const std::string& name, const std::function<bool(const FileInfo&)>& wanted,
                           SystemError& error) override {
            return native_->removeOwnFile(name, wanted, error);
        }

    private:
        TreeFaults& faults_;
        std::unique_ptr<OpenDirectory> native_;
        std::string path_;
        bool loops_, phantomListed_ = false;
    };

    static std::unique_ptr<OpenDirectory> wrap(TreeFaults& faults, std::unique_ptr<OpenDirectory> native,
                                               std::string path, bool loops) {
        if (!native) return nullptr;
        return std::make_unique<Directory>(faults, std::move(native), std::move(path), loops);
    }
    std::unique_ptr<OpenDirectory> openDirectory(const std::string& path, std::string& resolved,
                                                 SystemError& error) override {
        std::unique_ptr<OpenDirectory> native = FakePlatform::openDirectory(path, resolved, error);
        return wrap(*this, std::move(native), resolved, false);
    }

    std::string loopName, replacedByLink, linkTarget, phantomIn;
    FileIdentity loopTarget;
    std::atomic<int> entryInfoCalls{0}, subdirectoryOpens{0}, openDirectories{0};
};

// The whole engine as the program wires it, without and with helpers reading ahead (the parameter).
class WalkTest : public ::testing::TestWithParam<unsigned> {
protected:
    WalkTest() : root(fs::canonical(directory.path()).string()) {
        settings.workingDirectory = settings.tempDirectory = root + "/";
    }

    void files(const std::vector<std::pair<std::string, size_t>>& list) {
        for (const auto& [path, size] : list) {
            fs::create_directories(fs::path(root + "/" + path).parent_path());
            std::ofstream(root + "/" + path, std::ios::binary) << std::string(size, 'x');
        }
    }

    void walk(Platform& system, const std::string& fileSystems, const std::string& accounts,
              int32_t scheme = FileTypes::Extension) {
        settings.fileTypeScheme = scheme;
        settings.readAhead = helpers;
        engine = std::make_unique<ScanEngine>(system, log.unit(), settings, identity, 1);
        engine->walk.stopWhen(stopRequest);
        RulesFiles files(system, system.pathSyntax(), log.unit(), identity, engine->tables);
        ASSERT_TRUE(files.loadFileSystemsText(fileSystems, "fs.rules"));
        ASSERT_TRUE(files.loadAccountsText(accounts, "accounts.rules"));
        ASSERT_TRUE(engine->temperatures.loadTemperaturesText("hot 7\ncold infinity\n", "t.rules"));
        engine->walk.walk(root + "/", "fixed");
    }

    // Files and bytes of the records whose key holds the text.
    std::pair<double, double> totals(const std::string& keyText = "") const {
        std::pair<double, double> sum;
        for (const auto& [key, values] : engine->tallies.accountRecords())
            if (key.find(keyText) != std::string::npos) sum = {sum.first + values.files, sum.second + values.bytes};
        return sum;
    }

    NativePlatform native;
    TestSupport::TestDirectory directory;
    std::string root;
    unsigned helpers = GetParam();
    RulesTest::TestLog log{4};
    ScanIdentity identity{"PC42", "OSLO"};
    ScanSettings settings;
    std::unique_ptr<ScanEngine> engine;
    std::atomic<int> stopRequest{StopRequest::None};
};

INSTANTIATE_TEST_SUITE_P(ReadAhead, WalkTest, ::testing::Values(0u, 2u));

TEST_P(WalkTest, FilesComeBeforeSubdirectoriesAndExcludedTreesAreNotEntered) {
    files({{"a.txt", 10}, {"sub/c.txt", 1}, {"sub/deep/d.txt", 0}, {"skip/e.txt", 7}});
    walk(native, "@part2\n*:*:" + root + "/skip* exclude_all\n", "");
    EXPECT_EQ(totals(), std::make_pair(3.0, 11.0));
    std::vector<std::string> processed = log.debugTexts();
    std::erase_if(processed, [](const std::string& text) { return text.find("Processing") > 3; });
    EXPECT_EQ(processed, (std::vector<std::string>{
                             "Processing \"" + root + "/\"...", "   Processing file \"a.txt\"...",
                             "Processing \"" + root + "/sub/\"...", "   Processing file \"c.txt\"...",
                             "Processing \"" + root + "/sub/deep/\"...", "   Processing file \"d.txt\"..."}));
}

TEST_P(WalkTest, ADirectoryOffTheAccountsWayIsLeftAtOnce) {
    files({{"top.txt", 1}, {"users/ann/a.txt", 3}, {"other/o.txt", 5}, {"other/below/b.txt", 5}});
    // The path component after "users": the root's components, "users", then the user's.
    const std::string user = std::to_string(std::count(root.begin(), root.end(), '/') + 3);
    walk(native, "",
         "{\nsite=OSLO\nmap\n{\nhosts\n{\nhost=PC42\nentries\n{\nentry\n{\ndir=" + root + "/users/*\naccount=%" + user +
             "%\n}\n}\n}\n}\n}\n");
    EXPECT_EQ(std::make_pair(totals().first, totals(":0:ann:").first), std::make_pair(1.0, 1.0));
    for (const std::string& text : log.debugTexts()) EXPECT_NE(text.rfind("Processing \"" + root + "/other/", 0), 0u);
}

// A loop back into the path, a directory swapped for a link, a vanished file.
TEST_P(WalkTest, TreeFaultsCostOnlyWhatTheyTouch) {
    TreeFaults fake;
    const std::vector<std::pair<std::string, size_t>> tree = {{"a/b/loop/x.txt", 1},  {"a/y.txt", 1},
                                                              {"s/swapped/x.txt", 1}, {"s/swapped/inner/y.txt", 1},
                                                              {"s/z.txt", 1},         {"elsewhere/secret.txt", 1},
                                                              {"d/real.txt", 20}};
    files(tree);
    SystemError error;
    std::string resolved;
    ASSERT_TRUE(NativePlatform().openDirectory(root + "/a", resolved, error)->identity(fake.loopTarget));
    fake.loopName = "loop";
    fake.replacedByLink = root + "/s/swapped";
    fake.linkTarget = root + "/elsewhere";
    fake.phantomIn = root + "/d/";
    log.clear();
    walk(fake, "@part2\n*:*:" + root + "/elsewhere* exclude_all\n", "");
    EXPECT_EQ(totals(), std::make_pair(4.0, 22.0));  // a/y.txt, s/z.txt, d/real.txt and the vanished one
    EXPECT_EQ(totals(":0:txt:0:plain:0:hot:0:hot").first, 4);
    EXPECT_EQ(log.messages("WARNING", 15), (std::vector<std::string>{"ghost.txt"}));
    const std::vector<std::string> texts = log.debugTexts();
    for (const std::string& text :
         {"Directory \"" + root + "/a/b/loop\" leads back into its own path and is not entered.",
          "Unable to access \"" + root + "/s/swapped\".", "Processing \"" + root + "/d/\"..."})
        EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;
}

// One status call per file, handed to every step; a subdirectory is only opened, a link never.
TEST_P(WalkTest, EachFileCostsOneStatusCallAndLinksAreNeverFollowed) {
    TreeFaults fake;
    for (int i = 0; i < 20; ++i) files({{"d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".txt", i}});
    fs::create_directory_symlink("..", root + "/d0/up");
    fs::create_directory_symlink(root + "/d1", root + "/again");
    const fs::path before = fs::current_path();
    walk(fake, "", "", FileTypes::Mapping);
    EXPECT_EQ(std::make_tuple(totals().first, totals(":0:link:").first, fake.entryInfoCalls.load(), fake.fileInfoCalls,
                              fake.subdirectoryOpens.load()),
              std::make_tuple(22.0, 2.0, 22, 0, 4));
    EXPECT_EQ(fs::current_path(), before) << "the walk never moves the current directory";
}

// Every directory the walk or a helper opened is closed by the time the walk returns: walked to
// its end, or stopped early in the middle of a listing the helpers read ahead.
TEST_P(WalkTest, EveryDirectoryIsClosedWhenTheWalkReturnsWhereverItStopped) {
    TreeFaults fake;
    for (int d = 0; d < 40; ++d)
        for (int s = 0; s < 8; ++s) files({{"d" + std::to_string(d) + "/s" + std::to_string(s) + "/f.txt", 1}});
    for (int i = 0; i < 1500; ++i) files({{"d20/many/f" + std::to_string(i), 1}});
    const std::string excluded = "@part2\n*:*:" + root + "/d7* exclude_all\n";
    walk(fake, excluded, "");
    EXPECT_EQ(std::make_pair(totals().first, fake.openDirectories.load()), std::make_pair(1812.0, 0));
    log.agent()->written = [&](const std::string& line) {
        if (line.find("Processing \"" + root + "/d20/many/") != std::string::npos) stopRequest = StopRequest::Terminate;
    };
    walk(fake, excluded, "");
    log.agent()->written = nullptr;
    EXPECT_LT(totals().first, 1812.0);
    EXPECT_EQ(fake.openDirectories.load(), 0);
}

// A listing read in pieces: a subdirectory met in the first piece is entered after the last one.
TEST_P(WalkTest, ASubdirectoryOfABigListingsFirstPieceIsEntered) {
    for (int i = 0; i < 600; ++i) files({{"big/f" + std::to_string(i) + ".txt", 1}});
    files({{"big/sub0/x.txt", 5}});
    const auto place = [&](const std::string& name) {
        int at = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(root + "/big")) {
            if (entry.path().filename() == name) return at;
            ++at;
        }
        return at;
    };
    int n = 0;
    for (; place("sub" + std::to_string(n)) >= 256; ++n)
        fs::rename(root + "/big/sub" + std::to_string(n), root + "/big/sub" + std::to_string(n + 1));
    walk(native, "", "");
    EXPECT_EQ(totals(), std::make_pair(601.0, 605.0));
}

// The last subtree, far beyond what helpers hold, changes while the first is walked.
TEST_P(WalkTest, ATreeChangingUnderTheWalkGivesTheRecordsAndLogOfTheWalkWithoutHelpers) {
    const auto build = [&] {
        for (int s = 0; s < 10; ++s) {
            files({{"s" + std::to_string(s) + "/g.txt", 1}});
            for (int d = 0; d < 20; ++d)
                files({{"s" + std::to_string(s) + "/d" + std::to_string(d) + "/f.txt", s * 20 + d}});
        }
    };
    build();
    std::string first, last;  // in listing order, the walk's
    for (const fs::directory_entry& entry : fs::directory_iterator(root))
        (first.empty() ? first : last) = entry.path().filename().string();
    // Each line without its time and thread.
    const auto lines = [&] {
        std::vector<std::string> kept;
        for (const std::string& line : log.lines())
            kept.push_back(line.substr(0, line.find(' ')) + line.substr(line.find(": ")));
        return kept;
    };
    const auto walkChanging = [&](unsigned readers) {
        build();
        fs::remove_all(root + "/" + last + "/new");
        int entered = 0;
        bool struck = false;
        log.clear();
        log.agent()->written = [&](const std::string& line) {
            if (line.find(": Processing \"" + root + "/" + first + "/") == std::string::npos || ++entered != 10) return;
            struck = true;
            fs::remove_all(root + "/" + last + "/d0");
            files({{last + "/new/n.txt", 5}});
        };
        helpers = readers;
        walk(native, "", "");
        log.agent()->written = nullptr;
        EXPECT_TRUE(struck);
        return std::make_pair(engine->tallies.accountRecords(), lines());
    };
    const auto alone = walkChanging(0);
    EXPECT_EQ(walkChanging(GetParam()), alone);
    const std::vector<std::string> texts = log.debugTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Processing \"" + root + "/" + last + "/new/\"..."), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Processing \"" + root + "/" + last + "/d0/\"..."), 0);
}

}  // namespace
}  // namespace Quilna
