// LineCode: the first two octets in hexadecimal, "/", the others in hexadecimal ("12 34 56 78" is
// "1234/5678", "12" is "12/").
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"
#include "decode/values/value_readers.h"

namespace orvalis {

struct LineCodeType {
  static constexpr std::string_view kName = "LineCode";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const LineCodeValue code = ReadLineCode(c, length);
    char* out = PutOctetPairs(BeginPiece(walk, 2 * length + 2), code.Octets, code.Head);
    *out++ = '/';
    out = PutOctetPairs(out, code.Octets + code.Head, code.Tail);
    *out++ = '\n';
    EndPiece(walk, out);
  }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    if (length >= kLongValue) return sink.LongVerbatim(c, length, LongForm::kLineCode);
    const LineCodeValue code = ReadLineCode(c, length);
    char* out = PutOctetPairs(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(2 * length + 1)), c, 1);
    if (code.Head == 2) out = PutOctetPairs(out, c + 1, 1);
    *out++ = '/';
    sink.End(PutOctetPairs(out, c + code.Head, code.Tail));
  }
  // A long line code is more than a piece's room: refused, and sought by the filter in chunks.
  static void LongText(WalkContext& walk, const TItem&, const uint8_t*, uint64_t) { RefusePiece(walk); }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    return LongLineHolds(walk, item, [&](SearchChunks& out) { PutLongForm(out, c, length, LongForm::kLineCode); });
  }
};

}  // namespace orvalis
