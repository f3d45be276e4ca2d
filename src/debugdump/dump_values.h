// The debug dump's decoded values: as in the readable text, but for the telephone addresses
// (Number, ReceivedDigits), whose heads the dump lays out in its own way.
#pragma once

#include <cstdint>

#include "decode/walk/walk_state.h"

namespace orvalis {

// Lays out the value at the read position (length octets, at least 1, all within the input)
// without moving it, then applies the item's filter value to its text (an address's digit line).
void DumpDecodedValue(WalkContext& walk, const TItem& item, uint64_t length);

}  // namespace orvalis
