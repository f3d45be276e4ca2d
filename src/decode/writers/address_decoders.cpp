// Telephone addresses: Number (nature of address, numbering plan, digits) and ReceivedDigits
// (nature of address, digits). The only values whose text differs in debug mode.
#include <charconv>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

#include "common/text_format.h"
#include "decode/writers/value_decoders.h"

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
// The longest of a table's texts.
template <std::size_t N>
constexpr std::size_t LongestOf(const std::string_view (&texts)[N]) {
  std::size_t longest = 0;
  for (std::string_view text : texts) longest = text.size() > longest ? text.size() : longest;
  return longest;
}
// A nature of address written as a code has at most three digits.
constexpr std::size_t kLongestNatureOfAddress =
    LongestOf(kNatureOfAddressNames) > 3 ? LongestOf(kNatureOfAddressNames) : 3;
constexpr std::size_t kLongestNumberingPlan = LongestOf(kNumberingPlanNames);
constexpr std::string_view kNumberTooShort =
    " error: length of Number type tag is less than 2 bytes!!!\n";
// The indentation of the debug layout's Number lines.
constexpr std::string_view kDebugIndent = "\n                   ";

// Writes the nature of address: its name for codes 0 to 4, else the code in decimal.
char* PutNatureOfAddress(char* out, uint8_t b0) {
  const uint8_t code = b0 & 0x7F;
  if (code < std::size(kNatureOfAddressNames)) return PutText(out, kNatureOfAddressNames[code]);
  return std::to_chars(out, out + 3, static_cast<unsigned>(code)).ptr;
}

std::string_view TagNameOf(const TItem& item) {
  return item.TagName ? std::string_view(*item.TagName) : std::string_view("(null)");
}

// Writes an octet as two upper-case hexadecimal digits.
char* PutHexOctet(char* out, uint8_t octet) {
  return PutOctetPair(out, kUpperHexPairs, octet);
}

// Appends a piece made of the texts given, in order.
void AppendPieceOf(WalkContext& walk, std::initializer_list<std::string_view> texts) {
  std::size_t room = 0;
  for (std::string_view text : texts) room += text.size();
  char* out = BeginPiece(walk, room);
  for (std::string_view text : texts) out = PutText(out, text);
  EndPiece(walk, out);
}

// The digit line: two digits per octet, high nibble first, the last one dropped when the count of
// digits is odd; then a line feed. It is the value's text for the filter.
void AppendDigitLine(WalkContext& walk, bool odd, const uint8_t* digits, uint64_t count) {
  char* out = BeginPiece(walk, 2 * count + 1);
  for (uint64_t i = 0; i < count; ++i) {
    out = PutOctetPair(out, kAddressDigitPairs, digits[i]);
  }
  if (odd && count > 0) --out;
  *out++ = '\n';
  EndPiece(walk, out);
}

// The text of a telephone number before its digit line.
[[gnu::always_inline]] inline void PutNumberHead(WalkContext& walk, const TItem& item, const uint8_t* c) {
  if (walk.Settings.DebugMode) {
    const std::string_view name = TagNameOf(item);
    constexpr std::string_view kNature = " Nature of Addr.=";
    constexpr std::string_view kPlan = " numbering plan ind.=";
    char* out = BeginPiece(walk, name.size() + 2 * kDebugIndent.size() + 4 + kNature.size() +
                                     kLongestNatureOfAddress + kPlan.size());
    out = PutText(out, name);
    out = PutText(out, kDebugIndent);
    out = PutHexOctet(out, c[0] & 0x7F);
    out = PutText(out, kNature);
    out = PutNatureOfAddress(out, c[0]);
    out = PutText(out, kDebugIndent);
    out = PutHexOctet(out, c[1] & 0x70);
    EndPiece(walk, PutText(out, kPlan));
    AppendPieceOf(walk, {NumberingPlanName(c[1]), "\n                      address digits="});
  } else {
    // Two pieces in one go: neither can reach the piece limit, so neither is ever refused.
    constexpr std::string_view kNature = "Nature of Addr.\t\t";
    constexpr std::string_view kPlan = "\n\t\t\t\tnumbering plan ind.\t";
    constexpr std::string_view kDigits = "\n\t\t\t\taddress digits\t\t";
    char* out = BeginPiece(walk, kNature.size() + kLongestNatureOfAddress + kPlan.size() +
                                     kLongestNumberingPlan + kDigits.size());
    out = PutNatureOfAddress(PutText(out, kNature), c[0]);
    out = PutText(PutText(PutText(out, kPlan), NumberingPlanName(c[1])), kDigits);
    EndPiece(walk, out);
  }
}

// The text of received digits before their digit line.
[[gnu::always_inline]] inline void PutReceivedDigitsHead(WalkContext& walk, const TItem& item, const uint8_t* c) {
  if (walk.Settings.DebugMode) {
    const std::string_view name = TagNameOf(item);
    constexpr std::string_view kNature = "\n**** **** Nature of Addr.=";
    constexpr std::string_view kPlan = "\n**** **** numbering plan ind.=";
    char* out = BeginPiece(walk, name.size() + kNature.size() + kLongestNatureOfAddress + kPlan.size());
    out = PutNatureOfAddress(PutText(PutText(out, name), kNature), c[0]);
    EndPiece(walk, PutText(out, kPlan));
  } else {
    constexpr std::string_view kNature = "Nature of Addr.\t\t";
    constexpr std::string_view kDigits = "\n\t\t\t\taddress digits.\t\t";
    char* out = BeginPiece(walk, kNature.size() + kLongestNatureOfAddress + kDigits.size());
    out = PutNatureOfAddress(PutText(out, kNature), c[0]);
    EndPiece(walk, PutText(out, kDigits));
  }
}

}  // namespace

std::string_view NatureOfAddressName(uint8_t b0) {
  const uint8_t code = b0 & 0x7F;
  return code < std::size(kNatureOfAddressNames) ? kNatureOfAddressNames[code] : std::string_view();
}

std::string_view NumberingPlanName(uint8_t b1) { return kNumberingPlanNames[(b1 & 0x70) >> 4]; }

void DecodeNumber(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  if (length < 2) {
    AppendPieceOf(walk, {kNumberTooShort});
    return;
  }
  PutNumberHead(walk, item, c);
  AppendDigitLine(walk, (c[0] & kOddIndicator) != 0, c + 2, length - 2);
}

void DecodeReceivedDigits(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
  PutReceivedDigitsHead(walk, item, c);
  AppendDigitLine(walk, (c[0] & kOddIndicator) != 0, c + 1, length - 1);
}

void AppendNumberHead(WalkContext& walk, const TItem& item, const uint8_t* c) { PutNumberHead(walk, item, c); }

void AppendReceivedDigitsHead(WalkContext& walk, const TItem& item, const uint8_t* c) {
  PutReceivedDigitsHead(walk, item, c);
}

}  // namespace orvalis
