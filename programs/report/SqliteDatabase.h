#pragma once
// The report database in one SQLite file. Statements are prepared once and kept for the
// life of the connection; the file uses write-ahead logging so that readers do not block
// an import.

#include "platform/FileSystem.h"
#include "platform/SystemServices.h"
#include "report/Database.h"
#include "report/TextHash.h"

#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace Quilna {

class SqliteDatabase : public Database {
public:
    // Opens the file; creates it only when create is true, else a missing file is an error.
    SqliteDatabase(FileSystem& files, SystemServices& services, const std::filesystem::path& file, bool create);
    ~SqliteDatabase() override;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    const SqlDialect& dialect() const override;
    std::string describe() const override;

    SqlTable query(std::string_view sql, const SqlRow& parameters = {}) override;
    int64_t insertRow(std::string_view table, const std::vector<std::string_view>& columns,
                      const SqlRow& values) override;
    void insertRows(std::string_view table, const std::vector<std::string_view>& columns,
                    const SqlBatch& rows) override;

    void begin() override;
    void commit() override;
    void rollback() override;

private:
    struct StatementCloser {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

    sqlite3_stmt* prepared(std::string_view sql);
    void bind(sqlite3_stmt* statement, int index, const SqlValue& value);
    void execute(std::string_view sql);
    void useWriteAheadLog();
    [[noreturn]] void fail(const std::string& what) const;

    std::string file_;
    sqlite3* connection_ = nullptr;
    std::unordered_map<std::string, Statement, TextHash, std::equal_to<>> statements_;
};

}  // namespace Quilna
