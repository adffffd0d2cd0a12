#include <unistd.h>

#include <gtest/gtest.h>

#include "files/FileOps.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

// The device takes the open and the buffered write; only the flush reports the full disk.
TEST(FileOpsPosix, AppendToAFullDeviceFails) {
    TestSupport::TestDirectory dir;
    const std::string full = dir.child("full");
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    EXPECT_FALSE(FileOps::appendToFile(full, "a line that cannot be stored\n"));
}

}  // namespace
}  // namespace Quilna
