// The keywords of the two SQL dialects that the table definition (-g) is written for, as the
// databases list them (PostgreSQL's pg_get_keywords(), SQLite's sqlite3_keyword_name()): a column
// name that is one of them is quoted, and ColumnNames=sql adds an underscore to those that a
// database does not take as a name unquoted everywhere. A test checks the lists against the
// databases in use.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvalis {

// What a word is to each dialect; 0: no keyword.
enum SqlKeywordKind : uint8_t {
  kPgUnreserved = 1,   // PostgreSQL takes it as any name
  kPgColumnName = 2,   // PostgreSQL takes it as a column's name, not as a function's or a type's
  kPgReserved = 4,     // PostgreSQL takes it as no name (reserved, or kept for types and functions)
  kSqlite = 8,         // an SQLite keyword
};

struct SqlKeyword {
  std::string_view Word;  // lower case
  uint8_t Kinds;
};

// Every keyword of either dialect, sorted.
extern const SqlKeyword kSqlKeywords[];
extern const std::size_t kSqlKeywordCount;

// The kinds of a lower-case word (0: no keyword of either dialect).
uint8_t SqlKeywordKinds(std::string_view word);

// True for the names of PostgreSQL's system columns (ctid, xmin ...), which no column may take.
bool IsPostgreSqlSystemColumn(std::string_view name);

}  // namespace orvalis
