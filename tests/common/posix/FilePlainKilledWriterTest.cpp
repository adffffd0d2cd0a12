// A writer process killed while it updates a file leaves its lock file and its temporary copy
// behind. The file itself keeps its old content; the next writer is kept out while the dead
// writer's lock is valid, then clears the lock and the stale copy and writes as if nothing had
// happened.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>


#include "common/FileOps.h"
#include "common/FilePlain.h"
#include "support/FakePlatform.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::Handshake;
using TestSupport::TestDirectory;

// A forked writer that the test kills; the body runs until then.
class Writer {
public:
    explicit Writer(const std::function<void()>& body) {
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            try {
                body();
            } catch (...) {
                ::_exit(101);
            }
            ::_exit(0);
        }
    }
    ~Writer() { kill(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool started() const { return pid_ > 0; }
    // True when SIGKILL ended it, false when it had ended by itself before.
    bool kill() {
        if (pid_ <= 0) return false;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    pid_t pid_ = -1;
};

int32_t thrownCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileException& error) {
        return error.code();
    }
    return -1;
}

// Writes through a next writer once the dead writer's lock has expired: the clock runs a
// lock's lifetime ahead for that writer only.
void writeAfterExpiry(const std::string& path, uint16_t access, const std::string& text) {
    FakePlatform fake;
    fake.clock = platform().now() + 31;  // past the 30 s a lock lives
    FilePlain next(path);
    next.open(access);
    next.write(text);
    next.close();
}

struct Case {
    const char* name;
    uint16_t access;
    bool originalExists;
};

TEST(FilePlainKilledWriter, TheDeadWritersLockHoldsUntilItExpiresThenLockAndCopyAreCleared) {
    const Case cases[] = {
        {"rewrite", FileBase::Write, true},
        {"append", FileBase::Write | FileBase::Append, true},
        {"new file", FileBase::Write, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDirectory dir;
        const std::string path = dir.child("data");
        const std::string old = c.originalExists ? "old line\n" : "";
        if (c.originalExists) dir.write("data", old);
        Handshake talk;
        ASSERT_TRUE(talk.ok());
        Writer writer([&] {
            FilePlain file(path);
            file.open(c.access);
            for (int line = 0; line < 4000; ++line) file.writeLine("half-written " + std::to_string(line));
            file.flush();
            talk.tellParent('w');
            talk.fromParent();  // killed while it waits here
        });
        ASSERT_TRUE(writer.started());
        ASSERT_EQ(talk.fromChild(), 'w');
        ASSERT_TRUE(writer.kill());

        // What the dead writer left: its lock, its copy with the half-written text, the file as
        // it was (a new file exists, empty, held for the lock's holder).
        ASSERT_TRUE(FileOps::exists(path + ".lock"));
        ASSERT_TRUE(FileOps::exists(path + ".tmp"));
        EXPECT_NE(dir.read("data.tmp").find("half-written 3999\n"), std::string::npos);
        EXPECT_EQ(dir.read("data"), old);

        // Its lock is still valid: the next writer is kept out and changes nothing.
        FilePlain early(path);
        EXPECT_EQ(thrownCode([&] { early.open(c.access); }), FL_IS_LOCKED);
        EXPECT_EQ(dir.read("data"), old);
        EXPECT_TRUE(FileOps::exists(path + ".lock"));

        // Expired, it is cleared with the stale copy; nothing of the copy reaches the file.
        writeAfterExpiry(path, c.access, "next writer\n");
        EXPECT_EQ(dir.read("data"), (c.access & FileBase::Append ? old : std::string()) + "next writer\n");
        EXPECT_FALSE(FileOps::exists(path + ".lock"));
        EXPECT_FALSE(FileOps::exists(path + ".tmp"));
    }
}

}  // namespace
}  // namespace Quilna
