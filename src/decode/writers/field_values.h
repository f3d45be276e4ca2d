// A primitive value as the record writers (JSON Lines, CSV) take it: one part or several named
// parts (a telephone number's nature of address, numbering plan and digits), each a number, a
// text or nothing, by the type that the dictionary gives the tag. A value that cannot be decoded
// is an error with the raw octets instead. The octets are read by decode/values/value_readers.h,
// as for the readable text (decode/writers/text_values.cpp); here the results are laid out.
//
// The decoder tells a sink what it reads, and the sink writes it at once in its own format, so
// that no value is formatted twice. A sink has these members:
//   Error(message, content, length)  the value cannot be decoded; nothing else is told of it
//   Parts(names)                     a value of named parts (more than one) follows
//   Part(index)                      the part of that index follows
//   EndParts()                       every part was told
//   Begin(kind, room) -> char*       a number or verbatim text of at most `room` characters is
//   End(end)                         written from the place returned up to `end`
//   Text(octets)                     a text of any octets (a string's, a dictionary text)
//   Text(padded)                     the same, of a dictionary text (which may be read past its end)
//   Null()                           no value (a mnemonic without a text)
//   Beside(content, length)          the text ended before the last octets: they all follow
//   LongVerbatim(octets, count, form)  a verbatim text of a long value's octets (hexadecimal,
//                                    digits, a line code: decode/long_values.h), made in chunks
//   LongText(octets)                 Text for a long value's text
// A plain value is one Begin and End, one Text or one Null, without Parts. Error and Beside are
// told of a long value's octets too: the sink writes them in chunks.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/text_buffer.h"
#include "common/text_format.h"
#include "decode/writers/long_values.h"
#include "decode/values/value_readers.h"
#include "decode/writers/text_values.h"
#include "tags/tag_tree.h"

namespace orvalis {

// kNumber: decimal digits, perhaps with a fraction. kVerbatim: a text the program made of letters,
// digits, blanks and punctuation other than quotation marks, reverse solidi and commas (a date,
// digits, hexadecimal, a name of its own), which neither format escapes or quotes.
enum class PartKind : uint8_t { kNumber, kVerbatim };

// The part names of a type's values, in order: one empty name for a plain value.
struct PartNames {
  static constexpr int kMostParts = 5;
  std::string_view Names[kMostParts];
  int Count = 0;
};
PartNames PartNamesOf(TagType type);

namespace field_decoding {

constexpr PartNames kNumberParts = {{"nature", "natureCode", "plan", "planCode", "digits"}, 5};
constexpr PartNames kDigitsParts = {{"nature", "natureCode", "digits"}, 3};
constexpr PartNames kMnemonicParts = {{"text", "code"}, 2};
constexpr PartNames kDurationParts = {{"text", "seconds"}, 2};

inline char* PutTwoDigits(char* out, unsigned value) {
  out[0] = kDigitPairs[2 * value];
  out[1] = kDigitPairs[2 * value + 1];
  return out + 2;
}

template <typename Sink>
void PutDecimal(Sink& sink, PartKind kind, uint64_t number) {
  char* out = sink.Begin(kind, 20);
  if (number < 10) {  // codes and nibbles: the common case
    *out = static_cast<char>('0' + number);
    return sink.End(out + 1);
  }
  if (number < 100) return sink.End(PutTwoDigits(out, static_cast<unsigned>(number)));
  sink.End(std::to_chars(out, out + 20, number).ptr);
}

template <typename Sink>
void PutVerbatim(Sink& sink, std::string_view text) {
  char* out = sink.Begin(PartKind::kVerbatim, text.size());
  CopyText(out, text.data(), text.size());
  sink.End(out + text.size());
}

template <typename Sink>
void PutHex(Sink& sink, const uint8_t* c, uint64_t length) {
  if (length >= kLongValue) return sink.LongVerbatim(c, length, LongForm::kHex);
  sink.End(PutOctetPairs(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(2 * length)), c, length));
}

// ISO 8601 from year (20YY), month, day, hour, minute, second and hundredths; an error when a
// nibble or a field is out of range.
template <typename Sink>
void PutDateTime(Sink& sink, const uint8_t* c, uint64_t length) {
  const DateTimeValue date = ReadDateTime(c, length);
  if (date.TooShort) return sink.Error("length of DateTime type tag is less than 7 bytes", c, length);
  const DateFields fields = CheckDate(date);
  if (!fields.Valid) return sink.Error("not a valid date and time", c, length);
  char* out = sink.Begin(PartKind::kVerbatim, 22);  // 20YY-MM-DDThh:mm:ss.cc
  static constexpr char kAfter[7] = {'-', '-', 'T', ':', ':', '.', 0};
  *out++ = '2';
  *out++ = '0';
  for (int i = 0; i < 7; ++i) {
    out = PutTwoDigits(out, static_cast<unsigned>(fields.Field[i]));
    if (i < 6) *out++ = kAfter[i];
  }
  sink.End(out);
}

// The octets up to the first NUL (or all of them); with a NUL, all octets beside them.
template <typename Sink>
void PutString(Sink& sink, const uint8_t* c, uint64_t length) {
  const StringValue value = ReadString(c, length);
  if (value.Text.size() >= kLongValue) {
    sink.LongText(value.Text);
  } else {
    sink.Text(value.Text);
  }
  if (value.OctetsFollow) sink.Beside(c, length);
}

// An address's digits by nibble, the last one left out when the count is odd.
template <typename Sink>
[[gnu::noinline]] void PutDigits(Sink& sink, const uint8_t* digits, uint64_t count, bool odd) {
  if (count >= kLongValue) return sink.LongVerbatim(digits, count, odd ? LongForm::kOddDigits : LongForm::kDigits);
  char* out = PutOctetPairs(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(2 * count)), digits, count,
                            kAddressDigitPairs);
  if (odd && count > 0) --out;
  sink.End(out);
}

