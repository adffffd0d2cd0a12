#include "report/Commands.h"

#include "results/ResultFileError.h"
#include "report/CommandLine.h"
#include "report/Formatting.h"
#include "report/HtmlReport.h"
#include "report/Importer.h"
#include "report/InputFiles.h"
#include "report/PostgresDatabase.h"
#include "report/Pruner.h"
#include "report/ReportError.h"
#include "report/ReportQueries.h"
#include "report/ReportSchema.h"
#include "report/SqliteDatabase.h"
#include "report/SummaryOutput.h"
#include "report/TextCleaning.h"
#include "report/Transaction.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <random>

namespace Quilna::Commands {

namespace {

// "1 run", "2 runs", "1,024 records".
std::string counted(WideInt count, const std::string& noun) {
    return Formatting::countText(count) + " " + noun + (count == 1 ? "" : "s");
}

constexpr const char* program = "hoardscan-report";

// Every message names files and folders that other users chose: on a terminal they are shown
// escaped, never acted upon.
void say(std::ostream& err, const std::string& message) {
    err << program << ": " << TextCleaning::escapeForTerminal(message) << '\n';
}
constexpr const char* defaultDatabase = "hoardscan-report.sqlite";
constexpr const char* defaultPage = "hoardscan-report.html";
constexpr size_t defaultTop = 10;
constexpr size_t maxDirectoryPages = 100;
constexpr size_t maxJobs = 64;

constexpr const char* programHelp = R"(Usage: hoardscan-report <command> [options]

Reads the result files of Hoardscan runs into a database and reports on them.

Commands:
  import   read account record files, inactive-file tables, temperature logs and
           directory totals
  summary  print the largest hosts, accounts, users, groups, file types and the
           temperature matrix of the latest run of each host
  html     write the report as one self-contained HTML page with charts
  prune    remove old runs with everything that belongs to them

Every command takes a database:
  --db FILE      a SQLite file (default: hoardscan-report.sqlite)
  --pg CONNINFO  a PostgreSQL connection string, e.g. "host=db dbname=hoard user=ann"

Runs are named by when they were scanned, in this machine's local time (TZ) with its
offset from UTC: "2026-12-07 23:30 +01:00"; by their date alone where only that is known.

"hoardscan-report <command> --help" tells more about a command.
Exit codes: 0 success, 1 usage error, 2 data error.
)";

constexpr const char* importHelp =
    R"(Usage: hoardscan-report import [--db FILE | --pg CONNINFO] [--host NAME] [--jobs N] FILE|FOLDER...

Reads account record files (Hoardscan-<day>-<pid>.data), inactive-file tables
(HoardscanInactive-<day>-<pid>.csv), temperature logs (Hoardscan-<monitor>-<day>-<pid>.log)
and directory totals (HoardscanTotals-<day>-<pid>.txt) into the database. Folders are searched with their subfolders; files still named .make are
unfinished and left out, as are extension logs.

Each file is stored in one transaction: a malformed file is rejected whole, with its name and
line, and the other files are still imported. Importing a file again changes nothing.

Inactive-file tables, temperature logs and directory totals do not name their host: it is taken from the run
with the same process id and day (in the same folder, if several), also when that run is
imported later, or given with --host, which also sets it for such files imported before.

Symbolic links are not followed: links in folders are left out, a link named is refused.
Day stamps before 2000 or after tomorrow are refused. Sums beyond 2^63 are stored at the
largest value and marked capped; rows of side files longer than 16 MiB are skipped with a note.

Options:
  --db FILE      SQLite database file, created when missing (default: hoardscan-report.sqlite)
  --pg CONNINFO  PostgreSQL connection string instead of SQLite
  --host NAME    host of the inactive-file tables, temperature logs and totals named
  --jobs N       import over N connections at once (default 1); any number of imports
                 may run at once on one database, on SQLite they take turns
)";

