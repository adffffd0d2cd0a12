// On a machine shared with other users the program never writes through a link nor in places another
// user controls; hostile datagrams cannot forge the lines of the real hoardscan-collector.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

#include "ScanInstallation.h"
#include "ipc/IPCEnvelope.h"
#include "ipc/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LogRecord.h"
#include "logger/LoggerUnit.h"
#include "platform/NativePlatform.h"
#include "support/CapturedLog.h"
#include "support/EnvironmentScope.h"

namespace Quilna::EndToEnd {
namespace {

using TestSupport::TestDirectory;

std::vector<std::string> resultNames(const ScanInstallation& installation) {
    return {installation.resultFile("results", "Hoardscan", ".make"),
            installation.resultFile("side", "HoardscanInactive", ".csv.make"),
            installation.resultFile("side", "Hoardscan-hot", ".log"),
            installation.resultFile("side", "HoardscanExtension", ".log"),
            installation.resultFile("side", "HoardscanTotals", ".txt.make")};
}

// The log rotated at the start of the run, into a name the registry's values fix.
void rotateTheLogAtStart(ScanInstallation& installation) {
    const std::string log = installation.at("log/HoardscanDebug.log");
    std::ofstream(log, std::ios::binary) << "an earlier run's line\r\n";
    fs::permissions(log, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);  // as it makes it
    installation.resources.insert(
        {{"LogFileRotationScheme", "init"}, {"HoardscanLogOpened", "20130101T120000"}, {"HoardscanLogCounter", "7"}});
    installation.writeInstallation();
}
constexpr const char* rotatedLog = "/log/HoardscanDebug_20130101T120000_7.log";

unsigned modeOf(const fs::path& path) { return static_cast<unsigned>(fs::symlink_status(path).permissions()); }

// Whatever the umask. No open waits for a writer at a FIFO, and a refused lock costs no wait (a
// voluntary context switch) at each log line (before, about 2 s each).
TEST(Safety, WhatTheProgramMakesIsItsOwnAndLinksAndFifosAtItsNamesAreRefusedAtOnce) {
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "links" : "FIFOs");
        ScanInstallation installation;
        installation.file("a.doc", 10, 400, 400);
        installation.file("b.unknown", 20, 1, 1);  // hot, and of no known type
        installation.fileTypesRules = "default=plainfile\ndocuments\n{\ndoc\n}\n";
        installation.settings["hoardscan.filetype"] = {"Integer", "1"};
        installation.writeEveryResultFile("hot", 0);
        rotateTheLogAtStart(installation);
        const std::string base = installation.base(), runtime = base + "/runtime", victim = base + "/victim";
        fs::remove(runtime);
        const mode_t before = ::umask(0);
        CollectorProcess umasked({"-o", base + "/log/collected.log"}, runtime, base + "/collector.err");
        ::umask(before);
        ASSERT_TRUE(umasked.ready()) << umasked.errors();
        ASSERT_EQ(installation.wait(installation.start({}, [] { ::umask(0); })), 0) << installation.log();
        ASSERT_EQ(umasked.stop(), 0);
        // The result files and logs, 0640; what the runtime directory holds, 0700 and 0600.
        size_t made = 0;
        for (const std::string place : {"results", "side", "log", "runtime"})
            for (const auto& entry : fs::recursive_directory_iterator(base + "/" + place)) {
                const unsigned expected = place != "runtime" ? 0640 : entry.is_directory() ? 0700 : 0600;
                EXPECT_EQ(modeOf(entry.path()), expected) << entry.path();
                ++made;
            }
        // Five result files, the log, its rotated name, the collector's output; three locks (the
        // installation's, the log's, the mailslot's), a guard, their directories.
        EXPECT_EQ(made, 14u);
        EXPECT_EQ(modeOf(runtime), ::geteuid() == 0 ? 0755u : 0700u);
        const long plainWaits = installation.usage.ru_nvcsw;

        std::ofstream(victim) << "precious";
        const auto plant = [&](const std::string& path) {
            ::unlink(path.c_str());
            return link ? ::symlink(victim.c_str(), path.c_str()) == 0 : ::mkfifo(path.c_str(), 0600) == 0;
        };
        const std::string refused =
            link ? "\" is a symbolic link, which is never followed for writing" : "\" is not a regular file";

