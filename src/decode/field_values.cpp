#include "decode/field_values.h"

#include <charconv>
#include <cstring>

#include "common/text_format.h"
#include "decode/value_decoders.h"

namespace orvalis {
namespace {

constexpr PartNames kPlain = {{""}, 1};
constexpr PartNames kNumberParts = {{"nature", "natureCode", "plan", "planCode", "digits"}, 5};
constexpr PartNames kDigitsParts = {{"nature", "natureCode", "digits"}, 3};
constexpr PartNames kMnemonicParts = {{"text", "code"}, 2};
constexpr PartNames kDurationParts = {{"text", "seconds"}, 2};

// Where formatting a value starts: the scratch emptied, with room for everything a value of this
// length formats (so that the views into it stay valid).
char* BeginScratch(TextBuffer& scratch, uint64_t length) {
  scratch.clear();
  scratch.reserve(static_cast<std::size_t>(3 * length + 128));
  return scratch.extend(0);
}

// Formats into the scratch and returns the view of what was added.
struct Scratch {
  TextBuffer& Text;
  std::string_view Add(std::string_view piece) {
    const std::size_t at = Text.size();
    Text.append(piece);
    return Text.view().substr(at);
  }
  std::string_view Decimal(uint64_t number) {
    const std::size_t at = Text.size();
    AppendDecimal(Text, number);
    return Text.view().substr(at);
  }
  std::string_view Hex(const uint8_t* content, uint64_t length) {
    const std::size_t at = Text.size();
    AppendHexText(Text, content, length);
    return Text.view().substr(at);
  }
};

void SetError(FieldValue& value, Scratch& scratch, std::string_view error, const uint8_t* c, uint64_t length) {
  value.Count = 0;
  value.Object = false;
  value.Error = error;
  value.Hex = scratch.Hex(c, length);
}

void SetParts(FieldValue& value, const PartNames& names) {
  value.Count = names.Count;
  value.Object = names.Count > 1;
  for (int part = 0; part < names.Count; ++part) value.Parts[part].Name = names.Names[part];
}

bool IsLeapYear(unsigned year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Two decimal nibbles, or -1 when a nibble is above 9.
int BcdValue(uint8_t octet) {
  if ((octet >> 4) > 9 || (octet & 0x0F) > 9) return -1;
  return (octet >> 4) * 10 + (octet & 0x0F);
}

// ISO 8601 from year (20YY), month, day, hour, minute, second and hundredths, each two decimal
// nibbles; an error when a nibble or a field is out of range.
void DecodeDateTime(const uint8_t* c, uint64_t length, Scratch& scratch, FieldValue& value) {
  if (length < 7) return SetError(value, scratch, "length of DateTime type tag is less than 7 bytes", c, length);
  int field[7];
  for (int i = 0; i < 7; ++i) field[i] = BcdValue(c[i]);
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool valid = field[0] >= 0 && field[1] >= 1 && field[1] <= 12 && field[2] >= 1 &&
                     field[2] <= kDays[field[1] - 1] &&
                     (field[1] != 2 || field[2] < 29 || IsLeapYear(2000 + static_cast<unsigned>(field[0]))) &&
                     field[3] >= 0 && field[3] < 24 && field[4] >= 0 && field[4] < 60 && field[5] >= 0 &&
                     field[5] < 60 && field[6] >= 0;
  if (!valid) return SetError(value, scratch, "not a valid date and time", c, length);
  char text[] = "20YY-MM-DDThh:mm:ss.cc";
  const int at[7] = {2, 5, 8, 11, 14, 17, 20};
  for (int i = 0; i < 7; ++i) {
    text[at[i]] = static_cast<char>('0' + field[i] / 10);
    text[at[i] + 1] = static_cast<char>('0' + field[i] % 10);
  }
  SetParts(value, kPlain);
  value.Parts[0] = {"", PartKind::kVerbatim, scratch.Add(std::string_view(text, sizeof text - 1))};
}

void DecodeString(const uint8_t* c, uint64_t length, Scratch& scratch, FieldValue& value) {
  const void* nul = std::memchr(c, 0, static_cast<std::size_t>(length));
  const std::size_t end = nul ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - c)
                              : static_cast<std::size_t>(length);
  SetParts(value, kPlain);
  value.Parts[0] = {"", PartKind::kText, std::string_view(reinterpret_cast<const char*>(c), end)};
  if (nul != nullptr) value.Hex = scratch.Hex(c, length);  // the text ends at the NUL: all octets beside it
}

std::string_view DigitLine(const uint8_t* digits, uint64_t count, bool odd, Scratch& scratch) {
  const std::size_t at = scratch.Text.size();
  char* out = scratch.Text.extend(static_cast<std::size_t>(2 * count));
  for (uint64_t i = 0; i < count; ++i) out = PutOctetPair(out, kAddressDigitPairs, digits[i]);
  if (odd && count > 0) scratch.Text.pop_back();
  return scratch.Text.view().substr(at);
}

// The nature of address: its name, or its code as text where it has none.
std::string_view NatureText(uint8_t b0, Scratch& scratch) {
  const std::string_view name = NatureOfAddressName(b0);
  return name.empty() ? scratch.Decimal(b0 & 0x7F) : name;
}

void DecodeNumber(const uint8_t* c, uint64_t length, Scratch& scratch, FieldValue& value) {
  if (length < 2) return SetError(value, scratch, "length of Number type tag is less than 2 bytes", c, length);
  SetParts(value, kNumberParts);
  value.Parts[0] = {"nature", PartKind::kVerbatim, NatureText(c[0], scratch)};
  value.Parts[1] = {"natureCode", PartKind::kNumber, scratch.Decimal(c[0] & 0x7F)};
  value.Parts[2] = {"plan", PartKind::kVerbatim, NumberingPlanName(c[1])};
  value.Parts[3] = {"planCode", PartKind::kNumber, scratch.Decimal((c[1] & 0x70) >> 4)};
  value.Parts[4] = {"digits", PartKind::kVerbatim, DigitLine(c + 2, length - 2, (c[0] & kOddIndicator) != 0, scratch)};
}

void DecodeReceivedDigits(const uint8_t* c, uint64_t length, Scratch& scratch, FieldValue& value) {
  SetParts(value, kDigitsParts);
  value.Parts[0] = {"nature", PartKind::kVerbatim, NatureText(c[0], scratch)};
  value.Parts[1] = {"natureCode", PartKind::kNumber, scratch.Decimal(c[0] & 0x7F)};
  value.Parts[2] = {"digits", PartKind::kVerbatim, DigitLine(c + 1, length - 1, (c[0] & kOddIndicator) != 0, scratch)};
}

// One or two octets make the small value: b0, or 16 * b0 + b1 (as the readable text reads them).
uint32_t SmallValue(const uint8_t* c, uint64_t length) { return length == 1 ? c[0] : 16u * c[0] + c[1]; }

void DecodeMnemonic(MnemonicHit hit, uint32_t code, Scratch& scratch, FieldValue& value) {
  SetParts(value, kMnemonicParts);
  if (hit != nullptr && *hit) {
    value.Parts[0] = {"text", PartKind::kText, (*hit)->view()};  // the dictionary's text, which stays
  } else {
    value.Parts[0] = {"text", PartKind::kNull, {}};  // no such entry, or an entry without text
  }
  value.Parts[1] = {"code", PartKind::kNumber, scratch.Decimal(code)};
}

// Hundredths of a second, big-endian, accumulated in 32 bits as the readable text does (of a longer
// value the last four octets count).
void DecodeDuration(const uint8_t* c, uint64_t length, Scratch& scratch, FieldValue& value) {
  uint32_t hundredths = 0;
  for (uint64_t i = 0; i < length; ++i) hundredths = (hundredths << 8) + c[i];
  const uint32_t seconds = hundredths / 100;
  const uint32_t hours = seconds / 3600;
  const uint32_t minutes = seconds / 60 % 60;
  SetParts(value, kDurationParts);
  const std::size_t at = scratch.Text.size();
  if (hours < 10) scratch.Text.push_back('0');
  AppendDecimal(scratch.Text, static_cast<uint64_t>(hours));
  scratch.Text.push_back(':');
  AppendZeroPadded(scratch.Text, minutes, 2);
  scratch.Text.push_back(':');
  AppendZeroPadded(scratch.Text, seconds % 60, 2);
  value.Parts[0] = {"text", PartKind::kVerbatim, scratch.Text.view().substr(at)};
  const std::size_t secondsAt = scratch.Text.size();
  AppendDecimal(scratch.Text, static_cast<uint64_t>(seconds));
  scratch.Text.push_back('.');
  AppendZeroPadded(scratch.Text, hundredths % 100, 2);
  value.Parts[1] = {"seconds", PartKind::kNumber, scratch.Text.view().substr(secondsAt)};
}

void DecodeLineCode(const uint8_t* c, uint64_t length, Scratch& scratch, FieldValue& value) {
  const std::size_t at = scratch.Text.size();
  for (uint64_t i = 0; i < length; ++i) {
    if (i == 2) scratch.Text.push_back('/');
    AppendHexOctet(scratch.Text, c[i]);
  }
  if (length <= 2) scratch.Text.push_back('/');
  SetParts(value, kPlain);
  value.Parts[0] = {"", PartKind::kVerbatim, scratch.Text.view().substr(at)};
}

}  // namespace

void AppendHexText(TextBuffer& out, const uint8_t* content, uint64_t length) {
  char* at = out.extend(static_cast<std::size_t>(2 * length));
  for (uint64_t i = 0; i < length; ++i) at = PutOctetPair(at, kUpperHexPairs, content[i]);
}

PartNames PartNamesOf(TagType type) {
  switch (type) {
    case TagType::Number: return kNumberParts;
    case TagType::ReceivedDigits: return kDigitsParts;
    case TagType::ValFromIndexedArr:
    case TagType::ValFromNonIndexedArr: return kMnemonicParts;
    case TagType::Duration: return kDurationParts;
    default: return kPlain;
  }
}

void DecodeFieldValue(const TItem& item, const uint8_t* c, uint64_t length, TextBuffer& text, FieldValue& value) {
  BeginScratch(text, length);
  Scratch scratch{text};
  value.Error = {};
  value.Hex = {};
  switch (item.Type) {
    case TagType::DateTime: return DecodeDateTime(c, length, scratch, value);
    case TagType::String: return DecodeString(c, length, scratch, value);
    case TagType::Number: return DecodeNumber(c, length, scratch, value);
    case TagType::ReceivedDigits: return DecodeReceivedDigits(c, length, scratch, value);
    case TagType::DecNumber:
      if (length > 2) return SetError(value, scratch, "length of DecNumber type tag is more than 2 bytes", c, length);
      SetParts(value, kPlain);
      value.Parts[0] = {"", PartKind::kNumber, scratch.Decimal(SmallValue(c, length))};
      return;
    case TagType::ValFromIndexedArr:
      if (length > 2) return SetError(value, scratch, "length of ValFromIndexedArr type tag is more than 2 bytes", c, length);
      return DecodeMnemonic(item.IndArr ? item.IndArr->Lookup(SmallValue(c, length)) : nullptr,
                            SmallValue(c, length), scratch, value);
    case TagType::ValFromNonIndexedArr:
      if (length > 2) return SetError(value, scratch, "length of ValFromNonIndexedArr type tag is more than 2 bytes", c, length);
      return DecodeMnemonic(
          item.NonIndArr ? item.NonIndArr->Lookup(static_cast<int32_t>(SmallValue(c, length))) : nullptr,
          SmallValue(c, length), scratch, value);
    case TagType::Duration: return DecodeDuration(c, length, scratch, value);
    case TagType::LineCode: return DecodeLineCode(c, length, scratch, value);
    default:  // hexadecimal numbers, and tags without a type: their octets in hexadecimal
      SetParts(value, kPlain);
      value.Parts[0] = {"", PartKind::kVerbatim, scratch.Hex(c, length)};
      return;
  }
}

}  // namespace orvalis
