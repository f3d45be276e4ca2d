#include "driver/whole_walk.h"

#include <memory>

#include "debugdump/debug_walker.h"
#include "decode/writers/json_lines_writer.h"
#include "decode/writers/text_writer.h"

namespace orvalis {
namespace {

std::unique_ptr<FormatWalk> FormatWalkOf(WalkContext& walk, const CsvLayout* columns) {
  if (walk.Settings.DebugMode) return DumpWalk(walk);
  switch (walk.Settings.Format) {
    case OutputFormat::kJsonLines: return JsonLinesWalk(walk, *walk.Root);
    case OutputFormat::kCsv:
      return CsvWalk(walk, std::make_shared<const CsvLayout>(columns != nullptr ? *columns : MakeCsvLayout(*walk.Root)));
    case OutputFormat::kText: break;
  }
  return TextWalk(walk);
}

}  // namespace

int WalkWholeInput(WalkContext& walk, StretchWalkReport* report, const CsvLayout* columns) {
  const std::unique_ptr<FormatWalk> format = FormatWalkOf(walk, columns);
  const int result = CanWalkInStretches(walk) ? WalkInStretches(*format, report) : format->Elements(walk.Input.Size());
  format->Finish();
  return result;
}

}  // namespace orvalis