        // Result files, the log's rotated name, the mailslot's guard while a collector listens, its lock.
        rotateTheLogAtStart(installation);
        fs::create_directories(runtime + "/mailslot");
        for (const std::string& name :
             {base + rotatedLog, runtime + "/locks/Quilna_MailSlot", runtime + "/mailslot/Quilna_Core.lock"})
            ASSERT_TRUE(plant(name)) << name;
        CollectorProcess collector({"-o", base + "/collected.log"}, runtime, base + "/collector.err");
        ASSERT_TRUE(collector.ready()) << collector.errors();
        // In the new process, as the program after exec will name its files.
        const auto plantResultNames = [&] {
            installation.processId = static_cast<uint64_t>(::getpid());
            installation.dayStamp = ResultFiles::dayStamp(DateTime());
            for (const std::string& name : resultNames(installation))
                if (!plant(name)) ::_exit(96);
        };
        EXPECT_EQ(installation.wait(installation.start({}, plantResultNames)), 3) << installation.log();
        EXPECT_EQ(collector.stop(), 0) << collector.errors();
        for (const std::string& name : resultNames(installation))
            EXPECT_TRUE(holds(installation.log(),
                              "The result file " + name + " is not written, for safety: \"" + name + refused));
        // The log could not be rotated into the planted name: it goes on, the earlier lines kept.
        EXPECT_EQ(installation.log().rfind("an earlier run's line\r\n", 0), 0u) << installation.log();
        EXPECT_TRUE(installation.logged({"Log file rotation error."}));
        EXPECT_LE(installation.usage.ru_nvcsw, plainWaits + 500);

        // The log's lock, the resources file, the log itself: the run goes on and says why.
        const std::string log = base + "/log/HoardscanDebug.log";
        for (const char* name : {"LogFileRotationScheme", "HoardscanLogOpened", "HoardscanLogCounter"})
            installation.resources.erase(name);
        for (const std::string& place : {runtime + "/locks/HoardscanDebug.log", installation.resourcesFile(), log}) {
            fs::remove(log);  // a new log stores when it was opened
            ASSERT_TRUE(plant(place));
            EXPECT_EQ(installation.wait(installation.start()), 0) << installation.output();
            const std::string said = installation.output() + (place == log ? "" : installation.log());
            EXPECT_TRUE(holds(said, "\"" + place + refused));
            EXPECT_LE(installation.usage.ru_nvcsw, plainWaits + 500) << place;
            fs::remove(place);
            installation.writeInstallation();
        }

        const std::string output = base + "/collected.out";
        ASSERT_TRUE(plant(output));
        CollectorProcess refusing({"-o", output}, runtime, base + "/refusing.err");
        EXPECT_EQ(refusing.wait(), 1);
        EXPECT_TRUE(holds(refusing.errors(), "cannot open " + output + " for appending: \"" + output + refused));
        EXPECT_EQ(TestDirectory::readFile(victim), "precious");
    }
}

TEST(Safety, PlacesThatAnotherUserControlsAreRefusedAndNothingIsMadeInThem) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a second user to own the places";
    // Below the installation: whether nobody owns it (else everyone may write it), what would be made.
    const std::vector<std::tuple<std::string, bool, std::string, std::string>> places = {
        {"runtime", true, "runtime/locks", "\" belongs to user"},
        {"runtime", false, "runtime/locks", "\" may be written by every user"},
        {"results", true, "", "\" belongs to user"},
        {"side", false, "", "\" may be written by every user"},
        {"results", false, "", "\" may be written by every user (sticky"},  // as /var/tmp is
        {"outer", true, "outer/inner", "\" belongs to user"},               // on the way to the working directory
    };
    for (const auto& [directory, theirs, made, refusal] : places) {
        SCOPED_TRACE(directory + refusal);
        ScanInstallation installation;
        installation.file("a.txt", 10);
        const std::string hostile = installation.base() + "/" + directory;
        fs::create_directories(hostile);
        const bool sticky = refusal.find("sticky") != std::string::npos;
        if (!theirs) fs::permissions(hostile, sticky ? fs::perms::all | fs::perms::sticky_bit : fs::perms::all);
        else ASSERT_EQ(::chown(hostile.c_str(), nobody(), nobodyGroup()), 0);
        if (directory == "outer") installation.settings["hoardscan.working-dir"] = {"DirName", hostile + "/inner"};
        const auto listing = [&] { return std::vector(fs::recursive_directory_iterator(hostile), {}); };
        const auto before = listing();

        EXPECT_EQ(installation.run(), 1) << installation.log() << installation.output();
        EXPECT_TRUE(holds(installation.output() + installation.log(), "\"" + hostile + refusal));
        EXPECT_TRUE(made.empty() || !fs::exists(installation.base() + "/" + made));
        if (directory == "runtime") {
            CollectorProcess collector({}, hostile, installation.at("collector.err"));
            EXPECT_EQ(collector.wait(), 1);
            EXPECT_TRUE(holds(collector.errors(), "the runtime directory \"" + hostile +
                                                      "\" cannot be used: the directory \"" + hostile + refusal));
            EXPECT_TRUE(holds(collector.errors(), " (QUILNA_RUNTIME_DIR may name another, of this user's own)"));
        }
        EXPECT_EQ(listing(), before);
    }
}

