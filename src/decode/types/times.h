// GeneralizedTime, UTCTime and TimeStamp: times laid out as ISO 8601 text, with the fraction,
// "Z" or offset that the value gives (decode/values/time_values.h): the same text in every format.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/time_values.h"

namespace orvalis {

// A time type read by `Read` (ReadGeneralizedTime ...); every value of kLongValue octets or more
// fails with `kLongFailure`.
template <TimeText (*Read)(const uint8_t*, uint64_t), ValueFailure kLongFailure>
struct TimeType : LongValuesFail<kLongFailure> {
  static constexpr PartNames kParts = kPlainValue;
  static ColumnType Column(const TItem&, int) { return ColumnType::kTimestampZone; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const TimeText time = Read(c, length);
    if (time.Check.Failed) return SetFailureWithOctets(walk, time.Check.Failure, c, length);
    char* out = PutText(BeginPiece(walk, time.Size + 1), time.View());
    *out++ = '\n';
    EndPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const TimeText time = Read(c, length);
    if (time.Check.Failed) return field_layout::PutFailure(sink, time.Check.Failure, c, length);
    field_layout::PutVerbatim(sink, time.View());
  }
};

struct GeneralizedTimeType : TimeType<ReadGeneralizedTime, ValueFailure::kNotGeneralizedTime> {
  static constexpr std::string_view kName = "GeneralizedTime";
};
struct UtcTimeType : TimeType<ReadUtcTime, ValueFailure::kNotUtcTime> {
  static constexpr std::string_view kName = "UTCTime";
};
struct TimeStampType : TimeType<ReadTimeStamp, ValueFailure::kTimeStampLength> {
  static constexpr std::string_view kName = "TimeStamp";
};

}  // namespace orvalis
