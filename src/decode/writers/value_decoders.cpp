#include "decode/writers/value_decoders.h"

#include <charconv>
#include <cstring>
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

// Appends a fixed text as the value's piece.
void SetPiece(WalkContext& walk, std::string_view piece) {
  EndPiece(walk, PutText(BeginPiece(walk, piece.size()), piece));
}

// One or two content octets make the small value: b0, or 16 * b0 + b1.
uint32_t SmallValue(const uint8_t* content, uint64_t length) {
  return length == 1 ? content[0] : 16u * content[0] + content[1];
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
[[gnu::noinline]] void DecodeDateTime(WalkContext& walk, const uint8_t* c, uint64_t length) {
  if (length < 7) {
    SetPiece(walk, kDateTimeTooShort);
    return;
  }
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
  const void* nul = std::memchr(c, 0, static_cast<std::size_t>(length));
  const std::size_t end =
      nul ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - c) : static_cast<std::size_t>(length);
  char* out = BeginPiece(walk, end + 1);
  out = PutText(out, std::string_view(reinterpret_cast<const char*>(c), end));
  *out++ = '\n';
  EndPiece(walk, out);
}

// Hexadecimal digits, two per octet, then a line feed. Each octet and the line feed are pieces of
// their own, far below the piece limit, so the line is never refused, however long.
[[gnu::noinline]] void DecodeHexNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  char* out = BeginPiece(walk, 2 * length + 1);
  for (uint64_t i = 0; i < length; ++i) {
    out = PutOctetPair(out, kUpperHexPairs, c[i]);
  }
  *out++ = '\n';
  TextBuffer& record = walk.State.RecordBuffer;
  record.truncate(static_cast<std::size_t>(out - record.data()));
}

// Writes a number below 2^32 in decimal.
char* PutDecimal(char* out, uint32_t value) {
  return std::to_chars(out, out + 10, value).ptr;
}

[[gnu::noinline]] void DecodeDecNumber(WalkContext& walk, const uint8_t* c, uint64_t length) {
  if (length > 2) {
    SetPiece(walk, kDecNumberTooLong);
    return;
  }
  char* out = PutDecimal(BeginPiece(walk, 11), SmallValue(c, length));
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
  if (length > 2) {
    SetPiece(walk, kIndexedTooLong);
    return;
  }
  const uint32_t value = SmallValue(c, length);
  AppendMnemonic(walk, item.IndArr ? item.IndArr->Lookup(value) : nullptr, value);
}

[[gnu::noinline]] void DecodeNonIndexed(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  if (length > 2) {
    SetPiece(walk, kNonIndexedTooLong);
    return;
  }
  const uint32_t value = SmallValue(c, length);
  MnemonicHit hit = item.NonIndArr ? item.NonIndArr->Lookup(static_cast<int32_t>(value)) : nullptr;
  AppendMnemonic(walk, hit, value);
}

// Writes two decimal digits of a number below 100.
char* PutTwoDigits(char* out, uint32_t value) {
  out[0] = kDigitPairs[2 * value];
  out[1] = kDigitPairs[2 * value + 1];
  return out + 2;
}

// Hundredths of a second, big-endian, accumulated in 32 bits, as hours:minutes:seconds.
[[gnu::noinline]] void DecodeDuration(WalkContext& walk, const uint8_t* c, uint64_t length) {
  uint32_t hundredths = 0;
  for (uint64_t i = 0; i < length; ++i) hundredths = (hundredths << 8) + c[i];
  const uint32_t seconds = hundredths / 100;
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
  char* out = BeginPiece(walk, 2 * length + 2);
  for (uint64_t i = 0; i < length; ++i) {
    if (i == 2) *out++ = '/';
    out = PutOctetPair(out, kUpperHexPairs, c[i]);
  }
  if (length <= 2) *out++ = '/';
  *out++ = '\n';
  EndPiece(walk, out);
}

}  // namespace

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
    case TagType::Number: return DecodeNumber(walk, item, content, length);
    case TagType::HexNumber: return DecodeHexNumber(walk, content, length);
    case TagType::DecNumber: return DecodeDecNumber(walk, content, length);
    case TagType::ValFromIndexedArr: return DecodeIndexed(walk, item, content, length);
    case TagType::ValFromNonIndexedArr: return DecodeNonIndexed(walk, item, content, length);
    case TagType::Duration: return DecodeDuration(walk, content, length);
    case TagType::LineCode: return DecodeLineCode(walk, content, length);
    case TagType::ReceivedDigits: return DecodeReceivedDigits(walk, item, content, length);
    default: return SetPiece(walk, "\n");
  }
}

}  // namespace orvalis
