#include "report/SqliteDatabase.h"

#include "platform/Platform.h"
#include "report/ReportError.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace Quilna {

namespace {

// How long a statement waits for another import's lock before its file is tried again.
constexpr int busyMilliseconds = 30000;

// BEGIN IMMEDIATE takes the write lock: schema checks wait for each other anyway.
const SqlDialect sqliteDialect{"INTEGER PRIMARY KEY",
                               "WITHOUT ROWID",
                               "CREATE VIEW IF NOT EXISTS",
                               "",
                               "",
                               "CREATE UNIQUE INDEX IF NOT EXISTS record_keys_once ON record_keys ({KEY_TEXT})",
                               "DELETE FROM ",
                               ""};

constexpr size_t rowsPerInsert = 64;
constexpr size_t maxParameters = 999;  // the smallest limit of any SQLite build

// The database and the journals SQLite keeps beside it are written by root for hours: none may
// lie where another user controls the directory or the name. A new database is made here,
// readable by owner and group only; SQLite gives its journals the same mode.
void prepareFile(FileSystem& files, SystemServices& services, const std::string& file, bool create) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (const std::string refusal = files.writeRefusal(file + suffix); !refusal.empty()) {
            throw ReportError::data("will not use the SQLite database " + file + ": " + refusal);
        }
    }
    if (!create) return;
    SystemError error;
    const std::unique_ptr<OpenFile> made = files.openFile(file, {.write = true, .mustBeNew = true}, error);
    SystemError closing;
    if (made) made->close(closing);
    if (!made && error.kind != ErrorKind::Exists) {
        throw ReportError::data("cannot create the SQLite database " + file + ": " + services.errorText(error.code));
    }
}

}  // namespace

void SqliteDatabase::StatementCloser::operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }

SqliteDatabase::SqliteDatabase(FileSystem& files, SystemServices& services, const std::filesystem::path& file,
                               bool create)
    : file_(file.string()) {
    prepareFile(files, services, file_, create);
    // Made above if it was missing; a link put in its place since is refused.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(file_.c_str(), &connection_, flags, nullptr) != SQLITE_OK) {
        const std::string reason = connection_ ? sqlite3_errmsg(connection_) : "out of memory";
        sqlite3_close(connection_);
        connection_ = nullptr;
        // Refused by the open itself; the name's status only words the message.
        FileInfo status;
        SystemError statusError;
        if (!create && !files.fileInfo(file_, status, statusError) && statusError.kind == ErrorKind::NotFound) {
            throw ReportError::data("no report database " + file_ + ": import result files into it first");
        }
        throw ReportError::data("cannot open the SQLite database " + file_ + ": " + reason);
    }
    sqlite3_busy_timeout(connection_, busyMilliseconds);
    useWriteAheadLog();
    execute("PRAGMA synchronous=NORMAL");
    execute("PRAGMA cache_size=-131072");
    execute("PRAGMA temp_store=MEMORY");
}

