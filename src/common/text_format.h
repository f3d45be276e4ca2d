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

// Appends a number in decimal.
inline void AppendDecimal(std::string& out, uint64_t value) {
  char digits[20];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}
inline void AppendDecimal(std::string& out, int64_t value) {
  char digits[21];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

// Appends a number in decimal with at least `width` digits, zero-padded ("%02d", "%010lu").
inline void AppendZeroPadded(std::string& out, uint64_t value, int width) {
  char digits[20];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  for (int n = static_cast<int>(end - digits); n < width; ++n) out.push_back('0');
  out.append(digits, static_cast<std::size_t>(end - digits));
}

constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// Appends an octet as two upper-case hexadecimal digits ("%02X").
inline void AppendHexOctet(std::string& out, uint8_t octet) {
  out.push_back(kUpperHexDigits[octet >> 4]);
  out.push_back(kUpperHexDigits[octet & 0x0F]);
}

}  // namespace orvalis
