#include "decode/writers/field_values.h"

namespace orvalis {

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
