// The walk of a whole input in one output format, shared by two threads where it may be.
#pragma once

#include "decode/walk/stretch_walk.h"
#include "decode/walk/walk_state.h"
#include "driver/output_formats.h"

namespace orvalis {

// Walks from the read position to the input's end in `format` (the format's writer and debug
// mode are those of walk.Settings). Returns 0 at the end, -1 when an element stopped the walk
// (after its message). What the last record holds is left for WriteOutLastRecord. `report` tells
// how a shared walk went. A format with columns takes walk.Csv, or all the dictionary's when the
// walk has none.
int WalkWholeInput(WalkContext& walk, const OutputFormatRow& format, StretchWalkReport* report = nullptr);

// The same, in the format that walk.Settings names.
int WalkWholeInput(WalkContext& walk, StretchWalkReport* report = nullptr);

}  // namespace orvalis