// A file of another user's whose name carries the separators of parameters and fields, a line
// end, C1 controls (as UTF-8 and as a raw byte), the line and paragraph separators and a direction
// override, in the tree of a scan by root: named in a debug line and in a warning (a placeholder
// beyond its depth), it shows whole, escaped, on one line of the log, of the system log and of the
// collector; no line is forged.
void scanAFileNamedToForgeLines() {
    if (!runningAsRoot()) GTEST_SKIP() << "needs root to scan a file of another user's";
    ScanInstallation installation;
    const std::string name =
        "list\x1A"
        "n7\x1A"
        "\x1C"
        "0\x1C"
        "\nFATAL forged \xc2\x80\xc2\x9b[2J\x9b"
        "1m\xc2\x85"
        "u"
        "\xe2\x80\xa8"
        "v\xe2\x80\xa9"
        "w\xe2\x80\xae"
        "fdp.exe";
    const std::string shown =
        "list\\x1an7\\x1a\\x1c0\\x1c\\x0aFATAL forged \\xc2\\x80\\xc2\\x9b[2J\\x9b1m\\xc2\\x85u"
        "\\xe2\\x80\\xa8v\\xe2\\x80\\xa9w\\xe2\\x80\\xaefdp.exe";
    installation.file("incoming/" + name, 10);
    for (const std::string& theirs : {installation.path("incoming"), installation.path("incoming/" + name)})
        ASSERT_EQ(::chown(theirs.c_str(), nobody(), nobodyGroup()), 0) << theirs;
    installation.accountsRules =
        "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=*\naccount=%99%\n}\n}\n}\n}\n}\n";
    installation.settings["hoardscan.log.debug-level"] = {"Integer", "4"};
    installation.settings["log.syslog"] = {"Bool", "true"};
    SystemLogSocket systemLog(installation.at("syslog.socket"));
    ASSERT_TRUE(systemLog.bound());
    const std::string collected = installation.at("collected.log");
    CollectorProcess collector({"-o", collected, "-m", installation.at("conf/LogMessages")}, installation.at("runtime"),
                               installation.at("collector.err"));
    ASSERT_TRUE(collector.ready()) << collector.errors();
    installation.writeInstallation();
    const pid_t scan = installation.start(systemLog.wrapper());
    const std::vector<std::string>& received = systemLog.receiveUntil([&] { return installation.ended(scan); });
    const int code = installation.wait(scan);
    EXPECT_EQ(collector.stop(), 0);
    if (code == 97) GTEST_SKIP() << "cannot mount here: " << installation.output();
    ASSERT_EQ(code, 0) << installation.log();

    // Each line or datagram that tells of the name shows it whole; none holds a byte of it raw.
    const auto has = [](const std::string& line, const std::string& wanted) {
        return line.find(wanted) != std::string::npos;
    };
    const auto showsItWhole = [&](const std::vector<std::string>& lines, const std::string& said) {
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return has(line, said); }),
                  1)
            << said << " in " << ::testing::PrintToString(lines);
        for (const std::string& line : lines) {
            EXPECT_EQ(has(line, "forged"), has(line, shown)) << line;
            for (const char* raw : {"\x1A", "\x1C", "\n", "\x9b", "\xc2\x85", "\xe2\x80\xa8", "\xe2\x80\xae"})
                EXPECT_FALSE(has(line, raw)) << line;
        }
    };
    const std::string deeper = "Account placeholder number 99 goes deeper than the path " +
                               installation.path("incoming/") + shown + ", which has ";
    const std::vector<std::string> logLines = StringUtils::split(installation.log(), "\r\n");
    showsItWhole(logLines, "Processing file \"" + shown + "\"...");
    showsItWhole(logLines, deeper);
    showsItWhole(received, deeper);
    std::vector<std::string> lines = StringUtils::split(TestSupport::TestDirectory::readFile(collected), "\n");
    ASSERT_EQ(lines.empty() ? "no line" : lines.back(), "");
    lines.pop_back();
    showsItWhole(lines, deeper);
    // Every line is one of the scan's own, unmarked: none starts with text of the name's.
    const std::regex scanLine(
        host() + " (NOTICE  |WARNING |ERROR   ) \\d{4}-\\d\\d-\\d\\dT[0-9:]{8} \\(17\\.\\d+\\.\\d+\\) \\d+: .*");
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, scanLine)) << line;
}

