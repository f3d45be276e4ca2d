#include "decode/values/asn1_values.h"

#include <charconv>

namespace orvalis {

IntegerValue ReadInteger(const uint8_t* c, uint64_t length) {
  IntegerValue value;
  if (length > 9) {
    value.Check = Fails(ValueFailure::kIntegerTooLong);
    return value;
  }
  value.Negative = length > 0 && (c[0] & 0x80) != 0;
  uint64_t from = 0;
  if (length == 9) {
    // 00 before an unsigned value, FF before a negative one whose highest bit is set: anything
    // else needs more than 64 bits.
    const bool unsignedValue = c[0] == 0x00;
    const bool negativeValue = c[0] == 0xFF && (c[1] & 0x80) != 0;
    if (!unsignedValue && !negativeValue) {
      value.Check = Fails(ValueFailure::kIntegerBeyond64Bits);
      return value;
    }
    from = 1;
  }
  uint64_t bits = value.Negative ? ~uint64_t{0} : 0;
  for (uint64_t i = from; i < length; ++i) bits = bits << 8 | c[i];
  value.Bits = bits;
  return value;
}

char* PutInteger(char* out, const IntegerValue& value) {
  if (value.Negative) return std::to_chars(out, out + kLongestInteger, value.Signed()).ptr;
  return std::to_chars(out, out + kLongestInteger, value.Bits).ptr;
}

BitStringValue ReadBitString(const uint8_t* c, uint64_t length) {
  BitStringValue value;
  const unsigned unused = c[0];
  if (unused > 7 || (length == 1 && unused != 0)) {
    value.Check = Fails(ValueFailure::kBitStringUnusedBits);
    return value;
  }
  value.Octets = c + 1;
  value.Bits = 8 * (length - 1) - unused;
  return value;
}

ValueCheck CheckObjectIdentifier(const uint8_t* c, uint64_t length) {
  uint64_t number = 0;
  for (uint64_t at = 0; at < length; ++at) {
    if ((number >> 57) != 0) return Fails(ValueFailure::kObjectIdentifierArcTooLarge);
    number = number << 7 | (c[at] & 0x7F);
    if ((c[at] & 0x80) == 0) number = 0;
  }
  if ((c[length - 1] & 0x80) != 0) return Fails(ValueFailure::kObjectIdentifierCutShort);
  return {};
}

char* PutObjectIdentifier(char* out, const uint8_t* c, uint64_t length) {
  char* start = out;
  ForEachArc(c, length, [&](uint64_t arc) {
    if (out != start) *out++ = '.';
    out = std::to_chars(out, out + 20, arc).ptr;
  });
  return out;
}

}  // namespace orvalis
