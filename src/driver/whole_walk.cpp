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
  // Debug mode (the dump) is left to one thread: CanWalkInStretches tells.
  const int result =
      CanWalkInStretches(walk) ? WalkInStretches(walk, report, format.Walk) : format.Walk(walk, walk.Input.Size());
  if (format.AfterWalk != nullptr) format.AfterWalk(walk);
  if (walk.Csv == &ownLayout) walk.Csv = nullptr;
  return result;
}

int WalkWholeInput(WalkContext& walk, StretchWalkReport* report) {
  return WalkWholeInput(walk, OutputFormatOfWalk(walk.Settings), report);
}

}  // namespace orvalis
