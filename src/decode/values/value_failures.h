// The values that cannot be decoded, one table for every type: each with the reason the record
// formats give (beside the octets) and the line the readable text writes in place of the value.
// The first types have lines of their own (none: the readable text writes the value as it reads,
// unchecked); the types of module-defined files write one form, " error: REASON; octets HEX"
// (FailureWithOctets, decode/types/text_layout.h), and leave TextLine empty.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvalis {

enum class ValueFailure : uint8_t {
  kDateTimeTooShort,
  kNotADateTime,
  kNumberTooShort,
  kDecNumberTooLong,
  kIndexedTooLong,
  kNonIndexedTooLong,
  // The types of module-defined files.
  kNullWithContents,
  kIntegerTooLong,
  kIntegerBeyond64Bits,
  kBooleanTooLong,
  kBitStringUnusedBits,
  kObjectIdentifierCutShort,
  kObjectIdentifierArcTooLarge,
  kNulCharacter,
  kNotUtf8,
  kBmpStringOddLength,
  kLoneSurrogate,
  kUniversalStringLength,
  kBeyondUnicode,
  kNotGeneralizedTime,
  kNotUtcTime,
  kFillerBeforeLastDigit,
  kNotADigit,
  kImsiLength,
  kImeiLength,
  kOctet3aMissing,
  kTimeStampLength,
  kNotATimeStamp,
  kIpAddressLength,
  kPlmnIdLength,
  kPlmnIdNotDigits,
  kNegativeSeconds,
};
struct ValueFailureRow {
  std::string_view Reason;
  std::string_view TextLine;
};
constexpr ValueFailureRow kValueFailures[] = {
    {"length of DateTime type tag is less than 7 bytes",
     " error: length of DateTime type tag is less than 7 bytes!!!\n"},
    {"not a valid date and time", {}},
    {"length of Number type tag is less than 2 bytes", " error: length of Number type tag is less than 2 bytes!!!\n"},
    {"length of DecNumber type tag is more than 2 bytes",
     " error: length of DecNumber type tag is more than 2 bytes!!!\n"},
    {"length of ValFromIndexedArr type tag is more than 2 bytes",
     " error: length length of ValFromIndexedArr type tag is more than 2 bytes!!!\n"},  // "length" twice, as it always was
    {"length of ValFromNonIndexedArr type tag is more than 2 bytes",
     " error: length of ValFromNonIndexedArr type tag is more than 2 bytes!!!\n"},
    {"a null with contents", {}},
    {"an integer of more than 9 octets", {}},
    {"an integer beyond 64 bits", {}},
    {"a boolean of more than 1 octet", {}},
    {"a bit string whose count of unused bits is above 7 or above 0 without bits", {}},
    {"an object identifier cut short inside an arc", {}},
    {"an object identifier arc beyond 64 bits", {}},
    {"a NUL character (no database text holds one)", {}},
    {"not valid UTF-8", {}},
    {"a BMPString of an odd number of octets", {}},
    {"a lone surrogate in a BMPString", {}},
    {"a UniversalString whose length is not a multiple of 4", {}},
    {"a UniversalString character beyond Unicode", {}},
    {"not a valid GeneralizedTime", {}},
    {"not a valid UTCTime", {}},
    {"a filler F before the last digit", {}},
    {"a nibble A to E where digits are required", {}},
    {"an IMSI of other than 3 to 8 octets", {}},
    {"an IMEI of other than 8 octets", {}},
    {"a BCD number without its octet 3a", {}},
    {"a TimeStamp of other than 9 octets", {}},
    {"not a valid TimeStamp", {}},
    {"an IP address of other than 4 or 16 octets", {}},
    {"a PLMN identity of other than 3 octets", {}},
    {"a PLMN identity whose MCC or MNC is not digits", {}},
    {"a negative duration", {}},
};
static_assert(sizeof kValueFailures / sizeof kValueFailures[0] == static_cast<int>(ValueFailure::kNegativeSeconds) + 1,
              "a row for every failure");
// CSV's errors cell writes a reason as it is: none may hold a comma, a quotation mark or a line end.
constexpr bool ReasonsNeedNoQuotes() {
  for (const ValueFailureRow& row : kValueFailures) {
    for (char c : row.Reason) {
      if (c == ',' || c == '"' || c == '\r' || c == '\n') return false;
    }
  }
  return true;
}
static_assert(ReasonsNeedNoQuotes(), "a reason that CSV's errors cell would have to quote");
constexpr std::string_view FailureReason(ValueFailure failure) {
  return kValueFailures[static_cast<int>(failure)].Reason;
}
constexpr std::string_view FailureLine(ValueFailure failure) {
  return kValueFailures[static_cast<int>(failure)].TextLine;
}

}  // namespace orvalis
