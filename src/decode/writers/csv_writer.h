// CSV: a header row, then a row per record written, a column per field that the dictionary
// declares under a record start (see csv_layout.h), for loading records into a database.
#pragma once

#include <memory>

#include "decode/walk/writer.h"
#include "decode/writers/csv_layout.h"

namespace orvalis {

// The walk into CSV rows by the layout; the header row is written first when the walk begins at
// the input's start.
std::unique_ptr<FormatWalk> CsvWalk(WalkContext& walk, std::shared_ptr<const CsvLayout> layout);

}  // namespace orvalis
