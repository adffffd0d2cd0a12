// Message files whose names differ only in case, which only a case-sensitive file system holds.
#include <gtest/gtest.h>

#include <algorithm>

#include "logger/LogCommons.h"
#include "logger/LogTestSupport.h"

namespace Quilna {
namespace {

TEST(LogCatalogueCase, TheFilterIsExactButOneModuleTakesTheFirstTemplate) {
    LogTest::TempDir dir;
    std::filesystem::create_directories(dir.file("LogMessages"));
    for (const char* name : {"storage.mess", "Storage.mess"})
        LogTest::writeFile(dir.file(std::string("LogMessages/") + name), "1: from " + std::string(name) + "\n");

    LogCommons filtered;
    const LoadResult result = filtered.loadMessages(dir.path() + "/", "storage");
    EXPECT_EQ(result.loaded, std::vector<std::string>{"storage"});
    EXPECT_EQ(result.rejected, std::vector<std::string>{"Storage"});
    std::string text;
    ASSERT_TRUE(filtered.findMessage(17, 1, text));
    EXPECT_EQ(text, "from storage.mess");

    // Both name the storage module: the first loaded template stays.
    LogCommons everything;
    const LoadResult all = everything.loadMessages(dir.path() + "/", "all");
    EXPECT_EQ(all.loaded.size(), 2u);
    ASSERT_TRUE(everything.findMessage(17, 1, text));
    EXPECT_TRUE(text == "from storage.mess" || text == "from Storage.mess") << text;
}

}  // namespace
}  // namespace Quilna
