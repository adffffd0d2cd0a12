#pragma once
// Values passed to and read from a Database: parameters, result rows, row batches for bulk
// inserts, and the few words of SQL in which the supported databases differ.

#include <cmath>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace Quilna {

using SqlValue = std::variant<std::monostate, int64_t, double, std::string>;
using SqlRow = std::vector<SqlValue>;
using SqlTable = std::vector<SqlRow>;

// Rows of a fixed width stored one after the other, so that a batch of many rows costs one
// allocation.
struct SqlBatch {
    explicit SqlBatch(size_t width) : width(width) {}

    size_t rows() const { return width == 0 ? 0 : values.size() / width; }
    const SqlValue& at(size_t row, size_t column) const { return values[row * width + column]; }
    void clear() { values.clear(); }

    size_t width;
    std::vector<SqlValue> values;
};

// Schema words that differ between the databases.
struct SqlDialect {
    std::string_view autoIdColumn;  // an integer primary key filled by the database
    std::string_view tableOptions;  // written after a table's closing parenthesis
    std::string_view createView;    // the start of a statement that creates a view once
    // A statement that makes concurrent schema checks wait for each other inside their
    // transactions, taken before anything else; empty where the transaction does so already.
    std::string_view lockSchema;
    // A statement that makes the transactions that match side files to runs of one process id
    // (its parameter) wait for each other; empty where the transaction does so already.
    std::string_view lockProcess;
    // The statement that lets each record key text ({KEY_TEXT}) be stored once.
    std::string_view keysOnce;
    // The start of a statement that empties a temporary table, leaving no dead rows behind
    // that later scans of it would read.
    std::string_view emptyTable;
    // A statement that lets the session sum a page's many rows by hashing them in memory instead
    // of sorting them on disk; empty where the database needs none.
    std::string_view roomToSum;
};

// "(?, ?, ?)" for one row of the given width.
inline std::string parameterGroup(size_t width) {
    std::string group = "(?";
    for (size_t i = 1; i < width; ++i) group += ", ?";
    return group + ")";
}

// "INSERT INTO table (columns) VALUES " followed by the groups of parameters of rows rows.
inline std::string insertStatement(std::string_view table, const std::vector<std::string_view>& columns, size_t rows) {
    std::string sql = "INSERT INTO " + std::string(table) + " (";
    for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + std::string(columns[i]);
    sql += ") VALUES ";
    const std::string group = parameterGroup(columns.size());
    for (size_t i = 0; i < rows; ++i) sql += (i ? ", " : "") + group;
    return sql;
}

inline int64_t sqlInt(const SqlValue& value) {
    if (const auto* number = std::get_if<int64_t>(&value)) return *number;
    if (const auto* real = std::get_if<double>(&value)) return static_cast<int64_t>(std::llround(*real));
    if (const auto* text = std::get_if<std::string>(&value)) {
        int64_t parsed = 0;
        std::from_chars(text->data(), text->data() + text->size(), parsed);
        return parsed;
    }
    return 0;
}

inline double sqlDouble(const SqlValue& value) {
    if (const auto* number = std::get_if<int64_t>(&value)) return static_cast<double>(*number);
    if (const auto* real = std::get_if<double>(&value)) return *real;
    if (const auto* text = std::get_if<std::string>(&value)) {
        double parsed = 0;
        std::from_chars(text->data(), text->data() + text->size(), parsed);
        return parsed;
    }
    return 0;
}

inline std::string sqlText(const SqlValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&value)) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
        return std::string(buffer, result.ptr);
    }
    return {};
}

}  // namespace Quilna
