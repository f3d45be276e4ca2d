// Seconds: a duration in whole seconds, an INTEGER (CallDuration): hh:mm:ss in the readable text
// (hours may have more digits), and the text and the seconds in the record formats, the parts of
// Duration. A negative duration cannot be decoded.
#pragma once

#include "decode/types/failure_line.h"
#include "decode/types/field_layout.h"
#include "decode/types/integer.h"
#include "decode/types/text_layout.h"

namespace orvalis {

struct SecondsType : LongValuesFail<ValueFailure::kIntegerTooLong> {
  static constexpr std::string_view kName = "Seconds";
  static constexpr PartNames kParts = {{"text", "seconds"}, 2};
  static ColumnType Column(const TItem& item, int part) {
    return part == 1 ? integer_layout::NumberColumn(item) : ColumnType::kText;
  }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const IntegerValue value = Read(c, length);
    if (value.Check.Failed) return SetFailureWithOctets(walk, value.Check.Failure, c, length);
    char* out = PutClock(BeginPiece(walk, kLongestClock + 1), value.Bits);
    *out++ = '\n';
    EndShortPiece(walk, out);
  }
  template <typename Sink>
  [[gnu::noinline, gnu::cold]] static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const IntegerValue value = Read(c, length);
    if (value.Check.Failed) return field_layout::PutFailure(sink, value.Check.Failure, c, length);
    sink.Parts(kParts);
    sink.Part(0);
    sink.End(PutClock(sink.Begin(PartKind::kVerbatim, kLongestClock), value.Bits));
    sink.Part(1);
    integer_layout::PutNumber(sink, value);
    sink.EndParts();
  }

 private:
  static constexpr std::size_t kLongestClock = 22;  // 5124095576030431 hours, 59 minutes, 59 seconds
  static IntegerValue Read(const uint8_t* c, uint64_t length) {
    IntegerValue value = ReadInteger(c, length);
    if (!value.Check.Failed && value.Negative) value.Check = Fails(ValueFailure::kNegativeSeconds);
    return value;
  }
  // hh:mm:ss, at least two digits of hours.
  static char* PutClock(char* out, uint64_t seconds) {
    const uint64_t hours = seconds / 3600;
    out = hours < 100 ? PutTwoDigits(out, static_cast<uint32_t>(hours)) : std::to_chars(out, out + 20, hours).ptr;
    *out++ = ':';
    out = PutTwoDigits(out, static_cast<uint32_t>(seconds / 60 % 60));
    *out++ = ':';
    return PutTwoDigits(out, static_cast<uint32_t>(seconds % 60));
  }
};

}  // namespace orvalis
