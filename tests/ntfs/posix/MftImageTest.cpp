// A real NTFS image made by mkntfs and filled through an ntfs-3g mount: the table reader must
// find every file the mount lists, with the names, parents, sizes, links, times, attributes and
// reparse tags the mount reports, and the owners of their security descriptors; read from the
// image file, and through the platform from the mounted volume's device. Then the real program
// scans the mounted volume twice, walked and read from its table, with the same results.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include "ntfs/BootSector.h"
#include "ntfs/MftReader.h"
#include "ntfs/MftTree.h"
#include "platform/Platform.h"
#include "e2e/posix/ScanInstallation.h"
#include "hoardscan/walk/RawVolumeBytes.h"
#include "ntfs/SecurityOwners.h"
#include "support/TestDirectory.h"

namespace Quilna::Ntfs {
namespace {

namespace fs = std::filesystem;

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

class ImageBytes : public VolumeBytes {
public:
    explicit ImageBytes(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {}
    ~ImageBytes() override { ::close(fd_); }
    std::optional<size_t> read(uint64_t offset, std::span<uint8_t> into) override {
        const ssize_t got = ::pread(fd_, into.data(), into.size(), static_cast<off_t>(offset));
        if (got < 0) return std::nullopt;
        if (tornAt >= offset && tornAt < offset + got) into[tornAt - offset] ^= 0xFF;
        return static_cast<size_t>(got);
    }
    uint64_t tornAt = UINT64_MAX;  // a byte read changed, as a write cut short leaves a sector

private:
    int fd_;
};

// Owners that the mount gives files of these users and groups.
constexpr const char* kUserMapping =
    "1001::S-1-5-21-3141592653-589793238-462643383-1001\n"
    "1002::S-1-5-21-3141592653-589793238-462643383-1002\n"
    ":1001:S-1-5-21-3141592653-589793238-462643383-513\n";

bool makeImage(const std::string& image) { return run("truncate -s 64M " + image) && run("mkntfs -F -q -f " + image); }

// The image attached to a loop device and mounted with the options; detached whatever the
// test's outcome.
class MountedImage {
public:
    MountedImage(const std::string& image, const std::string& point, const std::string& options)
        : point_(point), options_(options) {
        fs::create_directory(point);
        loop_ = output("losetup -f --show " + image);
        mount();
    }
    ~MountedImage() { unmount(); }
    bool mounted() const { return mounted_; }
    // A file turned into a reparse point shows as one only after the kernel forgot it.
    void mount() {
        if (mounted_) run("umount " + point_);
        mounted_ = !loop_.empty() && run("ntfs-3g -o " + options_ + " " + loop_ + " " + point_);
    }
    void unmount() {
        if (mounted_ && !run("umount " + point_)) run("umount -l " + point_);
        if (!loop_.empty()) run("losetup -d " + loop_);
        mounted_ = false;
        loop_.clear();
    }

private:
    static std::string output(const std::string& command) {
        std::string text(256, '\0');
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return {};
        text.resize(std::fread(text.data(), 1, text.size(), pipe));
        ::pclose(pipe);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    std::string point_, options_, loop_;
    bool mounted_ = false;
};

void write(const fs::path& path, size_t size) { std::ofstream(path, std::ios::binary) << std::string(size, 'n'); }

// The first `width` bytes of an extended attribute as a number, 0 when it is missing.
uint64_t xattrNumber(const fs::path& path, const char* name, size_t width) {
    std::vector<uint8_t> bytes(64 << 10);  // reparse data is at most 16 KiB
    if (::lgetxattr(path.c_str(), name, bytes.data(), bytes.size()) < static_cast<ssize_t>(width)) return 0;
    uint64_t value = 0;
    std::memcpy(&value, bytes.data(), width);
    return value;
}

// A directory made a junction to a target of so many letters.
void makeJunction(const fs::path& path, uint16_t letters) {
    const uint16_t dataBytes = 8 + 2 * letters + 4;
    std::vector<uint8_t> data{0x03,
                              0,
                              0,
                              0xA0,
                              uint8_t(dataBytes),
                              uint8_t(dataBytes >> 8),
                              0,
                              0,
                              0,
                              0,
                              uint8_t(2 * letters),
                              uint8_t(letters >> 7),
                              uint8_t(2 * letters + 2),
                              uint8_t(letters >> 7),
                              0,
                              0};
    for (uint16_t i = 0; i < letters; ++i) data.insert(data.end(), {'C', 0});
    data.resize(data.size() + 4);
    fs::create_directory(path);
    ::lsetxattr(path.c_str(), "system.ntfs_reparse_data", data.data(), data.size(), 0);
}

// Every case the table must carry; the hard links with long names overflow their record into
// extension records, and deleting and re-creating files between growths fragments the table.
void fill(const fs::path& root) {
    fs::create_directories(root / "a" / "b");
    for (const char* name : {"Ελληνικά.txt", "日本語の名前", "עברית", "Русский файл", "emoji 😀 name", "MixedCase.TXT",
                             "mixedcase.txt", "_under", "Zeta", "ÉCOLE", "école", "~tilde", "ß", "ǅ"})
        write(root / "a" / name, 100);
    fs::create_directory(root / "order");  // a directory small enough for its index to be one node
    for (const char* name : {"apple", "Banana", "Zeta", "_u", "école", "ÉCOLE", "ǅ", "日本"})
        write(root / "order" / name, 1);
    fs::path deep = root;
    for (int level = 0; level < 300; ++level) deep /= "d";
    fs::create_directories(deep);
    write(deep / "bottom", 5000);
    write(root / "a" / "linked", 4096);
    fs::create_hard_link(root / "a" / "linked", root / "a" / "b" / "second link");
    write(root / "many", 70000);
    for (int i = 0; i < 40; ++i)
        fs::create_hard_link(root / "many", root / "a" / (std::string(200, 'x') + std::to_string(i)));
    std::ofstream(root / "sparse").seekp(20 << 20) << 's';
    std::ofstream(root / "a" / "linked:stream") << std::string(9000, 's');
    for (int round = 0; round < 3; ++round) {
        fs::create_directories(root / "crowd");
        for (int i = 0; i < 700; ++i)
            write(root / "crowd" / ("f" + std::to_string(round) + "_" + std::to_string(i)), i % 3 * 700);
        for (int i = 0; i < 700; i += 2)
            fs::remove(root / "crowd" / ("f" + std::to_string(round) + "_" + std::to_string(i)));
    }
    // A full volume with holes: the table's next growth cannot follow its last run.
    fs::create_directory(root / "filler");
    for (int i = 0; fs::space(root).available > (2 << 20); ++i) write(root / "filler" / std::to_string(i), 1 << 20);
    for (int i = 0; fs::exists(root / "filler" / std::to_string(i)); i += 2)
        fs::remove(root / "filler" / std::to_string(i));
    for (int i = 0; i < 1500; ++i) write(root / "crowd" / ("g" + std::to_string(i)), 10);
    // Each mode its own descriptor: more security ids than the index's root holds.
    for (int i = 0; i < 200; ++i) fs::permissions(root / "crowd" / ("g" + std::to_string(i)), fs::perms(0400 | i));
    const uint32_t hiddenReadOnly = __builtin_bswap32(0x03);
    ::lsetxattr((root / "a" / "MixedCase.TXT").c_str(), "system.ntfs_attrib_be", &hiddenReadOnly, 4, 0);
    makeJunction(root / "junction", 1);
    makeJunction(root / "far junction", 900);    // its reparse data too long to stay in the record
    write(root / "a" / "a long name.text", 10);  // with a short name beside it, which listings never show
    ::lsetxattr((root / "a" / "a long name.text").c_str(), "system.ntfs_dos_name", "ALONGN~1.TEX", 12, 0);
    // Files made in a compressed directory are compressed.
    const uint32_t compressedDirectory = __builtin_bswap32(0x810);
    fs::create_directory(root / "packed");
    ::lsetxattr((root / "packed").c_str(), "system.ntfs_attrib_be", &compressedDirectory, 4, 0);
    write(root / "packed" / "text", 300000);
    ::lchown((root / "a" / "Ελληνικά.txt").c_str(), 1001, 1001);
    ::lchown((root / "a" / "b").c_str(), 1002, 1001);
    ::lchown((root / "order" / "apple").c_str(), 1002, 0);
    // A directory of thousands, its index many nodes deep; ages for every temperature.
    fs::create_directory(root / "thousands");
    for (int i = 0; i < 5000; ++i) write(root / "thousands" / ("t" + std::to_string(i * 7919 % 5000)), i % 5 * 300);
    for (int i = 0; i < 5000; i += 3)
        EndToEnd::ScanInstallation::age((root / "thousands" / ("t" + std::to_string(i))).string(), i % 500, 20);
}

using Facts = std::tuple<std::string, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t,
                         std::string>;

// The owner SID's bytes of the security descriptor the mount shows.
std::string mountOwner(const fs::path& path) {
    std::vector<uint8_t> descriptor(64 << 10);
    const ssize_t length = ::lgetxattr(path.c_str(), "system.ntfs_acl", descriptor.data(), descriptor.size());
    uint32_t offset = 0;
    if (length < 20) return "no descriptor";
    std::memcpy(&offset, descriptor.data() + 4, 4);
    const size_t at = offset;
    if (at + 8 > size_t(length) || at + 8 + 4 * size_t{descriptor[at + 1]} > size_t(length)) return "no owner";
    return std::string(descriptor.begin() + at, descriptor.begin() + at + 8 + 4 * descriptor[at + 1]);
}

// Whole seconds since 1970 (none earlier) of a time in 100 ns units since 1601, as the table keeps them.
uint64_t seconds(uint64_t filetime) {
    return filetime / 10000000 > 11644473600ull ? filetime / 10000000 - 11644473600ull : 0;
}

// Name and parent, size, 512-byte blocks, links, access and write times, creation time, attributes, reparse tag,
// owner.
Facts mountFacts(const fs::path& path, uint64_t parent) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    // The mount shows a junction as a symbolic link with a made-up target; the table, as a directory.
    const bool sizeless = S_ISDIR(status.st_mode) || S_ISLNK(status.st_mode);
    return {std::to_string(parent) + "/" + path.filename().string(),
            static_cast<uint64_t>(sizeless ? 0 : status.st_size),
            static_cast<uint64_t>(sizeless ? 0 : status.st_blocks),
            status.st_nlink,
            static_cast<uint64_t>(status.st_atim.tv_sec),
            static_cast<uint64_t>(status.st_mtim.tv_sec),
            seconds(xattrNumber(path, "system.ntfs_crtime", 8)),
            xattrNumber(path, "system.ntfs_attrib", 4),
            xattrNumber(path, "system.ntfs_reparse_data", 4),
            mountOwner(path)};
}

std::vector<Facts> tableFacts(const MftTable& table, const MftEntry& entry) {
    std::vector<Facts> facts;
    const bool directory = entry.attributes & MftEntry::kDirectory;
    const auto owner = table.owners().ownerSid(entry.securityId);
    for (const MftName& name : table.namesOf(entry))
        facts.emplace_back(std::to_string(name.parent) + "/" + std::string(table.text(name)),
                           directory ? 0 : entry.size, directory ? 0 : (entry.allocated + 511) / 512, entry.links,
                           entry.accessed, entry.modified, entry.created, entry.attributes, entry.reparseTag,
                           std::string(owner.begin(), owner.end()));
    return facts;
}

// What a run wrote, its owners apart: account records and directory totals summed by their
// keys without user and group, the inactive table's rows, the other result files as written (by
// name, the process id left out); the users and groups met on the way. The mount lists a
// directory whose index has grown beyond one node in the order of the index's blocks on disk,
// the table in the index's order (as Windows lists it): the rows of each directory are compared
// sorted, the directories in the order they came.
struct RunResults {
    std::map<std::string, AccountValues> records;
    std::map<std::string, std::array<int64_t, 3>> totals;
    std::vector<std::string> inactive;
    std::map<std::string, std::string> files;
    std::set<std::string> users, groups;
};

std::vector<std::string> inactiveRows(const std::string& table) {
    std::vector<std::string> rows;
    size_t directoryStart = 0;
    std::string directory;
    for (const InactiveRow& row : ResultFileReader(platform(), platform(), table).inactiveRows()) {
        if (row.directory != directory) {
            std::sort(rows.begin() + static_cast<ptrdiff_t>(directoryStart), rows.end());
            directoryStart = rows.size();
            directory = row.directory;
        }
        rows.push_back(row.directory + row.name + "," + std::to_string(row.kib) + "," + row.lastAccess + "," +
                       row.temperature);
    }
    std::sort(rows.begin() + static_cast<ptrdiff_t>(directoryStart), rows.end());
    return rows;
}

RunResults resultsOf(const EndToEnd::ScanInstallation& installation) {
    RunResults results;
    for (AccountRecord& record : installation.records()) {
        results.users.insert(std::exchange(record.key[KeyField::User], ""));
        results.groups.insert(std::exchange(record.key[KeyField::Group], ""));
        std::string key;
        for (const std::string& field : record.key.fields) key += field + "|";
        results.records[key] += record.values;
    }
    const std::string totals = installation.resultFile("side", "HoardscanTotals", ".txt");
    for (const DirectoryTotalRow& row : ResultFileReader(platform(), platform(), totals).directoryTotals()) {
        results.users.insert(row.user);
        auto& sum = results.totals[row.directory + "|" + row.account + "|" + row.temperature];
        sum = {sum[0] + row.files, sum[1] + row.bytes, sum[2] + row.bytesOnDisk};
    }
    const std::string inactive = installation.resultFile("side", "HoardscanInactive", ".csv");
    results.inactive = inactiveRows(inactive);
    const std::string process = "-" + std::to_string(installation.processId);
    for (const auto& entry : fs::directory_iterator(installation.at("side"))) {
        std::string name = entry.path().filename().string();
        if (name.find(process) == std::string::npos || entry.path() == totals || entry.path() == inactive) continue;
        name.erase(name.find(process), process.size());
        results.files[name] = TestSupport::TestDirectory::readFile(entry.path().string());
    }
    return results;
}

TEST(MftImage, EveryFileTheMountListsIsReadFromTheTableAsTheMountReportsIt) {
    if (::geteuid() != 0 || !run("{ command -v mkntfs && command -v ntfs-3g && command -v losetup; }"))
        GTEST_SKIP() << "needs root and the ntfs-3g tools (mkntfs, ntfs-3g) and losetup";
    TestSupport::TestDirectory directory;
    const std::string image = directory.child("volume.img"), point = directory.child("mount");
    std::map<uint64_t, std::vector<Facts>> mounted;         // by record number, which ntfs-3g gives as inode
    std::map<uint64_t, std::vector<std::string>> listings;  // paths, in the order the mount lists each directory
    std::set<std::pair<uint64_t, std::string>> mountPaths, treePaths;
    std::optional<MftTable> live;  // read through the platform from the mounted volume's device
    std::string why, liveWhy;
    {
        const std::string mapping = directory.child("UserMapping");
        std::ofstream(mapping) << kUserMapping;
        // Walks must not change access times.
        const bool made = makeImage(image);
        MountedImage volume(image, point, "noatime,streams_interface=windows,usermapping=" + mapping);
        if (!made || !volume.mounted()) GTEST_SKIP() << "cannot make or mount an NTFS image here (loop device, FUSE)";
        fill(point);
        volume.mount();
        ASSERT_TRUE(volume.mounted());
        for (auto it = fs::recursive_directory_iterator(point); it != fs::recursive_directory_iterator(); ++it) {
            struct stat own = {}, parent = {};
            ::lstat(it->path().c_str(), &own);
            ::lstat(it->path().parent_path().c_str(), &parent);
            mounted[own.st_ino].push_back(mountFacts(it->path(), parent.st_ino));
            listings[parent.st_ino].push_back(fs::relative(it->path(), point).string());
            mountPaths.emplace(own.st_ino, listings[parent.st_ino].back());
            if (it->is_symlink()) it.disable_recursion_pending();
        }
        // Only the volume beneath an NTFS mount opens.
        SystemError error;
        EXPECT_TRUE(!platform().openRawVolume(directory.text(), error) && error.kind == ErrorKind::NotFound);
        EXPECT_TRUE(!platform().openRawVolume("/proc", error) && error.kind == ErrorKind::Other &&
                    error.detail == "its file system (proc) is not NTFS")
            << error.detail;
        auto device = platform().openRawVolume(point, error);
        ASSERT_TRUE(device) << error.detail;
        RawVolumeBytes deviceBytes(std::move(device));
        live = MftReader::read(deviceBytes, liveWhy);
        volume.unmount();
    }
    ImageBytes bytes(image);
    const auto table = MftReader::read(bytes, why);
    ASSERT_TRUE(table) << why;
    ASSERT_TRUE(live) << liveWhy;
    // The same table whether read from the image or from the mounted volume's device.
    std::set<std::string> owners;
    for (const MftTable* read : {&*table, static_cast<const MftTable*>(&*live)}) {
        EXPECT_EQ(read->damaged(), 0u) << (read->reasons().empty() ? "" : read->reasons().front());
        EXPECT_EQ(read->ownersProblem(), "");
        EXPECT_EQ(read->entries().size(), table->entries().size());
        for (auto& [record, facts] : mounted) {
            const MftEntry* entry = read->find(static_cast<uint32_t>(record));
            ASSERT_NE(entry, nullptr) << std::get<0>(facts.front());
            std::sort(facts.begin(), facts.end());
            auto found = tableFacts(*read, *entry);
            std::sort(found.begin(), found.end());
            EXPECT_EQ(found, facts);
            owners.insert(read->owners().ownerText(entry->securityId));
        }
    }
    // The owners the mapping gave, named as the system names them.
    EXPECT_TRUE(owners.count("S-1-5-21-3141592653-589793238-462643383-1001") &&
                owners.count("S-1-5-21-3141592653-589793238-462643383-1002"))
        << ::testing::PrintToString(owners);

    // The tree holds every file's paths and no other file; a directory's names come in its
    // index's order, which the mount follows where the index is one node (it lists further
    // nodes by their place, not in order).
    const MftTree tree(*table);
    mounted[MftTree::kRoot];
    for (const auto& [record, facts] : mounted) {
        std::vector<std::string> ordered;
        for (uint32_t name : tree.children(static_cast<uint32_t>(record))) {
            ordered.push_back(tree.path(name, '/').substr(1));
            treePaths.emplace(tree.entryOf(name).record, ordered.back());
        }
        if (listings[record].size() <= 8) {
            EXPECT_EQ(ordered, listings[record]);
        }
    }
    EXPECT_EQ(treePaths, mountPaths);

    // A record torn in writing is counted with its reason and skipped; the others stay.
    std::vector<uint8_t> sector(512);
    ASSERT_EQ(bytes.read(0, sector), 512u);
    const auto boot = BootSector::parse(sector, why);
    const uint32_t victim = 5;  // the root, which lies in the table's first run
    bytes.tornAt = boot->tableOffset + uint64_t{victim} * boot->recordSize + 510;
    const auto torn = MftReader::read(bytes, why);
    ASSERT_TRUE(torn);
    EXPECT_EQ(std::make_tuple(torn->damaged(), torn->reasons(), torn->find(victim), torn->entries().size()),
              std::make_tuple(uint64_t{1},
                              std::vector<std::string>{"record " + std::to_string(victim) +
                                                       ": a sector of it was torn while written"},
                              nullptr, table->entries().size() - 1));

    // The program on the volume mounted as its users see it (read-only, no user mapping): walked,
    // then read from its table, with the same results but for the owners. The table names an
    // owner by its SID, which the mount shows in the file's descriptor.
    EndToEnd::ScanInstallation installation;
    const std::string asUsersSeeIt = "ro,noatime,streams_interface=windows";
    auto again = std::make_unique<MountedImage>(image, installation.tree(), asUsersSeeIt);
    ASSERT_TRUE(again->mounted());
    installation.writeEveryResultFile("frozen", 0);
    installation.settings["hoardscan.mft"] = {"String", "off"};
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const RunResults walked = resultsOf(installation);
    const std::string walkLog = installation.log();
    installation.settings.erase("hoardscan.mft");
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const RunResults read = resultsOf(installation);
    const std::string readLog = installation.log().substr(walkLog.size());
    const std::string fileSystem = "File system " + installation.tree();
    EXPECT_EQ(EndToEnd::countOf(walkLog, fileSystem + " walked: hoardscan.mft is off"), 1u) << walkLog;
    EXPECT_EQ(EndToEnd::countOf(readLog, fileSystem + " read from its master file table ("), 1u) << readLog;
    EXPECT_EQ(read.records, walked.records);
    EXPECT_EQ(read.totals, walked.totals);
    EXPECT_TRUE(read.inactive == walked.inactive);  // thousands of rows: no printing
    EXPECT_EQ(read.files, walked.files);
    std::set<std::string> sids;
    for (const auto& [record, facts] : mounted) {
        if (facts.empty() || ((std::get<7>(facts.front()) & MftEntry::kDirectory) && !std::get<8>(facts.front())))
            continue;
        const std::string& owner = std::get<9>(facts.front());
        sids.insert(SecurityOwners::sidText(std::span(reinterpret_cast<const uint8_t*>(owner.data()), owner.size())));
    }
    EXPECT_EQ(read.users, sids);
    EXPECT_EQ(read.groups, std::set<std::string>{"UNDEF"});
    EXPECT_EQ(walked.users.size(), 1u);
    // Every kind of result file, with cold files listed.
    EXPECT_EQ(walked.files.size(), 2u) << ::testing::PrintToString(walked.files);
    EXPECT_GT(walked.totals.size(), 300u);
    EXPECT_GT(walked.inactive.size(), 1000u);

    // A table with a damaged record (one the mount never reads) is left to the walk, which then
    // counts everything once.
    again.reset();
    const uint64_t reserved = 20;
    const auto at = static_cast<std::streamoff>(boot->tableOffset + reserved * boot->recordSize + 510);
    std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
    const char flipped = static_cast<char>(~(file.seekg(at), file.get()));
    file.seekp(at).put(flipped).flush();
    again = std::make_unique<MountedImage>(image, installation.tree(), asUsersSeeIt);
    ASSERT_TRUE(again->mounted());
    const size_t logged = installation.log().size();
    ASSERT_EQ(installation.run(), 0) << installation.log();
    const RunResults fallenBack = resultsOf(installation);
    EXPECT_EQ(EndToEnd::countOf(installation.log().substr(logged),
                                fileSystem + " walked: its table has 1 damaged record(s) (record 20: a sector of it "
                                             "was torn while written)"),
              1u)
        << installation.log().substr(logged);
    EXPECT_EQ(std::tie(fallenBack.records, fallenBack.totals, fallenBack.files, fallenBack.users),
              std::tie(walked.records, walked.totals, walked.files, walked.users));
    EXPECT_TRUE(fallenBack.inactive == walked.inactive);
}

}  // namespace
}  // namespace Quilna::Ntfs
