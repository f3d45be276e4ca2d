// The readable text of a value that cannot be decoded, for the types of module-defined files: one
// form for them all, " error: REASON; octets HEX" and a line feed (the reason as the record formats
// give it, the octets in hexadecimal, as CSV's errors cell tells them). Like HexNumber's digits the
// line is never refused, however long the value: a long value's is made in chunks.
#pragma once

#include <string_view>

#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"

namespace orvalis {

constexpr std::string_view kFailureLineBegins = " error: ";
constexpr std::string_view kFailureLineOctets = "; octets ";

// The line, appended to the record's text (a piece, which the filter seeks in).
inline void SetFailureWithOctets(WalkContext& walk, ValueFailure failure, const uint8_t* c, uint64_t length) {
  const std::string_view reason = FailureReason(failure);
  if (length >= kLongValue) {
    RecordChunks out{walk};
    out.Put(kFailureLineBegins);
    out.Put(reason);
    out.Put(kFailureLineOctets);
    PutLongForm(out, c, length, LongForm::kHex);
    out.Put("\n");
    return;
  }
  const std::size_t room = kFailureLineBegins.size() + reason.size() + kFailureLineOctets.size() + 2 * length + 1;
  char* out = PutText(PutText(PutText(BeginPiece(walk, room), kFailureLineBegins), reason), kFailureLineOctets);
  out = PutOctetPairs(out, c, length);
  *out++ = '\n';
  EndKeptPiece(walk, out);
}

// True when the item's filter value is in the line of a long value, made in chunks.
inline bool FailureWithOctetsHolds(WalkContext& walk, const TItem& item, ValueFailure failure, const uint8_t* c,
                                   uint64_t length) {
  return LongLineHolds(walk, item, [&](SearchChunks& out) {
    out.Put(kFailureLineBegins);
    out.Put(FailureReason(failure));
    out.Put(kFailureLineOctets);
    PutLongForm(out, c, length, LongForm::kHex);
  });
}

// The long-value layouts of a type whose every value of kLongValue octets or more cannot be
// decoded (with `kFailure`): a type whose values have a few octets at most derives from it.
template <ValueFailure kFailure>
struct LongValuesFail {
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    SetFailureWithOctets(walk, kFailure, c, length);
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    return FailureWithOctetsHolds(walk, item, kFailure, c, length);
  }
};

}  // namespace orvalis
