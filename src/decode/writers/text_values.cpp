#include "decode/writers/text_values.h"

#include <charconv>
#include <cstring>
#include <string>

#include "common/text_format.h"
#include "decode/writers/long_values.h"

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

// Appends a fixed text as the value's piece.
void SetPiece(WalkContext& walk, std::string_view piece) {
  EndPiece(walk, PutText(BeginPiece(walk, piece.size()), piece));
}

// Every octet's two nibbles, each written as a number of its own (0 to 15): two to four
// characters.
struct NibbleNumbers {
  char Text[256][4];
  uint8_t Size[256];
};
constexpr NibbleNumbers MakeNibbleNumbers() {
  NibbleNumbers table{};
  for (int octet = 0; octet < 256; ++octet) {
    int size = 0;
    for (int nibble : {octet >> 4, octet & 0x0F}) {
      if (nibble >= 10) table.Text[octet][size++] = '1';
      table.Text[octet][size++] = static_cast<char>('0' + nibble % 10);
    }
    table.Size[octet] = static_cast<uint8_t>(size);
  }
  return table;
}
constexpr NibbleNumbers kNibbleNumbers = MakeNibbleNumbers();

// Writes an octet's two nibbles as numbers; the room must take four characters.
char* PutNibbles(char* out, uint8_t octet) {
  std::memcpy(out, kNibbleNumbers.Text[octet], 4);
  return out + kNibbleNumbers.Size[octet];
}

// Day.month.20year hour:minute:second:hundredths, every nibble printed as a number of its own.
[[gnu::noinline]] void DecodeDateTime(WalkContext& walk, const uint8_t* content, uint64_t length) {
  const DateTimeValue date = ReadDateTime(content, length);
  if (date.TooShort) {
    SetPiece(walk, kDateTimeTooShort);
    return;
  }
  const uint8_t* c = date.Octets;
  // 14 nibbles of at most two digits and 9 other characters, and room for PutNibbles to write
  // four characters at the last octet
  char* out = BeginPiece(walk, 40);
  out = PutNibbles(out, c[2]);
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
  EndShortPiece(walk, out);
}

// The octets up to the first NUL (or all of them), then a line feed.
[[gnu::noinline]] void DecodeString(WalkContext& walk, const uint8_t* c, uint64_t length) {
  const std::string_view text = ReadString(c, length).Text;
  char* out = BeginPiece(walk, text.size() + 1);
  out = PutText(out, text);
  *out++ = '\n';
  EndPiece(walk, out);
}

// Hexadecimal digits, two per octet, then a line feed. Each octet and the line feed are pieces of
// their own, far below the piece limit, so the line is never refused, however long.
[[gnu::noinline]] void DecodeHexNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  char* out = PutOctetPairs(BeginPiece(walk, 2 * length + 1), c, length);
  *out++ = '\n';
  TextBuffer& record = walk.State.RecordBuffer;
  record.truncate(static_cast<std::size_t>(out - record.data()));
}

// Writes a number below 2^32 in decimal.
char* PutDecimal(char* out, uint32_t value) {
  return std::to_chars(out, out + 10, value).ptr;
}

[[gnu::noinline]] void DecodeDecNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  const SmallValue value = ReadSmallValue(c, length);
  if (value.TooLong()) {
    SetPiece(walk, kDecNumberTooLong);
    return;
  }
  char* out = PutDecimal(BeginPiece(walk, 11), value.Value);
  *out++ = '\n';
  EndShortPiece(walk, out);
}

void AppendMnemonic(WalkContext& walk, MnemonicHit hit, uint32_t value) {
  if (hit == nullptr) {
    constexpr std::string_view kNotFound = " - Mnemonics not found\n";
    char* out = PutDecimal(BeginPiece(walk, 10 + kNotFound.size()), value);
    EndPiece(walk, PutText(out, kNotFound));
    return;
  }
  const std::size_t size = *hit ? (*hit)->size() : kNullText.size();
  char* out = BeginPiece(walk, size + 1 + PaddedText::kPadding);
  out = *hit ? PutText(out, **hit) : PutText(out, kNullText);
  *out++ = '\n';
  EndPiece(walk, out);
}

[[gnu::noinline]] void DecodeIndexed(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  const SmallValue value = ReadSmallValue(c, length);
  if (value.TooLong()) {
    SetPiece(walk, kIndexedTooLong);
    return;
  }
  AppendMnemonic(walk, item.IndArr ? item.IndArr->Lookup(value.Value) : nullptr, value.Value);
}

[[gnu::noinline]] void DecodeNonIndexed(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  const SmallValue value = ReadSmallValue(c, length);
  if (value.TooLong()) {
    SetPiece(walk, kNonIndexedTooLong);
    return;
  }
  MnemonicHit hit = item.NonIndArr ? item.NonIndArr->Lookup(static_cast<int32_t>(value.Value)) : nullptr;
  AppendMnemonic(walk, hit, value.Value);
}

// Writes two decimal digits of a number below 100.
char* PutTwoDigits(char* out, uint32_t value) {
  out[0] = kDigitPairs[2 * value];
  out[1] = kDigitPairs[2 * value + 1];
  return out + 2;
}

