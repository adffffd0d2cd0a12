#pragma once
// The tables of the report database, created on first use.
//
//   runs            one row per imported account record file (one scanner run)
//   record_keys     each distinct combination of the ten key fields; the importer keeps them
//                   apart (a unique index over ten texts would cost more than all the rest)
//   records         one row per key and run: the run's sums for that key
//   side_files      imported inactive-file tables and temperature logs
//   inactive_files  the rows of the inactive-file tables
//   temperature_rows the rows of the temperature logs
//   account_records a view with one row per record and run, every field spelt out

#include "tools/report/Database.h"

#include <string>

namespace Quilna::ReportSchema {

inline constexpr int version = 1;

// Creates what is missing; a database of another schema version is a data error.
void ensure(Database& database);

// The ids of the latest run of each host: the one with the highest day stamp, and among
// runs of the same day the one imported last.
inline constexpr const char* latestRuns =
    "SELECT r.id FROM runs r WHERE NOT EXISTS (SELECT 1 FROM runs n WHERE n.host = r.host"
    " AND (n.day > r.day OR (n.day = r.day AND n.id > r.id)))";

}  // namespace Quilna::ReportSchema
