// Each value type's octets read into a small result, by one function per type; the writers (the
// readable text, the debug dump, JSON Lines, CSV) only lay the result out. Every reader takes the
// contents of a primitive element: `length` octets (at least 1) at `c`, all within the input.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/text_format.h"

namespace orvalis {

// DecNumber, ValFromIndexedArr and ValFromNonIndexedArr: one or two octets make the value, b0 or
// 16 * b0 + b1; more are too many.
struct SmallValue {
  uint32_t Value;   // 0 when too long
  uint64_t Length;  // of the contents
  bool TooLong() const { return Length > 2; }
};
inline SmallValue ReadSmallValue(const uint8_t* c, uint64_t length) {
  return {length > 2 ? 0 : length == 1 ? c[0] : 16u * c[0] + c[1], length};
}

// Duration: hundredths of a second, big-endian, accumulated in 32 bits (of a longer value the last
// four octets count).
struct DurationValue {
  uint32_t Hundredths;
  uint32_t Seconds() const { return Hundredths / 100; }
};
inline DurationValue ReadDuration(const uint8_t* c, uint64_t length) {
  uint32_t hundredths = 0;
  for (uint64_t i = 0; i < length; ++i) hundredths = (hundredths << 8) + c[i];
  return {hundredths};
}

// Number and ReceivedDigits: a telephone address. Its first octet holds the odd-count indicator
// (bit 8) and the nature of address (the low seven bits); a Number's second octet the numbering
// plan (bits 5-7); the digits follow, two to an octet, high nibble first.
struct AddressValue {
  uint64_t Length;        // of the contents
  uint8_t HeadOctets;     // before the digits: 2 for a Number, 1 for received digits
  uint8_t Nature;         // 0 to 127
  uint8_t Plan;           // 0 to 7; 0 for received digits
  bool Odd;               // the count of digits is odd: the last octet's low nibble is none
  const uint8_t* Digits;  // the digit octets
  uint64_t DigitOctets;
  // Too few octets for the head (a Number of one octet): nothing else is read.
  bool TooShort() const { return Length < HeadOctets; }
};
constexpr uint8_t kOddIndicator = 0x80;
inline AddressValue ReadAddress(const uint8_t* c, uint64_t length, uint8_t headOctets) {
  AddressValue address{length, headOctets, 0, 0, false, c, 0};
  if (address.TooShort()) return address;
  address.Nature = static_cast<uint8_t>(c[0] & 0x7F);
  if (headOctets == 2) address.Plan = static_cast<uint8_t>((c[1] & 0x70) >> 4);
  address.Odd = (c[0] & kOddIndicator) != 0;
  address.Digits = c + headOctets;
  address.DigitOctets = length - headOctets;
  return address;
}
inline AddressValue ReadNumber(const uint8_t* c, uint64_t length) { return ReadAddress(c, length, 2); }
inline AddressValue ReadReceivedDigits(const uint8_t* c, uint64_t length) { return ReadAddress(c, length, 1); }
// The digits of telephone numbers, by nibble, two to an octet (high nibble first).
constexpr OctetPairs kAddressDigitPairs = MakeOctetPairs("0123456789*#abcS");
// The names of the natures of address 0 to 4 and of the numbering plans 0 to 7.
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
// The name of a nature of address for codes 0 to 4, else empty; the name of a numbering plan.
std::string_view NatureOfAddressName(uint8_t nature);
inline std::string_view NumberingPlanName(uint8_t plan) { return kNumberingPlanNames[plan]; }
// Writes a nature of address as text: its name, else its code in decimal (at most three digits);
// the room must take kLongestNatureOfAddress characters.
char* PutNatureOfAddress(char* out, uint8_t nature);
constexpr std::size_t kLongestNatureOfAddress =
    LongestOf(kNatureOfAddressNames) > 3 ? LongestOf(kNatureOfAddressNames) : 3;
constexpr std::size_t kLongestNumberingPlan = LongestOf(kNumberingPlanNames);

// LineCode: the first two octets (or fewer), then the others, written with "/" between them.
struct LineCodeValue {
  const uint8_t* Octets;
  uint64_t Head;  // 1 or 2
  uint64_t Tail;  // the octets after the first two
};
inline LineCodeValue ReadLineCode(const uint8_t* c, uint64_t length) {
  return {c, length < 2 ? length : 2, length < 2 ? 0 : length - 2};
}

// String: the octets up to the first NUL, or all of them.
struct StringValue {
  std::string_view Text;
  bool OctetsFollow;  // a NUL ended the text: the octets beside it are part of the value
};
inline StringValue ReadString(const uint8_t* c, uint64_t length) {
  const void* nul = std::memchr(c, 0, static_cast<std::size_t>(length));
  const std::size_t end = nul ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - c)
                              : static_cast<std::size_t>(length);
  return {std::string_view(reinterpret_cast<const char*>(c), end), nul != nullptr};
}

// DateTime: seven octets of two decimal nibbles each, year (of 20YY), month, day, hour, minute,
// second and hundredths, as they are (a nibble may be above 9); fewer octets are too few.
struct DateTimeValue {
  const uint8_t* Octets;  // seven of them unless TooShort
  bool TooShort;
};
inline DateTimeValue ReadDateTime(const uint8_t* c, uint64_t length) { return {c, length < 7}; }

// The fields of a date and time in decimal, and whether they make one: every nibble a decimal
// digit, a month of the year, a day of that month (29 February in leap years only), an hour, a
// minute and a second of the clock.
struct DateFields {
  int Field[7];  // -1 where a nibble is above 9
  bool Valid;
};
// Two decimal nibbles, or -1 when a nibble is above 9.
inline int BcdValue(uint8_t octet) {
  if ((octet >> 4) > 9 || (octet & 0x0F) > 9) return -1;
  return (octet >> 4) * 10 + (octet & 0x0F);
}
inline bool IsLeapYear(unsigned year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }
inline DateFields CheckDate(const DateTimeValue& date) {
  DateFields f{};
  for (int i = 0; i < 7; ++i) f.Field[i] = BcdValue(date.Octets[i]);
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int* field = f.Field;
  f.Valid = field[0] >= 0 && field[1] >= 1 && field[1] <= 12 && field[2] >= 1 && field[2] <= kDays[field[1] - 1] &&
            (field[1] != 2 || field[2] < 29 || IsLeapYear(2000 + static_cast<unsigned>(field[0]))) &&
            field[3] >= 0 && field[3] < 24 && field[4] >= 0 && field[4] < 60 && field[5] >= 0 && field[5] < 60 &&
            field[6] >= 0;
  return f;
}

}  // namespace orvalis
