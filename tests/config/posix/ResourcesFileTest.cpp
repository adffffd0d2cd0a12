// Installation resources on POSIX: each registry key is a .reg file below the registry root.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/Resources.h"
#include "support/FakePlatform.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

TEST(ResourcesFile, AKeyPathThatWouldClimbOutOfTheRegistryRootIsRefused) {
    TestSupport::TestDirectory root;
    FakePlatform fake;
    fake.environment["QUILNA_REGISTRY_ROOT"] = root.text();
    fake.environment["QUILNA_ENV"] = "SOFTWARE\\..\\..\\etc";
    EXPECT_EQ(writeResource("Where", "outside"), 1);
    std::string value;
    EXPECT_EQ(readResource("Where", value), ResourceResult::Missing);
    EXPECT_FALSE(std::filesystem::exists(root.path() / "etc.reg"));
}

}  // namespace
}  // namespace Quilna
