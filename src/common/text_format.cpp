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

void AppendHex(TextBuffer& out, const uint8_t* octets, uint64_t count) {
  PutOctetPairs(out.extend(static_cast<std::size_t>(2 * count)), octets, count);
}

}  // namespace orvalis
