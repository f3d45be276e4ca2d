// String: the octets up to the first zero octet (all of them when there is none), copied as they
// are. The record formats write every octet beside the text when a zero octet ended it early.
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"
#include "decode/values/value_readers.h"

namespace orvalis {

struct StringType {
  static constexpr std::string_view kName = "String";
  static constexpr PartNames kParts = kPlainValue;
  static constexpr bool kOctetsBeside = true;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  // The text, then a line feed.
  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const std::string_view text = ReadString(c, length).Text;
    char* out = BeginPiece(walk, text.size() + 1);
    out = PutText(out, text);
    *out++ = '\n';
    EndPiece(walk, out);
  }
  // The octets up to the first NUL (or all of them); with a NUL, all octets beside them.
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const StringValue value = ReadString(c, length);
    if (value.Text.size() >= kLongValue) {
      sink.LongText(value.Text);
    } else {
      sink.Text(value.Text);
    }
    if (value.OctetsFollow) sink.Beside(c, length);
  }
  // A text of more than a piece's room is refused; a short one before a NUL is laid out as any.
  static void LongText(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    if (ReadString(c, length).Text.size() + 1 <= kMaxPieceLength) return Text(walk, item, c, length);
    RefusePiece(walk);
  }
  // The filter seeks the text whole, made in chunks (or in one piece when it is short).
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const uint64_t end = ReadString(c, length).Text.size();
    if (end + 1 <= kMaxPieceLength) return ShortValueHolds<StringType>(walk, item, c, length);
    return LongLineHolds(walk, item, [&](SearchChunks& out) {
      for (uint64_t done = 0; done < end; done += kLongValueChunk) {
        const uint64_t n = end - done < kLongValueChunk ? end - done : kLongValueChunk;
        out.Put(std::string_view(reinterpret_cast<const char*>(c + done), static_cast<std::size_t>(n)));
      }
    });
  }
};

}  // namespace orvalis
