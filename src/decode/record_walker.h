// The normal-mode walk: each record's named, decoded values.
#pragma once

#include "decode/walk_state.h"

namespace orvalis {

// Consumes the element at the read position with everything nested in it. Returns 0 to go on,
// -1 when the walk must stop (after its message).
int WalkStep(WalkContext& walk);

}  // namespace orvalis
