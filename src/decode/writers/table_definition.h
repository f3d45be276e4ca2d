// The table a database loads the CSV into: its definition in SQL, made from the CSV's columns.
#pragma once

#include <string>
#include <string_view>

#include "decode/writers/csv_layout.h"

namespace orvalis {

enum class SqlDialect { kPostgreSql, kSqlite };

// The most columns a table may have (PostgreSQL's limit).
constexpr std::size_t kMostTableColumns = 1600;

// The dialect of a name as -g gives it ("postgresql", "sqlite"); false for another.
bool FindSqlDialect(std::string_view name, SqlDialect& dialect);

// The CREATE TABLE of the chosen columns, each typed by what it holds, under `table`; for SQLite
// also the view `table`_load, whose trigger turns the empty cells of an import into NULL. False,
// with `problem` set to a message, for a table that the database would not take: more than 1600
// columns, a name twice, or (PostgreSQL) a name longer than 63 octets.
bool TableDefinition(const CsvLayout& layout, SqlDialect dialect, std::string_view table, std::string& text,
                     std::string& problem);

}  // namespace orvalis