// Hours:minutes:seconds.
[[gnu::noinline]] void DecodeDuration(WalkContext& walk, const uint8_t* c, uint64_t length) {
  const uint32_t seconds = ReadDuration(c, length).Seconds();
  const uint32_t hours = seconds / 3600;
  const uint32_t minutes = (seconds - 3600 * hours) / 60;
  const uint32_t rest = seconds - 3600 * hours - 60 * minutes;
  char* out = BeginPiece(walk, 16);  // at most 11930 hours
  out = hours < 100 ? PutTwoDigits(out, hours) : PutDecimal(out, hours);
  *out++ = ':';
  out = PutTwoDigits(out, minutes);
  *out++ = ':';
  out = PutTwoDigits(out, rest);
  *out++ = '\n';
  EndShortPiece(walk, out);
}

// The first two octets in hexadecimal, "/", the others in hexadecimal, a line feed.
[[gnu::noinline]] void DecodeLineCode(WalkContext& walk, const uint8_t* c, uint64_t length) {
  const LineCodeValue code = ReadLineCode(c, length);
  char* out = PutOctetPairs(BeginPiece(walk, 2 * length + 2), code.Octets, code.Head);
  *out++ = '/';
  out = PutOctetPairs(out, code.Octets + code.Head, code.Tail);
  *out++ = '\n';
  EndPiece(walk, out);
}

constexpr std::string_view kNumberTooShort =
    " error: length of Number type tag is less than 2 bytes!!!\n";

// The text of a telephone number before its digit line. Two pieces in one go: neither can reach
// the piece limit, so neither is ever refused.
[[gnu::always_inline]] inline void PutNumberHead(WalkContext& walk, const AddressValue& address) {
  constexpr std::string_view kNature = "Nature of Addr.\t\t";
  constexpr std::string_view kPlan = "\n\t\t\t\tnumbering plan ind.\t";
  constexpr std::string_view kDigits = "\n\t\t\t\taddress digits\t\t";
  char* out = BeginPiece(walk, kNature.size() + kLongestNatureOfAddress + kPlan.size() + kLongestNumberingPlan +
                                   kDigits.size());
  out = PutNatureOfAddress(PutText(out, kNature), address.Nature);
  out = PutText(PutText(PutText(out, kPlan), NumberingPlanName(address.Plan)), kDigits);
  EndPiece(walk, out);
}

// The text of received digits before their digit line.
[[gnu::always_inline]] inline void PutReceivedDigitsHead(WalkContext& walk, const AddressValue& address) {
  constexpr std::string_view kNature = "Nature of Addr.\t\t";
  constexpr std::string_view kDigits = "\n\t\t\t\taddress digits.\t\t";
  char* out = BeginPiece(walk, kNature.size() + kLongestNatureOfAddress + kDigits.size());
  out = PutNatureOfAddress(PutText(out, kNature), address.Nature);
  EndPiece(walk, PutText(out, kDigits));
}

// The digit line: two digits per octet, high nibble first, the last one dropped when the count of
// digits is odd; then a line feed. It is the value's text for the filter.
void AppendDigitLine(WalkContext& walk, const AddressValue& address) {
  const uint64_t count = address.DigitOctets;
  char* out = PutOctetPairs(BeginPiece(walk, 2 * count + 1), address.Digits, count, kAddressDigitPairs);
  if (address.Odd && count > 0) --out;
  *out++ = '\n';
  EndPiece(walk, out);
}

[[gnu::noinline]] void DecodeNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  const AddressValue address = ReadNumber(c, length);
  if (address.TooShort()) return SetPiece(walk, kNumberTooShort);
  PutNumberHead(walk, address);
  AppendDigitLine(walk, address);
}

[[gnu::noinline]] void DecodeReceivedDigits(WalkContext& walk, const uint8_t* c, uint64_t length) {
  const AddressValue address = ReadReceivedDigits(c, length);
  PutReceivedDigitsHead(walk, address);
  AppendDigitLine(walk, address);
}

}  // namespace

void AppendNumberHead(WalkContext& walk, const AddressValue& address) { PutNumberHead(walk, address); }

void AppendReceivedDigitsHead(WalkContext& walk, const AddressValue& address) { PutReceivedDigitsHead(walk, address); }

void AppendDigitLineAndFilter(WalkContext& walk, const TItem& item, const AddressValue& address, uint64_t length) {
  if (length >= kLongValue) return RefuseLongDigitLine(walk, item, address);
  AppendDigitLine(walk, address);
  if (item.FilterValue) ApplyFilter(walk, item);
}

void ApplyFilter(WalkContext& walk, const TItem& item) {
  WalkState& state = walk.State;
  if (state.RecordPasses && LastPieceText(walk).find(*item.FilterValue) == std::string_view::npos) {
    state.RecordPasses = false;
  }
  ++state.FilteredTagsSeen;
}

void FormatValue(WalkContext& walk, const TItem& item, uint64_t length) {
  const uint8_t* content = walk.Input.Here();
  switch (item.Type) {
    case TagType::DateTime: return DecodeDateTime(walk, content, length);
    case TagType::String: return DecodeString(walk, content, length);
    case TagType::Number: return DecodeNumber(walk, content, length);
    case TagType::HexNumber: return DecodeHexNumber(walk, content, length);
    case TagType::DecNumber: return DecodeDecNumber(walk, content, length);
    case TagType::ValFromIndexedArr: return DecodeIndexed(walk, item, content, length);
    case TagType::ValFromNonIndexedArr: return DecodeNonIndexed(walk, item, content, length);
    case TagType::Duration: return DecodeDuration(walk, content, length);
    case TagType::LineCode: return DecodeLineCode(walk, content, length);
    case TagType::ReceivedDigits: return DecodeReceivedDigits(walk, content, length);
    default: return SetPiece(walk, "\n");
  }
}

}  // namespace orvalis