// The nature of address, its name (its code as text where it has none), then its code.
template <typename Sink>
[[gnu::noinline]] void PutNature(Sink& sink, uint8_t nature) {
  sink.Part(0);
  const std::string_view name = NatureOfAddressName(nature);
  if (name.empty()) {
    PutDecimal(sink, PartKind::kVerbatim, nature);
  } else {
    PutVerbatim(sink, name);
  }
  sink.Part(1);
  PutDecimal(sink, PartKind::kNumber, nature);
}

template <typename Sink>
void PutNumber(Sink& sink, const uint8_t* c, uint64_t length) {
  const AddressValue address = ReadNumber(c, length);
  if (address.TooShort()) return sink.Error("length of Number type tag is less than 2 bytes", c, length);
  sink.Parts(kNumberParts);
  PutNature(sink, address.Nature);
  sink.Part(2);
  PutVerbatim(sink, NumberingPlanName(address.Plan));
  sink.Part(3);
  char* out = sink.Begin(PartKind::kNumber, 1);  // 0 to 7
  *out = static_cast<char>('0' + address.Plan);
  sink.End(out + 1);
  sink.Part(4);
  PutDigits(sink, address.Digits, address.DigitOctets, address.Odd);
  sink.EndParts();
}

template <typename Sink>
void PutReceivedDigits(Sink& sink, const uint8_t* c, uint64_t length) {
  const AddressValue address = ReadReceivedDigits(c, length);
  sink.Parts(kDigitsParts);
  PutNature(sink, address.Nature);
  sink.Part(2);
  PutDigits(sink, address.Digits, address.DigitOctets, address.Odd);
  sink.EndParts();
}

