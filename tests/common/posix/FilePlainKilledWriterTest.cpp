// A writer process killed while it updates a file leaves its lock file and its temporary copy
// behind. The file itself keeps its old content or becomes the killed writer's whole new one,
// never a mix; the next writer is kept out while the dead writer's lock is valid, then clears
// the lock and the stale copy and writes as if nothing had happened.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

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
    fake.clock = platform().now() + FilePlain(path).lockLifetime().value() + 1;
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

// A whole version of the file: its number on every one of its lines.
std::string version(int number, int lines) {
    std::string text;
    for (int line = 0; line < lines; ++line) text += "version " + std::to_string(number) + " line " + std::to_string(line) + "\n";
    return text;
}

TEST(FilePlainKilledWriter, AWriterKilledAtRandomMomentsLeavesTheOldOrItsWholeNewContent) {
    TestDirectory dir;
    const std::string path = dir.child("data");
    const int lines = 5000;
    std::string expected = "first\n";
    dir.write("data", expected);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    const int runs = 25;
    int leftBehind = 0;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        // The writer rewrites the file again and again, each time with a new whole version.
        Handshake talk;
        ASSERT_TRUE(talk.ok());
        Writer writer([&] {
            talk.tellParent('s');
            for (int number = 0;; ++number) {
                FilePlain file(path);
                file.open(FileBase::Write);
                file.write(version(number, lines));
                file.close();
            }
        });
        ASSERT_TRUE(writer.started());
        ASSERT_EQ(talk.fromChild(), 's');
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ASSERT_TRUE(writer.kill());

        const std::string content = dir.read("data");
        if (content != expected) {
            const size_t end = content.find(" line 0\n");
            ASSERT_NE(end, std::string::npos) << content.substr(0, 200);
            const int number = std::stoi(content.substr(8, end - 8));
            EXPECT_EQ(content, version(number, lines)) << "a mix of versions";
        }
        if (FileOps::exists(path + ".lock") || FileOps::exists(path + ".tmp")) ++leftBehind;

        expected = "after run " + std::to_string(run) + "\n";
        writeAfterExpiry(path, FileBase::Write, expected);
        EXPECT_EQ(dir.read("data"), expected);
        EXPECT_FALSE(FileOps::exists(path + ".lock"));
        EXPECT_FALSE(FileOps::exists(path + ".tmp"));
    }
    // Many kills must have struck a writer at work, or nothing was tested.
    EXPECT_GE(leftBehind, runs / 3) << "of " << runs;
}

}  // namespace
}  // namespace Quilna
