// PLMNId: a PLMN identity of 3 octets, its MCC and MNC digits: "262-01" in the readable text, the
// parts mcc and mnc (text, to keep their leading zeros) in the record formats.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/telephony_values.h"

namespace orvalis {

struct PlmnIdType : LongValuesFail<ValueFailure::kPlmnIdLength> {
  static constexpr std::string_view kName = "PLMNId";
  static constexpr PartNames kParts = {{"mcc", "mnc"}, 2};
  static ColumnType Column(const TItem&, int) { return ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const PlmnId plmn = ReadPlmnId(c, length);
    if (plmn.Check.Failed) return SetFailureWithOctets(walk, plmn.Check.Failure, c, length);
    char* out = PutText(BeginPiece(walk, 8), plmn.MccText());
    *out++ = '-';
    out = PutText(out, plmn.MncText());
    *out++ = '\n';
    EndShortPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const PlmnId plmn = ReadPlmnId(c, length);
    if (plmn.Check.Failed) return field_layout::PutFailure(sink, plmn.Check.Failure, c, length);
    sink.Parts(kParts);
    sink.Part(0);
    field_layout::PutVerbatim(sink, plmn.MccText());
    sink.Part(1);
    field_layout::PutVerbatim(sink, plmn.MncText());
    sink.EndParts();
  }
};

}  // namespace orvalis
