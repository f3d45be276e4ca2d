// A tag without a Type: no value in the readable text (its line ends after the long name), its
// octets in hexadecimal in the record formats.
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"

namespace orvalis {

struct UntypedType {
  static constexpr std::string_view kName = "";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t*, uint64_t) { SetPiece(walk, "\n"); }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    field_layout::PutHex(sink, c, length);
  }
};

}  // namespace orvalis
