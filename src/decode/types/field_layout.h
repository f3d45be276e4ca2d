// What the value types' layouts for the record formats (JSON Lines, CSV) share. A value is told
// to a sink, which writes it at once in its own format, so that no value is formatted twice. A
// sink has these members:
//   Error(message, content, length)  the value cannot be decoded; nothing else is told of it
//   Parts(names)                     a value of named parts (more than one) follows
//   Part(index)                      the part of that index follows
//   EndParts()                       every part was told
//   Begin(kind, room) -> char*       a number or verbatim text of at most `room` characters is
//   End(end)                         written from the place returned up to `end`
//   Text(octets)                     a text of any octets (a string's, a dictionary text)
//   Text(padded)                     the same, of a dictionary text (which may be read past its end)
//   Scratch() -> TextBuffer&         a buffer of the sink's for a text the type makes apart
//   Unicode(octets, count, form)     a checked Unicode text (UTF-8, UTF-16 or UCS-4: a UTF8String,
//                                    BMPString or UniversalString), written as UTF-8; a long one
//                                    in chunks
//   Null()                           no value (a mnemonic without a text)
//   Beside(content, length)          the text ended before the last octets: they all follow
//   LongVerbatim(octets, count, form)  a verbatim text of a long value's octets (hexadecimal,
//                                    digits, a line code: long_text.h), made in chunks
//   LongText(octets)                 Text for a long value's text
// A plain value is one Begin and End, one Text or one Null, without Parts. Error and Beside are
// told of a long value's octets too: the sink writes them in chunks.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

#include "common/text_format.h"
#include "decode/types/long_text.h"
#include "decode/types/value_type.h"

namespace orvalis {
namespace field_layout {

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

// true or false: a JSON literal, a word in CSV.
template <typename Sink>
void PutLiteral(Sink& sink, bool value) {
  const std::string_view word = value ? std::string_view("true") : std::string_view("false");
  char* out = sink.Begin(PartKind::kLiteral, word.size());
  CopyText(out, word.data(), word.size());
  sink.End(out + word.size());
}

template <typename Sink>
[[gnu::always_inline]] inline void PutVerbatim(Sink& sink, std::string_view text) {
  char* out = sink.Begin(PartKind::kVerbatim, text.size());
  CopyText(out, text.data(), text.size());
  sink.End(out + text.size());
}

// Forced inline: two types lay out their values so, and the compiler would make one of them a call.
template <typename Sink>
[[gnu::always_inline]] inline void PutHex(Sink& sink, const uint8_t* c, uint64_t length) {
  if (length >= kLongValue) return sink.LongVerbatim(c, length, LongForm::kHex);
  sink.End(PutOctetPairs(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(2 * length)), c, length));
}

template <typename Sink>
void PutFailure(Sink& sink, ValueFailure failure, const uint8_t* c, uint64_t length) {
  sink.Error(FailureReason(failure), c, length);
}

}  // namespace field_layout
}  // namespace orvalis
