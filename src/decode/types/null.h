// Null: an ASN.1 NULL, a flag whose presence is its value. It has no contents: an element of
// length 0 is "present" in the readable text and true in the record formats; one with contents
// cannot be decoded.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"

namespace orvalis {

struct NullType : LongValuesFail<ValueFailure::kNullWithContents> {
  static constexpr std::string_view kName = "Null";
  static constexpr PartNames kParts = kPlainValue;
  static constexpr bool kTakesEmpty = true;
  static ColumnType Column(const TItem&, int) { return ColumnType::kBoolean; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    if (length != 0) return SetFailureWithOctets(walk, ValueFailure::kNullWithContents, c, length);
    SetPiece(walk, "present\n");
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    if (length != 0) return field_layout::PutFailure(sink, ValueFailure::kNullWithContents, c, length);
    field_layout::PutLiteral(sink, true);
  }
};

}  // namespace orvalis
