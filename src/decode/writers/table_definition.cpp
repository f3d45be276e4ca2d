#include "decode/writers/table_definition.h"

#include <unordered_map>
#include <unordered_set>

#include "common/text_format.h"
#include "decode/writers/sql_words.h"

namespace orvalis {
namespace {

constexpr std::size_t kLongestPgName = 63;     // PostgreSQL cuts longer names

std::string_view TypeName(ColumnType type, SqlDialect dialect) {
  const bool pg = dialect == SqlDialect::kPostgreSql;
  switch (type) {
    case ColumnType::kInteger: return "integer";
    case ColumnType::kSmallInteger: return pg ? "smallint" : "integer";
    case ColumnType::kBigInteger: return pg ? "bigint" : "integer";
    case ColumnType::kSeconds: return pg ? "numeric(10,2)" : "numeric";
    case ColumnType::kTimestamp: return pg ? "timestamp(2)" : "text";  // ISO text compares in order
    // SQLite would round an integer beyond 2^63 - 1 to a real: its digits stay text.
    case ColumnType::kNumeric: return pg ? "numeric" : "text";
    // SQLite has no booleans: its view's trigger stores 1 and 0 for true and false.
    case ColumnType::kBoolean: return pg ? "boolean" : "integer";
    case ColumnType::kTimestampZone: return pg ? "timestamp with time zone" : "text";
    case ColumnType::kInet: return pg ? "inet" : "text";
    case ColumnType::kText: break;
  }
  return "text";
}

// A name as SQL takes it: as it is when it is a plain lower-case word that is no keyword of either
// dialect, otherwise quoted (so that one definition reads alike in both).
void AppendName(std::string& out, std::string_view name) {
  bool plain = !name.empty() && !(name.front() >= '0' && name.front() <= '9') && SqlKeywordKinds(name) == 0;
  for (char c : name) plain = plain && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
  if (plain) {
    out.append(name);
    return;
  }
  out.push_back('"');
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}


// SQLite compares names with the case of ASCII letters folded.
std::string FoldedCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// False, with the problem, for a column name that the dialect would refuse or read as another's.
bool NamesAreSound(const CsvLayout& layout, SqlDialect dialect, std::string_view table, std::string& problem) {
  if (!IsValidUtf8(table)) {
    problem = "the table name \"" + ConsoleName(table, true) + "\" is not valid UTF-8";
    return false;
  }
  std::unordered_set<std::string_view> named;
  std::unordered_map<std::string, std::string_view> folded;
  for (uint32_t column : layout.Chosen) {
    const std::string& name = layout.Headers[column];
    if (!named.insert(name).second) {
      problem = "the CSV has two columns named \"" + name + "\", which a table cannot have";
      return false;
    }
    if (!IsValidUtf8(name)) {
      problem = "the column name \"" + ConsoleName(name, true) + "\" is not valid UTF-8, which a table's names must be";
      return false;
    }
    if (dialect == SqlDialect::kPostgreSql && name.size() > kLongestPgName) {
      problem = "the column name \"" + name + "\" is longer than the 63 octets PostgreSQL keeps: use ColumnNames=sql";
      return false;
    }
    if (dialect == SqlDialect::kPostgreSql && IsPostgreSqlSystemColumn(name)) {
      problem = "the column name \"" + name + "\" is the name of a system column of every PostgreSQL table: give "
                "the field another TagName";
      return false;
    }
    if (dialect == SqlDialect::kSqlite) {
      const std::string lower = FoldedCase(name);
      if (lower == "true" || lower == "false") {
        problem = "the column name \"" + name + "\" is one SQLite does not give a view's column (the view " +
                  std::string(table) + "_load would name it columnN): give the field another TagName, or use "
                  "ColumnNames=sql";
        return false;
      }
      const auto [there, added] = folded.emplace(lower, name);
      if (!added) {
        problem = "the CSV columns \"" + std::string(there->second) + "\" and \"" + name +
                  "\" differ only in the case of their letters, which SQLite does not tell apart: give one of "
                  "the fields another TagName";
        return false;
      }
    }
  }
  return true;
}

// The chosen columns named "file" and "record" (the input's name and the record's number), which
// together tell a record apart from every other of a day's files; false when either is not chosen.
bool HasRecordKey(const CsvLayout& layout) {
  if (layout.SourceColumn == 0) return false;
  bool file = false;
  bool record = false;
  for (uint32_t column : layout.Chosen) {
    file = file || column == layout.SourceColumn;
    record = record || column == 0;
  }
  return file && record;
}

}  // namespace

bool FindSqlDialect(std::string_view name, SqlDialect& dialect) {
  if (name == "postgresql") {
    dialect = SqlDialect::kPostgreSql;
  } else if (name == "sqlite") {
    dialect = SqlDialect::kSqlite;
  } else {
    return false;
  }
  return true;
}

bool TableDefinition(const CsvLayout& layout, SqlDialect dialect, std::string_view table, std::string& text,
                     std::string& problem) {
  if (layout.Chosen.size() > kMostTableColumns) {
    problem = "the CSV has " + std::to_string(layout.Chosen.size()) + " columns, more than the " +
              std::to_string(kMostTableColumns) + " a table may have: choose fewer with Columns";
    return false;
  }
  if (!NamesAreSound(layout, dialect, table, problem)) return false;
  text = "CREATE TABLE IF NOT EXISTS ";
  AppendName(text, table);
  text += " (\n";
  const bool keyed = HasRecordKey(layout);
  for (std::size_t at = 0; at < layout.Chosen.size(); ++at) {
    const uint32_t column = layout.Chosen[at];
    text += "    ";
    AppendName(text, layout.Headers[column]);
    text += ' ';
    text += TypeName(layout.Types[column], dialect);
    text += at + 1 < layout.Chosen.size() || keyed ? ",\n" : "\n";
  }
  if (keyed) {
    text += "    PRIMARY KEY (";
    AppendName(text, layout.Headers[layout.SourceColumn]);
    text += ", ";
    AppendName(text, layout.Headers[0]);
    text += ")\n";
  }
  text += ");\n";
  if (dialect != SqlDialect::kSqlite) return true;
  // SQLite's import stores an empty cell as '' whatever the column's type: the view takes the
  // rows and its trigger stores NULL for each empty cell.
  const std::string load = std::string(table) + "_load";
  text += "CREATE VIEW IF NOT EXISTS ";
  AppendName(text, load);
  text += " AS SELECT * FROM ";
  AppendName(text, table);
  text += ";\nCREATE TRIGGER IF NOT EXISTS ";
  AppendName(text, load + "_insert");
  text += " INSTEAD OF INSERT ON ";
  AppendName(text, load);
  text += "\nBEGIN\n    INSERT INTO ";
  AppendName(text, table);
  text += " VALUES (";
  for (std::size_t at = 0; at < layout.Chosen.size(); ++at) {
    const uint32_t column = layout.Chosen[at];
    text += at == 0 ? "\n        " : ",\n        ";
    if (layout.Types[column] == ColumnType::kBoolean) {  // true and false as 1 and 0; empty as NULL
      text += "CASE NEW.";
      AppendName(text, layout.Headers[column]);
      text += " WHEN 'true' THEN 1 WHEN 'false' THEN 0 END";
      continue;
    }
    text += "nullif(NEW.";
    AppendName(text, layout.Headers[column]);
    text += ", '')";
  }
  text += ");\nEND;\n";
  return true;
}

}  // namespace orvalis
