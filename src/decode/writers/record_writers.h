// The record writers: JSON Lines and CSV, for loading records into a database. They take the
// same walk as the readable text (decode/walk_steps.h), so that the record range and the filter
// select the same records, and write into the same record buffer, so that a record's line is
// written or dropped with it.
//
// JSON Lines: a line per record written, {"v":1,"record":N,"offset":O,"path":"P","fields":{...}},
// and a line with "record":null for the text that the readable output holds outside any record
// (a file header, a block's own fields). CSV: a header row, then a row per record written, a
// column per field that the dictionary declares under a record start (see CsvLayout).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/walk/walk_state.h"

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
};

// The columns of the dictionary, all chosen (before WalkCsvElements: WalkWholeInput makes them when
// the walk has none); sets each field's TItem::FieldColumn (and marks
// the TagNames that siblings share, see MarkSharedTagNames).
CsvLayout MakeCsvLayout(TBranch& root);

// Chooses and orders the columns by a comma-separated list of names. False, with `unknown` set
// to the first name that is not a column, when one is not.
bool ChooseCsvColumns(CsvLayout& layout, std::string_view list, std::string& unknown);

// The header row.
std::string CsvHeader(const CsvLayout& layout);

// Gives every item its JSON key (TItem::JsonKey), after marking the TagNames that siblings share;
// before WalkJsonElements (WalkWholeInput does it), or every element is keyed by its path.
void PrepareJsonKeys(TBranch& root);

// Walk the elements from the read position up to `end` into JSON Lines or CSV, as
// WalkTextElements does into the readable text.
int WalkJsonElements(WalkContext& walk, uint64_t end);
int WalkCsvElements(WalkContext& walk, uint64_t end);

// At the end of a walk (complete or stopped): ends the line under way in the record's text.
void EndRecordLine(WalkContext& walk);

// A stretch of damaged input of `skipped` octets from `offset` was passed over: in JSON Lines a
// line of its own, {"v":1,"record":null,"offset":O,"damaged":{"skipped":N}}, after the line under
// way is ended; in CSV no row (the row under way is ended). Nothing in the readable text.
void Damaged(WalkContext& walk, uint64_t offset, uint64_t skipped);

// The record that began at `offset`, read after the damage at `damagedAt` inside the record
// damaged, may be a piece of it: in JSON Lines a line of its own after it,
// {"v":1,"record":null,"offset":O,"damaged":{"inDoubt":true,"damagedAt":D}}; in CSV nothing.
void InDoubt(WalkContext& walk, uint64_t offset, uint64_t damagedAt);

}  // namespace orvalis
