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

namespace Quilna::EndToEnd {
namespace {

constexpr int recordsPerSender = 2000, badPerSender = 500;

// A sender process: sends its records and bad messages and leaves the number of records the
// mailslot took in its file.
pid_t startSender(const std::string& runtime, const std::string& countFile, int sender) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child != 0) return child;
    ::setenv("QUILNA_RUNTIME_DIR", runtime.c_str(), 1);
    MailSlot slot(IPCMode::LocalSender, "Quilna_Core");
    LogRecord record;
    record.kind = LogRecord::Log;
    record.application = 1;
    record.module = 17;
    record.severity = 1;
    record.messageId = 19;
    int sent = 0;
    for (int i = 0; i < recordsPerSender + badPerSender; ++i) {
        try {
            if (i % 5 == 4) {
                slot.send("not a record " + std::to_string(i));
                continue;
            }
            record.text =
                "sender " + std::to_string(sender) + " record " + std::to_string(i) + " " + std::string(2000, 'r');
            slot.send(IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(record), ""}.build());
            ++sent;
        } catch (const std::exception&) {
        }
    }
    std::ofstream(countFile) << sent;
    ::_exit(0);
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
    const pid_t senders[2] = {startSender(runtime, directory.child("sent0"), 0),
                              startSender(runtime, directory.child("sent1"), 1)};
    for (const pid_t sender : senders) {
        int status = 0;
        ASSERT_EQ(::waitpid(sender, &status, 0), sender);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
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
