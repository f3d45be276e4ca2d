// The readable text's values: each type's result (decode/values/value_readers.h) laid out as text,
// by the type that the dictionary gives the element.
#pragma once

#include <cstdint>

#include "decode/values/value_readers.h"
#include "decode/walk/walk_state.h"

namespace orvalis {

// Lays out the contents at the read position (length octets, at least 1, all within the input)
// without moving it: appends the value's text to the record, made in one go.
void FormatValue(WalkContext& walk, const TItem& item, uint64_t length);

// The filter step: a value of a filtered tag counts in the record, and the record fails when the
// value's text (the last piece) lacks the filter value.
void ApplyFilter(WalkContext& walk, const TItem& item);

// A value of this many octets or more is a long value: its text is made in chunks
// (decode/writers/long_values.h).
constexpr uint64_t kLongValue = 64 << 10;

// DecodeValue for a long value, or with `appended` false only the filter step on the value's text
// (which is not kept; a refused piece is still said). Returns 0.
int DecodeLongValue(WalkContext& walk, const TItem& item, uint64_t length, bool appended);

// Lays out the value, then applies the item's filter value to its text; a long value's text is
// made in chunks. Returns 0.
inline int DecodeValue(WalkContext& walk, const TItem& item, uint64_t length) {
  if (length >= kLongValue) return DecodeLongValue(walk, item, length, true);
  FormatValue(walk, item, length);
  if (item.FilterValue) ApplyFilter(walk, item);
  return 0;
}

// An address's text before its digit line: a telephone number's nature of address and numbering
// plan, received digits' nature of address.
void AppendNumberHead(WalkContext& walk, const AddressValue& address);
void AppendReceivedDigitsHead(WalkContext& walk, const AddressValue& address);

// An address's digit line, after a head laid out by the caller, and the filter step on it (the
// digit line is the value's text); `length` is the value's, long or not.
void AppendDigitLineAndFilter(WalkContext& walk, const TItem& item, const AddressValue& address,
                              uint64_t length);

}  // namespace orvalis
