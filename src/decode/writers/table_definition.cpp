#include "decode/writers/table_definition.h"

#include <unordered_set>

namespace orvalis {
namespace {

constexpr std::size_t kMostColumns = 1600;     // PostgreSQL's limit
constexpr std::size_t kLongestPgName = 63;     // PostgreSQL cuts longer names

std::string_view TypeName(ColumnType type, SqlDialect dialect) {
  const bool pg = dialect == SqlDialect::kPostgreSql;
  switch (type) {
    case ColumnType::kInteger: return "integer";
    case ColumnType::kSmallInteger: return pg ? "smallint" : "integer";
    case ColumnType::kSeconds: return pg ? "numeric(10,2)" : "numeric";
    case ColumnType::kTimestamp: return pg ? "timestamp(2)" : "text";  // ISO text compares in order
    case ColumnType::kText: break;
  }
  return "text";
}

// A name as SQL takes it: as it is when it is a plain lower-case word that is not reserved,
// otherwise quoted.
void AppendName(std::string& out, std::string_view name) {
  bool plain = !name.empty() && !(name.front() >= '0' && name.front() <= '9') && !IsReservedSqlWord(name);
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
  if (layout.Chosen.size() > kMostColumns) {
    problem = "the CSV has " + std::to_string(layout.Chosen.size()) + " columns, more than the " +
              std::to_string(kMostColumns) + " a table may have: choose fewer with Columns";
    return false;
  }
  std::unordered_set<std::string_view> named;
  for (uint32_t column : layout.Chosen) {
    const std::string& name = layout.Headers[column];
    if (!named.insert(name).second) {
      problem = "the CSV has two columns named \"" + name + "\", which a table cannot have";
      return false;
    }
    if (dialect == SqlDialect::kPostgreSql && name.size() > kLongestPgName) {
      problem = "the column name \"" + name + "\" is longer than the 63 octets PostgreSQL keeps: use ColumnNames=sql";
      return false;
    }
  }
  text = "CREATE TABLE ";
  AppendName(text, table);
  text += " (\n";
  for (std::size_t at = 0; at < layout.Chosen.size(); ++at) {
    const uint32_t column = layout.Chosen[at];
    text += "    ";
    AppendName(text, layout.Headers[column]);
    text += ' ';
    text += TypeName(layout.Types[column], dialect);
    text += at + 1 < layout.Chosen.size() ? ",\n" : "\n";
  }
  text += ");\n";
  if (dialect != SqlDialect::kSqlite) return true;
  // SQLite's import stores an empty cell as '' whatever the column's type: the view takes the
  // rows and its trigger stores NULL for each empty cell.
  const std::string load = std::string(table) + "_load";
  text += "CREATE VIEW ";
  AppendName(text, load);
  text += " AS SELECT * FROM ";
  AppendName(text, table);
  text += ";\nCREATE TRIGGER ";
  AppendName(text, load + "_insert");
  text += " INSTEAD OF INSERT ON ";
  AppendName(text, load);
  text += "\nBEGIN\n    INSERT INTO ";
  AppendName(text, table);
  text += " VALUES (";
  for (std::size_t at = 0; at < layout.Chosen.size(); ++at) {
    text += at == 0 ? "\n        " : ",\n        ";
    text += "nullif(NEW.";
    AppendName(text, layout.Headers[layout.Chosen[at]]);
    text += ", '')";
  }
  text += ");\nEND;\n";
  return true;
}

}  // namespace orvalis
