// Message files: one per module in <configuration directory>LogMessages/, loaded into the
// catalogue the messengers look templates up in.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "logger/LogCommons.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

std::string find(const LogCommons& catalogue, int32_t module, int32_t id) {
    std::string text;
    return catalogue.findMessage(module, id, text) ? text : "<none>";
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(LogCatalogue, FilterAndModuleKeysChooseTheFiles) {
    TestSupport::TestDirectory dir;
    std::filesystem::create_directories(dir.child("LogMessages/hoardscan.mess"));  // a directory is no message file
    for (const char* name : {"storage.mess", "configuration.mess", "core.mess", "time.mess", "notes.mess"})
        dir.write("LogMessages/" + std::string(name), "1: from " + std::string(name) + "\n");
    dir.write("LogMessages/readme.txt", "1: not a message file\n");

    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(dir.text() + "/", "storage,configuration");
    EXPECT_TRUE(result.status);
    EXPECT_EQ(sorted(result.loaded), (std::vector<std::string>{"configuration", "storage"}));
    EXPECT_EQ(sorted(result.rejected), (std::vector<std::string>{"core", "notes", "time"}));
    EXPECT_EQ(find(catalogue, 17, 1), "from storage.mess");
    EXPECT_EQ(find(catalogue, 1, 1), "from configuration.mess");
    EXPECT_EQ(find(catalogue, 0, 1), "<none>");

    LogCommons everything;
    const LoadResult all = everything.loadMessages(dir.text() + "/", "all");
    EXPECT_EQ(sorted(all.rejected), (std::vector<std::string>{"notes"}));
    EXPECT_EQ(all.loaded.size(), 4u);

    LogCommons none;
    const LoadResult missing = none.loadMessages(dir.child("nowhere") + "/", "all");
    EXPECT_TRUE(missing.status);
    EXPECT_TRUE(missing.loaded.empty());
    EXPECT_EQ(none.messageCount(), 0u);
}

TEST(LogCatalogue, MessageLinesAndTheirOddities) {
    TestSupport::TestDirectory dir;
    std::string text =
        "// a comment: 5: not a message\r\n\r\n  12 :  Disk %s is full.  \r\n007: seven: with a colon\r\n42\r\n"
        "   \r\n // a blank first: a message numbered 0\r\n12: a later duplicate\r\n"
        "13: an old editor's line: caf\xe9 \x80\r\nx9: no number\r\n";
    // Counts include the keys already present.
    for (int i = 0; i < 40; ++i) text += std::to_string(100 + i % 30) + ": message " + std::to_string(i) + "\n";
    std::filesystem::create_directories(dir.child("LogMessages"));
    dir.write("LogMessages/storage.mess", text);
    LogCommons catalogue;
    const LoadResult result = catalogue.loadMessages(dir.text() + "/", "all");
    ASSERT_EQ(result.loaded, std::vector<std::string>{"storage"});
    EXPECT_EQ(result.counts, std::vector<int32_t>{47});
    EXPECT_EQ(catalogue.messageCount(), 35u);
    const std::vector<std::pair<int32_t, std::string>> messages{
        {12, "Disk %s is full."},
        {7, "seven: with a colon"},
        {42, ""},
        {0, "a message numbered 0"},
        {13, "an old editor's line: caf\xc3\xa9 \xe2\x82\xac"},  // Windows-1252 read as such
        {5, "<none>"},
        {9, "<none>"},
        {105, "message 5"}};
    for (const auto& [id, expected] : messages) EXPECT_EQ(find(catalogue, 17, id), expected) << id;
}

}  // namespace
}  // namespace Quilna