constexpr const char* summaryHelp =
    R"(Usage: hoardscan-report summary [--db FILE | --pg CONNINFO] [--csv | --json] [--top N]
                               [--host H] [--account A] [--user U] [--dir PATH]

Prints, for the latest run of each host: the total, the largest hosts, accounts, users,
groups and file types, and bytes on disk by access and modify temperature. --host,
--account and --user narrow it to the records of that host, account and user, in any
combination.

--dir PATH shows the directory from the latest directory totals of each host (of --host's
only, counting only --account's and --user's files when given): its whole subtree, its
subdirectories among the totals, largest first, and its split by account and access
temperature.

Options:
  --db FILE      SQLite database file (default: hoardscan-report.sqlite)
  --pg CONNINFO  PostgreSQL connection string instead of SQLite
  --csv          comma-separated values with exact byte counts instead of tables
  --json         JSON with exact byte counts instead of tables
  --top N        entries per ranking (default 10; 0 for all)
  --host H       only the records of host H
  --account A    only the records of account A
  --user U       only the files owned by user U
  --dir PATH     the directory PATH from the directory totals (needs them imported)
)";

constexpr const char* htmlHelp = R"(Usage: hoardscan-report html [--db FILE | --pg CONNINFO] [-o FILE] [--top N]

Writes one self-contained HTML page (inline SVG charts, no scripts, no external files):
the rankings of the summary as bar charts, the temperature matrix as a heat map, the change
since each host's previous run, the growth per account between the runs in the database,
the largest cold directories of the inactive-file tables and the largest directories of the
temperature logs; and a page for each of the top hosts, accounts, users and groups, reached
from the rankings. Where directory totals are imported, the largest cold directories count
whole subtrees, and each host with a page gets pages for its largest directories (--top of
them, at most 100): each with its subdirectories, largest first, and its split by account and
access temperature, reached from the host's page and the accounts' pages.

Options:
  --db FILE          SQLite database file (default: hoardscan-report.sqlite)
  --pg CONNINFO      PostgreSQL connection string instead of SQLite
  -o, --output FILE  the page to write (default: hoardscan-report.html)
  --top N            entries per chart and table (default 10; 0 for all)
)";

constexpr const char* pruneHelp =
    R"(Usage: hoardscan-report prune [--db FILE | --pg CONNINFO] (--keep N | --before DAY) [--dry-run]

Removes old runs with their records and side files (with their rows), and the keys, files
and directories that nothing else names, in one transaction. Side files of no run are kept
or removed by the same rule, per host, kind and monitor.

Options:
  --db FILE      SQLite database file (default: hoardscan-report.sqlite)
  --pg CONNINFO  PostgreSQL connection string instead of SQLite
  --keep N       keep the latest N runs of each host (by when they were scanned)
  --before DAY   remove the runs scanned before DAY (YYYY-MM-DD), by this machine's clock
  --dry-run      list what would be removed (each run with its host, scan time and file,
                 each side file, and the counts) and change nothing

A SQLite file keeps its size and reuses the space for later imports; "sqlite3 FILE VACUUM"
gives it back to the file system.
)";

const char* helpOf(const std::string& command) {
    if (command == "import") return importHelp;
    if (command == "summary") return summaryHelp;
    if (command == "html") return htmlHelp;
    if (command == "prune") return pruneHelp;
    return programHelp;
}

// The database named on the command line, as it is: its schema not yet checked.
std::unique_ptr<Database> connect(Platform& system, const CommandLine& line, bool create) {
    const auto sqlite = line.option("db");
    const auto postgres = line.option("pg");
    if (sqlite && postgres) throw ReportError::usage("give either --db or --pg, not both");
    std::unique_ptr<Database> database;
    if (postgres) {
        database = std::make_unique<PostgresDatabase>(*postgres);
    } else {
        database = std::make_unique<SqliteDatabase>(system, system, sqlite.value_or(defaultDatabase), create);
    }
    return database;
}

