#include "driver/whole_walk.h"

#include <utility>

#include "common/console.h"

namespace orvalis {

int WalkWholeInput(WalkContext& walk, const OutputFormatRow& format, StretchWalkReport* report,
                   const FormatSetup& setup) {
  const std::unique_ptr<FormatWalk> walkOf = format.Start(walk, setup);
  walkOf->BeginInput();
  const int result = CanWalkInStretches(*walkOf) ? WalkInStretches(*walkOf, report) : walkOf->Elements(walk.Input.End());
  walkOf->Finish();
  return result;
}

int WalkWholeInput(WalkContext& walk, StretchWalkReport* report) {
  return WalkWholeInput(walk, OutputFormatOfWalk(walk.Settings), report);
}

void WalkOutsideFields(WalkSettings settings, const uint8_t* data, uint64_t size, TBranch& root, std::string& text,
                       std::size_t keep) {
  settings.RangeActive = false;
  settings.FilterCount = 0;
  settings.SourceName = {};
  settings.RecordKindMembers = false;  // the manifest's lines hold no record: no kind to tell
  ConsoleLog dropped;
  dropped.Limit = 0;
  const ConsoleToLog mute(dropped);
  WalkContext walk(settings, data, size, root, nullptr);
  walk.Output.KeepInMemory(text, keep);
  WalkWholeInput(walk, OutsideFieldsFormat());
  WriteOutLastRecord(walk);
  FinishOutput(walk);
}

}  // namespace orvalis
