// BitString: an ASN.1 BIT STRING, its bits as "0" and "1" from bit 0 on, and the names that the
// item's NamedNumbers give the bits that are set ("1010 (speech, fax)" in the readable text, the
// bits alone when no named bit is set; the parts bits and names, joined by commas, in the record
// formats, names null without NamedNumbers).
// The first octet, the count of unused bits, must be 0 to 7, and 0 without bits.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"
#include "decode/values/asn1_values.h"

namespace orvalis {

struct BitStringType {
  static constexpr std::string_view kName = "BitString";
  static constexpr PartNames kParts = {{"bits", "names"}, 2};
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const BitStringValue value = ReadBitString(c, length);
    if (value.Check.Failed) return SetFailureWithOctets(walk, value.Check.Failure, c, length);
    char* out = PutBits(BeginPiece(walk, static_cast<std::size_t>(value.Bits) + NamesRoom(item) + 1), value);
    bool first = true;
    ForEachNameSet(item, value, [&](const PaddedText& name) {
      out = PutText(out, std::string_view(first ? " (" : ", "));
      out = PutText(out, name);
      first = false;
    });
    if (!first) *out++ = ')';
    *out++ = '\n';
    EndPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem& item, const uint8_t* c, uint64_t length) {
    const BitStringValue value = ReadBitString(c, length);
    if (value.Check.Failed) return field_layout::PutFailure(sink, value.Check.Failure, c, length);
    sink.Parts(kParts);
    sink.Part(0);
    if (length >= kLongValue) {
      sink.LongVerbatim(value.Octets, value.Bits, LongForm::kBits);
    } else {
      sink.End(PutBits(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(value.Bits)), value));
    }
    sink.Part(1);
    if (!item.NamedNumbers) {
      sink.Null();
    } else {
      TextBuffer& names = sink.Scratch();
      names.clear();
      ForEachNameSet(item, value, [&](const PaddedText& name) {
        if (names.size() > 0) names.push_back(',');
        names.append(name.view());
      });
      sink.Text(names.view());
    }
    sink.EndParts();
  }
  // A long bit string's line is more than a piece's room: refused, and sought by the filter in
  // chunks.
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const BitStringValue value = ReadBitString(c, length);
    if (value.Check.Failed) return SetFailureWithOctets(walk, value.Check.Failure, c, length);
    RefusePiece(walk);
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const BitStringValue value = ReadBitString(c, length);
    if (value.Check.Failed) return FailureWithOctetsHolds(walk, item, value.Check.Failure, c, length);
    return LongLineHolds(walk, item, [&](SearchChunks& out) {
      PutLongBits(out, value.Octets, value.Bits);
      bool first = true;
      ForEachNameSet(item, value, [&](const PaddedText& name) {
        out.Put(first ? " (" : ", ");
        out.Put(name.view());
        first = false;
      });
      if (!first) out.Put(")");
    });
  }

 private:
  static char* PutBits(char* out, const BitStringValue& value) {
    for (uint64_t bit = 0; bit < value.Bits; ++bit) *out++ = value.IsSet(bit) ? '1' : '0';
    return out;
  }
  // The room of " (" and the names of every named bit, joined by ", ", and ")".
  static std::size_t NamesRoom(const TItem& item) {
    if (!item.NamedNumbers) return 0;
    std::size_t room = 3 + PaddedText::kPadding;
    for (const auto& entry : item.NamedNumbers->Entries()) room += entry.second.size() + 2;
    return room;
  }
  // Calls named(name) for each bit that is set and has a name, in the order of the bits.
  template <typename Named>
  static void ForEachNameSet(const TItem& item, const BitStringValue& value, Named&& named) {
    if (!item.NamedNumbers) return;
    for (const auto& [bit, name] : item.NamedNumbers->Entries()) {
      if (bit >= 0 && static_cast<uint64_t>(bit) < value.Bits && value.IsSet(static_cast<uint64_t>(bit))) named(name);
    }
  }
};

}  // namespace orvalis
