// Two senders flood the collector with records and with messages that are none: before, it held
// everything it received (790 MB in 8 s), wrote nothing meanwhile and ended on bad_alloc under a
// memory limit, with one line of standard error per bad message. Now its largest memory (the
// kernel's account of the child) stays small, every record is written or counted as dropped,
// and its complaints are few and counted.
#include <gtest/gtest.h>

#include <regex>

#include "CollectorProcess.h"
#include "ipc/IPCEnvelope.h"
#include "ipc/MailSlot.h"
#include "logger/LogCommons.h"
#include "support/EnvironmentScope.h"

namespace Quilna::EndToEnd {
namespace {

constexpr int recordsPerSender = 2000, badPerSender = 500;

// A sender: its records and bad messages; the number of records the mailslot took, in its file.
int flood(const std::string& countFile, int sender) {
    MailSlot slot(IPCMode::LocalSender, "Quilna_Core");
    LogRecord record;
    record.kind = LogRecord::Log;
    int sent = 0;
    for (int i = 0; i < recordsPerSender + badPerSender; ++i) {
        record.text =
            "sender " + std::to_string(sender) + " record " + std::to_string(i) + " " + std::string(2000, 'r');
        try {
            slot.send(i % 5 == 4
                          ? "not a record " + std::to_string(i)
                          : IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(record), ""}.build());
            sent += i % 5 != 4;
        } catch (const std::exception&) {
        }
    }
    std::ofstream(countFile) << sent;
    return 0;
}

uint64_t sumOf(const std::string& text, const std::regex& pattern) {
    uint64_t sum = 0;
    for (std::sregex_iterator at(text.begin(), text.end(), pattern), end; at != end; ++at) sum += std::stoull((*at)[1]);
    return sum;
}

TEST(CollectorFlood, MemoryStaysBoundedAndNoRecordIsLostSilently) {
    TestSupport::TestDirectory directory;
    const std::string runtime = directory.child("runtime");
    fs::create_directory(runtime);
    // The sanitizer reserves more address space than any limit.
    const rlim_t limit = memoryIsMeasured ? rlim_t{256} << 20 : RLIM_INFINITY;
    CollectorProcess collector({CollectorProcess::program(), "-o", directory.child("collected.log")}, runtime,
                               directory.child("collector.err"), "", limit);
    ASSERT_TRUE(collector.ready()) << collector.errors();
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", runtime};
    TestSupport::ChildProcess first([&] { return flood(directory.child("sent0"), 0); });
    TestSupport::ChildProcess second([&] { return flood(directory.child("sent1"), 1); });
    ASSERT_EQ(first.wait(), 0);
    ASSERT_EQ(second.wait(), 0);
    EXPECT_EQ(collector.stop(), 0) << collector.errors();

    const uint64_t sent = std::stoull(TestSupport::TestDirectory::readFile(directory.child("sent0"))) +
                          std::stoull(TestSupport::TestDirectory::readFile(directory.child("sent1")));
    const std::vector<std::string> written =
        collectedLines(TestSupport::TestDirectory::readFile(directory.child("collected.log")));
    const std::string errors = collector.errors();
    const uint64_t dropped = sumOf(errors, std::regex("(\\d+) records? (?:was|were) dropped"));
    EXPECT_EQ(written.size() + dropped, sent) << errors;
    EXPECT_GT(written.size(), 0u);

    // The bad messages: a few shown, the rest counted.
    const uint64_t shown = countOf(errors, "skipped a message of");
    const uint64_t heldBack = sumOf(errors, std::regex("(\\d+) more complaints like these were not shown"));
    EXPECT_EQ(shown + heldBack, 2u * badPerSender) << errors;
    EXPECT_LE(shown, 10u * (countOf(errors, "more complaints like these") + 1));

    if (memoryIsMeasured) {
        EXPECT_LE(largestMemoryMiB(collector.usage()), 128.0);
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
