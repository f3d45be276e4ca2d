#include "decode/walk/walk_steps.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "common/text_format.h"
#include "common/console.h"

namespace orvalis {
namespace {

// The pass over the contents of an element kept whole, of indefinite length, to find their end:
// no dictionary, all length octets followed, an element of definite length passed over at once (its
// contents are part of the value), one of indefinite length element by element, no deeper than the
// walk goes.
struct KeptContentsScan {
  struct Scope {};
  static constexpr int kLengthOctets = kMaxLengthOctets;
  static constexpr int kDeepest = kMaxDepth;
  static constexpr bool kBoundsContents = true;

  IdentifierRule Identifiers;

  static bool RefusesZeroIdentifier() { return false; }
  static bool Spend() { return true; }
  static Entry<Scope> Look(Scope, const ElementIdentifier&, int) { return {true, false, {}}; }
};

// The message that stops the walk without Resync at a flaw of structure: the walk's own for its
// kind (`indefinitePrimitive` the writer's for a primitive element of indefinite length).
std::string_view StopMessage(Flaw flaw, std::string_view indefinitePrimitive) {
  switch (flaw) {
    case Flaw::kNestedTooDeep: return kTooDeepMessage;
    case Flaw::kPrimitiveIndefinite: return indefinitePrimitive;
    case Flaw::kTagNumberTooLarge: return kTagNumberTooLargeMessage;
    case Flaw::kTagNumberPadded: return kTagNumberPaddedMessage;
    default: return kEndOfInputMessage;
  }
}

// The hints after the messages of damage: one line each, after the message, naming the key of the
// main configuration file that mends the run. They go where the walk's messages go (a stretch
// walked ahead holds them with its messages for its turn).
constexpr const char kFillerStopHint[] =
    "Hint: the walk stopped at filler (octets 0x%02X between records) at offset %" PRIu64
    "; SkipFiller=true in %s passes over it\n\n";
constexpr const char kFillerDamageHint[] =
    "Hint: the damage at offset %" PRIu64 " is filler (octets 0x%02X between records); SkipFiller=true in %s"
    " passes over it\n\n";
constexpr const char kCutShortHint[] =
    "Hint: the element at offset %" PRIu64 " runs past the end of the file (%" PRIu64
    " octet%s), which may be cut short; Resync=true in %s keeps what is there\n\n";
constexpr const char kDamageStopHint[] =
    "Hint: the walk stopped at damage at offset %" PRIu64
    "; Resync=true in %s goes on at the next record that reads\n\n";
constexpr const char kTagsNotFoundHint[] =
    "Hint: the tags not found in record %" PRIu32 " may come from the damage, not from the dictionary\n\n";

// The main configuration file as the hints name it.
std::string ConfigNamed(const WalkSettings& settings) {
  return settings.ConfigName.empty() ? std::string("the main configuration file") : ConsoleName(settings.ConfigName);
}

// True when the element whose reading failed, at `at`, is a top-level one: its first octet is
// where a top-level element begins.
bool AtTopLevel(const WalkContext& walk, uint64_t at) {
  return walk.State.Path.Depth == 0 && at == walk.ElementOffset;
}

// The filler that SkipFiller, which is off, would have passed over where the top-level element at
// `at` begins (resync.h decides what is filler); none below the top level or with SkipFiller.
FillerRun FillerWithoutSkipFiller(const WalkContext& walk, uint64_t at, bool topLevel) {
  ByteCursor place = walk.Input;
  if (!topLevel || walk.Settings.SkipFiller || !place.MoveTo(at)) return {};
  return FillerAt(place, *walk.Root, walk.Settings.Identifiers);
}

// After the message of damage that stopped the walk without Resync, at the element beginning at
// `at`: filler names SkipFiller, other damage Resync (the file may be cut short where the element
// runs past its end).
void HintAtStop(const WalkContext& walk, uint64_t at, const char* why, bool topLevel) {
  const std::string config = ConfigNamed(walk.Settings);
  const FillerRun filler = FillerWithoutSkipFiller(walk, at, topLevel);
  if (filler.Octets != 0) {
    SayFormatted(kFillerStopHint, static_cast<unsigned>(filler.Octet), at, config.c_str());
  } else if (std::string_view(why) == kInputEndsInside || std::string_view(why) == kNoEndOfContents) {
    const uint64_t size = walk.Input.Size();
    SayFormatted(kCutShortHint, at, size, size == 1 ? "" : "s", config.c_str());
  } else {
    SayFormatted(kDamageStopHint, at, config.c_str());
  }
}

}  // namespace

int StopAtDamage(WalkContext& walk, uint64_t at, uint64_t searchFrom, const char* why, std::string_view message) {
  const bool cut = walk.Settings.InputEndsEarly &&
                   (std::string_view(why) == kInputEndsInside || std::string_view(why) == kNoEndOfContents);
  if (!walk.Settings.Resync || cut) {
    Say(message);
    // A compressed input that ends early is no damage (its own message comes after the walk), and
    // Resync stops the walk at nothing else.
    if (!walk.Settings.Resync && !cut) HintAtStop(walk, at, why, AtTopLevel(walk, at));
    return -1;
  }
  walk.Damage.Pending = true;
  walk.Damage.At = at;
  walk.Damage.TopLevel = AtTopLevel(walk, at);
  walk.Damage.SearchFrom = searchFrom;
  walk.Damage.Why = why;
  walk.Damage.BlockEnd = 0;
  walk.Damage.InRecord = false;
  return -1;
}

bool PassesOverCleanly(WalkContext& walk, uint64_t length, const TBranch* branch) {
  Malformed bad;
  if (ReadsWellFormed(walk.Input.Contents(length), walk.State.Path.Depth + 1, branch, walk.Settings.Identifiers, bad)) {
    return true;
  }
  StopAtDamage(walk, bad.At, bad.At + 1, bad.Why, kEndOfInputMessage);
  return false;
}

int StopAtIdentifier(WalkContext& walk, uint64_t at, HeaderRead read) {
  const Flaw flaw = IdentifierFlaw(read);
  return StopAtDamage(walk, at, at + 1, WhyMalformed(flaw, walk.Input.HolderEnds()), StopMessage(flaw, ""));
}

bool MeasureKeptContents(WalkContext& walk, uint64_t at, ElementLength& length, std::string_view indefinitePrimitive) {
  KeptContentsScan scan{walk.Settings.Identifiers};
  StructureFault fault;
  ByteCursor contents = walk.Input;
  const uint64_t begin = contents.Position();
  if (PassOverIndefiniteContents(contents, at, walk.State.Path.Depth, {}, scan, fault)) {
    length = ElementLength{false, false, contents.Position() - 2 - begin};
    return true;
  }
  StopAtDamage(walk, fault.At, fault.At + 1, WhyMalformed(fault.What, fault.HolderEnds),
               StopMessage(fault.What, indefinitePrimitive));
  return false;
}

TLeaf* LookUpTagOtherwise(WalkContext& walk, uint8_t firstOctet) {
  WalkState& state = walk.State;
  const TagClass elementClass = ClassOfIdentifier(firstOctet);
  const int depth = state.Path.Depth;
  const int32_t tagId = state.Path.Ids[depth];
  const TBranch* branch = state.Lost ? BranchOfPath(*walk.Root, state.Path, depth) : state.CurrentBranch;
  TLeaf* leaf = branch != nullptr ? branch->Find(tagId, elementClass) : nullptr;
  state.Lost = leaf == nullptr;
  const TagClass shown = leaf != nullptr ? leaf->Item.Class : ShownClassOfUnfound(branch, elementClass);
  state.Path.Ids[depth] = ComponentOf(tagId, shown);
  return leaf;
}

int CdrLengthDisagrees(WalkContext& walk, uint64_t at, const CdrHeader& header, uint64_t record, uint64_t size) {
  ++walk.Counts.Frames.LengthsDisagreeing;
  const uint64_t cdr = record - header.Size;
  char message[200];
  if (size == 0 || size == UINT64_MAX) {
    std::snprintf(message, sizeof message,
                  "Error: the CDR at offset %" PRIu64 " gives a length of %u octets, which its record does not have.\n\n",
                  cdr, static_cast<unsigned>(header.Length));
  } else {
    std::snprintf(message, sizeof message,
                  "Error: the CDR at offset %" PRIu64 " gives a length of %u octets, but its record at offset %" PRIu64
                  " has %" PRIu64 ".\n\n",
                  cdr, static_cast<unsigned>(header.Length), record, size);
  }
  return StopAtDamage(walk, at, at == cdr ? at + 1 : at, kCdrLengthDisagrees, message);
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

void HintAtDamage(WalkContext& walk) {
  auto& damage = walk.Damage;
  if (damage.InRecord && walk.State.TagsNotFoundInRecord != 0) {
    SayFormatted(kTagsNotFoundHint, walk.State.RecordCount);
    return;
  }
  if (damage.FillerHinted) return;
  const FillerRun filler = FillerWithoutSkipFiller(walk, damage.At, damage.TopLevel);
  if (filler.Octets == 0) return;
  damage.FillerHinted = true;
  const std::string config = ConfigNamed(walk.Settings);
  SayFormatted(kFillerDamageHint, damage.At, static_cast<unsigned>(filler.Octet), config.c_str());
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
  state.Path.Ids[0] = ComponentOf(point.Block->Item.TagId, point.Block->Item.Class);
  state.CurrentBranch = point.Block->Child.get();
  state.Lost = false;
  // The block's contents are of definite length where its end is known.
  NoteContentsLength(walk, state.ResumedEnd != 0);
}

void ReportTagNotFound(WalkContext& walk) {
  Say("Error: tag " + TagPathText(walk.State.Path) +
      " not found, please, add it to Tags.cfg or report about this error to " + kContactAddress + "\n\n");
  ++walk.Counts.TagsNotFound;
  ++walk.State.TagsNotFoundInRecord;
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
  state.TagsNotFoundInRecord = 0;
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
