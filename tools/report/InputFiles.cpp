#include "tools/report/InputFiles.h"

#include "hoardscan/ResultFileReader.h"
#include "tools/report/ReportError.h"

#include <algorithm>
#include <system_error>

namespace Quilna::InputFiles {

namespace {

namespace fs = std::filesystem;

int importOrder(ResultFileKind kind) { return kind == ResultFileKind::AccountRecords ? 0 : 1; }

// Adds the file when it is one to import; explicit is true for a file named on the command line.
void consider(const fs::path& path, bool explicitly, std::vector<InputFile>& files, const Note& note) {
    const auto name = ResultFileReader::parseName(path.filename().string());
    if (!name) {
        if (explicitly) throw ReportError::usage(path.string() + ": not a result file name");
        return;
    }
    if (name->unfinished) {
        note(path.string() + ": skipped: the scanner has not finished it (still named .make)");
    } else if (name->kind == ResultFileKind::ExtensionLog) {
        if (explicitly) note(path.string() + ": skipped: extension logs are not imported");
    } else {
        files.push_back(InputFile{path, *name});
    }
}

void searchFolder(const fs::path& folder, std::vector<InputFile>& files, const Note& note) {
    std::error_code error;
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        if (walk->is_regular_file(error)) consider(walk->path(), false, files, note);
    }
    if (error) throw ReportError::usage(folder.string() + ": cannot search the folder: " + error.message());
}

}  // namespace

std::vector<InputFile> collect(const std::vector<std::string>& arguments, const Note& note) {
    std::vector<InputFile> files;
    for (const std::string& argument : arguments) {
        const fs::path path(argument);
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status)) {
            searchFolder(path, files, note);
        } else if (fs::is_regular_file(status)) {
            consider(path, true, files, note);
        } else {
            throw ReportError::usage(argument + ": no such file or folder");
        }
    }
    std::stable_sort(files.begin(), files.end(), [](const InputFile& a, const InputFile& b) {
        const int orderA = importOrder(a.name.kind), orderB = importOrder(b.name.kind);
        return orderA != orderB ? orderA < orderB : a.path < b.path;
    });
    return files;
}

}  // namespace Quilna::InputFiles
