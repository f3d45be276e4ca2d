#include "driver/whole_walk.h"

#include "debugdump/debug_walker.h"
#include "decode/record_walker.h"

namespace orvalis {

int WalkWholeInput(WalkContext& walk, StretchWalkReport* report) {
  const uint64_t end = walk.Input.Size();
  if (walk.Settings.DebugMode) return WalkDumpElements(walk, end);
  if (CanWalkInStretches(walk)) return WalkInStretches(walk, report);
  return WalkTextElements(walk, end);
}

}  // namespace orvalis
