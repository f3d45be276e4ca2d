// The octets of the telephony types of billing modules (3GPP TS 29.002, TS 24.008, TS 32.298)
// read into small results: TBCD digits (IMSI, IMEI, TBCD-STRING), addresses (AddressString,
// BCDDirectoryNumber), IP addresses and PLMN identities.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/text_format.h"
#include "decode/values/asn1_values.h"

namespace orvalis {

// TBCD digits: two to an octet, the low nibble first ("swapped"); 0 to 9, then A to E the symbols
// * # a b c; F only as the last nibble, a filler after an odd count of digits.
struct TbcdDigits {
  const uint8_t* Octets = nullptr;
  uint64_t Count = 0;  // octets
  bool Odd = false;    // the last nibble is the filler
  ValueCheck Check;
};
// With `digitsOnly` (IMSI, IMEI), A to E cannot be decoded either.
TbcdDigits ReadTbcd(const uint8_t* c, uint64_t length, bool digitsOnly);
// The characters of every octet's two nibbles, low nibble first.
constexpr OctetPairs MakeSwappedPairs(const char (&digits)[17]) {
  OctetPairs pairs{};
  for (int octet = 0; octet < 256; ++octet) {
    pairs.Text[2 * octet] = digits[octet & 0x0F];
    pairs.Text[2 * octet + 1] = digits[octet >> 4];
  }
  return pairs;
}
constexpr OctetPairs kTbcdPairs = MakeSwappedPairs("0123456789*#abcF");
// Writes checked digits and returns the end (2 * Count characters at most).
inline char* PutTbcd(char* out, const TbcdDigits& digits) {
  out = PutOctetPairs(out, digits.Octets, digits.Count, kTbcdPairs);
  return digits.Odd ? out - 1 : out;
}

// AddressString (TS 29.002): an octet of the extension bit (8), the nature of address (bits 7 to 5)
// and the numbering plan (bits 4 to 1), then TBCD digits. BCDDirectoryNumber (TS 24.008, the
// called and calling party BCD number): the same first octet with the type of number, and, when
// its extension bit is 0, an octet 3a of the presentation (bits 7 and 6) and screening (bits 2
// and 1) indicators, then the digits.
struct TelephonyAddress {
  uint8_t Nature = 0;  // 0 to 7
  uint8_t Plan = 0;    // 0 to 15
  bool HasOctet3a = false;
  uint8_t Presentation = 0;  // 0 to 3
  uint8_t Screening = 0;     // 0 to 3
  TbcdDigits Digits;
  ValueCheck Check;
};
TelephonyAddress ReadAddressString(const uint8_t* c, uint64_t length);
TelephonyAddress ReadBcdDirectoryNumber(const uint8_t* c, uint64_t length);
// The names of the standards, by code: the nature of address and numbering plan of TS 29.002;
// the type of number, numbering plan, presentation and screening indicators of TS 24.008.
std::string_view AddressNatureName(uint8_t nature);
std::string_view AddressPlanName(uint8_t plan);
std::string_view BcdTypeOfNumberName(uint8_t type);
std::string_view BcdPlanName(uint8_t plan);
std::string_view PresentationName(uint8_t presentation);
std::string_view ScreeningName(uint8_t screening);

// IPAddress: 4 octets (IPv4, dotted decimal) or 16 (IPv6, as RFC 5952 writes it: lower-case
// hexadecimal groups, the longest run of two or more zero groups as "::", the first of equal runs).
ValueCheck CheckIpAddress(uint64_t length);
constexpr std::size_t kLongestIpAddress = 39;
char* PutIpAddress(char* out, const uint8_t* c, uint64_t length);

// PLMN-Id: 3 octets, MCC digit 2 and 1, MNC digit 3 and MCC digit 3, MNC digit 2 and 1 (high
// nibble first in each pair); an MNC digit 3 of F is a two-digit MNC.
struct PlmnId {
  char Mcc[3];
  char Mnc[3];
  int MncDigits = 0;  // 2 or 3
  ValueCheck Check;
  std::string_view MccText() const { return {Mcc, 3}; }
  std::string_view MncText() const { return {Mnc, static_cast<std::size_t>(MncDigits)}; }
};
PlmnId ReadPlmnId(const uint8_t* c, uint64_t length);

}  // namespace orvalis
