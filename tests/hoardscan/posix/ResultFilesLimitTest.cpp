// A result file write that fails part-way, made to fail by the process's file size limit.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "hoardscan/ResultFiles.h"
#include "hoardscan/ResultFilesFixture.h"
#include "hoardscan/Tallies.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"

namespace Quilna {
namespace {

using TestSupport::TestDirectory;
namespace fs = std::filesystem;

using ResultFilesLimitTest = ResultFilesFixture;

// A write that fails part-way (the file size limit here, a full disk in life) is cut back off
// the file: the next flush writes the whole buffer again and nothing is doubled.
TEST_F(ResultFilesLimitTest, AFailedWriteLeavesTheFileAsTheLastCompleteFlushLeftIt) {
    TestSupport::ChildProcess child([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        int failures = 0;
        ResultFiles files(log.unit(), settings, pid);
        tallies.addAccountRecord("0:first", 1, 4096);
        if (!files.flushAccountRecords(tallies)) return 90;
        const std::string name = files.accountFile().name();
        const std::string firstFlush = read(name);

        for (int i = 0; i < 300; ++i)
            tallies.addAccountRecord("0:" + std::string(100, 'k') + std::to_string(1000 + i), i, 4096);
        struct rlimit limit {};
        getrlimit(RLIMIT_FSIZE, &limit);
        struct rlimit tight = limit;
        tight.rlim_cur = firstFlush.size() + 5000;
        setrlimit(RLIMIT_FSIZE, &tight);
        if (files.flushAccountRecords(tallies)) failures |= 1;
        if (read(name) != firstFlush) failures |= 2;
        if (tallies.accountRecords().size() != 300) failures |= 4;
        if (log.messages("ERROR", 18).size() != 1) failures |= 8;

        setrlimit(RLIMIT_FSIZE, &limit);
        if (!files.flushAccountRecords(tallies)) failures |= 16;
        files.finishAccountRecords(true);
        const std::string finished = read(ResultFiles::finishedAccountName(name));
        if (finished.substr(0, firstFlush.size()) != firstFlush) failures |= 32;
        if (std::count(finished.begin(), finished.end(), '\n') != 2 * 301) failures |= 64;
        return failures;
    });
    EXPECT_EQ(child.wait(), 0);
}

}  // namespace
}  // namespace Quilna