// Debug records stay local; a record that names a thread of another process is marked. Output
// that cannot be written costs lines, not the collector.
TEST(Collector, RecordsReachItJunkIsSkippedAndNoRecordForgesALine) {
    TestSupport::LogStateScope state;
    setDebugLevel(5);
    setSeverityFilter(0);
    TestDirectory directory;
    TestSupport::EnvironmentScope runtimeDirectory{"QUILNA_RUNTIME_DIR", directory.child("runtime")};
    const std::string outputPath = directory.child("collected.log");
    auto start = [&](const std::vector<std::string>& arguments, const std::string& name,
                     const std::string& output = "") {
        return std::make_unique<CollectorProcess>(arguments, directory.child("runtime"), directory.child(name), output);
    };
    NativePlatform native;
    TestSupport::CapturedLog chain{
        native, makeSmart<LogMessengerIPC>(native, SmartPointer<LoggerAgent>(makeSmart<TestSupport::MemoryAgent>()))};
    LoggerUnit unit{native, chain.centre, 17};
    fs::create_directories(directory.child("LogMessages"));
    directory.write("LogMessages/storage.mess",
                    "// messages of the storage module\r\n5: Disk %s is full (%i percent).\r\n");
    const auto collector = start({"-o", outputPath, "-m", directory.child("LogMessages")}, "first");
    ASSERT_TRUE(collector->ready()) << collector->errors();
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> others{
        {{"-o", outputPath}, 1, "cannot receive on mailslot Quilna_Core: "},
        {{"--help"}, 0, "Usage: hoardscan-collector [-o FILE]"},
        {{"--version"}, 0, "hoardscan-collector 6."},
        {{"-x"}, 1, "hoardscan-collector: unknown argument \"-x\"\nUsage: "},
        {{"-n"}, 1, "hoardscan-collector: option -n needs a value\nUsage: "},
        {{"-o", directory.child("none/collected.log")}, 1, "cannot open " + directory.child("none/collected.log")},
    };
    for (const auto& [arguments, exitCode, said] : others) {
        const auto other = start(arguments, "other");
        EXPECT_EQ(other->wait(), exitCode) << said;
        EXPECT_TRUE(holds(other->errors(), said));
    }

    MailSlot sender(native, IPCMode::LocalSender, LogMessengerIPC::collectorMailslot);
    sender.send("Quilna\x1BLOGMSG\x1B\x1Bnot a record\x1B");
    for (int i = 0; i < 10; ++i) sender.send("hello junk");  // ten complaints an interval are shown
    const LogRecord borrowed{.kind = LogRecord::Log,
                             .messageId = 8,
                             .text = (ParamStream() << "borrowed thread").text(),
                             .thread = static_cast<uint32_t>(collector->id())};
    sender.send(IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(borrowed), ""}.build());
    EXPECT_TRUE(unit.warning(5, ParamStream() << "/data" << 97));
    EXPECT_TRUE(unit.debug(1, "stays local"));
    // An older sender streamed texts as they were: the collector still keeps each to its line.
    const LogRecord older{.kind = LogRecord::Log,
                          .severity = Severity::Warning,
                          .messageId = 7,
                          .text = "safter the junk\r\nFATAL 01.01.2030 forged\t\x07\x7f\xc2\x9b\x1A",
                          .thread = platform().threadId()};
    sender.send(IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(older), ""}.build());

    // A rotation: the file moved away, SIGHUP makes the new one at once, and the lines go on there.
    const std::string rotated = outputPath + ".1";
    ASSERT_TRUE(eventually([&] { return countOf(TestDirectory::readFile(outputPath), "\n") == 3; }));
    fs::rename(outputPath, rotated);
    ASSERT_EQ(::kill(collector->id(), SIGHUP), 0);
    EXPECT_TRUE(eventually([&] { return fs::exists(outputPath); })) << collector->errors();
    EXPECT_EQ(fs::status(outputPath).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(unit.warning(5, ParamStream() << "/home" << 98));
    EXPECT_EQ(collector->stop(), 0);  // at once: what was sent before the stop is written all the same
    EXPECT_TRUE(holds(collector->errors(), "hoardscan-collector: reopened " + outputPath + "\n"));
    const std::string after = TestDirectory::readFile(outputPath);
    EXPECT_TRUE(after.starts_with(EndToEnd::host() + " WARNING ") &&
                after.ends_with("Disk /home is full (98 percent).\n"))
        << after;

    const std::string host = EndToEnd::host() + " ";
    const std::vector<std::string> lines = StringUtils::split(TestDirectory::readFile(rotated), "\n");
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);  // three, each ending in LF alone
    const std::vector<std::pair<std::string, std::string>> expected = {
        {host + "[sent by process " + std::to_string(::getpid()) + " of user " + std::to_string(::geteuid()) +
             ", which has no thread " + std::to_string(collector->id()) + "] ",
         "borrowed thread"},
        {host + "WARNING ", "Disk /data is full (97 percent)."},
        {host + "WARNING ", "after the junk\\x0d\\x0aFATAL 01.01.2030 forged\\x09\\x07\\x7f\\xc2\\x9b"},
    };
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(lines[i].starts_with(expected[i].first) && lines[i].ends_with(expected[i].second)) << lines[i];
    const std::string errors = collector->errors();
    EXPECT_TRUE(holds(errors, "skipped a message of 11 bytes (not an envelope): \"hello junk.\""));
    EXPECT_TRUE(holds(errors, "(not a log record)"));
    EXPECT_TRUE(holds(errors, "hoardscan-collector: 1 more complaints like these were not shown"));
    EXPECT_FALSE(std::regex_search(errors, std::regex("dropped|lost"))) << errors;

    // Another mailslot, and a full disk: said once, lines lost and counted; SIGINT ends it cleanly.
    const auto full = start({"-n", "Test_Slot"}, "full.err", "/dev/full");
    ASSERT_TRUE(full->ready()) << full->errors();
    MailSlot toFull(native, IPCMode::LocalSender, "Test_Slot");
    for (int i = 0; i < 3; ++i)
        toFull.send(IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(borrowed), ""}.build());
    EXPECT_TRUE(eventually([&] { return full->errors().find("cannot write to") != std::string::npos; }));
    EXPECT_EQ(full->stop(SIGINT), 0);
    const std::string fullErrors = full->errors();
    EXPECT_EQ(countOf(fullErrors, "cannot write to "), 1u) << fullErrors;
    EXPECT_TRUE(holds(fullErrors,
                      "cannot write to standard output: No space left on device; lines are lost until it "
                      "can be written again"));
    EXPECT_TRUE(holds(fullErrors, "3 lines were lost; standard output could not be written again before the end"));

    scanAFileNamedToForgeLines();
}

