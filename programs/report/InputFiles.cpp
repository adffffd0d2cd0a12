#include "report/InputFiles.h"

#include "report/ReportError.h"

#include <algorithm>
#include <system_error>

namespace Quilna::InputFiles {

namespace {

namespace fs = std::filesystem;

int importOrder(ResultFileKind kind) { return kind == ResultFileKind::AccountRecords ? 0 : 1; }

// Adds the file when it is one to import; explicit is true for a file named on the command line.
void consider(const fs::path& path, bool explicitly, std::vector<InputFile>& files, const Note& note) {
    const auto name = ResultFileName::parse(path.filename().string());
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
    // Neither links to folders nor links to files are followed: a link may lead to anything,
    // a file only root may read among them.
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        std::error_code gone;  // an entry that vanished since it was listed is left out
        const fs::file_status status = walk->symlink_status(gone);
        if (gone || fs::is_directory(status)) continue;
        if (fs::is_regular_file(status)) {
            consider(walk->path(), false, files, note);
        } else if (ResultFileName::parse(walk->path().filename().string())) {
            note(walk->path().string() +
                 ": skipped: " + (fs::is_symlink(status) ? "a symbolic link, not followed" : "not a regular file"));
        }
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
        } else if (fs::is_regular_file(status) || fs::is_symlink(fs::symlink_status(path, error))) {
            // A link named is refused when it is read, as a file rejected.
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
