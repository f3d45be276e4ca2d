// Turning a primitive element's contents into text, by the type that the dictionary gives it.
#pragma once

#include <cstdint>

#include "decode/walk_state.h"

namespace orvalis {

// Decodes the contents at the read position (length octets, at least 1, all within the input)
// without moving it, appends the value's text to the record, and applies the item's filter value
// to that text. Returns 0.
int DecodeValue(WalkContext& walk, const TItem& item, uint64_t length);

// The address decoders: a telephone number with nature of address and numbering plan, and
// received digits with nature of address. The digit line is the value's text for the filter.
void DecodeNumber(WalkContext& walk, const TItem& item, const uint8_t* content, uint64_t length);
void DecodeReceivedDigits(WalkContext& walk, const TItem& item, const uint8_t* content,
                          uint64_t length);

}  // namespace orvalis
