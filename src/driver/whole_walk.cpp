#include "driver/whole_walk.h"

#include "decode/writers/record_writers.h"

namespace orvalis {

int WalkWholeInput(WalkContext& walk, const OutputFormatRow& format, StretchWalkReport* report) {
  CsvLayout ownLayout;
  if (format.HasColumns && walk.Csv == nullptr) {
    ownLayout = MakeCsvLayout(*walk.Root);
    walk.Csv = &ownLayout;
  }
  if (format.BeforeWalk != nullptr) format.BeforeWalk(walk);
  const bool shared = format.Shared && CanWalkInStretches(walk);
  const int result = shared ? WalkInStretches(walk, report, format.Walk) : format.Walk(walk, walk.Input.Size());
  if (format.AfterWalk != nullptr) format.AfterWalk(walk);
  if (walk.Csv == &ownLayout) walk.Csv = nullptr;
  return result;
}

int WalkWholeInput(WalkContext& walk, StretchWalkReport* report) {
  return WalkWholeInput(walk, OutputFormatOfWalk(walk.Settings), report);
}

}  // namespace orvalis
