// CSV: a header row, then a row per record written, a column per field that the dictionary
// declares under a record start (see CsvLayout), for loading records into a database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decode/walk/writer.h"
#include "tags/tag_tree.h"

namespace orvalis {

// The CSV columns: "record", then every field declared under a record start, by its dotted
// TagName path (a value of several parts gives a column per part, "callingNumber.digits"), in
// dictionary order, merged by name across the places where records occur.
struct CsvLayout {
  std::vector<std::string> Names;  // every column, "record" first
  std::vector<uint32_t> Chosen;    // the columns written, in order (indexes into Names)
  // What the chosen columns are like, noted when they are chosen (until then, the safe side): a
  // column chosen more than once, every column chosen in order.
  bool ChosenAgain = true;
  bool AllInOrder = false;
  // By leaf Serial: the first column of the field's value (-1: the leaf is no field).
  std::vector<int32_t> FieldColumn;
};

// The columns of the dictionary, all chosen.
CsvLayout MakeCsvLayout(const TBranch& root);

// Chooses and orders the columns by a comma-separated list of names. False, with `unknown` set
// to the first name that is not a column, when one is not.
bool ChooseCsvColumns(CsvLayout& layout, std::string_view list, std::string& unknown);

// The header row.
std::string CsvHeader(const CsvLayout& layout);

// The walk into CSV rows by the layout; the header row is written first when the walk begins at
// the input's start.
std::unique_ptr<FormatWalk> CsvWalk(WalkContext& walk, std::shared_ptr<const CsvLayout> layout);

}  // namespace orvalis
