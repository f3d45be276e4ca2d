// DateTime: seven octets of two decimal nibbles each, year (of 20YY), month, day, hour, minute,
// second and hundredths. The readable text prints the nibbles unchecked (a nibble above 9 shows as
// 10 to 15), the record formats an ISO 8601 time only when the octets make one.
#pragma once

#include <cstring>

#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/value_readers.h"

namespace orvalis {

namespace date_time_layout {

// Every octet's two nibbles, each written as a number of its own (0 to 15): two to four
// characters.
struct NibbleNumbers {
  char Text[256][4];
  uint8_t Size[256];
};
constexpr NibbleNumbers MakeNibbleNumbers() {
  NibbleNumbers table{};
  for (int octet = 0; octet < 256; ++octet) {
    int size = 0;
    for (int nibble : {octet >> 4, octet & 0x0F}) {
      if (nibble >= 10) table.Text[octet][size++] = '1';
      table.Text[octet][size++] = static_cast<char>('0' + nibble % 10);
    }
    table.Size[octet] = static_cast<uint8_t>(size);
  }
  return table;
}
constexpr NibbleNumbers kNibbleNumbers = MakeNibbleNumbers();

// Writes an octet's two nibbles as numbers; the room must take four characters.
inline char* PutNibbles(char* out, uint8_t octet) {
  std::memcpy(out, kNibbleNumbers.Text[octet], 4);
  return out + kNibbleNumbers.Size[octet];
}

}  // namespace date_time_layout

struct DateTimeType {
  static constexpr std::string_view kName = "DateTime";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kTimestamp; }

  // Day.month.20year hour:minute:second:hundredths, every nibble printed as a number of its own.
  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* content, uint64_t length) {
    const DateTimeValue date = ReadDateTime(content, length);
    if (date.TooShort) return SetFailureLine(walk, ValueFailure::kDateTimeTooShort);
    const uint8_t* c = date.Octets;
    using date_time_layout::PutNibbles;
    // 14 nibbles of at most two digits and 9 other characters, and room for PutNibbles to write
    // four characters at the last octet
    char* out = BeginPiece(walk, 40);
    out = PutNibbles(out, c[2]);
    *out++ = '.';
    out = PutNibbles(out, c[1]);
    *out++ = '.';
    *out++ = '2';
    *out++ = '0';
    out = PutNibbles(out, c[0]);
    *out++ = ' ';
    out = PutNibbles(out, c[3]);
    *out++ = ':';
    out = PutNibbles(out, c[4]);
    *out++ = ':';
    out = PutNibbles(out, c[5]);
    *out++ = ':';
    out = PutNibbles(out, c[6]);
    *out++ = '\n';
    EndShortPiece(walk, out);
  }

  // ISO 8601 from year (20YY), month, day, hour, minute, second and hundredths; an error when a
  // nibble or a field is out of range.
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const DateTimeValue date = ReadDateTime(c, length);
    if (date.TooShort) return field_layout::PutFailure(sink, ValueFailure::kDateTimeTooShort, c, length);
    const DateFields fields = CheckDate(date);
    if (!fields.Valid) return field_layout::PutFailure(sink, ValueFailure::kNotADateTime, c, length);
    char* out = sink.Begin(PartKind::kVerbatim, 22);  // 20YY-MM-DDThh:mm:ss.cc
    static constexpr char kAfter[7] = {'-', '-', 'T', ':', ':', '.', 0};
    *out++ = '2';
    *out++ = '0';
    for (int i = 0; i < 7; ++i) {
      out = field_layout::PutTwoDigits(out, static_cast<unsigned>(fields.Field[i]));
      if (i < 6) *out++ = kAfter[i];
    }
    sink.End(out);
  }

};

}  // namespace orvalis
