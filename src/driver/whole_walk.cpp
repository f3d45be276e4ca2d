#include "driver/whole_walk.h"

#include <utility>

namespace orvalis {

int WalkWholeInput(WalkContext& walk, const OutputFormatRow& format, StretchWalkReport* report,
                   std::shared_ptr<const CsvLayout> columns) {
  const std::unique_ptr<FormatWalk> walkOf = format.Start(walk, std::move(columns));
  const int result = CanWalkInStretches(*walkOf) ? WalkInStretches(*walkOf, report) : walkOf->Elements(walk.Input.Size());
  walkOf->Finish();
  return result;
}

int WalkWholeInput(WalkContext& walk, StretchWalkReport* report) {
  return WalkWholeInput(walk, OutputFormatOfWalk(walk.Settings), report);
}

}  // namespace orvalis