std::unique_ptr<Database> openDatabase(Platform& system, const CommandLine& line, bool create) {
    std::unique_ptr<Database> database = connect(system, line, create);
    ReportSchema::ensure(*database);
    return database;
}

size_t topOption(const CommandLine& line) {
    const auto text = line.option("top");
    if (!text) return defaultTop;
    if (text->empty() || text->size() > 9 || text->find_first_not_of("0123456789") != std::string::npos) {
        throw ReportError::usage("--top needs a whole number, not \"" + *text + "\"");
    }
    const size_t top = std::stoul(*text);
    return top == 0 ? std::numeric_limits<size_t>::max() : top;
}

// What the imports of one command did, added up over its connections.
struct ImportTally {
    int64_t runs = 0, records = 0, sideFiles = 0, again = 0, rejected = 0, hostsGiven = 0;
};

// The files that one connection imports, taking the next one not yet taken until none is
// left; its tally and messages go under the lock.
class ImportShare {
public:
    ImportShare(Platform& system, const std::vector<InputFile>& files, std::atomic<size_t>& next, ImportTally& tally,
                std::mutex& lock, std::ostream& err)
        : system_(system), files_(files), next_(next), tally_(tally), lock_(lock), err_(err) {}

    void run(Database& database, const std::string& host) {
        Importer importer(system_, system_, database, ImportOptions{host},
                          [this](const std::string& message) { say(message); });
        // The next file is read on a thread of its own while the last one is stored.
        size_t index = next_++;
        std::future<PreparedFile> next = prepare(index);
        while (index < files_.size()) {
            std::future<PreparedFile> current = std::move(next);
            const size_t following = next_++;
            next = prepare(following);
            store(importer, files_[index], current);
            index = following;
        }
    }

private:
    std::future<PreparedFile> prepare(size_t index) const {
        if (index >= files_.size()) return {};
        return std::async(std::launch::async,
                          [this, index] { return Importer::prepare(system_, system_, files_[index]); });
    }

    void say(const std::string& message) {
        const std::lock_guard guard(lock_);
        Commands::say(err_, message);
    }

    void store(Importer& importer, const InputFile& file, std::future<PreparedFile>& prepared) {
        ImportTally done;
        try {
            const ImportResult result = importer.store(prepared.get());
            done.hostsGiven = result.hostsGiven;
            if (result.alreadyImported) {
                done.again = 1;
            } else if (file.name.kind == ResultFileKind::AccountRecords) {
                done.runs = 1;
                done.records = result.rows;
            } else {
                done.sideFiles = 1;
            }
        } catch (const ResultFileError& error) {
            done.rejected = 1;
            say(error.what() + std::string("; the file was not imported"));
        } catch (const ReportError& error) {
            done.rejected = 1;
            say(file.path.string() + ": " + error.what() + "; the file was not imported");
        }
        const std::lock_guard guard(lock_);
        tally_.runs += done.runs, tally_.records += done.records, tally_.sideFiles += done.sideFiles;
        tally_.again += done.again, tally_.rejected += done.rejected, tally_.hostsGiven += done.hostsGiven;
    }

    Platform& system_;
    const std::vector<InputFile>& files_;
    std::atomic<size_t>& next_;
    ImportTally& tally_;
    std::mutex& lock_;
    std::ostream& err_;
};

size_t jobsOption(const CommandLine& line) {
    const auto text = line.option("jobs");
    if (!text) return 1;
    if (text->empty() || text->size() > 3 || text->find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(*text) < 1 || std::stoul(*text) > maxJobs) {
        throw ReportError::usage("--jobs needs a number of connections from 1 to " + std::to_string(maxJobs) +
                                 ", not \"" + *text + "\"");
    }
    return std::stoul(*text);
}

