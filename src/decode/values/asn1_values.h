// The octets of the ASN.1 universal types read into small results (X.690's BER contents): INTEGER
// and ENUMERATED, BIT STRING, OBJECT IDENTIFIER. Every reader takes the contents of a primitive
// element, `length` octets at `c`, all within the input; a value that cannot be decoded gives the
// failure that says why.
#pragma once

#include <cstdint>

#include "decode/values/value_failures.h"

namespace orvalis {

// The outcome of a check of a value's octets: sound, or the failure that stopped it.
struct ValueCheck {
  bool Failed = false;
  ValueFailure Failure = ValueFailure::kDateTimeTooShort;  // only when Failed
};
constexpr ValueCheck Fails(ValueFailure failure) { return {true, failure}; }

// INTEGER, ENUMERATED: two's complement, big-endian, 1 to 9 octets where the value fits a signed
// or an unsigned 64-bit number (9 octets: 00 before an unsigned one above 2^63 - 1, FF before a
// negative one that needs all 64 bits). The octets are taken as they come: leading 00 or FF octets
// that a minimal encoding would leave out change nothing.
struct IntegerValue {
  uint64_t Bits = 0;      // the value, in two's complement when Negative
  bool Negative = false;
  ValueCheck Check;
  // The value as a signed number: only when it is below 2^63 (InSigned64).
  int64_t Signed() const { return static_cast<int64_t>(Bits); }
  bool InSigned64() const { return Negative || Bits < (uint64_t{1} << 63); }
};
IntegerValue ReadInteger(const uint8_t* c, uint64_t length);
// Writes the value in decimal (a "-" before a negative one): at most 20 characters.
char* PutInteger(char* out, const IntegerValue& value);
constexpr std::size_t kLongestInteger = 20;

// BIT STRING: the first octet counts the unused bits at the end of the last (0 to 7; 0 without
// bits), the bits follow, the first bit (number 0) the highest of the second octet.
struct BitStringValue {
  const uint8_t* Octets = nullptr;  // the octets of the bits
  uint64_t Bits = 0;
  ValueCheck Check;
  bool IsSet(uint64_t bit) const { return (Octets[bit / 8] >> (7 - bit % 8) & 1) != 0; }
};
BitStringValue ReadBitString(const uint8_t* c, uint64_t length);

// OBJECT IDENTIFIER: subidentifiers of base-128 digits, bit 8 set on all but the last octet of
// each; the first stands for the first two arcs (40 * X + Y, X at most 2). An arc beyond 64 bits,
// and octets that end inside a subidentifier, cannot be decoded.
ValueCheck CheckObjectIdentifier(const uint8_t* c, uint64_t length);
// Calls arc(number) for each arc of a checked identifier, in order, and returns the octets read;
// with `most`, stops after the subidentifier that reaches `most` octets read.
template <typename Arc>
uint64_t ForEachArc(const uint8_t* c, uint64_t length, Arc&& arc, uint64_t from = 0, uint64_t most = UINT64_MAX) {
  uint64_t at = from;
  while (at < length && at - from < most) {
    uint64_t number = 0;
    const bool first = at == 0;
    do {
      number = number << 7 | (c[at] & 0x7F);
    } while ((c[at++] & 0x80) != 0);
    if (!first) {
      arc(number);
    } else if (number < 80) {
      arc(number / 40);
      arc(number % 40);
    } else {
      arc(2);
      arc(number - 80);
    }
  }
  return at;
}
// The room an identifier's dotted text takes at most: an arc of k octets has at most 3k digits.
constexpr uint64_t ObjectIdentifierRoom(uint64_t length) { return 4 * length + 24; }
// Writes a checked identifier's arcs, dotted ("1.2.840.113549"), and returns the end.
char* PutObjectIdentifier(char* out, const uint8_t* c, uint64_t length);

}  // namespace orvalis
