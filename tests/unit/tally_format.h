// An output format added as the checklist says, one file and one row of a list of formats of the
// test's own: a line per record, value and mark, a first line when it begins an output and a
// trailer that ends it.
#pragma once

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "decode/walk/walk_steps.h"
#include "decode/types/value_types.h"
#include "decode/walk/writer.h"
#include "driver/output_formats.h"

namespace orvalis::test {

constexpr const char* kTallyFirstLine = "tally begins\n";
constexpr const char* kTallyTrailer = "tally ends\n";

class TallyWriter : public WriterDefaults {
 public:
  using Values = ValueTypes;

  TallyWriter(WalkContext& walk, const NoSetup&) : walk_(walk) {}

  void RecordStarts(const RecordRead& record) {
    Line("record %" PRIu32 " at %" PRIu64 "\n", record.Number, record.Offset);
  }
  void Value(const ValueRead& value) { Line("value at %" PRIu64 ", %" PRIu64 " octets\n", value.At, value.Length); }
  void Damaged(uint64_t at, uint64_t resumedAt) {
    Line("damaged at %" PRIu64 ", going on at %" PRIu64 "\n", at, resumedAt);
  }
  void InDoubt(uint64_t at, uint64_t damagedAt) {
    Line("in doubt at %" PRIu64 ", after the damage at %" PRIu64 "\n", at, damagedAt);
  }
  // Every line goes into the record's text at once: nothing held, nothing to hand over.
  void Finish() {}
  void TakeOver(TallyWriter&) {}

 private:
  template <typename... Numbers>
  void Line(const char* form, Numbers... numbers) {
    char text[96];
    const int size = std::snprintf(text, sizeof text, form, numbers...);
    AppendToRecord(walk_, std::string_view(text, static_cast<std::size_t>(size)));
  }

  WalkContext& walk_;
};

inline std::unique_ptr<FormatWalk> StartTally(WalkContext& walk, const FormatSetup&) {
  if (walk.Input.Position() == 0 && !walk.Settings.ContinuesOutput) walk.Output.WriteText(kTallyFirstLine);
  return std::make_unique<WalkOf<TallyWriter, NoSetup>>(walk, std::make_shared<const NoSetup>());
}

constexpr OutputFormatRow kTallyRow = {"tally", "", false, ".tally", "tally", false, false, nullptr, StartTally,
                                       kTallyTrailer};

}  // namespace orvalis::test
