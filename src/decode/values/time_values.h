// The times of billing files read into ISO 8601 text: ASN.1's GeneralizedTime and UTCTime (text
// digits), and the telephony TimeStamp (BCD digits, then the offset from UTC). The text keeps what
// the value says: its fraction of a second (a fraction of an hour or a minute becomes minutes and
// seconds, exactly), and Z, an offset, or neither (a local time); seconds the value leaves out are
// written 00. A value that is no date and time cannot be decoded.
#pragma once

#include <cstdint>
#include <string_view>

#include "decode/values/asn1_values.h"

namespace orvalis {

// "2024-02-29T23:59:59.123+02:00" and the like.
struct TimeText {
  static constexpr std::size_t kRoom = 96;
  char Text[kRoom];
  std::size_t Size = 0;
  ValueCheck Check;
  std::string_view View() const { return {Text, Size}; }
};

// GeneralizedTime: YYYYMMDDhh[mm[ss]], a fraction after "." or "," of the last of them, then "Z",
// "+hh[mm]", "-hh[mm]" or nothing. At most 64 octets; a fraction of an hour or a minute has at
// most 15 digits.
TimeText ReadGeneralizedTime(const uint8_t* c, uint64_t length);

// UTCTime: YYMMDDhhmm[ss] then "Z", "+hhmm" or "-hhmm"; years 50 to 99 are 1950 to 1999, 00 to 49
// 2000 to 2049.
TimeText ReadUtcTime(const uint8_t* c, uint64_t length);

// TimeStamp: 9 octets, YYMMDDhhmmss in BCD (high nibble first, year 20YY), an ASCII "+" or "-",
// and hhmm of the offset in BCD.
TimeText ReadTimeStamp(const uint8_t* c, uint64_t length);

}  // namespace orvalis
