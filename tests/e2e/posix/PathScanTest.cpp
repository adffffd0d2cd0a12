// hoardscan PATH: a tree scanned without an installation, its summary against du, nothing written
// where the program could write, the progress line only on a terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "platform/Platform.h"
#include "results/ResultFileReader.h"
#include "support/ChildProcess.h"
#include "support/TestDirectory.h"

namespace Quilna::EndToEnd {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::pair<uintmax_t, fs::file_time_type>>;

std::string shell(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) ::pclose(pipe);
    return out;
}

// Every name below the places, with size and last change, and /tmp's names of the program's.
Snapshot snapshot(const std::vector<fs::path>& places) {
    Snapshot names;
    for (const fs::path& place : places) {
        names[place] = {0, fs::last_write_time(place)};
        for (const auto& entry : fs::recursive_directory_iterator(place))
            names[entry.path()] = {entry.is_regular_file() ? entry.file_size() : 0,
                                   entry.symlink_status().type() == fs::file_type::symlink ? fs::file_time_type()
                                                                                           : entry.last_write_time()};
    }
    for (const auto& entry : fs::directory_iterator("/tmp")) {
        const std::string name = entry.path().filename();
        if (name.find("hoardscan") != std::string::npos ||
            (name.starts_with("quilna-") && !name.starts_with("quilna-files-") && !name.starts_with("quilna-stages")))
            names[entry.path()] = {0, entry.last_write_time()};
    }
    return names;
}

// du of the files and links below a directory (hard links once): "<files> <bytes> <bytes on disk>".
std::string du(const std::string& directory) {
    const std::string files = "find '" + directory + "' \\( -type f -o -type l \\) -print0 | ";
    return shell("printf '%s %s %s' $(" + files + "xargs -0 stat -c %i | sort -u | wc -l) $(" + files +
                 "du -cb --files0-from=- | tail -n1 | cut -f1) $(" + files +
                 "du -cB1 --files0-from=- | tail -n1 | cut -f1)");
}

// The program on a pseudo-terminal: all it wrote there.
std::string onTerminal(const std::string& tree, const std::string& directory) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        if (::chdir(directory.c_str()) == 0) ::execl(HOARDSCAN_PROGRAM, HOARDSCAN_PROGRAM, tree.c_str(), nullptr);
        ::_exit(127);
    }
    std::string out;
    char buffer[4096];
    for (ssize_t n; child > 0 && (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(n));
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "exit status " + std::to_string(status) + ": " + out;
}

TEST(PathScan, SummaryFiguresAreDusWithNothingWrittenAndAProgressLineOnlyOnATerminal) {
    if (shell("command -v python3").empty()) GTEST_SKIP() << "python3 reads the JSON";
    TestSupport::TestDirectory test;
    // A "*" in the path is the path's own: "bob" ends as the path does, and stays its own account.
    const std::string tree = test.child("tree*b"), cwd = test.child("cwd"), private_ = test.child("private");
    for (const std::string& directory : {tree + "/ann/docs", tree + "/bob", cwd, private_, test.child("out")})
        fs::create_directories(directory);
    for (int i = 0; i < 300; ++i)
        test.write("tree*b/ann/docs/f" + std::to_string(i) + ".txt", std::string(100 + i, 'd'));
    test.write("tree*b/ann/photo.jpg", std::string(50000, 'p'));
    test.write("tree*b/top.txt", "top");
    std::ofstream(tree + "/bob/sparse.img").seekp(8 << 20) << std::string(1 << 20, 's');
    fs::resize_file(tree + "/bob/sparse.img", uintmax_t{64} << 20);
    test.write("tree*b/bob/data.bin", std::string(20000, 'b'));
    fs::create_hard_link(tree + "/bob/data.bin", tree + "/bob/data-link.bin");
    fs::create_symlink("data.bin", tree + "/bob/link");
    ASSERT_EQ(shell("touch -a -d '400 days ago' '" + tree + "/ann/photo.jpg' && echo ok"), "ok\n");
    const std::string photo = du(tree + "/ann/photo.jpg").substr(2), whole = du(tree), bob = du(tree + "/bob");
    const std::vector<fs::path> places{tree, cwd, private_};
    const Snapshot before = snapshot(places);

    // Not on a terminal: the summary alone, as JSON. The program's default places are the test's.
    const std::string json = test.child("summary.json"), errors = test.child("errors.txt");
    TestSupport::ChildOptions options{
        json,
        errors,
        {{"QUILNA_RUNTIME_DIR", private_}, {"TMPDIR", private_}, {"HOME", private_}, {"XDG_RUNTIME_DIR", private_}},
        cwd};
    ASSERT_EQ(TestSupport::ChildProcess({HOARDSCAN_PROGRAM, "--json", tree}, options).wait(), 0);
    const std::string flat = shell(
        "python3 -c 'import json, sys; d = json.load(open(sys.argv[1]))\n"
        "t = d[\"total\"]; print(\"total\", t[\"files\"], t[\"bytes\"], t[\"bytesOnDisk\"])\n"
        "for e in d[\"directories\"]: print(e[\"path\"], e[\"files\"], e[\"bytes\"], e[\"bytesOnDisk\"])\n"
        "for k in (\"users\", \"types\", \"temperatures\"):\n"
        " for e in d[k]: print(k, e[\"name\"], e[\"files\"], e[\"bytes\"], e[\"bytesOnDisk\"])' " +
        json);
    std::set<std::string> lines;
    for (size_t at = 0, end; (end = flat.find('\n', at)) != std::string::npos; at = end + 1)
        lines.insert(flat.substr(at, end - at));
    const std::string user = shell("id -un | tr -d '\\n'");
    for (const std::string& expected :
         {"total " + whole, tree + "/ " + whole, tree + "/bob/ " + bob, "users " + user + " " + whole,
          "temperatures frozen 1 " + photo, "types images 1 " + photo})
        EXPECT_EQ(lines.count(expected), 1u) << expected << " not in:\n" << flat;
    std::ifstream errorFile(errors);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(errorFile), {}), "");

    // On a terminal: the progress line, erased before the same figures in text.
    const std::string shown = onTerminal(tree, cwd);
    const size_t progress = shown.rfind(" files/s "), summary = shown.find("Scanned " + tree);
    ASSERT_NE(progress, std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\033[K", progress), std::string::npos) << shown;
    EXPECT_LT(shown.find("\r\033[K", progress), summary);
    EXPECT_NE(shown.find(whole.substr(0, whole.find(' ')) + " files, ", summary), std::string::npos) << shown;
    EXPECT_EQ(snapshot(places), before);

    // Asked to: the result files there, and nowhere else.
    ASSERT_EQ(TestSupport::ChildProcess({HOARDSCAN_PROGRAM, "-o", test.child("out"), tree}, options).wait(), 0);
    EXPECT_EQ(shell("ls '" + test.child("out") + "' | grep -c '\\.data$'"), "1\n");
    std::map<std::string, double> accounts;
    for (const auto& entry : fs::directory_iterator(test.child("out")))
        if (entry.path().extension() == ".data")
            ResultFileReader(platform(), platform(), entry.path())
                .forEachAccountRecord([&](const AccountRecordView& record) {
                    accounts[std::string(record[KeyField::Account])] += record.values.files;
                });
    EXPECT_EQ(accounts, (std::map<std::string, double>{{"(top)", 1}, {"ann", 301}, {"bob", 3}}));
    EXPECT_EQ(snapshot(places), before);
}

}  // namespace
}  // namespace Quilna::EndToEnd
