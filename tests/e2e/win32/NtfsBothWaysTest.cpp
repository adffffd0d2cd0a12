// hoardscan.exe on one NTFS volume read both ways: tools/ci/windows maps drive D: to an ntfs-3g
// mount of the volume (what the walk lists) and "\\.\D:" to its loop device (what the table read
// reads), the volume filled by tools/ci/fill-ntfs-tree and mounted read-only, so that both runs
// see the same, quiet volume.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "e2e/win32/WindowsInstallation.h"

namespace Quilna::WindowsEndToEnd {
namespace {

constexpr const char* sparseName = "holes.bin";  // 64 MiB, its first 4 KiB written
// Two links of one file: the walk's listing gives no link count and charges both, the table once.
constexpr const char* linkedName = "shared.txt";
// The files whose DOS attributes the walk under Wine cannot see (its listing of the mount never
// marks a file sparse, hidden by an attribute or read-only but by the Unix mode, which ntfs-3g
// shows as 0777), with the status word the table gives them.
const std::map<std::string, std::string> unseenByWine = {
    {sparseName, "sparse"}, {"hidden.txt", "hidden"}, {"readonly.txt", "readonly"}};

// What one run wrote and said: each result file's bytes by its name without day stamp and
// process id, the records as read, and the log.
struct RunOutput {
    std::map<std::string, std::string> files;
    std::vector<AccountRecord> records;
    std::string log;
};

RunOutput runOnce(WindowsInstallation& installation) {
    installation.writeInstallation();
    const int code = installation.run();
    EXPECT_EQ(code, 0) << installation.log();
    RunOutput output{{}, installation.records(), installation.log()};
    const std::string stamp =
        "-" + std::to_string(installation.dayStamp) + "-" + std::to_string(installation.processId);
    for (const char* place : {"results", "side"})
        for (const fs::directory_entry& entry : fs::directory_iterator(installation.at(place))) {
            std::string name = entry.path().filename().string();
            if (const size_t at = name.find(stamp); at != std::string::npos) name.erase(at, stamp.size());
            output.files[name] = readText(entry.path().string());
            fs::remove(entry.path());
        }
    return output;
}

// The records as text, with what the walk under Wine cannot know left out: the owner's user and
// group, and the status word and bytes on disk of the files above (the walk charges the sparse
// file its size; on Windows the walk sees the attributes and asks the allocation, as the table
// reads them).
std::vector<std::string> comparable(const std::vector<AccountRecord>& records) {
    std::vector<std::string> lines;
    for (AccountRecord record : records) {
        record.key[KeyField::User] = record.key[KeyField::Group] = "";
        if (unseenByWine.contains(record.key[KeyField::FileType])) {
            record.key[KeyField::Status] = "";
            record.values.bytesOnDisk = 0;
        }
        if (record.key[KeyField::FileType] == linkedName) continue;  // compared apart
        std::string line;
        for (const std::string& field : record.key.fields) line += field + ":";
        lines.push_back(line + std::to_string(record.values.files) + ":" + std::to_string(record.values.bytes) + ":" +
                        std::to_string(record.values.bytesOnDisk) + ":" + std::to_string(record.values.weightedSize));
    }
    return lines;
}

// Run with hoardscan.mft off (the walk of the mount) and by default (the table of the volume's raw
// device where the program reads it): the same result files. The account record file may differ
// where Wine hides what the volume holds: in the user and group fields (the walk names the owner
// Wine reports for a file of the mount, the Unix owner's account; the table the owner its
// security descriptor names), and in the files above.
TEST(WindowsNtfs, TheTableReadAndTheWalkOfOneVolumeWriteTheSameResultFiles) {
    const char* drive = std::getenv("QUILNA_TEST_NTFS_DRIVE");
    if (drive == nullptr || *drive == '\0')
        GTEST_SKIP() << "QUILNA_TEST_NTFS_DRIVE names no NTFS volume mounted both ways (tools/ci/windows maps one "
                        "as root, with loop devices, FUSE and ntfs-3g)";
    const std::string root = std::string(drive) + "\\";
    WindowsInstallation installation;
    installation.extraRules = "*:*:" + std::string(drive) + " include\n*:*:" + root + "* include\n";
    installation.settings["hoardscan.filetype"] = {"Integer", "3"};  // a record per file
    installation.settings["hoardscan.extension"] = {"Bool", "true"};
    installation.settings["hoardscan.inactive-log"] = {"Bool", "true"};
    installation.settings["hoardscan.temperature-log"] = {"Bool", "true"};
    installation.settings["hoardscan.temperature-monitor"] = {"String", "cold"};
    installation.settings["hoardscan.temperature-monitor-size"] = {"Integer", "0"};
    installation.settings["hoardscan.mft"] = {"String", "off"};
    const RunOutput walked = runOnce(installation);
    installation.settings.erase("hoardscan.mft");
    const RunOutput read = runOnce(installation);

    // The volume was counted: the few hundred files the filler wrote, its 300 levels, its sparse file.
    const char* tableLine = "read from its master file table";
    for (const RunOutput* run : {&walked, &read}) {
        double files = 0;
        size_t deepest = 0;
        AccountValues sparse, linked;
        for (const AccountRecord& record : run->records) {  // the installation's tree on C: is empty
            files += record.values.files;
            deepest = std::max(deepest, countOf(record.key[KeyField::FileSystem], "\\"));
            if (record.key[KeyField::FileType] == sparseName) sparse += record.values;
            if (record.key[KeyField::FileType] == linkedName) linked += record.values;
        }
        EXPECT_GT(files, 300) << run->log;
        EXPECT_GT(deepest, 300u);
        EXPECT_EQ(sparse.bytes, 64 << 20);
        EXPECT_EQ(linked.bytes, run == &read ? 5000 : 10000);
    }
    ASSERT_TRUE(holds(read.log, tableLine)) << read.log;
    EXPECT_TRUE(holds(walked.log, "walked: "));
    EXPECT_EQ(countOf(walked.log, tableLine), 0u) << walked.log;
    for (const AccountRecord& record : read.records) {
        const auto unseen = unseenByWine.find(record.key[KeyField::FileType]);
        if (unseen != unseenByWine.end()) {
            EXPECT_EQ(record.key[KeyField::Status], unseen->second);
        }
    }

    ASSERT_EQ(walked.files.size(), read.files.size());
    for (const auto& [name, bytes] : walked.files) {
        ASSERT_TRUE(read.files.contains(name)) << name;
        if (name.ends_with(".data") && bytes != read.files.at(name))
            EXPECT_EQ(comparable(walked.records), comparable(read.records)) << name;
        else EXPECT_TRUE(bytes == read.files.at(name)) << name << " differs";
    }
}

}  // namespace
}  // namespace Quilna::WindowsEndToEnd