template <typename Sink>
[[gnu::noinline]] void PutMnemonic(Sink& sink, MnemonicHit hit, uint32_t code) {
  sink.Parts(kMnemonicParts);
  sink.Part(0);
  if (hit != nullptr && *hit) {
    sink.Text(**hit);  // the dictionary's text
  } else {
    sink.Null();  // no such entry, or an entry without text
  }
  sink.Part(1);
  PutDecimal(sink, PartKind::kNumber, code);
  sink.EndParts();
}

// Hours:minutes:seconds, and seconds with hundredths.
template <typename Sink>
void PutDuration(Sink& sink, const uint8_t* c, uint64_t length) {
  const DurationValue duration = ReadDuration(c, length);
  const uint32_t seconds = duration.Seconds();
  const uint32_t hours = seconds / 3600;
  sink.Parts(kDurationParts);
  sink.Part(0);
  char* out = sink.Begin(PartKind::kVerbatim, 16);  // at most 11930 hours
  out = hours < 100 ? PutTwoDigits(out, hours) : std::to_chars(out, out + 10, hours).ptr;
  *out++ = ':';
  out = PutTwoDigits(out, seconds / 60 % 60);
  *out++ = ':';
  sink.End(PutTwoDigits(out, seconds % 60));
  sink.Part(1);
  out = sink.Begin(PartKind::kNumber, 14);
  out = std::to_chars(out, out + 10, seconds).ptr;
  *out++ = '.';
  sink.End(PutTwoDigits(out, duration.Hundredths % 100));
  sink.EndParts();
}

// The first two octets in hexadecimal, "/", the others in hexadecimal.
template <typename Sink>
void PutLineCode(Sink& sink, const uint8_t* c, uint64_t length) {
  if (length >= kLongValue) return sink.LongVerbatim(c, length, LongForm::kLineCode);
  const LineCodeValue code = ReadLineCode(c, length);
  char* out = PutOctetPairs(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(2 * length + 1)), c, 1);
  if (code.Head == 2) out = PutOctetPairs(out, c + 1, 1);
  *out++ = '/';
  sink.End(PutOctetPairs(out, c + code.Head, code.Tail));
}

}  // namespace field_decoding

// Decodes `length` octets (at least 1) by the item's type into the sink.
template <typename Sink>
[[gnu::always_inline]] inline void DecodeFieldValue(const TItem& item, const uint8_t* c, uint64_t length, Sink& sink) {
  using namespace field_decoding;
  switch (item.Type) {
    case TagType::DateTime: return PutDateTime(sink, c, length);
    case TagType::String: return PutString(sink, c, length);
    case TagType::Number: return PutNumber(sink, c, length);
    case TagType::ReceivedDigits: return PutReceivedDigits(sink, c, length);
    case TagType::DecNumber: {
      const SmallValue value = ReadSmallValue(c, length);
      if (value.TooLong()) return sink.Error("length of DecNumber type tag is more than 2 bytes", c, length);
      return PutDecimal(sink, PartKind::kNumber, value.Value);
    }
    case TagType::ValFromIndexedArr: {
      const SmallValue value = ReadSmallValue(c, length);
      if (value.TooLong()) return sink.Error("length of ValFromIndexedArr type tag is more than 2 bytes", c, length);
      return PutMnemonic(sink, item.IndArr ? item.IndArr->Lookup(value.Value) : nullptr, value.Value);
    }
    case TagType::ValFromNonIndexedArr: {
      const SmallValue value = ReadSmallValue(c, length);
      if (value.TooLong()) return sink.Error("length of ValFromNonIndexedArr type tag is more than 2 bytes", c, length);
      return PutMnemonic(sink, item.NonIndArr ? item.NonIndArr->Lookup(static_cast<int32_t>(value.Value)) : nullptr,
                         value.Value);
    }
    case TagType::Duration: return PutDuration(sink, c, length);
    case TagType::LineCode: return PutLineCode(sink, c, length);
    default:  // hexadecimal numbers, and tags without a type: their octets in hexadecimal
      return PutHex(sink, c, length);
  }
}

}  // namespace orvalis
