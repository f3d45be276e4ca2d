// ValFromIndexedArr and ValFromNonIndexedArr: one or two octets (formed as for DecNumber) that
// name an entry of the tag's list, IndArr by position, NonIndArr by key.
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/value_readers.h"

namespace orvalis {
namespace mnemonic_layout {

constexpr PartNames kParts = {{"text", "code"}, 2};

inline ColumnType Column(const TItem&, int part) { return part == 1 ? ColumnType::kInteger : ColumnType::kText; }

// The entry's text and a line feed: "(null)" for an entry without text, "N - Mnemonics not found"
// when the list has no such entry (or the tag has no list).
inline void AppendMnemonic(WalkContext& walk, MnemonicHit hit, uint32_t value) {
  if (hit == nullptr) {
    constexpr std::string_view kNotFound = " - Mnemonics not found\n";
    char* out = PutNumber32(BeginPiece(walk, 10 + kNotFound.size()), value);
    EndPiece(walk, PutText(out, kNotFound));
    return;
  }
  constexpr std::string_view kNullText = "(null)";
  const std::size_t size = *hit ? (*hit)->size() : kNullText.size();
  char* out = BeginPiece(walk, size + 1 + PaddedText::kPadding);
  out = *hit ? PutText(out, **hit) : PutText(out, kNullText);
  *out++ = '\n';
  EndPiece(walk, out);
}

// The entry's text (null for none, or an entry without text), then the code.
template <typename Sink>
[[gnu::noinline]] void PutMnemonic(Sink& sink, MnemonicHit hit, uint32_t code) {
  sink.Parts(kParts);
  sink.Part(0);
  if (hit != nullptr && *hit) {
    sink.Text(**hit);  // the dictionary's text
  } else {
    sink.Null();
  }
  sink.Part(1);
  field_layout::PutDecimal(sink, PartKind::kNumber, code);
  sink.EndParts();
}

// The two types but for their list, whose entry `List::Find` gives, and their failure.
template <typename List>
struct MnemonicType {
  static constexpr PartNames kParts = mnemonic_layout::kParts;
  static ColumnType Column(const TItem& item, int part) { return mnemonic_layout::Column(item, part); }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const SmallValue value = ReadSmallValue(c, length);
    if (value.TooLong()) return SetFailureLine(walk, List::kTooLong);
    AppendMnemonic(walk, List::Find(item, value.Value), value.Value);
  }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem& item, const uint8_t* c, uint64_t length) {
    const SmallValue value = ReadSmallValue(c, length);
    if (value.TooLong()) return field_layout::PutFailure(sink, List::kTooLong, c, length);
    PutMnemonic(sink, List::Find(item, value.Value), value.Value);
  }
};

}  // namespace mnemonic_layout

struct IndexedMnemonicType : mnemonic_layout::MnemonicType<IndexedMnemonicType> {
  static constexpr std::string_view kName = "ValFromIndexedArr";
  static constexpr ValueFailure kTooLong = ValueFailure::kIndexedTooLong;
  static MnemonicHit Find(const TItem& item, uint32_t value) {
    return item.IndArr ? item.IndArr->Lookup(value) : nullptr;
  }
};

struct KeyedMnemonicType : mnemonic_layout::MnemonicType<KeyedMnemonicType> {
  static constexpr std::string_view kName = "ValFromNonIndexedArr";
  static constexpr ValueFailure kTooLong = ValueFailure::kNonIndexedTooLong;
  static MnemonicHit Find(const TItem& item, uint32_t value) {
    return item.NonIndArr ? item.NonIndArr->Lookup(static_cast<int32_t>(value)) : nullptr;
  }
};

}  // namespace orvalis
