#pragma once
// The tables of the report database, created on first use and brought up to date from
// earlier versions in the same transaction that checks the version.
//
//   runs                 one row per imported account record file (one scanner run)
//   record_keys          each distinct combination of the ten key fields, once: concurrent imports
//                        add their keys with inserts that pass over a key another has just added
//   records              one row per key and run: the run's sums for that key, capped when
//                        they passed 64 bits
//   run_totals           per run and view (RunView) the records' sums, so that the summary and the
//                        changes between runs read a few rows per run, not every record; each
//                        sum in two halves (value / 2^32 and value % 2^32, each summed)
//   side_files           imported inactive-file tables, temperature logs and directory totals
//   inactive_directories each directory an inactive-file table named, once
//   inactive_paths       each file an inactive-file table named: its directory and name, once
//   inactive_files       one row per file and table: KiB on disk, last access, temperature
//   temperature_rows     the rows of the temperature logs
//   directory_totals     the rows of the directory totals, each with its parent directory, so
//                        that a directory's subdirectories are found by an index
//   account_records      a view with one row per record and run, every field spelt out
//   inactive_rows        a view with one row per file and table, its directory and name spelt out

#include "report/Database.h"

#include <string>

namespace Quilna::ReportSchema {

// 1: the first; 2: when each run was scanned, inactive rows in their compact form; 3: records
// whose sums passed 64 bits marked capped; 4: directory totals; 5: directory totals by user;
// 6: each record key once, records found by their key, totals kept per run.
inline constexpr int version = 6;

// The views of a run whose totals are kept at import in run_totals, one row per name (and
// detail): the run's whole total, its accounts, users, group lists, file types, and access
// and modify temperatures (name and detail).
enum class RunView : int64_t { Total = 0, Accounts = 1, Users = 2, Groups = 3, FileTypes = 4, Temperatures = 5 };

// A record key's text as the result files write it ("0:site:0:host:..."), from the columns of
// record_keys under the alias (none: the bare columns). Keys are stored once by this text.
std::string keyText(std::string_view alias = "");

// Creates what is missing and migrates an earlier version; a later version is a data error.
void ensure(Database& database);
// The same within the caller's transaction, which may roll it back.
void bringUpToDate(Database& database);

// Each run with its age among its host's runs: 1 for the latest scanned, 2 for the one
// before, and how many runs its host has.
inline constexpr const char* rankedRuns =
    "SELECT id, host, scanned_day, scanned_at, ROW_NUMBER() OVER (PARTITION BY host ORDER BY scanned_at DESC, id DESC)"
    " AS age, COUNT(*) OVER (PARTITION BY host) AS host_runs FROM runs";

// The ids of the latest run of each host: the one scanned last, and of two scanned in the same
// second the one imported last.
inline constexpr const char* latestRuns =
    "SELECT id FROM (SELECT id, ROW_NUMBER() OVER (PARTITION BY host ORDER BY scanned_at DESC, id DESC) AS age"
    " FROM runs) ranked WHERE age = 1";

}  // namespace Quilna::ReportSchema
