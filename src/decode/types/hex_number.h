// HexNumber: every octet as two upper-case hexadecimal digits ("01 AB" is "01AB").
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"

namespace orvalis {

struct HexNumberType {
  static constexpr std::string_view kName = "HexNumber";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  // The digits, then a line feed. Each octet and the line feed are pieces of their own, far below
  // the piece limit, so the line is never refused, however long.
  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    char* out = PutOctetPairs(BeginPiece(walk, 2 * length + 1), c, length);
    *out++ = '\n';
    EndKeptPiece(walk, out);
  }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    field_layout::PutHex(sink, c, length);
  }
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    RecordChunks out{walk};
    PutLongForm(out, c, length, LongForm::kHex);
    out.Put("\n");
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    return LongLineHolds(walk, item, [&](SearchChunks& out) { PutLongForm(out, c, length, LongForm::kHex); });
  }
};

}  // namespace orvalis
