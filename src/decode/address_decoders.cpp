// Telephone addresses: Number (nature of address, numbering plan, digits) and ReceivedDigits
// (nature of address, digits). The only values whose text differs in debug mode.
#include <string>
#include <string_view>

#include "common/text_format.h"
#include "decode/value_decoders.h"

namespace orvalis {
namespace {

constexpr std::string_view kNatureOfAddressNames[] = {
    "spare", "subscriber number", "unknown", "national (significant) number", "international number",
};
constexpr std::string_view kNumberingPlanNames[] = {
    "spare",
    "ISDN(Telephony) Number Plan (ITU-T Recommendation E.164)",
    "spare",
    "data numbering plan (ITU-T Recommendation  X.121)",
    "telex numbering plan (ITU-T Recommendation  F.69)",
    "reserved for national use",
    "reserved for national use",
    "spare",
};
constexpr char kDigitChars[] = "0123456789*#abcS";
constexpr uint8_t kOddIndicator = 0x80;
constexpr std::string_view kNumberTooShort =
    " error: length of Number type tag is less than 2 bytes!!!\n";
// The indentation of the debug layout's Number lines.
constexpr std::string_view kDebugIndent = "\n                   ";

// Appends the nature of address: its name for codes 0 to 4, else the code in decimal.
void AppendNatureOfAddress(TextBuffer& text, uint8_t b0) {
  const uint8_t code = b0 & 0x7F;
  if (code < std::size(kNatureOfAddressNames)) {
    text.append(kNatureOfAddressNames[code]);
  } else {
    AppendDecimal(text, static_cast<uint64_t>(code));
  }
}

std::string_view NumberingPlanName(uint8_t b1) { return kNumberingPlanNames[(b1 & 0x70) >> 4]; }

std::string_view TagNameOf(const TItem& item) {
  return item.TagName ? std::string_view(*item.TagName) : std::string_view("(null)");
}

void AppendPiece(WalkContext& walk) { AppendToRecord(walk, walk.ValueText); }

// The digit line: two digits per octet, high nibble first, the last one dropped when the count of
// digits is odd; then a line feed. It stays in ValueText for the filter.
void AppendDigitLine(WalkContext& walk, bool odd, const uint8_t* digits, uint64_t count) {
  TextBuffer& text = walk.ValueText;
  text.clear();
  char* out = text.extend(2 * count + 1);
  for (uint64_t i = 0; i < count; ++i) {
    *out++ = kDigitChars[digits[i] >> 4];
    *out++ = kDigitChars[digits[i] & 0x0F];
  }
  if (odd && count > 0) --out;
  *out++ = '\n';
  text.truncate(static_cast<std::size_t>(out - text.data()));
  AppendPiece(walk);
}

}  // namespace

void DecodeNumber(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  TextBuffer& text = walk.ValueText;
  if (length < 2) {
    text.assign(kNumberTooShort);
    AppendPiece(walk);
    return;
  }
  text.clear();
  if (walk.Settings.DebugMode) {
    text.append(TagNameOf(item));
    text.append(kDebugIndent);
    AppendHexOctet(text, c[0] & 0x7F);
    text.append(" Nature of Addr.=");
    AppendNatureOfAddress(text, c[0]);
    text.append(kDebugIndent);
    AppendHexOctet(text, c[1] & 0x70);
    text.append(" numbering plan ind.=");
    AppendPiece(walk);
    text.assign(NumberingPlanName(c[1]));
    text.append("\n                      address digits=");
  } else {
    text.append("Nature of Addr.\t\t");
    AppendNatureOfAddress(text, c[0]);
    text.append("\n\t\t\t\tnumbering plan ind.\t");
    AppendPiece(walk);
    text.assign(NumberingPlanName(c[1]));
    text.append("\n\t\t\t\taddress digits\t\t");
  }
  AppendPiece(walk);
  AppendDigitLine(walk, (c[0] & kOddIndicator) != 0, c + 2, length - 2);
}

void DecodeReceivedDigits(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  TextBuffer& text = walk.ValueText;
  text.clear();
  if (walk.Settings.DebugMode) {
    text.append(TagNameOf(item));
    text.append("\n**** **** Nature of Addr.=");
    AppendNatureOfAddress(text, c[0]);
    text.append("\n**** **** numbering plan ind.=");
  } else {
    text.append("Nature of Addr.\t\t");
    AppendNatureOfAddress(text, c[0]);
    text.append("\n\t\t\t\taddress digits.\t\t");
  }
  AppendPiece(walk);
  AppendDigitLine(walk, (c[0] & kOddIndicator) != 0, c + 1, length - 1);
}

}  // namespace orvalis