// A sender that is no program of the family: its own socket, with room for datagrams of several
// MB (as root beyond the system's cap); a send that finds no room within 5 s fails.
class DatagramSender {
public:
    explicit DatagramSender(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const int bytes = 8 << 20;
        if (::setsockopt(fd_, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes) != 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
        const timeval timeout{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~DatagramSender() { ::close(fd_); }
    DatagramSender(const DatagramSender&) = delete;
    DatagramSender& operator=(const DatagramSender&) = delete;

    bool send(const std::string& bytes) {
        return connected_ &&
               ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

private:
    int fd_;
    bool connected_ = false;
};

// A log record's message with the text as its one parameter, its terminating zero included.
std::string recordMessage(const std::string& text) {
    const LogRecord record{.kind = LogRecord::Log,
                           .severity = Severity::Warning,
                           .messageId = 8,
                           .text = (ParamStream() << text).text(),
                           .thread = static_cast<uint32_t>(::getpid())};
    return IPCEnvelope{IPCEnvelope::logMessage, "", LogCommons::serializeRecord(record), ""}.build() + '\0';
}
std::string recordOfSize(size_t bytes, char letter) {
    return recordMessage(std::string(bytes - recordMessage("").size(), letter));
}

// The count a report line of standard error gives at the end ("; N in all"), 0 without one.
uint64_t droppedInAll(const std::string& errors, const std::string& why) {
    std::smatch found;
    const std::regex line("(\\d+) records? (was|were) dropped: " + why + "[^\\n]*; (\\d+) in all");
    return std::regex_search(errors, found, line) ? std::stoull(found[3]) : 0;
}

// Two senders flood it with records too large to take (3 MB), records of the largest size it
// takes and small ones, while its output is stalled (a FIFO read only at the end): it stays
// under 128 MiB, each record too large is dropped and counted, each other one is written whole
// or counted as dropped.
TEST(Collector, AFloodOfLargeAndSmallDatagramsFromTwoSendersIsBoundedInBytes) {
    TestDirectory directory;
    const std::string fifo = directory.child("collected");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int output = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // the collector's open waits for it
    ASSERT_GE(output, 0);
    CollectorProcess collector({}, directory.child("runtime"), directory.child("errors"), fifo);
    ASSERT_TRUE(collector.ready()) << collector.errors();
    ::fcntl(output, F_SETFL, ::fcntl(output, F_GETFL) & ~O_NONBLOCK);

    const size_t largest = MailSlot::largestMessage;
    const std::string path = directory.child("runtime/mailslot/") + LogMessengerIPC::collectorMailslot;
    const std::string tooLarge = recordOfSize(3 << 20, 'T'), atLargest = recordOfSize(largest, 'L'),
                      small = recordOfSize(200, 's');
    DatagramSender first(path);
    if (!first.send(atLargest)) GTEST_SKIP() << "this system's sockets take no datagram of " << largest << " bytes";
    ASSERT_TRUE(first.send(recordOfSize(largest + 1, 'T')));
    std::atomic<uint64_t> tooLargeSent{1}, takenSent{1};
    // One sends large datagrams, the other small ones, as fast as the collector takes them.
    const auto flood = [&](bool large) {
        DatagramSender sender(path);
        for (const auto end = std::chrono::steady_clock::now() + 3s; std::chrono::steady_clock::now() < end;) {
            if (!large) takenSent += sender.send(small);
            else tooLargeSent += sender.send(tooLarge), takenSent += sender.send(atLargest);
        }
    };
    std::thread one(flood, true), two(flood, false);
    one.join();
    two.join();

    std::string collected;
    std::thread reader([&] {
        char buffer[1 << 16];
        for (ssize_t got; (got = ::read(output, buffer, sizeof buffer)) > 0;) collected.append(buffer, got);
    });
    EXPECT_EQ(collector.stop(), 0);
    reader.join();
    ::close(output);
    const std::string errors = collector.errors();
    const std::vector<std::string> lines = StringUtils::split(collected, "\n");
    ASSERT_GT(lines.size(), 1u);
    const size_t letters = largest - recordMessage("").size();
    EXPECT_TRUE(lines[0].size() < letters + 100 && lines[0].ends_with(std::string(letters, 'L'))) << lines[0].size();
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].ends_with(std::string(40, 's')) || lines[i].ends_with(std::string(40, 'L'))) << i;
    EXPECT_EQ(droppedInAll(errors, "larger than"), tooLargeSent.load()) << errors;
    EXPECT_EQ(lines.size() - 1 + droppedInAll(errors, "the output could not keep up"), takenSent.load()) << errors;
#if !defined(HOARDSCAN_SANITIZED)  // shadow memory and quarantine, not the program's own
    EXPECT_LT(collector.usage().ru_maxrss, 128 << 10) << "KiB at most";  // 224 MiB when batches counted records
#endif
}

}  // namespace
}  // namespace Quilna::EndToEnd
