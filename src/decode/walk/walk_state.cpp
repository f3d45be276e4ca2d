#include "decode/walk/walk_state.h"

#include "common/console.h"

namespace orvalis {
namespace {

constexpr std::size_t kRecordBufferReserve = 100000;
constexpr std::size_t kValueTextReserve = 2048;

}  // namespace

WalkContext::WalkContext(const WalkSettings& settings, const uint8_t* data, uint64_t size,
                         TBranch& root, std::FILE* output)
    : Settings(settings),
      Input(data, settings.Frames.End != 0 && settings.Frames.End < size ? settings.Frames.End : size),
      Root(&root),
      CommonFirstOctets(&kCommonFirstOctets[static_cast<int>(settings.Identifiers)]),
      Output(output) {
  State.CurrentBranch = &root;
  State.RecordBuffer.reserve(kRecordBufferReserve);
  ValueText.reserve(kValueTextReserve);
}

WalkContext::~WalkContext() { FinishOutput(*this); }

int RefusePiece(WalkContext& walk) {
  Say("Error: length of current record more than 2048 bytes.\n");
  ++walk.Counts.RefusedPieces;
  return -1;
}

void RefuseLastPiece(WalkContext& walk) {
  TextBuffer& record = walk.State.RecordBuffer;
  walk.ValueText.assign(record.view().substr(walk.PieceStart));
  record.truncate(walk.PieceStart);
  walk.PieceStart = kRefusedPiece;
  if (!walk.LayingOutForFilter) RefusePiece(walk);
}

std::string TagPathText(const TagPath& path) {
  std::string text;
  AppendTagPathText(text, path);
  return text;
}

void WriteRecordBuffer(WalkContext& walk) {
  WalkState& state = walk.State;
  if (state.RecordBuffer.size() >= walk.Destination.BlockSize) {
    // A stretch walked ahead has no output of its own: its text outgrew what it may hold for its
    // turn, and the walk in order takes the stretch (as HandOnHeldText says at the next element).
    if (walk.Destination.HoldsForTurn()) {
      walk.Destination.Held->Outgrown = true;
    } else {
      walk.Output.Write(state.RecordBuffer);
    }
  }
  state.RecordStart = state.RecordBuffer.size();
}

namespace {

// Moves the record's undecided text to the temporary file, all but its last character, which stays
// so that the record's text still shows how it ends; the records' text before it, decided, is
// written out. Where no temporary file can be had the text stays where it is.
[[gnu::noinline, gnu::cold]] void SpillUndecidedText(WalkContext& walk) {
  WalkState& state = walk.State;
  TextBuffer& text = state.RecordBuffer;
  const std::string_view undecided = text.view().substr(state.RecordStart, text.size() - state.RecordStart - 1);
  if (!walk.Spilled.Append(undecided)) return;
  const char last = text.back();
  text.truncate(state.RecordStart);
  walk.Output.Write(text);
  text.push_back(last);
  state.RecordStart = 0;
}

// Writes out the record's text that went to the temporary file; the rest of it is in the record
// buffer, from its beginning.
[[gnu::noinline, gnu::cold]] void WriteSpilledText(WalkContext& walk) {
  TextBuffer block;
  const int error = walk.Spilled.TakeBack(block, walk.Destination.BlockSize, [&walk](TextBuffer& taken) {
    walk.Output.Write(taken);
  });
  if (error != 0) walk.Output.Fail(error);
}

// Drops the text of the record under way.
void DropRecordText(WalkContext& walk) {
  walk.State.RecordBuffer.truncate(walk.State.RecordStart);
  if (!walk.Spilled.empty()) walk.Spilled.Drop();
}

}  // namespace

bool HandOnHeldText(WalkContext& walk) {
  WalkState& state = walk.State;
  if (walk.Destination.HoldsForTurn()) {
    walk.Destination.Held->Outgrown = true;  // the walk in order takes the stretch
    return false;
  }
  const uint32_t filterCount = walk.Settings.FilterCount;
  if (filterCount == 0) {
    walk.Output.Write(state.RecordBuffer);  // every text is written without a filter
    state.RecordStart = 0;
  } else if (!state.RecordPasses || state.FilteredTagsSeen > filterCount) {
    DropRecordText(walk);  // the record can no longer pass
  } else if (state.RecordBuffer.size() - state.RecordStart >= walk.SpillSize) {
    SpillUndecidedText(walk);
  }
  return true;
}

void WriteOutRecord(WalkContext& walk) {
  if (RecordIsKept(walk)) {
    if (!walk.Spilled.empty()) WriteSpilledText(walk);
    WriteRecordBuffer(walk);
  } else {
    DropRecordText(walk);  // a record that failed the filter is dropped
  }
}

void CountRecordOutcome(WalkContext& walk) {
  WalkState& state = walk.State;
  if (state.RecordCount != 0 && !(walk.Settings.RangeActive && state.SkipRecord)) {
    if (!RecordIsKept(walk)) {
      ++walk.Counts.RecordsFilteredOut;
    } else {
      walk.Counts.AddWritten(state.Pending);
      walk.FieldsWithoutColumn.Add(state.Pending.Fields);
    }
  }
  state.Pending.Clear();
}

void WriteOutLastRecord(WalkContext& walk) {
  CountRecordOutcome(walk);
  WriteOutRecord(walk);
}

int FinishOutput(WalkContext& walk) {
  WalkState& state = walk.State;
  DropRecordText(walk);  // what was not written out is not written
  walk.Output.Write(state.RecordBuffer);
  state.RecordStart = 0;
  return walk.Output.Finish();
}

}  // namespace orvalis
