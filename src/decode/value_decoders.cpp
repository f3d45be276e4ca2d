#include "decode/value_decoders.h"

#include <string>

#include "common/text_format.h"

namespace orvalis {
namespace {

constexpr std::string_view kDecNumberTooLong =
    " error: length of DecNumber type tag is more than 2 bytes!!!\n";
constexpr std::string_view kIndexedTooLong =
    " error: length length of ValFromIndexedArr type tag is more than 2 bytes!!!\n";
constexpr std::string_view kNonIndexedTooLong =
    " error: length of ValFromNonIndexedArr type tag is more than 2 bytes!!!\n";
constexpr std::string_view kDateTimeTooShort =
    " error: length of DateTime type tag is less than 7 bytes!!!\n";
constexpr std::string_view kNullText = "(null)";

// Formats a piece in ValueText and appends it.
void AppendValueText(WalkContext& walk) { AppendToRecord(walk, walk.ValueText); }

void SetPiece(WalkContext& walk, std::string_view piece) {
  walk.ValueText.assign(piece);
  AppendValueText(walk);
}

// One or two content octets make the small value: b0, or 16 * b0 + b1.
uint32_t SmallValue(const uint8_t* content, uint64_t length) {
  return length == 1 ? content[0] : 16u * content[0] + content[1];
}

void DecodeDateTime(WalkContext& walk, const uint8_t* c, uint64_t length) {
  if (length < 7) {
    SetPiece(walk, kDateTimeTooShort);
    return;
  }
  TextBuffer& text = walk.ValueText;
  text.clear();
  // Every nibble prints as a number of its own, 10 to 15 included.
  auto nibbles = [&text](uint8_t octet) {
    AppendDecimal(text, static_cast<uint64_t>(octet >> 4));
    AppendDecimal(text, static_cast<uint64_t>(octet & 0x0F));
  };
  nibbles(c[2]);
  text.push_back('.');
  nibbles(c[1]);
  text.append(".20");
  nibbles(c[0]);
  text.push_back(' ');
  nibbles(c[3]);
  text.push_back(':');
  nibbles(c[4]);
  text.push_back(':');
  nibbles(c[5]);
  text.push_back(':');
  nibbles(c[6]);
  text.push_back('\n');
  AppendValueText(walk);
}

void DecodeString(WalkContext& walk, const uint8_t* c, uint64_t length) {
  uint64_t end = 0;
  while (end < length && c[end] != 0) ++end;
  TextBuffer& text = walk.ValueText;
  text.assign(std::string_view(reinterpret_cast<const char*>(c), static_cast<std::size_t>(end)));
  text.push_back('\n');
  AppendValueText(walk);
}

// Every octet as a piece of its own; the value's text is the whole line.
void DecodeHexNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  TextBuffer& text = walk.ValueText;
  text.clear();
  for (uint64_t i = 0; i < length; ++i) {
    AppendHexOctet(text, c[i]);
    AppendToRecord(walk, std::string_view(text).substr(text.size() - 2));
  }
  text.push_back('\n');
  AppendToRecord(walk, "\n");
}

void DecodeDecNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  if (length > 2) {
    SetPiece(walk, kDecNumberTooLong);
    return;
  }
  TextBuffer& text = walk.ValueText;
  text.clear();
  AppendDecimal(text, static_cast<uint64_t>(SmallValue(c, length)));
  text.push_back('\n');
  AppendValueText(walk);
}

void AppendMnemonic(WalkContext& walk, MnemonicHit hit, uint32_t value) {
  TextBuffer& text = walk.ValueText;
  if (hit != nullptr) {
    text.assign(*hit ? std::string_view(**hit) : kNullText);
    text.push_back('\n');
  } else {
    text.clear();
    AppendDecimal(text, static_cast<uint64_t>(value));
    text.append(" - Mnemonics not found\n");
  }
  AppendValueText(walk);
}

void DecodeIndexed(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  if (length > 2) {
    SetPiece(walk, kIndexedTooLong);
    return;
  }
  const uint32_t value = SmallValue(c, length);
  AppendMnemonic(walk, item.IndArr ? item.IndArr->Lookup(value) : nullptr, value);
}

void DecodeNonIndexed(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  if (length > 2) {
    SetPiece(walk, kNonIndexedTooLong);
    return;
  }
  const uint32_t value = SmallValue(c, length);
  MnemonicHit hit = item.NonIndArr ? item.NonIndArr->Lookup(static_cast<int32_t>(value)) : nullptr;
  AppendMnemonic(walk, hit, value);
}

void AppendTwoDigits(TextBuffer& text, uint32_t value) {
  AppendZeroPadded(text, value, 2);
}

// Hundredths of a second, big-endian, accumulated in 32 bits.
void DecodeDuration(WalkContext& walk, const uint8_t* c, uint64_t length) {
  uint32_t hundredths = 0;
  for (uint64_t i = 0; i < length; ++i) hundredths = (hundredths << 8) + c[i];
  const uint32_t seconds = hundredths / 100;
  const uint32_t hours = seconds / 3600;
  const uint32_t minutes = (seconds - 3600 * hours) / 60;
  TextBuffer& text = walk.ValueText;
  text.clear();
  AppendTwoDigits(text, hours);
  text.push_back(':');
  AppendTwoDigits(text, minutes);
  text.push_back(':');
  AppendTwoDigits(text, seconds - 3600 * hours - 60 * minutes);
  text.push_back('\n');
  AppendValueText(walk);
}

void DecodeLineCode(WalkContext& walk, const uint8_t* c, uint64_t length) {
  TextBuffer& text = walk.ValueText;
  text.clear();
  const uint64_t head = length < 2 ? length : 2;
  for (uint64_t i = 0; i < head; ++i) AppendHexOctet(text, c[i]);
  text.push_back('/');
  for (uint64_t i = head; i < length; ++i) AppendHexOctet(text, c[i]);
  text.push_back('\n');
  AppendValueText(walk);
}

// The filter step: a value of a filtered tag counts in the record, and the record fails when the
// value's text lacks the filter value.
void ApplyFilter(WalkContext& walk, const TItem& item) {
  if (!item.FilterValue) return;
  WalkState& state = walk.State;
  if (state.RecordPasses && walk.ValueText.view().find(*item.FilterValue) == std::string_view::npos) {
    state.RecordPasses = false;
  }
  ++state.FilteredTagsSeen;
}

}  // namespace

int DecodeValue(WalkContext& walk, const TItem& item, uint64_t length) {
  const uint8_t* content = walk.Input.Here();
  switch (item.Type) {
    case TagType::DateTime: DecodeDateTime(walk, content, length); break;
    case TagType::String: DecodeString(walk, content, length); break;
    case TagType::Number: DecodeNumber(walk, item, content, length); break;
    case TagType::HexNumber: DecodeHexNumber(walk, content, length); break;
    case TagType::DecNumber: DecodeDecNumber(walk, content, length); break;
    case TagType::ValFromIndexedArr: DecodeIndexed(walk, item, content, length); break;
    case TagType::ValFromNonIndexedArr: DecodeNonIndexed(walk, item, content, length); break;
    case TagType::Duration: DecodeDuration(walk, content, length); break;
    case TagType::LineCode: DecodeLineCode(walk, content, length); break;
    case TagType::ReceivedDigits: DecodeReceivedDigits(walk, item, content, length); break;
    default: SetPiece(walk, "\n"); break;
  }
  ApplyFilter(walk, item);
  return 0;
}

}  // namespace orvalis
