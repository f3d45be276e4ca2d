// The debug-mode walk: the same walk as the readable text's, explaining every identifier and
// length octet bit by bit, with the contents in hexadecimal and the decoded value.
#pragma once

#include <cstdint>

#include "decode/walk/walk_state.h"

namespace orvalis {

// Walks the elements from the read position up to `end` into the debug dump. Returns 0 at `end`,
// -1 when an element stopped the walk (after its message).
int WalkDumpElements(WalkContext& walk, uint64_t end);

}  // namespace orvalis
