// Small text helpers shared by the readers and the decoders.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orvalis {

// Writes the pieces to standard output, byte for byte (a text may hold any byte).
inline void PrintText(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
  for (std::string_view piece : {a, b, c}) {
    if (!piece.empty()) std::fwrite(piece.data(), 1, piece.size(), stdout);
  }
}

// Reads a decimal number as the C library's strtol does, clamped to the signed 32-bit range:
// leading white space, an optional sign, digits up to the first other character; no digits
// give 0.
int32_t ParseDecimalLong(std::string_view text);

// Appends a number in decimal. Text is std::string or TextBuffer.
template <typename Text>
void AppendDecimal(Text& out, uint64_t value) {
  if (value < 10) {  // nibbles, tag numbers: the common case
    out.push_back(static_cast<char>('0' + value));
    return;
  }
  char digits[20];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}
template <typename Text>
void AppendDecimal(Text& out, int64_t value) {
  char digits[21];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

// Appends a number in decimal with at least `width` digits, zero-padded ("%02d", "%010lu").
template <typename Text>
void AppendZeroPadded(Text& out, uint64_t value, int width) {
  char digits[20];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const int length = static_cast<int>(end - digits);
  if (length < width) out.append(static_cast<std::size_t>(width - length), '0');
  out.append(digits, static_cast<std::size_t>(length));
}

constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// Appends an octet as two upper-case hexadecimal digits ("%02X").
template <typename Text>
void AppendHexOctet(Text& out, uint8_t octet) {
  const char digits[2] = {kUpperHexDigits[octet >> 4], kUpperHexDigits[octet & 0x0F]};
  out.append(digits, 2);
}

}  // namespace orvalis
