// The debug-mode walk: the same walk as the record walker, explaining every identifier and length
// octet bit by bit, with the contents in hexadecimal and the decoded value.
#pragma once

#include "decode/walk_state.h"

namespace orvalis {

// Consumes the element at the read position with everything nested in it. Returns 0 to go on,
// -1 when the walk must stop (after its message).
int DebugWalkStep(WalkContext& walk);

}  // namespace orvalis
