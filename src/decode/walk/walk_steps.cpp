#include "decode/walk/walk_steps.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "common/text_format.h"
#include "common/console.h"

namespace orvalis {
int StopAtDamage(WalkContext& walk, uint64_t at, uint64_t searchFrom, const char* why, std::string_view message) {
  const bool cut = walk.Settings.InputEndsEarly &&
                   (std::string_view(why) == kInputEndsInside || std::string_view(why) == kNoEndOfContents);
  if (!walk.Settings.Resync || cut) {
    Say(message);
    return -1;
  }
  walk.Damage.Pending = true;
  walk.Damage.At = at;
  walk.Damage.SearchFrom = searchFrom;
  walk.Damage.Why = why;
  walk.Damage.BlockEnd = 0;
  walk.Damage.InRecord = false;
  return -1;
}

bool PassesOverCleanly(WalkContext& walk, uint64_t length) {
  Malformed bad;
  if (ReadsWellFormed(walk.Input.Contents(length), walk.State.Path.Depth + 1, bad)) return true;
  StopAtDamage(walk, bad.At, bad.At + 1, bad.Why, kEndOfInputMessage);
  return false;
}

void ReportDamage(WalkContext& walk, uint64_t resumedAt) {
  WalkCounts& counts = walk.Counts;
  const uint64_t at = walk.Damage.At;
  counts.NoteDamage(at);
  SayFormatted("Error: input damaged at offset %" PRIu64 " (%s): %" PRIu64
               " octets skipped, the walk goes on at offset %" PRIu64 "%s; last record completed: %" PRIu32 ".\n\n",
               at, walk.Damage.Why, resumedAt - at, resumedAt, resumedAt >= walk.Input.Size() ? " (the end)" : "",
               counts.LastRecordCompleted);
}

void ResumeAt(WalkContext& walk, const ResumePoint& point, const TLeaf* damagedIn) {
  WalkState& state = walk.State;
  // The damaged block's length, when it has one, still places its end.
  const uint64_t blockEnd = state.ResumedIn != nullptr ? state.ResumedEnd : walk.Damage.BlockEnd;
  walk.Input.MoveTo(point.At);
  state.Path.Depth = -1;
  state.CurrentBranch = walk.Root;
  state.Lost = true;
  state.ResumedIn = point.Block;
  state.ResumedEnd = point.Block != nullptr && point.Block == damagedIn && blockEnd > point.At ? blockEnd : 0;
  if (point.Block == nullptr) return;
  state.Path.Depth = 0;
  state.Path.Ids[0] = point.Block->Item.TagId;
  state.CurrentBranch = point.Block->Child.get();
  state.Lost = false;
  // The block's contents are of definite length where its end is known.
  NoteContentsLength(walk, state.ResumedEnd != 0);
}

void ReportTagNotFound(WalkContext& walk) {
  Say("Error: tag " + TagPathText(walk.State.Path) +
      " not found, please, add it to Tags.cfg or report about this error to " + kContactAddress + "\n\n");
  ++walk.Counts.TagsNotFound;
}

void ShowProgress(WalkContext& walk) {
  const ByteCursor& input = walk.Input;
  WalkState& state = walk.State;
  if (input.Position() < state.NextPercentAt || input.Size() == 0) return;
  // The position is below 2^32, so the products cannot overflow 64 bits.
  const int percent = static_cast<int>(input.Position() * 100 / input.Size());
  if (percent > state.LastPercent) {
    SayProgress(percent);
    state.LastPercent = percent;
  }
  // The first position whose percentage is above the last one shown: no division until then.
  state.NextPercentAt = ((static_cast<uint64_t>(state.LastPercent) + 1) * input.Size() + 99) / 100;
}

bool StartRecord(WalkContext& walk) {
  WalkState& state = walk.State;
  CountRecordOutcome(walk);
  ++state.RecordCount;
  WriteOutRecord(walk);
  state.FilteredTagsSeen = 0;
  state.RecordPasses = true;
  const WalkSettings& settings = walk.Settings;
  if (settings.RangeActive) {
    state.SkipRecord = state.RecordCount < settings.StartRec || state.RecordCount > settings.EndRec;
    if (state.SkipRecord) {
      ++walk.Counts.RecordsOutOfRange;
      state.SkipDepth = state.Path.Depth;
      return false;
    }
  }
  return true;
}

void Descend(WalkContext& walk, const TLeaf& leaf) {
  walk.State.CurrentBranch = leaf.Child.get();
  if (leaf.Child == nullptr) {
    Say("Error: there should be at least one subtag for tag " + TagPathText(walk.State.Path) +
        " please correct tags configuration in Tags.cfg\n\n");
  }
}


}  // namespace orvalis
