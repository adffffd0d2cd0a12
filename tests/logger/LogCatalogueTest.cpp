// Message files: one per module in <configuration directory>LogMessages/, loaded into the
// catalogue the messengers look templates up in.
#include <gtest/gtest.h>

#include <algorithm>

#include "logger/LogCommons.h"
#include "LogTestSupport.h"

namespace Quilna {
namespace {

namespace fs = std::filesystem;

class LogCatalogueTest : public ::testing::Test {
protected:
    LogCatalogueTest() { fs::create_directories(dir.file("LogMessages")); }

    void messageFile(const std::string& name, const std::string& text) {
        LogTest::writeFile(dir.file("LogMessages/" + name), text);
    }
    std::string directory() const { return dir.path() + "/"; }

    std::string find(const LogCommons& catalogue, int32_t module, int32_t id) {
        std::string text = "<none>";
        return catalogue.findMessage(module, id, text) ? text : "<none>";
    }

    static std::vector<std::string> sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }

    LogTest::TempDir dir;
};

TEST_F(LogCatalogueTest, FilterAndModuleKeysChooseTheFiles) {
    for (const char* name : {"storage.mess", "configuration.mess", "core.mess", "time.mess", "notes.mess"})
        messageFile(name, "1: from " + std::string(name) + "\n");
    messageFile("readme.txt", "1: not a message file\n");
    fs::create_directories(dir.file("LogMessages/hoardscan.mess"));  // a directory is no message file

    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(directory(), "storage,configuration");
    EXPECT_TRUE(result.status);
    EXPECT_EQ(sorted(result.loaded), (std::vector<std::string>{"configuration", "storage"}));
    EXPECT_EQ(sorted(result.rejected), (std::vector<std::string>{"core", "notes", "time"}));
    EXPECT_EQ(result.counts, (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(find(catalogue, 17, 1), "from storage.mess");
    EXPECT_EQ(find(catalogue, 1, 1), "from configuration.mess");
    EXPECT_EQ(find(catalogue, 0, 1), "<none>");

    LogCommons everything;
    const LoadResult all = everything.loadMessages(directory(), "all");
    EXPECT_TRUE(all.status);
    EXPECT_EQ(sorted(all.rejected), (std::vector<std::string>{"notes"}));
    EXPECT_EQ(all.loaded.size(), 4u);
}

TEST_F(LogCatalogueTest, MessageLinesAndTheirOddities) {
    messageFile("storage.mess",
                "// a comment: 5: not a message\r\n"
                "\r\n"
                "  12 :  Disk %s is full.  \r\n"
                "007: seven: with a colon\r\n"
                "42\r\n"
                "   \r\n"
                " // a blank first: a message numbered 0\r\n"
                "12: a later duplicate\r\n"
                "13: an old editor's line: caf\xe9 \x80\r\n"
                "x9: no number");
    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(directory(), "all");
    ASSERT_TRUE(result.status);
    ASSERT_EQ(result.loaded, std::vector<std::string>{"storage"});
    EXPECT_EQ(result.counts, std::vector<int32_t>{7});
    EXPECT_EQ(find(catalogue, 17, 12), "Disk %s is full.");
    EXPECT_EQ(find(catalogue, 17, 7), "seven: with a colon");
    EXPECT_EQ(find(catalogue, 17, 42), "");
    EXPECT_EQ(find(catalogue, 17, 0), "a message numbered 0");
    EXPECT_EQ(find(catalogue, 17, 13), "an old editor's line: caf\xc3\xa9 \xe2\x82\xac");  // Windows-1252 read as such
    EXPECT_EQ(find(catalogue, 17, 5), "<none>");
    EXPECT_EQ(find(catalogue, 17, 9), "<none>");
    EXPECT_EQ(catalogue.messageCount(), 5u);
}

TEST_F(LogCatalogueTest, CountsIncludeKeysAlreadyPresent) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += std::to_string(i % 30) + ": message " + std::to_string(i) + "\n";
    messageFile("storage.mess", text);
    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(directory(), "storage");
    EXPECT_EQ(result.counts, std::vector<int32_t>{40});
    EXPECT_EQ(catalogue.messageCount(), 30u);
    EXPECT_EQ(find(catalogue, 17, 5), "message 5");
}

TEST_F(LogCatalogueTest, MissingOrEmptyDirectoryLoadsNothing) {
    LogCommons catalogue;
    LoadResult result = catalogue.loadMessages(directory(), "all");
    EXPECT_TRUE(result.status);
    EXPECT_TRUE(result.loaded.empty());
    EXPECT_TRUE(result.rejected.empty());

    result = catalogue.loadMessages(dir.file("nowhere") + "/", "all");
    EXPECT_TRUE(result.status);
    EXPECT_TRUE(result.loaded.empty());
    EXPECT_EQ(catalogue.messageCount(), 0u);
}

}  // namespace
}  // namespace Quilna