int runImport(Platform& system, const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands().empty()) throw ReportError::usage("import needs result files or folders to read");
    const size_t jobs = jobsOption(line);
    const auto note = [&](const std::string& message) { say(err, message); };
    std::vector<InputFile> files = InputFiles::collect(line.operands(), note);
    // Jobs at once take runs of different hosts, which add different keys, rather than a
    // host's days one after the other, which would wait for each other's new keys: the record
    // files by day, then the side files by day.
    if (jobs > 1) {
        std::stable_sort(files.begin(), files.end(), [](const InputFile& a, const InputFile& b) {
            const bool recordsA = a.name.kind == ResultFileKind::AccountRecords;
            const bool recordsB = b.name.kind == ResultFileKind::AccountRecords;
            return recordsA != recordsB ? recordsA : a.name.day < b.name.day;
        });
    }
    const std::string host = line.option("host").value_or("");
    const std::unique_ptr<Database> database = openDatabase(system, line, true);

    ImportTally tally;
    std::atomic<size_t> next = 0;
    std::mutex lock;
    // Each further job imports over a connection of its own; SQLite lets one write at a time.
    std::vector<std::future<void>> others;
    for (size_t job = 1; job < std::min(jobs, files.size()); ++job) {
        others.push_back(std::async(std::launch::async, [&] {
            const std::unique_ptr<Database> connection = connect(system, line, false);
            ImportShare(system, files, next, tally, lock, err).run(*connection, host);
        }));
    }
    ImportShare(system, files, next, tally, lock, err).run(*database, host);
    for (std::future<void>& job : others) job.get();

    out << "Imported " << counted(tally.runs, "run") << " (" << counted(tally.records, "record") << ") and "
        << counted(tally.sideFiles, "side file") << " into " << database->describe();
    if (tally.again) out << "; " << tally.again << " already imported";
    if (tally.hostsGiven) out << "; " << counted(tally.hostsGiven, "side file") << " given their host";
    if (tally.rejected) out << "; " << tally.rejected << " rejected";
    out << "\n";
    return tally.rejected ? ReportError::dataExit : 0;
}

// A directory as the totals write it: ending in its separator.
std::string directoryText(std::string path) {
    if (path.empty()) throw ReportError::usage("--dir needs a directory");
    if (path.back() != '/' && path.back() != '\\') path += path.find('/') == std::string::npos ? '\\' : '/';
    return path;
}

int runDirectorySummary(Platform& system, const CommandLine& line, const SummaryFilter& filter,
                        const std::string& directory, size_t top, std::ostream& out) {
    const std::unique_ptr<Database> database = openDatabase(system, line, false);
    const std::vector<DirectoryPage> pages =
        ReportQueries(system, *database).directoryOnHosts(directoryText(directory), filter);
    if (line.flag("csv")) {
        SummaryOutput::writeDirectoryCsv(out, pages, top);
    } else if (line.flag("json")) {
        SummaryOutput::writeDirectoryJson(out, pages, top);
    } else {
        SummaryOutput::writeDirectoryTables(out, pages, top);
    }
    return 0;
}

int runSummary(Platform& system, const CommandLine& line, std::ostream& out) {
    if (!line.operands().empty()) throw ReportError::usage("summary takes no operand \"" + line.operands()[0] + "\"");
    if (line.flag("csv") && line.flag("json")) throw ReportError::usage("give either --csv or --json, not both");
    const size_t top = topOption(line);
    const SummaryFilter filter{line.option("host").value_or(""), line.option("account").value_or(""),
                               line.option("user").value_or("")};
    if (const auto directory = line.option("dir"))
        return runDirectorySummary(system, line, filter, *directory, top, out);
    const std::unique_ptr<Database> database = openDatabase(system, line, false);
    const Summary summary = ReportQueries(system, *database).summary(filter);
    if (line.flag("csv")) {
        SummaryOutput::writeCsv(system, out, summary, top);
    } else if (line.flag("json")) {
        SummaryOutput::writeJson(system, out, summary, top);
    } else if (summary.runs == 0 && !filter.empty()) {
        out << "No records of the latest runs match --host, --account and --user as given.\n";
    } else {
        SummaryOutput::writeTables(system, out, summary, top);
    }
    return 0;
}

