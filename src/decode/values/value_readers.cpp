#include "decode/values/value_readers.h"

#include <charconv>
#include <iterator>

#include "common/text_buffer.h"

namespace orvalis {

std::string_view NatureOfAddressName(uint8_t nature) {
  return nature < std::size(kNatureOfAddressNames) ? kNatureOfAddressNames[nature] : std::string_view();
}

char* PutNatureOfAddress(char* out, uint8_t nature) {
  const std::string_view name = NatureOfAddressName(nature);
  if (name.empty()) return std::to_chars(out, out + 3, static_cast<unsigned>(nature)).ptr;
  CopyText(out, name.data(), name.size());
  return out + name.size();
}

}  // namespace orvalis
