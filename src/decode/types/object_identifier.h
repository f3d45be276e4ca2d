// ObjectIdentifier: an ASN.1 OBJECT IDENTIFIER, its arcs dotted ("1.2.840.113549"). An arc beyond
// 64 bits, and octets that end inside an arc, cannot be decoded.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/long_text.h"
#include "decode/types/text_layout.h"
#include "decode/values/asn1_values.h"

namespace orvalis {

struct ObjectIdentifierType {
  static constexpr std::string_view kName = "ObjectIdentifier";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckObjectIdentifier(c, length);
    if (check.Failed) return SetFailureWithOctets(walk, check.Failure, c, length);
    char* out = PutObjectIdentifier(BeginPiece(walk, static_cast<std::size_t>(ObjectIdentifierRoom(length)) + 1), c, length);
    *out++ = '\n';
    EndPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckObjectIdentifier(c, length);
    if (check.Failed) return field_layout::PutFailure(sink, check.Failure, c, length);
    if (length >= kLongValue) return sink.LongVerbatim(c, length, LongForm::kObjectIdentifier);
    sink.End(PutObjectIdentifier(sink.Begin(PartKind::kVerbatim, static_cast<std::size_t>(ObjectIdentifierRoom(length))),
                                 c, length));
  }
  static void LongText(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckObjectIdentifier(c, length);
    if (check.Failed) return SetFailureWithOctets(walk, check.Failure, c, length);
    RefusePiece(walk);
  }
  static bool LongFilter(WalkContext& walk, const TItem& item, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckObjectIdentifier(c, length);
    if (check.Failed) return FailureWithOctetsHolds(walk, item, check.Failure, c, length);
    return LongLineHolds(walk, item, [&](SearchChunks& out) { PutLongObjectIdentifier(out, c, length); });
  }
};

}  // namespace orvalis
