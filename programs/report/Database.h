#pragma once
// The one interface through which the report tool stores and queries its data, with a
// SQLite and a PostgreSQL implementation. SQL texts use "?" for parameters.

#include "report/SqlValues.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Quilna {

class Database {
public:
    virtual ~Database() = default;

    virtual const SqlDialect& dialect() const = 0;
    // What the database is, for messages: never a password.
    virtual std::string describe() const = 0;

    // Runs one statement and returns its rows (none for statements that give none).
    virtual SqlTable query(std::string_view sql, const SqlRow& parameters = {}) = 0;
    // Inserts one row into a table whose column "id" the database fills, and returns that id.
    virtual int64_t insertRow(std::string_view table, const std::vector<std::string_view>& columns,
                              const SqlRow& values) = 0;
    // Appends rows to a table, as fast as the database allows.
    virtual void insertRows(std::string_view table, const std::vector<std::string_view>& columns,
                            const SqlBatch& rows) = 0;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
};

}  // namespace Quilna
