#include "common/text_format.h"

namespace orvalis {

int32_t ParseDecimalLong(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (magnitude <= INT64_C(1) << 40) magnitude = magnitude * 10 + (text[at] - '0');
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

bool ParseDigits(std::string_view text, uint64_t largest, uint64_t& number) {
  if (text.empty()) return false;
  uint64_t parsed = 0;
  for (const char digit : text) {
    if (digit < '0' || digit > '9') return false;
    const auto value = static_cast<uint64_t>(digit - '0');
    if (value > largest || parsed > (largest - value) / 10) return false;
    parsed = parsed * 10 + value;
  }
  number = parsed;
  return true;
}

bool IsValidUtf8(std::string_view octets) {
  const auto* at = reinterpret_cast<const unsigned char*>(octets.data());
  const auto* end = at + octets.size();
  while (at < end) {
    const unsigned char lead = *at;
    if (lead < 0x80) {
      ++at;
      continue;
    }
    // The sequence's length and the range its second octet must lie in (which rules out the
    // overlong forms, the surrogates and what lies above U+10FFFF).
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - at) < length || at[1] < low || at[1] > high) return false;
    for (std::size_t i = 2; i < length; ++i) {
      if (at[i] < 0x80 || at[i] > 0xBF) return false;
    }
    at += length;
  }
  return true;
}

std::string ConsoleName(std::string_view name, bool highOctets) {
  std::string shown;
  shown.reserve(name.size());
  for (char c : name) {
    const uint8_t octet = static_cast<uint8_t>(c);
    if (!IsControlOctet(octet) && (!highOctets || octet < 0x80)) {
      shown.push_back(c);
      continue;
    }
    char escaped[4];
    shown.append(escaped, static_cast<std::size_t>(PutEscapedOctet(escaped, octet) - escaped));
  }
  return shown;
}

void AppendHex(TextBuffer& out, const uint8_t* octets, uint64_t count) {
  PutOctetPairs(out.extend(static_cast<std::size_t>(2 * count)), octets, count);
}

}  // namespace orvalis
