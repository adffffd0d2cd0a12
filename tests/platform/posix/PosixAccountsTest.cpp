// The POSIX owner lookups: the password-database name, with the upper-case short host name.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>

#include "platform/Platform.h"
#include "support/TestDirectory.h"
#include "support/posix/ShortHostName.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;

TEST(PosixOwner, FileOfRootGivesTheHostAndRoot) {
    TestDirectory dir;
    std::string path = dir.write("owned", "x");
    ASSERT_EQ(::chown(path.c_str(), 0, 0), 0) << "the tests run as root";
    std::string domain, account;
    ASSERT_TRUE(platform().fileOwner(path, "", domain, account));
    EXPECT_EQ(domain, TestSupport::upperShortHostName());
    EXPECT_FALSE(domain.empty());
    EXPECT_EQ(account, "root");

    // The owner of a link is the link's own.
    ASSERT_EQ(::symlink(path.c_str(), dir.child("link").c_str()), 0);
    ASSERT_EQ(::lchown(dir.child("link").c_str(), 65534, 65534), 0);
    ASSERT_TRUE(platform().fileOwner(dir.child("link"), "", domain, account));
    EXPECT_EQ(account, "nobody");
}

TEST(PosixOwner, UidWithoutEntryOrMissingFileFails) {
    TestDirectory dir;
    std::string path = dir.write("orphan", "x");
    ASSERT_EQ(::chown(path.c_str(), 54321, 54321), 0);
    std::string domain = "kept", account = "kept";
    EXPECT_FALSE(platform().fileOwner(path, "", domain, account));
    EXPECT_FALSE(platform().ownerById(54321, domain, account));
    EXPECT_FALSE(platform().fileOwner(dir.child("missing"), "", domain, account));
    EXPECT_FALSE(platform().fileOwner("", "", domain, account));
    EXPECT_EQ(account, "kept");

    ASSERT_TRUE(platform().ownerById(0, domain, account));
    EXPECT_EQ(account, "root");
    EXPECT_EQ(domain, TestSupport::upperShortHostName());
}

}  // namespace
}  // namespace Quilna
