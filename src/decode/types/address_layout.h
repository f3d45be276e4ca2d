// What the two telephone address types (number.h, received_digits.h) share: the nature of address,
// the digit line, their heads in the readable text and the dump, their parts in the record formats.
#pragma once

#include <initializer_list>
#include <string_view>

#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"
#include "decode/values/value_readers.h"

namespace orvalis {
namespace address_layout {

inline ColumnType Column(const TItem&, int part, const PartNames& parts) {
  const std::string_view name = parts.Names[part];
  return name == "natureCode" || name == "planCode" ? ColumnType::kSmallInteger : ColumnType::kText;
}

// The digit line: two digits per octet, high nibble first, the last one dropped when the count of
// digits is odd; then a line feed. It is the value's text for the filter.
inline void AppendDigitLine(WalkContext& walk, const AddressValue& address) {
  const uint64_t count = address.DigitOctets;
  char* out = PutOctetPairs(BeginPiece(walk, 2 * count + 1), address.Digits, count, kAddressDigitPairs);
  if (address.Odd && count > 0) --out;
  *out++ = '\n';
  EndPiece(walk, out);
}

// A digit line too long for a piece: sought by the filter in chunks.
inline bool LongDigitLineHolds(WalkContext& walk, const TItem& item, const AddressValue& address) {
  const LongForm form = address.Odd ? LongForm::kOddDigits : LongForm::kDigits;
  return LongLineHolds(walk, item,
                       [&](SearchChunks& out) { PutLongForm(out, address.Digits, address.DigitOctets, form); });
}

// The debug dump's lines for the TagName.
inline std::string_view TagNameOf(const TItem& item) {
  return item.TagName ? std::string_view(*item.TagName) : std::string_view("(null)");
}

// Appends a piece made of the texts given, in order.
inline void AppendPieceOf(WalkContext& walk, std::initializer_list<std::string_view> texts) {
  std::size_t room = 0;
  for (std::string_view text : texts) room += text.size();
  char* out = BeginPiece(walk, room);
  for (std::string_view text : texts) out = PutText(out, text);
  EndPiece(walk, out);
}

// The nature of address, its name (its code as text where it has none), then its code.
template <typename Sink>
[[gnu::noinline]] void PutNature(Sink& sink, uint8_t nature) {
  sink.Part(0);
  const std::string_view name = NatureOfAddressName(nature);
  if (name.empty()) {
    field_layout::PutDecimal(sink, PartKind::kVerbatim, nature);
  } else {
    field_layout::PutVerbatim(sink, name);
  }
  sink.Part(1);
  field_layout::PutDecimal(sink, PartKind::kNumber, nature);
}

// An address's digits by nibble, the last one left out when the count is odd.
template <typename Sink>
[[gnu::noinline]] void PutDigits(Sink& sink, const uint8_t* digits, uint64_t count, bool odd) {
  if (count >= kLongValue) return sink.LongVerbatim(digits, count, odd ? LongForm::kOddDigits : LongForm::kDigits);
  char* out = PutOctetPairs(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(2 * count)), digits, count,
                            kAddressDigitPairs);
  if (odd && count > 0) --out;
  sink.End(out);
}

}  // namespace address_layout
}  // namespace orvalis
