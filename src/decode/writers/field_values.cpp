#include "decode/writers/field_values.h"

namespace orvalis {

void AppendHexText(TextBuffer& out, const uint8_t* content, uint64_t length) {
  char* at = out.extend(static_cast<std::size_t>(2 * length));
  for (uint64_t i = 0; i < length; ++i) at = PutOctetPair(at, kUpperHexPairs, content[i]);
}

PartNames PartNamesOf(TagType type) {
  switch (type) {
    case TagType::Number: return field_decoding::kNumberParts;
    case TagType::ReceivedDigits: return field_decoding::kDigitsParts;
    case TagType::ValFromIndexedArr:
    case TagType::ValFromNonIndexedArr: return field_decoding::kMnemonicParts;
    case TagType::Duration: return field_decoding::kDurationParts;
    default: return {{""}, 1};
  }
}

}  // namespace orvalis
