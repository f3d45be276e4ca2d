// Boolean: an ASN.1 BOOLEAN, one octet, 00 false and any other true: the word in the readable
// text and CSV, the literal in JSON Lines.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"

namespace orvalis {

struct BooleanType : LongValuesFail<ValueFailure::kBooleanTooLong> {
  static constexpr std::string_view kName = "Boolean";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kBoolean; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    if (length != 1) return SetFailureWithOctets(walk, ValueFailure::kBooleanTooLong, c, length);
    SetPiece(walk, c[0] != 0 ? "true\n" : "false\n");
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    if (length != 1) return field_layout::PutFailure(sink, ValueFailure::kBooleanTooLong, c, length);
    field_layout::PutLiteral(sink, c[0] != 0);
  }
};

}  // namespace orvalis
