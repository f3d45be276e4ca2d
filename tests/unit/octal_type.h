// A value type that the program does not have, added as a type is added: this one file and a row
// in a list of types (added_rows_test.cpp). Octal: the octets as an unsigned number, big-endian,
// in octal digits after a 0 ("01 FF" is "0777"); more than eight octets cannot be decoded.
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"

namespace orvalis::test {

struct OctalType {
  static constexpr std::string_view kName = "Octal";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    char digits[24];
    char* out = PutText(BeginPiece(walk, sizeof digits + 1), Digits(c, length, digits));
    *out++ = '\n';
    EndShortPiece(walk, out);
  }
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    char digits[24];
    field_layout::PutVerbatim(sink, Digits(c, length, digits));
  }

 private:
  static std::string_view Digits(const uint8_t* c, uint64_t length, char (&digits)[24]) {
    if (length > 8) return "?";
    uint64_t number = 0;
    for (uint64_t i = 0; i < length; ++i) number = number << 8 | c[i];
    char* end = digits + sizeof digits;
    char* at = end;
    do {
      *--at = static_cast<char>('0' + (number & 7));
      number >>= 3;
    } while (number != 0);
    *--at = '0';
    return {at, static_cast<std::size_t>(end - at)};
  }
};

}  // namespace orvalis::test
