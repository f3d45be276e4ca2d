// The normal-mode walk: each record's named, decoded values, as readable text.
#pragma once

#include <cstdint>

#include "decode/walk/walk_state.h"

namespace orvalis {

// Walks the elements from the read position up to `end` into readable text. Returns 0 at `end`,
// -1 when an element stopped the walk (after its message).
int WalkTextElements(WalkContext& walk, uint64_t end);

}  // namespace orvalis
