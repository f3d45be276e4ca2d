// The walk of a whole input, as the run's settings choose it: the debug dump, the readable text,
// JSON Lines or CSV, shared by two threads where it may be.
#pragma once

#include "decode/walk/stretch_walk.h"
#include "decode/walk/walk_state.h"
#include "decode/writers/csv_writer.h"

namespace orvalis {

// Walks from the read position to the input's end. Returns 0 at the end, -1 when an element
// stopped the walk (after its message). What the last record holds is left for WriteOutLastRecord.
// `report` tells how a shared walk went; `columns` are the CSV columns (all of the dictionary's
// when null).
int WalkWholeInput(WalkContext& walk, StretchWalkReport* report = nullptr, const CsvLayout* columns = nullptr);

}  // namespace orvalis