std::string utcNow() {
    using namespace std::chrono;
    const auto now = floor<minutes>(system_clock::now());
    const auto today = floor<days>(now);
    const year_month_day date(today);
    const hh_mm_ss time(now - today);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d UTC", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()));
    return text;
}

// A new file under a name nobody can have foreseen: a file or link planted at any fixed name
// (the page's ".tmp") is never opened, and a name taken meanwhile is passed by.
std::unique_ptr<OpenFile> newTemporaryFile(Platform& system, const std::string& path, std::string& temporary) {
    std::random_device random;
    SystemError error;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", random(), random());
        temporary = path + suffix;
        std::unique_ptr<OpenFile> file = system.openFile(temporary, {.write = true, .mustBeNew = true}, error);
        if (file || error.kind != ErrorKind::Exists) {
            if (!file) throw ReportError::data("cannot write " + temporary + ": " + system.errorText(error.code));
            return file;
        }
    }
    throw ReportError::data("cannot write " + path + ": no free temporary name beside it");
}

// The page replaces the old one whole. It is written only where no other user controls the
// directory or the name, through a file of its own, and readable by owner and group only.
void writeFileAtomically(Platform& system, const std::string& path, const std::string& content) {
    if (const std::string refusal = system.writeRefusal(path); !refusal.empty()) {
        throw ReportError::data("will not write " + path + ": " + refusal);
    }
    std::string temporary;
    const std::unique_ptr<OpenFile> file = newTemporaryFile(system, path, temporary);
    size_t written = 0;
    SystemError error;
    const bool synced = file->write(content.data(), content.size(), written, error) && file->sync(error);
    SystemError closing;
    const bool closed = file->close(closing);
    if (synced && !closed) error = closing;
    if (!synced || !closed || !system.moveFile(temporary, path, true, error)) {
        SystemError leftOver;
        system.deleteFile(temporary, leftOver);
        throw ReportError::data("cannot write " + path + ": " + system.errorText(error.code));
    }
}

int runHtml(Platform& system, const CommandLine& line, std::ostream& out) {
    if (!line.operands().empty()) throw ReportError::usage("html takes no operand \"" + line.operands()[0] + "\"");
    const size_t top = topOption(line);
    const std::string page = line.option("output").value_or(defaultPage);
    const std::unique_ptr<Database> database = openDatabase(system, line, false);
    ReportQueries queries(system, *database);
    HtmlReport::Content content;
    content.summary = queries.summary();
    queries.gatherLatest();
    const auto topNames = [top](const std::vector<NamedTotals>& list) {
        std::vector<std::string> names;
        for (size_t i = 0; i < std::min(top, list.size()); ++i) names.push_back(list[i].name);
        return names;
    };
    content.hostPages = queries.hostPages(topNames(content.summary.hosts));
    for (const auto& [host, summary] : content.hostPages) content.hostRuns[host] = queries.runsOfHost(host);
    content.accountPages = queries.accountPages(topNames(content.summary.accounts));
    content.userPages = queries.userPages(topNames(content.summary.users));
    content.groupPages = queries.groupPages(topNames(content.summary.groups));
    // The page stays bounded: the largest directories of each host with a page, at most 100 each.
    for (const auto& [host, summary] : content.hostPages) {
        if (auto pages = queries.directoryPages(host, std::min<size_t>(top, maxDirectoryPages)); !pages.empty())
            content.directoryPages[host] = std::move(pages);
    }
    content.hostChanges = queries.hostChanges();
    content.accountChanges = queries.accountChanges();
    content.growth = queries.accountGrowth();
    const size_t directories = std::min<size_t>(top, 1000);
    content.coldDirectories = queries.coldDirectories(directories);
    content.monitoredDirectories = queries.monitoredDirectories(directories);
    content.generatedAt = utcNow();
    writeFileAtomically(system, page, HtmlReport::render(system, content, top));
    out << "Wrote " << TextCleaning::escapeForTerminal(page) << "\n";
    return 0;
}

