// Small text helpers shared by the readers and the decoders.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "common/console.h"
#include "common/text_buffer.h"

namespace orvalis {

// Says the pieces on the console, byte for byte (a text may hold any byte).
inline void PrintText(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
  for (std::string_view piece : {a, b, c}) Say(piece);
}

// Reads a decimal number as the C library's strtol does, clamped to the signed 32-bit range:
// leading white space, an optional sign, digits up to the first other character; no digits
// give 0.
int32_t ParseDecimalLong(std::string_view text);

// Reads a number of digits only (no sign, no blanks) up to `largest`; false for anything else,
// an empty text too.
bool ParseDigits(std::string_view text, uint64_t largest, uint64_t& number);

// True when the octets are valid UTF-8: every sequence complete, in its shortest form, neither a
// surrogate nor above U+10FFFF.
bool IsValidUtf8(std::string_view octets);

// A name (a file's, a TagName) for a console line: its octets as they are, but the control
// octets (0x00 to 0x1F and 0x7F) written \xHH, so that no name moves the cursor or colours the
// terminal; with `highOctets`, the octets above 0x7F too (a name that is not valid UTF-8, shown in
// the message that says so).
std::string ConsoleName(std::string_view name, bool highOctets = false);
// An octet that ConsoleName writes as \xHH.
inline bool IsControlOctet(uint8_t octet) { return octet < 0x20 || octet == 0x7F; }

// Appends a number in decimal. Text is std::string or TextBuffer. (Not forced inline: forced into
// its many callers, it left its conversion, std::to_chars, a call of its own.)
template <typename Text>
void AppendDecimal(Text& out, uint64_t value) {
  if (value < 10) {  // nibbles, tag numbers: the common case
    out.push_back(static_cast<char>('0' + value));
    return;
  }
  char digits[32];  // 20 digits at most; the room lets the copy move whole words
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}
template <typename Text>
void AppendDecimal(Text& out, int64_t value) {
  if (value >= 0 && value < 10) {
    out.push_back(static_cast<char>('0' + value));
    return;
  }
  char digits[32];  // a sign and 19 digits at most
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

// "00" to "99", for formatting two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Appends a number in decimal with at least `width` digits (at most 20), zero-padded ("%02d",
// "%010lu").
template <typename Text>
void AppendZeroPadded(Text& out, uint64_t value, int width) {
  constexpr int kEnd = 32;  // digits are written backwards from here
  char digits[kEnd];
  std::memset(digits, '0', sizeof digits);
  int first = kEnd;
  while (value >= 100) {
    const auto pair = static_cast<unsigned>(value % 100) * 2;
    value /= 100;
    digits[--first] = kDigitPairs[pair + 1];
    digits[--first] = kDigitPairs[pair];
  }
  if (value >= 10) {
    digits[--first] = kDigitPairs[value * 2 + 1];
    digits[--first] = kDigitPairs[value * 2];
  } else {
    digits[--first] = static_cast<char>('0' + value);
  }
  if (kEnd - first < width) first = kEnd - width;
  out.append(digits + first, static_cast<std::size_t>(kEnd - first));
}

// The two characters of every octet, high nibble first, by a table of sixteen digits: entry
// 2 * octet and the one after it.
struct OctetPairs {
  char Text[512];
};
constexpr OctetPairs MakeOctetPairs(const char (&digits)[17]) {
  OctetPairs pairs{};
  for (int octet = 0; octet < 256; ++octet) {
    pairs.Text[2 * octet] = digits[octet >> 4];
    pairs.Text[2 * octet + 1] = digits[octet & 0x0F];
  }
  return pairs;
}
constexpr OctetPairs kUpperHexPairs = MakeOctetPairs("0123456789ABCDEF");

// Writes `count` octets, two characters each from a table of pairs (upper-case hexadecimal, "%02X",
// unless another table is given), and returns their end. Every hexadecimal text is written here.
inline char* PutOctetPairs(char* out, const uint8_t* octets, uint64_t count,
                           const OctetPairs& pairs = kUpperHexPairs) {
  for (uint64_t i = 0; i < count; ++i) {
    std::memcpy(out, pairs.Text + 2 * octets[i], 2);
    out += 2;
  }
  return out;
}

// Writes an octet as the console lines show one that would drive the terminal, "\xHH", and
// returns its end (four characters; nothing allocated, so the signal path may use it).
inline char* PutEscapedOctet(char* out, uint8_t octet) {
  out[0] = '\\';
  out[1] = 'x';
  return PutOctetPairs(out + 2, &octet, 1);
}

// Appends `count` octets in upper-case hexadecimal; one octet ("%02X").
void AppendHex(TextBuffer& out, const uint8_t* octets, uint64_t count);
inline void AppendHexOctet(TextBuffer& out, uint8_t octet) { PutOctetPairs(out.extend(2), &octet, 1); }

}  // namespace orvalis
