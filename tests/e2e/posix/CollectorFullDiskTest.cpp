// The collector's output file fills its disk: the lines that find no room are lost and counted,
// none is left in part, and writing resumes by itself once there is room again.
#include <gtest/gtest.h>

#include "CollectorProcess.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LoggerUnit.h"
#include "support/CapturedLog.h"

namespace Quilna::EndToEnd {
namespace {

using TestSupport::TestDirectory;

// The words that run the collector writing to a file on a tmpfs of its own: mounted on the
// directory in a private mount namespace, so the test reaches it only through
// /proc/<pid>/root. Exit code 97 when it cannot be mounted, 127 when unshare is missing.
std::vector<std::string> onATinyDisk(const std::string& mountPoint, const std::string& output) {
    return {"unshare", "--mount", "--propagation", "private", "sh", "-c",
            "mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 97; shift; exec \"$@\"",
            "sh", mountPoint, CollectorProcess::program(), "-o", output};
}

// Writes until the file system takes no more; the bytes written.
size_t fill(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 0;
    const std::string block(4096, 'x');
    size_t total = 0;
    for (ssize_t written; (written = ::write(fd, block.data(), block.size())) > 0;)
        total += static_cast<size_t>(written);
    ::close(fd);
    return total;
}

// The number in "... again; <n> lines were lost" (or "1 line was lost"); -1 without one.
long lostCountIn(const std::string& errors, const std::string& output) {
    const std::string said = "writing to " + output + " again; ";
    const size_t at = errors.find(said);
    return at == std::string::npos ? -1 : std::strtol(errors.c_str() + at + said.size(), nullptr, 10);
}

class CollectorFullDisk : public ::testing::Test {
protected:
    CollectorFullDisk() {
        setDebugLevel(0);
        setSeverityFilter(0);
    }

    // Sends a warning record with a long text and gives the line it makes.
    std::string send(const std::string& label) {
        agent->lines.clear();
        EXPECT_TRUE(unit.warning(5, ParamStream() << label << std::string(200, '=')));
        return agent->lines.empty() ? std::string() : agent->lines.back();
    }

    TestSupport::LogStateScope state;
    TestDirectory directory;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", directory.child("runtime")};
    SmartPointer<TestSupport::MemoryAgent> agent = makeSmart<TestSupport::MemoryAgent>();
    TestSupport::CapturedLog chain{makeSmart<LogMessengerIPC>(SmartPointer<LoggerAgent>(agent))};
    LoggerUnit unit{chain.centre, 17};
};

TEST_F(CollectorFullDisk, LinesWithoutRoomAreLostWholeAndCountedAndWritingResumesWithRoom) {
    if (!runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    ASSERT_TRUE(fs::exists(CollectorProcess::program())) << "build hoardscan-collector first";
    fs::create_directory(directory.child("spool"));
    const std::string outputName = directory.child("spool") + "/collected.log";
    CollectorProcess collector(onATinyDisk(directory.child("spool"), outputName), directory.child("collector.err"));
    auto output = [&] { return TestDirectory::readFile(collector.inside(outputName)); };
    if (!collector.ready()) {
        const int code = collector.wait();
        if (code == 97 || code == 127) GTEST_SKIP() << "cannot mount here: " << collector.errors();
        FAIL() << collector.errors();
    }
    auto holds = [&](const std::string& line) {
        return eventually([&] { return output().find(line + "\r\n") != std::string::npos; }, 10s);
    };

    std::vector<std::string> sent, before, after;
    for (int i = 0; i < 3; ++i) before.push_back(send("before " + std::to_string(i)));
    ASSERT_TRUE(holds(before.back())) << collector.errors();
    const std::string filler = collector.inside(directory.child("spool") + "/filler");
    ASSERT_GT(fill(filler), 0u);

    // What is left of the output file's last page takes a few lines; the one that reaches
    // beyond it is written in part before the disk refuses the rest.
    sent = before;
    for (int i = 0; i < 40; ++i) sent.push_back(send("while full " + std::to_string(i)));
    const std::string failure = "cannot write to " + outputName + ": ";
    ASSERT_TRUE(eventually([&] { return collector.errors().find(failure) != std::string::npos; }, 10s))
        << collector.errors();
    ASSERT_TRUE(fs::remove(filler));

    for (int i = 0; i < 3; ++i) after.push_back(send("after " + std::to_string(i)));
    sent.insert(sent.end(), after.begin(), after.end());
    ASSERT_TRUE(holds(after.back())) << collector.errors();
    const std::string written = output();
    EXPECT_EQ(collector.stop(), 0);

    // Every line of the file is a whole line that was sent, in the order sent; nothing but lost
    // lines is missing.
    ASSERT_EQ(written.substr(written.size() - 2), "\r\n");
    const std::vector<std::string> received = CollectorProcess::collectedLines(written);
    size_t next = 0;
    for (const std::string& line : received) {
        while (next < sent.size() && sent[next] != line) ++next;
        ASSERT_LT(next, sent.size()) << "not a whole line that was sent, or out of order: " << line;
        ++next;
    }
    for (const std::string& line : before) EXPECT_NE(written.find(line + "\r\n"), std::string::npos) << line;
    for (const std::string& line : after) EXPECT_NE(written.find(line + "\r\n"), std::string::npos) << line;

    const std::string errors = collector.errors();
    EXPECT_EQ(countOf(errors, "cannot write to "), 1u) << errors;
    EXPECT_NE(errors.find(failure + "No space left on device; lines are lost until it can be written again"),
              std::string::npos)
        << errors;
    const long lost = lostCountIn(errors, outputName);
    EXPECT_GE(lost, 1) << errors;
    EXPECT_EQ(static_cast<size_t>(lost), sent.size() - received.size()) << errors;
    EXPECT_EQ(errors.find("could not be written again before the end"), std::string::npos) << errors;
}

TEST_F(CollectorFullDisk, StandardOutputThatCannotBeWrittenIsReportedOnceAndItsLossesAtTheEnd) {
    ASSERT_TRUE(fs::exists(CollectorProcess::program())) << "build hoardscan-collector first";
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    CollectorProcess collector({CollectorProcess::program()}, directory.child("collector.err"), "/dev/full");
    ASSERT_TRUE(collector.ready()) << collector.errors();
    send("first");
    send("second");
    send("third");
    const std::string failure =
        "cannot write to standard output: No space left on device; lines are lost until it can be written again";
    EXPECT_TRUE(eventually([&] { return collector.errors().find(failure) != std::string::npos; }, 10s))
        << collector.errors();
    EXPECT_EQ(collector.stop(), 0);
    const std::string errors = collector.errors();
    EXPECT_EQ(countOf(errors, "cannot write to "), 1u) << errors;
    EXPECT_NE(errors.find("3 lines were lost; standard output could not be written again before the end"),
              std::string::npos)
        << errors;
}

}  // namespace
}  // namespace Quilna::EndToEnd
