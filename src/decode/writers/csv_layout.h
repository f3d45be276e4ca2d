// The CSV columns of a dictionary: their names (the dictionary's, and those the header row
// writes), the type of value each holds, and where each field's value goes, occurrence by
// occurrence. The CSV writer (csv_writer.cpp) fills them; the table definition
// (table_definition.cpp) declares them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/frames/cdr_frames.h"
#include "decode/types/value_types.h"
#include "decode/walk/walk_counts.h"
#include "tags/tag_tree.h"

namespace orvalis {

// The name of the column of values that cannot be decoded, the last one.
constexpr std::string_view kErrorsColumn = "errors";
// The name of the column of each record's input (SourceColumn=true), after "record".
constexpr std::string_view kSourceColumn = "file";
// The name of the column of each record's kind (RecordKindColumn=true), after "record" and "file".
constexpr std::string_view kRecordKindColumn = "recordKind";
// The name of the column of each record's offset in its input (OffsetColumn=true), after "file"
// and "recordKind".
constexpr std::string_view kOffsetColumn = "offset";

// The most columns a dictionary may give the CSV (Occurs multiplies them).
constexpr std::size_t kMaxCsvColumns = 100000;

// The columns: "record", "file" with SourceColumn=true, "recordKind" with RecordKindColumn=true,
// "offset" with OffsetColumn=true, then
// every field declared under a record start, by its dotted TagName
// path (a value of several parts gives a column per part, "callingNumber.digits"; the second and
// later occurrences that Occurs gives columns are "name#2" ...), in dictionary order, merged by
// name across the places where records occur when their parts agree; then "errors".
struct CsvLayout {
  std::vector<std::string> Names;    // every column by the dictionary's names
  std::vector<std::string> Headers;  // the names the header row writes (Names, or their SQL forms)
  std::vector<ColumnType> Types;
  std::vector<uint32_t> FieldOf;     // by column: its field in Fields (0 for the record's own columns and "errors")
  std::vector<std::string> Fields;   // the fields' dotted names, "callingNumber", "a.b#2"
  uint32_t ErrorsColumn = 0;
  uint32_t SourceColumn = 0;  // the column of the input's name; 0: none
  uint32_t KindColumn = 0;    // the column of the record's kind; 0: none
  uint32_t OffsetColumn = 0;  // the column of the record's offset; 0: none
  uint32_t CdrColumns = 0;    // the first of the columns of the record's CDR header; 0: none
  // InertFormulas=true: a text cell that a spreadsheet would take for a formula gets a leading "'".
  bool InertFormulas = false;

  std::vector<uint32_t> Chosen;  // the columns written, in order (indexes into Names)
  bool ChosenByList = false;     // Columns chose them (a column that more Occurs adds is not chosen)
  // What the chosen columns are like, noted when they are chosen (until then, the safe side): a
  // column chosen more than once, every column chosen in order.
  bool ChosenAgain = true;
  bool AllInOrder = false;

  // By leaf Serial: where a field's values go. A field's occurrence within its holder, and the
  // occurrences of the fields holding it, make its slot (0 for the first of each); each slot of
  // a field of a value has the value's first column, or none.
  struct FieldSlots {
    int32_t Column = -1;  // the first column of slot 0 (-1: none)
    uint32_t Occurs = 0;  // the occurrences that get slots (0: the leaf is no field)
    uint32_t First = 0;   // its first slot in SlotColumns
  };
  std::vector<FieldSlots> Slots;
  std::vector<int32_t> SlotColumns;  // per slot: the value's first column (-1: none)

  // The key under which the CSV writer counts a field's values without a column (FieldCounts):
  // the field's leaf, and whether they are in its slot, whose name the columns of a value of other
  // parts took (`nameTaken`), or in an occurrence beyond its Occurs.
  static uint64_t LostFieldKey(const TLeaf& leaf, bool nameTaken) {
    return uint64_t{leaf.Serial} << 1 | (nameTaken ? 1u : 0u);
  }
};

// The columns of the dictionary, all chosen; with `sqlNames` the header row names them as a
// database takes them unquoted (SqlColumnName), with `sourceColumn` the input's name is a column,
// with `offsetColumn` the record's offset, with `cdrColumns` its CDR header's parts, with
// `kindColumn` the record's kind. False, with `problem` set to a message, when a column would be
// named "errors" (or "file" with sourceColumn, "offset" with offsetColumn, one of
// kCdrHeaderColumns with cdrColumns, "recordKind" with kindColumn), the columns would be too
// many, or two SQL names would be alike.
// The types' parts and columns are those of the list `types`.
bool MakeCsvLayout(const TBranch& root, bool sqlNames, CsvLayout& layout, std::string& problem,
                   bool sourceColumn = false, bool offsetColumn = false,
                   const ValueTypeCatalog& types = ValueTypes::Catalog(), bool cdrColumns = false,
                   bool kindColumn = false);

// Chooses and orders the columns by a comma-separated list of the dictionary's names. False,
// with `unknown` set to the first name that is not a column, when one is not.
bool ChooseCsvColumns(CsvLayout& layout, std::string_view list, std::string& unknown);

// The header row.
std::string CsvHeader(const CsvLayout& layout);

// A field whose values had no column, as the console and the manifest tell it: its TagName, its
// paths (those of the dictionary's fields of that name whose columns it shares, in the dictionary's
// order), the values, the highest occurrence of the element that lost them, and what gives them a
// column ("add 1.40.0.Occurs=6 and 2.1.40.0.Occurs=6").
struct FieldWithoutColumn {
  std::string Field;
  std::vector<std::string> Paths;
  uint64_t Values = 0;
  uint32_t UpToOccurrence = 0;
  std::string Remedy;
};

// The fields of the values that the CSV writer of `layout` counted without a column (`counts`,
// by CsvLayout::LostFieldKey), in the dictionary's order: a field's values in occurrences beyond
// Occurs, and, apart, those whose name a value of other parts took.
std::vector<FieldWithoutColumn> FieldsWithoutColumn(const TBranch& root, const CsvLayout& layout,
                                                    const FieldCounts& counts);

// A column name as a database takes it without quotes: lower-case words joined by underscores
// (a capital after a lower-case letter starts a word, a run of capitals is one word), every run
// of other octets than letters and digits one underscore, "c_" before a leading digit, an
// underscore after a keyword that a database does not take as a name unquoted everywhere
// (NeedsSqlSuffix), at most 63 octets.
std::string SqlColumnName(std::string_view name);

// True for a keyword that PostgreSQL does not take as any name (reserved, or kept for column
// names only) or that SQLite knows as a keyword: ColumnNames=sql adds an underscore to it.
bool NeedsSqlSuffix(std::string_view word);

}  // namespace orvalis
