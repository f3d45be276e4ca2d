// DecNumber: one or two octets, b0 or 16 * b0 + b1 (shifted by four bits, not eight: at most 4335).
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/value_readers.h"

namespace orvalis {

struct DecNumberType {
  static constexpr std::string_view kName = "DecNumber";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kInteger; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const SmallValue value = ReadSmallValue(c, length);
    if (value.TooLong()) return SetFailureLine(walk, ValueFailure::kDecNumberTooLong);
    char* out = PutNumber32(BeginPiece(walk, 11), value.Value);
    *out++ = '\n';
    EndShortPiece(walk, out);
  }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const SmallValue value = ReadSmallValue(c, length);
    if (value.TooLong()) return field_layout::PutFailure(sink, ValueFailure::kDecNumberTooLong, c, length);
    field_layout::PutDecimal(sink, PartKind::kNumber, value.Value);
  }
};

}  // namespace orvalis