void SqliteDatabase::useWriteAheadLog() {
    // Each imported file is its own transaction; the write-ahead log keeps its commits cheap
    // and still durable against a crash of the program. The switch of a new database takes its
    // lock without waiting for imports that open it at the same moment, so it is tried again.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyMilliseconds);
    const char* const sql = "PRAGMA journal_mode=WAL";
    int result = SQLITE_BUSY;
    while ((result = sqlite3_exec(connection_, sql, nullptr, nullptr, nullptr)) == SQLITE_BUSY &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Told as any other statement's failure.
    if (result != SQLITE_OK) execute(sql);
}

SqliteDatabase::~SqliteDatabase() {
    statements_.clear();
    sqlite3_close(connection_);
}

const SqlDialect& SqliteDatabase::dialect() const { return sqliteDialect; }

std::string SqliteDatabase::describe() const { return "SQLite database " + file_; }

void SqliteDatabase::fail(const std::string& what) const {
    throw ReportError::data(describe() + ": " + what + ": " + sqlite3_errmsg(connection_));
}

sqlite3_stmt* SqliteDatabase::prepared(std::string_view sql) {
    const auto found = statements_.find(sql);
    if (found != statements_.end()) return found->second.get();
    const std::string key(sql);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(connection_, key.c_str(), static_cast<int>(key.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr) != SQLITE_OK) {
        fail("cannot prepare \"" + key + "\"");
    }
    return statements_.emplace(key, Statement(statement)).first->second.get();
}

void SqliteDatabase::bind(sqlite3_stmt* statement, int index, const SqlValue& value) {
    int result = SQLITE_OK;
    if (const auto* number = std::get_if<int64_t>(&value)) {
        result = sqlite3_bind_int64(statement, index, *number);
    } else if (const auto* real = std::get_if<double>(&value)) {
        result = sqlite3_bind_double(statement, index, *real);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        // The value outlives the step that reads it.
        result = sqlite3_bind_text64(statement, index, text->data(), text->size(), SQLITE_STATIC, SQLITE_UTF8);
    } else {
        result = sqlite3_bind_null(statement, index);
    }
    if (result != SQLITE_OK) fail("cannot bind parameter " + std::to_string(index));
}

SqlTable SqliteDatabase::query(std::string_view sql, const SqlRow& parameters) {
    sqlite3_stmt* statement = prepared(sql);
    for (size_t i = 0; i < parameters.size(); ++i) bind(statement, static_cast<int>(i + 1), parameters[i]);
    SqlTable rows;
    int result = SQLITE_OK;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        const int columns = sqlite3_column_count(statement);
        SqlRow row(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER: row[c] = static_cast<int64_t>(sqlite3_column_int64(statement, c)); break;
                case SQLITE_FLOAT: row[c] = sqlite3_column_double(statement, c); break;
                case SQLITE_NULL: break;
                default: {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
                    row[c] = std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, c)));
                }
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (result != SQLITE_DONE) fail("\"" + std::string(sql) + "\" failed");
    return rows;
}

int64_t SqliteDatabase::insertRow(std::string_view table, const std::vector<std::string_view>& columns,
                                  const SqlRow& values) {
    sqlite3_stmt* statement = prepared(insertStatement(table, columns, 1));
    for (size_t i = 0; i < values.size(); ++i) bind(statement, static_cast<int>(i + 1), values[i]);
    const int result = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (result != SQLITE_DONE) fail("cannot insert into " + std::string(table));
    return sqlite3_last_insert_rowid(connection_);
}

void SqliteDatabase::insertRows(std::string_view table, const std::vector<std::string_view>& columns,
                                const SqlBatch& rows) {
    // Many rows per statement: the statement's fixed cost is shared by all of them.
    const size_t perStatement = std::max<size_t>(1, std::min<size_t>(rowsPerInsert, maxParameters / columns.size()));
    sqlite3_stmt* full = nullptr;
    for (size_t row = 0; row < rows.rows();) {
        const size_t count = std::min(perStatement, rows.rows() - row);
        if (count == perStatement && !full) full = prepared(insertStatement(table, columns, count));
        sqlite3_stmt* statement = count == perStatement ? full : prepared(insertStatement(table, columns, count));
        int index = 0;
        for (size_t end = row + count; row < end; ++row) {
            for (size_t column = 0; column < rows.width; ++column) bind(statement, ++index, rows.at(row, column));
        }
        const int result = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (result != SQLITE_DONE) fail("cannot insert into " + std::string(table));
    }
}

void SqliteDatabase::execute(std::string_view sql) {
    const std::string text(sql);
    const int result = sqlite3_exec(connection_, text.c_str(), nullptr, nullptr, nullptr);
    // Another import held the write lock for longer than the busy timeout: its turn ends.
    if (result == SQLITE_BUSY) {
        throw ReportError::passing(describe() + ": \"" + text + "\" failed: " + sqlite3_errmsg(connection_));
    }
    if (result != SQLITE_OK) fail("\"" + text + "\" failed");
}

void SqliteDatabase::begin() { execute("BEGIN IMMEDIATE"); }

void SqliteDatabase::commit() { execute("COMMIT"); }

void SqliteDatabase::rollback() {
    if (!sqlite3_get_autocommit(connection_)) execute("ROLLBACK");
}

}  // namespace Quilna
