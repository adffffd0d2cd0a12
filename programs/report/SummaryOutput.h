#pragma once
// The summary command's three outputs: tables for the terminal, CSV and JSON. Rankings
// show their top entries (top 0: all); the terminal tables add a line for the rest.

#include "platform/SystemServices.h"
#include "report/ReportData.h"

#include <cstddef>
#include <ostream>
#include <vector>

namespace Quilna::SummaryOutput {

void writeTables(SystemServices& services, std::ostream& out, const Summary& summary, size_t top);
void writeCsv(SystemServices& services, std::ostream& out, const Summary& summary, size_t top);
void writeJson(SystemServices& services, std::ostream& out, const Summary& summary, size_t top);

// One directory on each host whose directory totals hold it.
void writeDirectoryTables(std::ostream& out, const std::vector<DirectoryPage>& pages, size_t top);
void writeDirectoryCsv(std::ostream& out, const std::vector<DirectoryPage>& pages, size_t top);
void writeDirectoryJson(std::ostream& out, const std::vector<DirectoryPage>& pages, size_t top);

}  // namespace Quilna::SummaryOutput
