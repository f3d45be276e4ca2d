// Opaque: an element's whole contents, constructed or not, as its value, laid out as HexNumber lays
// out its octets (every octet as two upper-case hexadecimal digits). The walk does not walk the
// contents of a constructed element of this type: no tag inside it is looked up or told as not
// found; an indefinite length ends at the end-of-contents octets that close the element.
#pragma once

#include "decode/types/hex_number.h"

namespace orvalis {

struct OpaqueType : HexNumberType {
  static constexpr std::string_view kName = "Opaque";
  // The value is the element's whole contents (ValueTypeNames::KeepsContents).
  static constexpr bool kKeepsContents = true;

  // A call of its own, so that the writers' common values keep their layouts inlined.
  template <typename Sink>
  [[gnu::noinline]] static void Fields(Sink& sink, const TItem& item, const uint8_t* c, uint64_t length) {
    HexNumberType::Fields(sink, item, c, length);
  }
};

}  // namespace orvalis
