#pragma once
// The report database on a PostgreSQL server, reached with a libpq connection string.
// Statements are prepared once per connection; bulk inserts go through COPY.

#include "report/Database.h"
#include "report/TextHash.h"

#include <memory>
#include <string>
#include <unordered_map>

struct pg_conn;
struct pg_result;

namespace Quilna {

class PostgresDatabase : public Database {
public:
    explicit PostgresDatabase(const std::string& connection);
    ~PostgresDatabase() override;
    PostgresDatabase(const PostgresDatabase&) = delete;
    PostgresDatabase& operator=(const PostgresDatabase&) = delete;

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

    // "?" parameters written as PostgreSQL's "$1", "$2", ...
    static std::string numberedParameters(std::string_view sql);

private:
    struct ResultCloser {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ResultCloser>;

    const std::string& prepared(std::string_view sql, size_t parameterCount);
    void execute(const std::string& sql);
    void sendCopyData(std::string& buffer, bool force);
    [[noreturn]] void fail(const std::string& what, const pg_result* result = nullptr) const;

    pg_conn* connection_ = nullptr;
    std::string name_;
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> statements_;  // SQL -> statement name
};

}  // namespace Quilna
