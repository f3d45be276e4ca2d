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

// Appends the piece formatted in ValueText to the record.
void AppendValueText(WalkContext& walk) { AppendToRecord(walk, walk.ValueText); }

// Makes a fixed text the value's text and appends it.
void SetPiece(WalkContext& walk, std::string_view piece) {
  walk.ValueText.assign(piece);
  AppendValueText(walk);
}

// One or two content octets make the small value: b0, or 16 * b0 + b1.
uint32_t SmallValue(const uint8_t* content, uint64_t length) {
  return length == 1 ? content[0] : 16u * content[0] + content[1];
}

// Writes a nibble as a number of its own: 0 to 15.
char* PutNibble(char* out, unsigned nibble) {
  if (nibble >= 10) {
    *out++ = '1';
    nibble -= 10;
  }
  *out++ = static_cast<char>('0' + nibble);
  return out;
}

char* PutNibbles(char* out, uint8_t octet) { return PutNibble(PutNibble(out, octet >> 4), octet & 0x0F); }

// Day.month.20year hour:minute:second:hundredths, every nibble printed as a number of its own.
void DecodeDateTime(WalkContext& walk, const uint8_t* c, uint64_t length) {
  if (length < 7) {
    SetPiece(walk, kDateTimeTooShort);
    return;
  }
  char line[40];  // 14 nibbles of at most two digits and 9 other characters
  char* out = PutNibbles(line, c[2]);
  *out++ = '.';
  out = PutNibbles(out, c[1]);
  *out++ = '.';
  *out++ = '2';
  *out++ = '0';
  out = PutNibbles(out, c[0]);
  *out++ = ' ';
  out = PutNibbles(out, c[3]);
  *out++ = ':';
  out = PutNibbles(out, c[4]);
  *out++ = ':';
  out = PutNibbles(out, c[5]);
  *out++ = ':';
  out = PutNibbles(out, c[6]);
  *out++ = '\n';
  SetPiece(walk, std::string_view(line, static_cast<std::size_t>(out - line)));
}

void DecodeString(WalkContext& walk, const uint8_t* c, uint64_t length) {
  uint64_t end = 0;
  while (end < length && c[end] != 0) ++end;
  TextBuffer& text = walk.ValueText;
  text.assign(std::string_view(reinterpret_cast<const char*>(c), static_cast<std::size_t>(end)));
  text.push_back('\n');
  AppendValueText(walk);
}

// Hexadecimal digits, two per octet, then a line feed. Each octet and the line feed are pieces of
// their own, far below the piece limit, so the whole line goes to the record at once.
void DecodeHexNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  TextBuffer& text = walk.ValueText;
  text.clear();
  char* out = text.extend(2 * length + 1);
  for (uint64_t i = 0; i < length; ++i) {
    *out++ = kUpperHexDigits[c[i] >> 4];
    *out++ = kUpperHexDigits[c[i] & 0x0F];
  }
  *out = '\n';
  walk.State.RecordBuffer.append(text);
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

// Hundredths of a second, big-endian, accumulated in 32 bits, as hours:minutes:seconds.
void DecodeDuration(WalkContext& walk, const uint8_t* c, uint64_t length) {
  uint32_t hundredths = 0;
  for (uint64_t i = 0; i < length; ++i) hundredths = (hundredths << 8) + c[i];
  const uint32_t seconds = hundredths / 100;
  const uint32_t hours = seconds / 3600;
  const uint32_t minutes = (seconds - 3600 * hours) / 60;
  TextBuffer& text = walk.ValueText;
  text.clear();
  AppendZeroPadded(text, hours, 2);
  char* out = text.extend(7);
  out[0] = ':';
  out[1] = kDigitPairs[2 * minutes];
  out[2] = kDigitPairs[2 * minutes + 1];
  out[3] = ':';
  const uint32_t rest = seconds - 3600 * hours - 60 * minutes;
  out[4] = kDigitPairs[2 * rest];
  out[5] = kDigitPairs[2 * rest + 1];
  out[6] = '\n';
  AppendValueText(walk);
}

// The first two octets in hexadecimal, "/", the others in hexadecimal, a line feed.
void DecodeLineCode(WalkContext& walk, const uint8_t* c, uint64_t length) {
  TextBuffer& text = walk.ValueText;
  text.clear();
  char* out = text.extend(2 * length + 2);
  for (uint64_t i = 0; i < length; ++i) {
    if (i == 2) *out++ = '/';
    *out++ = kUpperHexDigits[c[i] >> 4];
    *out++ = kUpperHexDigits[c[i] & 0x0F];
  }
  if (length <= 2) *out++ = '/';
  *out = '\n';
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
