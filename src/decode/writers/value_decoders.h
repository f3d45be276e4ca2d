// Turning a primitive element's contents into text, by the type that the dictionary gives it.
#pragma once

#include <cstdint>

#include "common/text_format.h"
#include "decode/walk/walk_state.h"

namespace orvalis {

// Decodes the contents at the read position (length octets, at least 1, all within the input)
// without moving it and appends the value's text to the record, made in one go.
void FormatValue(WalkContext& walk, const TItem& item, uint64_t length);

// The filter step: a value of a filtered tag counts in the record, and the record fails when the
// value's text (the last piece) lacks the filter value.
void ApplyFilter(WalkContext& walk, const TItem& item);

// A value of this many octets or more is a long value: its text is made in chunks
// (decode/long_values.h).
constexpr uint64_t kLongValue = 64 << 10;

// DecodeValue for a long value, or with `appended` false only the filter step on the value's text
// (which is not kept; a refused piece is still said). Returns 0.
int DecodeLongValue(WalkContext& walk, const TItem& item, uint64_t length, bool appended);

// Formats the value, then applies the item's filter value to its text; a long value's text is made
// in chunks. Returns 0.
inline int DecodeValue(WalkContext& walk, const TItem& item, uint64_t length) {
  if (length >= kLongValue) return DecodeLongValue(walk, item, length, true);
  FormatValue(walk, item, length);
  if (item.FilterValue) ApplyFilter(walk, item);
  return 0;
}

// The address decoders: a telephone number with nature of address and numbering plan, and
// received digits with nature of address. The digit line is the value's text for the filter.
void DecodeNumber(WalkContext& walk, const TItem& item, const uint8_t* content, uint64_t length);
void DecodeReceivedDigits(WalkContext& walk, const TItem& item, const uint8_t* content,
                          uint64_t length);
// Their text before the digit line (a Number's contents have at least two octets, received
// digits' at least one).
void AppendNumberHead(WalkContext& walk, const TItem& item, const uint8_t* content);
void AppendReceivedDigitsHead(WalkContext& walk, const TItem& item, const uint8_t* content);

// The digits of telephone numbers, by nibble, two to an octet (high nibble first).
constexpr OctetPairs kAddressDigitPairs = MakeOctetPairs("0123456789*#abcS");
// The name of a nature of address (the low seven bits of b0) for codes 0 to 4, else empty; the
// name of the numbering plan in bits 4-6 of b1.
std::string_view NatureOfAddressName(uint8_t b0);
std::string_view NumberingPlanName(uint8_t b1);
// The odd-count indicator of an address's first octet.
constexpr uint8_t kOddIndicator = 0x80;

}  // namespace orvalis
