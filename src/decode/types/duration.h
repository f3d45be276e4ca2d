// Duration: hundredths of a second, big-endian (of a longer value the last four octets count):
// hh:mm:ss in the readable text (the hundredths dropped), and the seconds with hundredths too in
// the record formats.
#pragma once

#include "decode/types/field_layout.h"
#include "decode/types/text_layout.h"
#include "decode/values/value_readers.h"

namespace orvalis {

struct DurationType {
  static constexpr std::string_view kName = "Duration";
  static constexpr PartNames kParts = {{"text", "seconds"}, 2};
  static ColumnType Column(const TItem&, int part) { return part == 1 ? ColumnType::kSeconds : ColumnType::kText; }

  [[gnu::noinline]] static void Text(WalkContext& walk, const TItem&, const uint8_t* c, uint64_t length) {
    const uint32_t seconds = ReadDuration(c, length).Seconds();
    const uint32_t hours = seconds / 3600;
    const uint32_t minutes = (seconds - 3600 * hours) / 60;
    const uint32_t rest = seconds - 3600 * hours - 60 * minutes;
    char* out = BeginPiece(walk, 16);  // at most 11930 hours
    out = hours < 100 ? PutTwoDigits(out, hours) : PutNumber32(out, hours);
    *out++ = ':';
    out = PutTwoDigits(out, minutes);
    *out++ = ':';
    out = PutTwoDigits(out, rest);
    *out++ = '\n';
    EndShortPiece(walk, out);
  }
  // Hours:minutes:seconds, and seconds with hundredths.
  template <typename Sink>
  static void Fields(Sink& sink, const TItem&, const uint8_t* c, uint64_t length) {
    const DurationValue duration = ReadDuration(c, length);
    const uint32_t seconds = duration.Seconds();
    const uint32_t hours = seconds / 3600;
    sink.Parts(kParts);
    sink.Part(0);
    char* out = sink.Begin(PartKind::kVerbatim, 16);  // at most 11930 hours
    out = hours < 100 ? field_layout::PutTwoDigits(out, hours) : std::to_chars(out, out + 10, hours).ptr;
    *out++ = ':';
    out = field_layout::PutTwoDigits(out, seconds / 60 % 60);
    *out++ = ':';
    sink.End(field_layout::PutTwoDigits(out, seconds % 60));
    sink.Part(1);
    out = sink.Begin(PartKind::kNumber, 14);
    out = std::to_chars(out, out + 10, seconds).ptr;
    *out++ = '.';
    sink.End(field_layout::PutTwoDigits(out, duration.Hundredths % 100));
    sink.EndParts();
  }
};

}  // namespace orvalis
