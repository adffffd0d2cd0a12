// A named guard between two real processes: exactly one holds it at any time.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/Monopoly.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::ChildProcess;
using TestSupport::Handshake;
using TestSupport::TestDirectory;

// Takes the guard again and again; inside, a marker file made with O_EXCL proves that no
// other holder is inside at the same moment. Returns the number of overlaps seen.
int contend(const std::string& marker, int rounds) {
    Monopoly guard("Quilna_Contended");
    int overlaps = 0;
    for (int round = 0; round < rounds; ++round) {
        while (!guard.enforce()) {
        }
        int fd = ::open(marker.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd < 0) {
            ++overlaps;
        } else {
            ::close(fd);
            ::usleep(50);
            ::unlink(marker.c_str());
        }
        guard.relax();
    }
    return overlaps;
}

TEST(MonopolyProcesses, ExactlyOneProcessHoldsTheGuardAtATime) {
    TestDirectory dir;
    ::setenv("QUILNA_RUNTIME_DIR", dir.child("runtime").c_str(), 1);
    const std::string marker = dir.child("inside");
    ChildProcess child([&] { return contend(marker, 400) == 0 ? 0 : 1; });
    ASSERT_TRUE(child.started());
    int overlaps = contend(marker, 400);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(overlaps, 0);
    ::unsetenv("QUILNA_RUNTIME_DIR");
}

TEST(MonopolyProcesses, AGuardHeldByAnotherProcessIsRefusedUntilThatProcessEnds) {
    TestDirectory dir;
    ::setenv("QUILNA_RUNTIME_DIR", dir.child("runtime").c_str(), 1);
    Handshake talk;
    ASSERT_TRUE(talk.ok());
    ChildProcess child([&] {
        Monopoly guard("Quilna_Held");
        if (!guard.enforce()) return 1;
        talk.tellParent('h');
        talk.fromParent();
        ::_exit(0);  // ends without relaxing
    });
    ASSERT_TRUE(child.started());
    ASSERT_EQ(talk.fromChild(), 'h');
    Monopoly mine("Quilna_Held");
    EXPECT_FALSE(mine.enforce());
    talk.tellChild('x');
    EXPECT_EQ(child.wait(), 0);
    EXPECT_TRUE(mine.enforce());
    ::unsetenv("QUILNA_RUNTIME_DIR");
}

}  // namespace
}  // namespace Quilna
