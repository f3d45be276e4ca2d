// What the value types' readable-text layouts share: pieces formatted in place at the end of the
// record's text (BeginPiece and EndPiece, decode/walk/walk_state.h), numbers and fixed texts.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

#include "common/text_format.h"
#include "decode/types/value_type.h"
#include "decode/walk/walk_state.h"
#include "tags/tag_tree.h"

namespace orvalis {

// A value of this many octets or more is a long value: its text is made in chunks (long_text.h).
constexpr uint64_t kLongValue = 64 << 10;

// Appends a fixed text as the value's piece.
inline void SetPiece(WalkContext& walk, std::string_view piece) {
  EndPiece(walk, PutText(BeginPiece(walk, piece.size()), piece));
}

// The readable text's line of a value that cannot be decoded.
inline void SetFailureLine(WalkContext& walk, ValueFailure failure) { SetPiece(walk, FailureLine(failure)); }

// Writes a number below 2^32 in decimal; two decimal digits of a number below 100.
inline char* PutNumber32(char* out, uint32_t value) { return std::to_chars(out, out + 10, value).ptr; }
inline char* PutTwoDigits(char* out, uint32_t value) {
  out[0] = kDigitPairs[2 * value];
  out[1] = kDigitPairs[2 * value + 1];
  return out + 2;
}

// The filter's look at a value's readable text made in one go: the type lays it out at the end of
// the record's text (a piece too long is refused without a word while the walk lays out for the
// filter, WalkContext::LayingOutForFilter), and the value's own text, its last piece, is sought.
// The caller takes the text back.
template <typename Type>
bool ShortValueHolds(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  Type::Text(walk, item, c, length);
  return LastPieceHoldsFilterValue(walk, item);
}

}  // namespace orvalis
