#include "driver/whole_walk.h"

#include "debugdump/debug_walker.h"
#include "decode/writers/record_walker.h"
#include "decode/writers/record_writers.h"

namespace orvalis {

int WalkWholeInput(WalkContext& walk, StretchWalkReport* report) {
  const uint64_t end = walk.Input.Size();
  if (walk.Settings.DebugMode) return WalkDumpElements(walk, end);
  ElementsWalk elements = WalkTextElements;
  CsvLayout ownLayout;
  if (walk.Settings.Format == OutputFormat::kJsonLines) {
    PrepareJsonKeys(*walk.Root);
    elements = WalkJsonElements;
  } else if (walk.Settings.Format == OutputFormat::kCsv) {
    if (walk.Csv == nullptr) {
      ownLayout = MakeCsvLayout(*walk.Root);
      walk.Csv = &ownLayout;
    }
    if (walk.Input.Position() == 0) walk.Output.WriteText(CsvHeader(*walk.Csv));
    elements = WalkCsvElements;
  }
  const int result = CanWalkInStretches(walk) ? WalkInStretches(walk, report, elements) : elements(walk, end);
  EndRecordLine(walk);
  if (walk.Csv == &ownLayout) walk.Csv = nullptr;
  return result;
}

}  // namespace orvalis
