// hoardscan --check: the problems of an installation with file and line, what a run would walk,
// and nothing written; the same mistakes in a run.
#include <gtest/gtest.h>

#include <fstream>

#include "ScanInstallation.h"

namespace Quilna::EndToEnd {
namespace {

// Every file and directory of the installation with its size and last change, but the output.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> snapshot(const ScanInstallation& installation) {
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
    for (const auto& entry : fs::recursive_directory_iterator(installation.base()))
        if (entry.path() != installation.at("output.txt"))
            files[entry.path()] = {entry.is_regular_file() ? entry.file_size() : 0, entry.last_write_time()};
    return files;
}

// The last line of the configuration file that holds the text.
std::string lineOf(const ScanInstallation& installation, const std::string& text) {
    std::ifstream file(installation.at("conf/hoardscan.conf"));
    int number = 1, found = 0;
    for (std::string line; std::getline(file, line); ++number)
        if (line.find(text) != std::string::npos) found = number;
    return std::to_string(found);
}

using Said = std::function<std::string(const ScanInstallation&)>;

Said text(const std::string& said) {
    return [=](const ScanInstallation&) { return said; };
}

// A run says what a check says: a mistyped key is a warning of the log (a key of this version is
// none), and a directory of part 1 that is not there is said, the run ending with exit code 4.
TEST(Check, ARunWarnsOfAMistypedKeyAndAMissingDirectoryOfPart1EndsItWithExitCode4) {
    ScanInstallation installation;
    installation.file("a.txt", 10);
    installation.extraRoots = host() + ": /none/data\n";
    installation.settings["hoardscan.keep-results"] = {"Integer", "30"};
    installation.settings["hoardscan.bufer"] = {"Integer", "30"};
    EXPECT_EQ(installation.run(), 4);
    EXPECT_TRUE(installation.logged(
        {"The directory /none/data named in part 1 of the file systems file " +
             installation.at("conf/filesystems.rules") + " does not exist: it is not walked.",
         "not a setting this program reads",
         installation.at("conf/hoardscan.conf:") + lineOf(installation, "bufer (") +
             ": hoardscan.bufer: not a setting this program reads; it is ignored; did you mean buffer?"}));
    EXPECT_TRUE(holds(installation.output(), "Every result file was finished, but 1 directories named in part 1"));
    EXPECT_EQ(filesCounted(installation.dataFile()), 1);
}

// A good installation, then one mistake each: standard output holds the line that says it.
TEST(Check, SaysEachProblemWithItsPlaceAndWhatARunWouldWalkAndWritesNothing) {
    const std::vector<std::tuple<std::function<void(ScanInstallation&)>, int, Said>> checks{
        {[](ScanInstallation&) {}, 0, text("hoardscan --check: no problem found.\n")},
        {[](ScanInstallation& i) {
             i.settings["log.sylog"] = {"Bool", "false"};
         },
         1,
         [](const ScanInstallation& i) {
             return "WARNING: " + i.at("conf/hoardscan.conf:") + lineOf(i, "sylog (") +
                    ": log.sylog: not a setting this program reads; it is ignored; did you mean syslog?\n";
         }},
        {[](ScanInstallation& i) { i.settings["log.syslog"].second = "false' { x () = '"; }, 1,
         [](const ScanInstallation& i) {
             const std::string file = i.at("conf/hoardscan.conf");
             return "\nhoardscan --check: a run would fail: the configuration file " + file + ", line " +
                    std::to_string(countOf(TestSupport::TestDirectory::readFile(file), "\n")) +
                    ": Missing '}' of entry \"log\" opened in line " + lineOf(i, "log () = ''") +
                    ", found the end of the file.\n";
         }},
        {[](ScanInstallation& i) { i.settings["log.global.severity"].second = "WARN"; }, 1,
         text("WARNING: The setting log.global.severity has the value 'WARN', which is not valid: NOTICE, WARNING,")},
        {[](ScanInstallation& i) { i.settings["log.syslog"].second = "yes"; }, 1,
         text("FATAL: The setting log.syslog has the value 'yes', which is not valid: true or false expected.")},
        {[](ScanInstallation& i) {
             i.settings["hoardscan.mft"] = {"String", "fast"};
         },
         1, text("FATAL: The setting hoardscan.mft has the value 'fast', which is not valid: auto or off expected.")},
        // Every unusable setting, not only the first a run stops at.
        {[](ScanInstallation& i) {
             i.settings["hoardscan.hoardscan"].second = i.at("conf/none.rules");
             i.settings["hoardscan.read-ahead"] = {"Integer", "99"};
         },
         1,
         [](const ScanInstallation& i) {
             return "FATAL: The setting hoardscan.hoardscan names " + i.at("conf/none.rules") +
                    ", which cannot be used: it does not exist and could not be created, or it is not a directory or "
                    "file.\nFATAL: The setting hoardscan.read-ahead has the value '99'";
         }},
        {[](ScanInstallation& i) { i.extraRoots = host() + ": /none/data\n"; }, 1,
         text("not walked: /none/data (listed): it does not exist\n")},
    };
    for (const auto& [make, exitCode, said] : checks) {
        ScanInstallation installation;
        installation.file("a.txt", 10);
        fs::remove(installation.at("results"));
        make(installation);
        installation.writeInstallation();
        SCOPED_TRACE(said(installation));
        installation.arguments.insert(installation.arguments.begin(), "--check");
        const auto before = snapshot(installation);
        EXPECT_EQ(installation.wait(installation.start()), exitCode);
        EXPECT_TRUE(holds(installation.output(), said(installation))) << installation.output();
        EXPECT_EQ(snapshot(installation), before);
        if (exitCode == 0) {
            EXPECT_TRUE(holds(installation.output(), "results: " + installation.at("results") +
                                                         "/ (missing: a run creates it)\nside files: "));
            EXPECT_TRUE(holds(installation.output(), "\nwalked: /"));
        }
    }
}

// A run refused for its installation's places says what stands in the way: the resources file
// another user cannot read, a results directory he cannot enter, one whose mount is missing.
TEST(Check, ARefusedPlaceIsSaidAsItIs) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a second user, and a mount namespace for the mounts file";
    const std::string setUp = "hoardscan: The scan could not be set up: ";
    const auto asNobody = [](ScanInstallation& i) { return i.giveTo(nobody(), nobodyGroup()); };
    const std::vector<std::pair<std::function<std::vector<std::string>(ScanInstallation&)>, Said>> runs{
        {[&](ScanInstallation& i) {
             i.arguments.clear();
             i.resources["ConfigurationDir"] = i.at("conf/");
             i.writeInstallation();
             auto wrapper = asNobody(i);
             fs::permissions(i.resourcesFile(), fs::perms::owner_read | fs::perms::owner_write);
             return ::chown(i.resourcesFile().c_str(), 0, 0) == 0 ? wrapper : std::vector<std::string>{"false"};
         },
         [&](const ScanInstallation& i) {
             return setUp + "no configuration file: the installation's resources file " + i.resourcesFile() +
                    " cannot be read (mode 0600, owner root): Permission denied.";
         }},
        {[&](ScanInstallation& i) {
             i.writeInstallation();
             auto wrapper = asNobody(i);
             fs::permissions(i.at("results"), fs::perms(0750));
             return ::chown(i.at("results").c_str(), 0, 0) == 0 ? wrapper : std::vector<std::string>{"false"};
         },
         [&](const ScanInstallation& i) {
             return "'" + i.at("results") + "/', which is not valid: the directory " + i.at("results") +
                    " exists, but the user nobody cannot enter it (mode 0750, owner root).";
         }},
        {[&](ScanInstallation& i) {
             i.writeInstallation();
             std::ofstream(i.at("fstab")) << "# mounts\nLABEL=data " << i.base() << "/results\\040 xfs noauto 0 0\n"
                                          << "/dev/zz9 " << i.base() << " ext4 defaults 0 2\n";
             return std::vector<std::string>{"unshare",
                                             "--mount",
                                             "--propagation",
                                             "private",
                                             "sh",
                                             "-c",
                                             R"(mount --bind "$0" /etc/fstab && exec "$@")",
                                             i.at("fstab")};
         },
         [&](const ScanInstallation& i) {
             return "its place belongs to the mount point " + i.base() +
                    " of the system's configuration, but nothing is mounted there now";
         }},
    };
    for (const auto& [prepare, said] : runs) {
        ScanInstallation installation;
        installation.file("a.txt", 10);
        const std::vector<std::string> wrapper = prepare(installation);
        EXPECT_EQ(installation.wait(installation.start(wrapper)), 1);
        EXPECT_TRUE(holds(installation.output(), said(installation))) << installation.output();
        EXPECT_TRUE(fs::is_empty(installation.at("results")));
    }
}

}  // namespace
}  // namespace Quilna::EndToEnd