// "run of PC1 scanned 2026-12-07 23:30 +01:00: /data/Hoardscan-1796680800-42.data"
std::string prunedLine(SystemServices& services, const PrunedFile& file) {
    const std::string what = file.kind == "run"        ? "run"
                             : file.kind == "inactive" ? "inactive-file table"
                             : file.kind == "totals"   ? "directory totals"
                                                       : "temperature log " + file.monitor;
    const std::string host = file.host.empty() ? " of no known host" : " of " + file.host;
    return TextCleaning::escapeForTerminal(what + host + " scanned " + Formatting::scanText(services, file.scanned) +
                                           ": " + file.file);
}

int runPrune(Platform& system, const CommandLine& line, std::ostream& out) {
    if (!line.operands().empty()) throw ReportError::usage("prune takes no operand \"" + line.operands()[0] + "\"");
    const auto keep = line.option("keep");
    const auto before = line.option("before");
    if (keep.has_value() == before.has_value()) throw ReportError::usage("prune needs either --keep N or --before DAY");
    if (keep && (keep->empty() || keep->size() > 9 || keep->find_first_not_of("0123456789") != std::string::npos ||
                 std::stol(*keep) < 1)) {
        throw ReportError::usage("--keep needs a number of runs from 1, not \"" + *keep + "\"");
    }
    const auto day = before ? Formatting::parseDay(*before) : std::optional<int64_t>();
    if (before && !day) {
        throw ReportError::usage("--before needs a day written YYYY-MM-DD, not \"" + *before + "\"");
    }
    const bool dryRun = line.flag("dry-run");
    const std::unique_ptr<Database> database =
        dryRun ? connect(system, line, false) : openDatabase(system, line, false);
    // A dry run does all it does, a schema's migration included, in a transaction it rolls back.
    std::optional<Transaction> untouched;
    if (dryRun) {
        untouched.emplace(*database);
        ReportSchema::bringUpToDate(*database);
    }
    Pruner pruner(system, *database, dryRun);
    const PruneResult removed = keep ? pruner.keepLatest(std::stol(*keep)) : pruner.removeBefore(*day);
    for (const PrunedFile& file : removed.files) out << prunedLine(system, file) << "\n";
    out << (dryRun ? "Would remove " : "Removed ") << counted(removed.runs, "run") << " ("
        << counted(removed.records, "record") << ") and " << counted(removed.sideFiles, "side file") << " ("
        << counted(removed.inactiveRows, "inactive row") << ") from " << database->describe()
        << (dryRun ? "; nothing was changed\n" : "\n");
    return 0;
}

int dispatch(Platform& system, const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    try {
        const CommandLine line(arguments);
        if (line.command() == "help") {
            out << helpOf(line.operands().empty() ? "" : line.operands().front());
            return 0;
        }
        if (line.helpWanted()) {
            out << helpOf(line.command());
            return 0;
        }
        if (line.command() == "import") return runImport(system, line, out, err);
        if (line.command() == "summary") return runSummary(system, line, out);
        if (line.command() == "html") return runHtml(system, line, out);
        if (line.command() == "prune") return runPrune(system, line, out);
        err << programHelp;
        return ReportError::usageExit;
    } catch (const ReportError& error) {
        say(err, error.what());
        if (error.exitCode() == ReportError::usageExit) err << "Try \"" << program << " --help\".\n";
        return error.exitCode();
    } catch (const ResultFileError& error) {
        say(err, error.what());
        return ReportError::dataExit;
    } catch (const std::exception& error) {
        say(err, error.what());
        return ReportError::dataExit;
    }
}

}  // namespace

int run(Platform& system, const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const int code = dispatch(system, arguments, out, err);
    // A summary that never reached its reader (a full disk, a closed pipe) is no success.
    if (!out.flush()) {
        err << program << ": cannot write the output\n";
        return code == 0 ? ReportError::dataExit : code;
    }
    return code;
}

}  // namespace Quilna::Commands
