// IPAddress: an IPv4 address of 4 octets, dotted decimal, or an IPv6 address of 16, as RFC 5952
// writes it; a column of PostgreSQL's inet.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/telephony_values.h"

namespace orvalis {

struct IpAddressType : LongValuesFail<ValueFailure::kIpAddressLength> {
  static constexpr std::string_view kName = "IPAddress";
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kInet; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckIpAddress(length);
    if (check.Failed) return SetFailureWithOctets(walk, check.Failure, c, length);
    char* out = PutIpAddress(BeginPiece(walk, kLongestIpAddress + 1), c, length);
    *out++ = '\n';
    EndShortPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const ValueCheck check = CheckIpAddress(length);
    if (check.Failed) return field_layout::PutFailure(sink, check.Failure, c, length);
    sink.End(PutIpAddress(sink.Begin(PartKind::kVerbatim, kLongestIpAddress), c, length));
  }
};

}  // namespace orvalis
