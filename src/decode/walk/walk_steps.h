// The walk: one element after another, each named from the dictionary, its record started and
// decided, its contents walked or its value written. What the walk read reaches paper through a
// writer (writer.h), chosen once per run as a type: the walk tells it what it read, the writer
// decides how it looks. Decisions about records (numbering, the range, the filter, what is written
// out or dropped) and the progress display stay here, so that every writer selects the same
// records.
//
// Damage: where the walk cannot read on (the input ends inside an element, a length too large,
// nesting deeper than allowed, a primitive element of indefinite length, end-of-contents octets
// missing), each step returns -1 up to the top level. Without Resync its message was said and the
// walk stops there. With Resync the damage is noted instead (WalkContext::Damage), a nested
// element that runs past the end of the element holding it is damage too, and so is an identifier
// octet 00 in contents of definite length (those octets only end contents of indefinite length;
// at the top level they are SkipFiller's to pass over, or an element as without Resync), and the
// top level (WalkTopLevel) says it on the console, has the writer mark it and goes on at the next
// place a record can be read (resync.h). A hint line may follow either message, naming the key that
// mends the run: SkipFiller where the damage is filler, Resync where the walk stopped at damage,
// and after damage in a record whose tags were not all found, that they may come from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/console.h"
#include "decode/ber/element_header.h"
#include "decode/walk/resync.h"
#include "decode/walk/walk_state.h"
#include "decode/walk/writer.h"

namespace orvalis {

// The message for an input that ends inside an element, and for nesting deeper than allowed.
constexpr std::string_view kEndOfInputMessage = "Error: unexpected end of input file.\n\n";
constexpr std::string_view kTooDeepMessage = "Error: something is wrong. Tag Identifier is too long.\n\n";
// The messages for identifier octets of any length that carry a tag number above 2097151, or whose
// first subsequent octet is 80.
constexpr std::string_view kTagNumberTooLargeMessage = "Error: something is wrong. Tag number is above 2097151.\n\n";
constexpr std::string_view kTagNumberPaddedMessage =
    "Error: something is wrong. Tag number begins with a subsequent octet 80.\n\n";

// Where the walk cannot read on, at the element beginning at `at`. Without Resync, says `message`
// (the walk stops). With Resync, notes the damage, and that the search for a place to go on may
// begin at `searchFrom`, for the top level. Returns -1 either way.
int StopAtDamage(WalkContext& walk, uint64_t at, uint64_t searchFrom, const char* why, std::string_view message);

// Why the element at the read position could not be read when its octets ran out: the end of
// the element holding it, or the input's.
inline const char* WhyCutShort(const WalkContext& walk) { return WhyMalformed(Flaw::kCutShort, walk.Input.HolderEnds()); }

// Where the identifier octets of the element beginning at `at` did not read (`read`): the input
// ended inside them, or a tag number of any length is above 2097151 or begins with 80. Returns -1
// (StopAtDamage).
int StopAtIdentifier(WalkContext& walk, uint64_t at, HeaderRead read);

// The contents of the element of indefinite length beginning at `at`, whose contents are its value
// (KeepsContents), from the read position: up to the end-of-contents octets that close them, found
// by passing over the elements nested in them (decode/ber/structure.h). Sets `length` to their
// size, as a definite length; false, after the damage is noted or said (the innermost element that
// does not read; `indefinitePrimitive` the writer's message for a primitive element of indefinite
// length), where they do not read.
bool MeasureKeptContents(WalkContext& walk, uint64_t at, ElementLength& length, std::string_view indefinitePrimitive);

// With Resync, the nested elements of a constructed element of `length` octets at the read
// position, in a record passed over unseen, whose sub-tags `branch` declares (null: none), are read
// for damage (which is noted: the result is then false); true when they read cleanly.
bool PassesOverCleanly(WalkContext& walk, uint64_t length, const TBranch* branch);

// Enters one nesting level; false, after the depth message, when it is deeper than allowed.
inline bool EnterLevel(WalkContext& walk) {
  if (++walk.State.Path.Depth <= kMaxDepth) return true;
  const uint64_t at = walk.Input.Position();
  StopAtDamage(walk, at, at + 1, kNestedTooDeep, kTooDeepMessage);
  return false;
}

static_assert(kMaxDepth < 32, "a bit of WalkContext::DefiniteAt for each depth");

// Notes whether the contents of the constructed element being read (Resync: definite or
// indefinite length) are of definite length, for the elements nested in it.
inline void NoteContentsLength(WalkContext& walk, bool definite) {
  const uint32_t bit = 1u << walk.State.Path.Depth;
  walk.DefiniteAt = definite ? walk.DefiniteAt | bit : walk.DefiniteAt & ~bit;
}

// True when the element being read lies in contents of definite length: below the top level, in
// an element whose bit of DefiniteAt is set (Resync only).
inline bool InDefiniteContents(const WalkContext& walk) {
  const int depth = walk.State.Path.Depth;
  return depth > 0 && ((walk.DefiniteAt >> (depth - 1)) & 1u) != 0;
}

// Enters the element's tag number in the path.
inline void EnterTag(WalkContext& walk, int32_t tagId) {
  walk.State.Path.Ids[walk.State.Path.Depth] = tagId;
}

// The element's tag looked up where the common lookup does not find it, as an element of the
// class of `firstOctet` (its first identifier octet): by the whole path while lost, else in the
// current branch, by its class too where the branch names classes. Enters the class its path
// component shows and notes whether the walk is lost; null when the tag is not in the dictionary.
TLeaf* LookUpTagOtherwise(WalkContext& walk, uint8_t firstOctet);

// Looks the element's tag up: first by its tag number alone in the current branch (a branch that
// names no classes, where the component shows none), else as LookUpTagOtherwise.
inline TLeaf* LookUpTag(WalkContext& walk, uint8_t firstOctet) {
  WalkState& state = walk.State;
  if (!state.Lost && state.CurrentBranch != nullptr) {
    if (TLeaf* leaf = state.CurrentBranch->FindCommon(state.Path.Ids[state.Path.Depth])) return leaf;
  }
  return LookUpTagOtherwise(walk, firstOctet);
}

// Where the messages about tags not in the dictionary send the user.
constexpr const char kContactAddress[] = "billing-tools@example.org";

// Says on the console that the element's tag is not in the dictionary, and counts it.
void ReportTagNotFound(WalkContext& walk);

// Shows the progress percentage when it has grown since it was last shown.
void ShowProgress(WalkContext& walk);

// True for the element that opens a billing record: its TagName is "record".
inline bool IsRecordStart(const TItem& item) { return item.OpensRecord; }

// A record start: counts the record, writes out the previous one, resets the filter state and
// decides from the range whether the new record is written. True when it is.
bool StartRecord(WalkContext& walk);

// True while the current record lies outside the record range: nothing is named or decoded.
inline bool InSkippedRecord(const WalkContext& walk) {
  return walk.Settings.RangeActive && walk.State.SkipRecord;
}

// Enters a constructed element's sub-tags; with none declared, says so on the console.
void Descend(WalkContext& walk, const TLeaf& leaf);

// False, after the end-of-input message, when the length octets ended the input, give a length
// that does not fit in 64 bits, or a definite length that runs past the input's end. `at` is the
// element's first octet.
inline bool LengthFits(WalkContext& walk, HeaderRead read, const ElementLength& length, uint64_t at) {
  if (LengthWithinLeft(read, length, walk.Input)) return true;
  StopAtDamage(walk, at, at + 1, WhyMalformed(LengthFlaw(read), walk.Input.HolderEnds()), kEndOfInputMessage);
  return false;
}

// True when the contents of a definite-length element are passed over unseen because its record
// is skipped: the skipped record's own element, every primitive element, and constructed ones
// nested in the record. A constructed element that begins after the skipped record has ended (a
// block beside it or around it) is walked, so that the records inside it are counted.
inline bool PassesOverSkipped(const WalkContext& walk, bool constructed, bool recordStart,
                              const ElementLength& length) {
  const WalkState& state = walk.State;
  return InSkippedRecord(walk) && state.RecordCount > 0 && !length.Indefinite &&
         (!constructed || recordStart || state.Path.Depth > state.SkipDepth);
}

// The end of an element: leaves its level and, for a constructed element whose tag was found,
// climbs back to the branch that holds its tag.
inline void LeaveElement(WalkContext& walk, const TLeaf* constructedLeaf) {
  --walk.State.Path.Depth;
  if (constructedLeaf != nullptr) walk.State.CurrentBranch = constructedLeaf->Owner;
}

// ---- The walk, for a writer ---------------------------------------------------------------------

// The debug dump's hooks, told only to a writer that explains every octet.
template <typename Writer>
[[gnu::always_inline]] inline auto ExplanationOf(Writer& writer) {
  if constexpr (Writer::kExplainsOctets) {
    return writer.Explanation();
  } else {
    return Unexplained{};
  }
}
template <typename Writer>
[[gnu::always_inline]] inline void TellTag(Writer& writer, const TagPath& path, const TLeaf* leaf) {
  if constexpr (Writer::kExplainsOctets) writer.Tag(path, leaf);
}
template <typename Writer>
[[gnu::always_inline]] inline void TellContentsBegin(Writer& writer) {
  if constexpr (Writer::kExplainsOctets) writer.ContentsBegin();
}
template <typename Writer>
[[gnu::always_inline]] inline void TellEndOfContents(Writer& writer) {
  if constexpr (Writer::kExplainsOctets) writer.EndOfContents();
}
template <typename Writer>
[[gnu::always_inline]] inline void TellFiller(Writer& writer, uint64_t at, uint64_t count, uint8_t octet) {
  if constexpr (Writer::kExplainsOctets) writer.Filler(at, count, octet);
}
template <typename Writer>
[[gnu::always_inline]] inline void TellCdrHeader(Writer& writer, const CdrHeader& header, uint64_t at) {
  if constexpr (Writer::kExplainsOctets) writer.CdrHeaderRead(header, at);
}
template <typename Writer>
[[gnu::always_inline]] inline void TellOtherFormat(Writer& writer, const CdrHeader& header, uint64_t at) {
  if constexpr (Writer::kExplainsOctets) writer.OtherFormat(header, at);
}

// The filter step on a value of a filtered tag, for a writer that does not lay out its readable
// text (and for a long value): the value's readable text (by the writer's list of value types) is
// laid out at the end of the record's text, sought, and taken back. It takes the value's parts rather than the ValueRead: a reference would make every
// value's ValueRead be laid out in memory on the hot path, though few values come here.
template <typename Values>
[[gnu::noinline]] void FeedFilter(WalkContext& walk, const TItem& item, const uint8_t* octets, uint64_t length) {
  TextBuffer& text = walk.State.RecordBuffer;
  const std::size_t mark = text.size();
  walk.LayingOutForFilter = true;
  const bool holds = Values::FilterHolds(walk, item, octets, length);
  walk.LayingOutForFilter = false;
  text.truncate(mark);
  CountFilteredValue(walk, holds);
}

// Tells the writer a primitive element's contents, and feeds the filter with them when the walk
// has one (a walk without, such as the manifest's, passes over the filter's marks in the tree).
// Where the writer has just laid out the value's text as the filter seeks it, the filter seeks it
// there.
template <typename Writer>
[[gnu::always_inline]] inline void TellValue(WalkContext& walk, Writer& writer, const ValueRead& value) {
  writer.Value(value);
  if (value.Leaf != nullptr && value.Leaf->Item.FilterValue && walk.Settings.FilterCount != 0) {
    if constexpr (Writer::kLaysOutFilterText) {
      if (Writer::Values::MadeInOneGo(value.Length)) {
        return CountFilteredValue(walk, LastPieceHoldsFilterValue(walk, value.Leaf->Item));
      }
    }
    FeedFilter<typename Writer::Values>(walk, value.Leaf->Item, value.Octets, value.Length);
  }
}

// True when a primitive element of length 0 has a value for the writer: its tag is in the
// dictionary with a type that takes empty values (a NULL, an empty string). Any other element of
// length 0 has none.
template <typename Writer>
[[gnu::noinline, gnu::cold]] bool HasEmptyValue(const TLeaf* leaf) {
  return leaf != nullptr && Writer::Values::TakesEmpty(leaf->Item.Type);
}

template <typename Writer>
int WalkElement(WalkContext& walk, Writer& writer);

// The elements from the read position up to `end` (the input's end at the top level, the end of
// a constructed element's contents inside it), one after another: the one walk loop. Returns -1
// as soon as an element stops the walk, 0 at `end`.
template <typename Writer>
int WalkElements(WalkContext& walk, Writer& writer, uint64_t end);

// The common element taken at once: a primitive element of definite length, not empty, within the input,
// whose identifier octet is not 00, whose tag is found in the current branch (one that names no
// classes) and neither opens a record nor lies in a skipped record. It reads as WalkElement reads
// it, without the general checks. False, with nothing read, for any other element. Its identifier
// octets are read as files were always read: the first octet's table (WalkContext) leaves those of
// more octets to the general step when they are read as identifier octets of any length. The class
// its path component shows is not entered: of a leaf in a branch that names no classes, it is any.
// An empty element is left to the general step too: whether it has a value is its type's to say
// (HasEmptyValue, which the general step asks).
template <typename Writer>
[[gnu::always_inline]] inline bool TakeCommonElement(WalkContext& walk, Writer& writer) {
  WalkState& state = walk.State;
  if (state.Lost || state.CurrentBranch == nullptr || state.Path.Depth >= kMaxDepth || InSkippedRecord(walk)) {
    return false;
  }
  ByteCursor at = walk.Input;
  ElementIdentifier id;
  ElementLength length;
  if (ReadIdentifierOctets(at, id, IdentifierRule::kOneSubsequentOctet) != HeaderRead::kRead ||
      !walk.CommonFirstOctets->Common[id.FirstOctet] ||
      ReadLengthOctets(at, length) != HeaderRead::kRead || length.Indefinite || length.Value > at.Left() ||
      length.Value == 0) {
    return false;
  }
  const TLeaf* leaf = state.CurrentBranch->FindCommon(id.TagId);
  if (leaf == nullptr || IsRecordStart(leaf->Item)) return false;
  const int depth = state.Path.Depth + 1;
  state.Path.Ids[depth] = id.TagId;
  if (Writer::Names(leaf->Item)) writer.Named(leaf->Item);
  const uint64_t offset = walk.Input.Position();
  walk.ElementOffset = offset;
  walk.Input = at;
  writer.Element(ElementRead{leaf, state.Path, depth, false, length, offset});
  TellValue(walk, writer, ValueRead{leaf, at.Here(), length.Value, at.Position()});
  walk.Input.Skip(length.Value);
  writer.ElementEnds(state.Path.Depth);
  return true;
}

// The next element, taken at once where it is a common one.
template <typename Writer>
[[gnu::always_inline]] inline int WalkNext(WalkContext& walk, Writer& writer) {
  if constexpr (Writer::kTakesCommonElementsAtOnce) {
    if (TakeCommonElement(walk, writer)) return 0;
  }
  return WalkElement(walk, writer);
}

template <typename Writer>
int WalkElements(WalkContext& walk, Writer& writer, uint64_t end) {
  while (walk.Input.Position() < end) {
    if (!KeepHeldTextBounded(walk) || WalkNext(walk, writer) < 0) return -1;
  }
  return 0;
}

// Counts a nested element that the walk read past `end`, the end of the element holding it: once,
// and not again for the elements holding that one, which end where it ends.
inline void CountPastHolder(WalkContext& walk, uint64_t end) {
  const uint64_t at = walk.Input.Position();
  if (at <= end || at == walk.PastHolderAt) return;
  ++walk.Counts.PastHolder;
  walk.PastHolderAt = at;
}

// The nested elements of a constructed element of definite length, up to `end`. Without Resync a
// nested element that runs past `end` is read to its own end, as it says, and counted. With
// Resync, they are read with a cursor of their own that ends at `end`, so that a nested element
// running past it is damage, and an identifier octet 00 among them is damage.
template <typename Writer>
int WalkContents(WalkContext& walk, Writer& writer, uint64_t end) {
  if (!walk.Settings.Resync) {
    const int result = WalkElements(walk, writer, end);
    if (result == 0) CountPastHolder(walk, end);
    return result;
  }
  NoteContentsLength(walk, true);
  ByteCursor holder = walk.Input;
  const bool topLevel = walk.State.Path.Depth == 0;
  walk.Input = holder.Contents(end - holder.Position());
  const int result = WalkElements(walk, writer, end);
  holder.CatchUp(walk.Input);
  walk.Input = holder;
  if (result < 0 && topLevel && walk.Damage.Pending) walk.Damage.BlockEnd = end;
  return result;
}

// The contents of an element of indefinite length, which begins at `at`: nested elements up to
// the end-of-contents octets. A primitive element has no nested elements: its message is said and
// the result is -1, as it is when the input ends first or an element stops the walk.
template <typename Writer>
int WalkIndefiniteContents(WalkContext& walk, Writer& writer, bool constructed, uint64_t at) {
  NoteContentsLength(walk, false);
  ByteCursor& input = walk.Input;
  for (;;) {
    if (input.Left() < 2) {
      // The nested elements read so far keep their text: the search for a place to go on begins
      // after them.
      const char* why = WhyMalformed(Flaw::kNoEndOfContents, input.HolderEnds());
      return StopAtDamage(walk, at, input.Position() > at ? input.Position() : at + 1, why, kEndOfInputMessage);
    }
    if (input.AtEndOfContents()) {
      input.Skip(2);
      TellEndOfContents(writer);
      return 0;
    }
    if (!constructed) return StopAtDamage(walk, at, at + 1, kPrimitiveIndefinite, Writer::kIndefinitePrimitive);
    if (!KeepHeldTextBounded(walk) || WalkNext(walk, writer) < 0) return -1;
  }
}

// Names the element: a record start, or the element's own name. True at a record start.
template <typename Writer>
bool NameElement(WalkContext& walk, Writer& writer, const TItem& item) {
  if (!Writer::Names(item)) return false;
  if (IsRecordStart(item)) {
    if constexpr (Writer::kProgress == ProgressAt::kRecords) ShowProgress(walk);
    writer.RecordFound();
    if (StartRecord(walk)) {
      const WalkState& state = walk.State;
      writer.RecordStarts(RecordRead{item, state.Path, state.RecordCount, walk.ElementOffset, state.Path.Depth});
    }
    return true;
  }
  if (!InSkippedRecord(walk)) writer.Named(item);
  return false;
}

// A record whose reading stopped at damage (Resync): notes the innermost one, and the end its
// length claims (`contentsEnd`). Returns -1.
inline int StopInRecord(WalkContext& walk, bool recordStart, const ElementLength& length, uint64_t contentsEnd) {
  auto& damage = walk.Damage;
  if (!recordStart || !damage.Pending || damage.InRecord) return -1;
  damage.InRecord = true;
  damage.RecordIndefinite = length.Indefinite;
  damage.RecordEnd = length.Indefinite ? 0 : contentsEnd;
  return -1;
}

// After damage, until the walk is back in step: marks the record that began at `at` and was read
// to its end, when it may be a piece of the damaged record. It may while it begins before the end
// that the damaged record claimed; when the damaged record had an indefinite length, the first
// record read after the damage may when end-of-contents octets follow it (the damaged record's
// own, perhaps).
template <typename Writer>
void MarkWhileInDoubt(WalkContext& walk, Writer& writer, uint64_t at) {
  auto& damage = walk.Damage;
  bool inDoubt = at < damage.DoubtBefore;
  if (!inDoubt) damage.DoubtBefore = 0;
  if (damage.DoubtAtEndOfContents) inDoubt = inDoubt || walk.Input.AtEndOfContents();
  damage.DoubtAtEndOfContents = false;
  if (inDoubt && !InSkippedRecord(walk)) writer.InDoubt(at, damage.DoubtedAt);
}

// With a writer that shows progress at every element: the percentage, and the text held written
// out where no record decision holds it back.
template <typename Writer>
void ProgressAtElement(WalkContext& walk) {
  if constexpr (Writer::kProgress == ProgressAt::kElements) {
    ShowProgress(walk);
    if (!walk.Settings.RangeActive && walk.Settings.FilterCount == 0) WriteRecordBuffer(walk);
  }
}

// The end of an element read to its end: its record counted when it opened one, the writer told,
// and a record read after damage marked while in doubt.
template <typename Writer>
[[gnu::always_inline]] inline void EndElement(WalkContext& walk, Writer& writer, uint64_t at, bool recordStart) {
  if (recordStart) {
    ++walk.Counts.RecordsCompleted;
    walk.Counts.LastRecordCompleted = walk.State.RecordCount;
  }
  writer.ElementEnds(walk.State.Path.Depth);
  if (recordStart && (walk.Damage.DoubtBefore != 0 || walk.Damage.DoubtAtEndOfContents)) {
    MarkWhileInDoubt(walk, writer, at);
  }
}

// The rest of a constructed element of `leaf` whose contents are kept whole (KeepsContents), from
// its length octets: its contents are read as a primitive element's value, of the length up to the
// end-of-contents octets that close them when it is indefinite, and nothing in them is walked.
template <typename Writer>
[[gnu::noinline]] int WalkKeptContents(WalkContext& walk, Writer& writer, const TLeaf& leaf, uint64_t at,
                                       bool recordStart) {
  ElementLength length;
  const HeaderRead read = ReadLengthOctets(walk.Input, length, ExplanationOf(writer));
  if (!LengthFits(walk, read, length, at)) return -1;
  const bool indefinite = length.Indefinite;
  if (indefinite && !MeasureKeptContents(walk, at, length, Writer::kIndefinitePrimitive)) {
    return StopInRecord(walk, recordStart, length, 0);
  }
  if (!recordStart && !InSkippedRecord(walk)) {
    writer.Element(ElementRead{&leaf, walk.State.Path, walk.State.Path.Depth, false, length, at});
  }
  ByteCursor& input = walk.Input;
  if (length.Value > 0 && !PassesOverSkipped(walk, false, recordStart, length)) {
    TellValue(walk, writer, ValueRead{&leaf, input.Here(), length.Value, input.Position()});
  }
  input.Skip(length.Value);
  if (indefinite) {
    input.Skip(2);
    TellEndOfContents(writer);
  }
  LeaveElement(walk, nullptr);
  EndElement(walk, writer, at, recordStart);
  return 0;
}

// Consumes the element at the read position with everything nested in it. Returns 0 to go on,
// -1 when the walk must stop (after its message).
template <typename Writer>
int WalkElement(WalkContext& walk, Writer& writer) {
  const uint64_t at = walk.Input.Position();
  if (!EnterLevel(walk)) return -1;
  walk.ElementOffset = walk.Input.Position();
  ElementIdentifier id;
  const HeaderRead identifier = ReadIdentifierOctets(walk.Input, id, walk.Settings.Identifiers, ExplanationOf(writer));
  if (identifier != HeaderRead::kRead) return StopAtIdentifier(walk, at, identifier);
  // With Resync, 00 in contents of definite length is no element: those octets end only contents
  // of indefinite length.
  if (IsEndOfContentsOctet(id) && walk.Settings.Resync && InDefiniteContents(walk)) {
    return StopAtDamage(walk, at, at + 1, kZeroIdentifier, kEndOfInputMessage);
  }
  EnterTag(walk, id.TagId);
  TLeaf* leaf = LookUpTag(walk, id.FirstOctet);
  TellTag(writer, walk.State.Path, leaf);
  ProgressAtElement<Writer>(walk);
  bool recordStart = false;
  if (leaf == nullptr) {
    ReportTagNotFound(walk);
    writer.TagNotFound(walk.State.Path);
  } else {
    // A record is constructed: with Resync, a primitive element of a record's tag is damage (an
    // octet out of step that reads as one), not a record of its own.
    if (!id.Constructed && walk.Settings.Resync && IsRecordStart(leaf->Item)) {
      return StopAtDamage(walk, at, at + 1, kPrimitiveRecord, kEndOfInputMessage);
    }
    recordStart = NameElement(walk, writer, leaf->Item);
    if (id.Constructed) {
      if (leaf->Item.KeepsContents) return WalkKeptContents(walk, writer, *leaf, at, recordStart);
      Descend(walk, *leaf);
    }
  }

  ElementLength length;
  const HeaderRead read = ReadLengthOctets(walk.Input, length, ExplanationOf(writer));
  if (!LengthFits(walk, read, length, at)) return -1;
  const int depth = walk.State.Path.Depth;
  if (!recordStart && !InSkippedRecord(walk)) {
    writer.Element(ElementRead{leaf, walk.State.Path, depth, id.Constructed, length, at});
  }
  ByteCursor& input = walk.Input;
  const uint64_t contentsEnd = length.Indefinite ? 0 : input.Position() + length.Value;
  if (PassesOverSkipped(walk, id.Constructed, recordStart, length)) {
    if (id.Constructed && walk.Settings.Resync &&
        !PassesOverCleanly(walk, length.Value, leaf != nullptr ? leaf->Child.get() : nullptr)) {
      return StopInRecord(walk, recordStart, length, contentsEnd);
    }
    input.Skip(length.Value);
  } else if (length.Indefinite) {
    if (WalkIndefiniteContents(walk, writer, id.Constructed, at) < 0) {
      return StopInRecord(walk, recordStart, length, contentsEnd);
    }
  } else if (id.Constructed) {
    if (length.Value > 0) {
      TellContentsBegin(writer);
      if (WalkContents(walk, writer, contentsEnd) < 0) return StopInRecord(walk, recordStart, length, contentsEnd);
    }
  } else if (length.Value > 0 || HasEmptyValue<Writer>(leaf)) {
    TellValue(walk, writer, ValueRead{leaf, input.Here(), length.Value, input.Position()});
    input.Skip(length.Value);
  }
  LeaveElement(walk, id.Constructed ? leaf : nullptr);
  EndElement(walk, writer, at, recordStart);
  return 0;
}

// ---- The top level with SkipFiller or Resync ----------------------------------------------------

// Passes over the run of filler at the read position.
template <typename Writer>
void PassOverFiller(WalkContext& walk, Writer& writer, const FillerRun& filler) {
  const uint64_t at = walk.Input.Position();
  walk.Input.Skip(filler.Octets);
  ++walk.Counts.FillerRuns;
  walk.Counts.FillerOctets += filler.Octets;
  TellFiller(writer, at, filler.Octets, filler.Octet);
}

// Says the damage noted on the console (with the place the walk goes on at) and counts it.
void ReportDamage(WalkContext& walk, uint64_t resumedAt);

// The hint after the damage's console line, when one helps: the tags not found in the record the
// damage lay in may come from it; the damage lay at filler, which SkipFiller (off) passes over
// (once a walk).
void HintAtDamage(WalkContext& walk);

// Puts the walk where it goes on after damage: at the top level, or in the block where the record
// found is read (its path then the block's tag and the record's, as if the block held it; up to
// the block's end when the damage lay in it and its length is known). `damagedIn` is the block
// the damage lay in.
void ResumeAt(WalkContext& walk, const ResumePoint& point, const TLeaf* damagedIn);

// After damage: the search for a place to go on, the console line, the record's marker.
template <typename Writer>
void GoOnAfterDamage(WalkContext& walk, Writer& writer) {
  walk.Damage.Pending = false;
  const TLeaf* damagedIn = walk.State.ResumedIn != nullptr ? walk.State.ResumedIn
                                                            : BlockOfPath(*walk.Root, walk.State.Path);
  const ResumePoint point =
      walk.Settings.Frames.Cdr
          ? FindFrameResumePoint(walk.Input, *walk.Root, walk.Damage.SearchFrom, walk.Settings.Identifiers)
          : FindResumePoint(walk.Input, *walk.Root, damagedIn, walk.Damage.SearchFrom, walk.Settings.SkipFiller,
                            walk.Settings.Identifiers);
  ReportDamage(walk, point.At);
  HintAtDamage(walk);
  if (!InSkippedRecord(walk)) writer.Damaged(walk.Damage.At, point.At);
  auto& damage = walk.Damage;
  const bool inClaimedEnd = damage.InRecord && !damage.RecordIndefinite && damage.RecordEnd > point.At;
  damage.DoubtBefore = inClaimedEnd ? damage.RecordEnd : 0;
  damage.DoubtAtEndOfContents = damage.InRecord && damage.RecordIndefinite;
  damage.DoubtedAt = damage.At;
  ResumeAt(walk, point, damagedIn);
}

// In a block the walk went on in after damage: true while the block's length (when the damage
// lay in it and it has one) reaches past the read position, or else when the next element is one
// the block declares; otherwise the walk leaves the block (past its end-of-contents octets when
// they stand here) and the result is false.
template <typename Writer>
bool StaysInResumedBlock(WalkContext& walk, Writer& writer) {
  WalkState& state = walk.State;
  const TLeaf* block = state.ResumedIn;
  ByteCursor at = walk.Input;
  ElementIdentifier id;
  if (state.ResumedEnd != 0) {
    if (at.Position() < state.ResumedEnd) return true;
  } else if (!at.AtEndOfContents() && ReadIdentifierOctets(at, id, walk.Settings.Identifiers) == HeaderRead::kRead &&
             block->Child->Find(id.TagId, ClassOfIdentifier(id.FirstOctet)) != nullptr) {
    return true;
  }
  if (at.AtEndOfContents()) {
    walk.Input.Skip(2);
    TellEndOfContents(writer);
  }
  state.ResumedIn = nullptr;
  state.ResumedEnd = 0;
  LeaveElement(walk, block);
  return false;
}

// The top-level loop of a walk with SkipFiller or Resync: as WalkElements, passing over filler
// before each element and going on after damage.
template <typename Writer>
int WalkTopLevelMended(WalkContext& walk, Writer& writer, uint64_t end) {
  while (walk.Input.Position() < end) {
    if (!KeepHeldTextBounded(walk)) return -1;
    if (walk.State.ResumedIn != nullptr) {
      if (!StaysInResumedBlock(walk, writer)) continue;
    } else if (walk.Settings.SkipFiller) {
      const FillerRun filler = FillerAt(walk.Input, *walk.Root, walk.Settings.Identifiers);
      if (filler.Octets != 0) {
        PassOverFiller(walk, writer, filler);
        if (!filler.ElementFollows) continue;
      }
    }
    if (WalkNext(walk, writer) >= 0) continue;
    // A stretch walked ahead leaves damage to the walk in order, which takes the stretch.
    if (!walk.Damage.Pending || walk.Destination.HoldsForTurn()) return -1;
    GoOnAfterDamage(walk, writer);
  }
  return 0;
}

// ---- A file of CDRs: each record behind its CDR header ------------------------------------------

// The octets of the element at the read position, its identifier and length octets included, when
// they read and give a definite length; 0 otherwise (an indefinite length, octets that do not
// read). A length beyond 32 bits counts as UINT64_MAX. The cursor does not move.
inline uint64_t DefiniteElementSize(const ByteCursor& input, IdentifierRule rule) {
  ByteCursor at = input;
  ElementIdentifier id;
  ElementLength length;
  if (ReadIdentifierOctets(at, id, rule) != HeaderRead::kRead || ReadLengthOctets(at, length) != HeaderRead::kRead ||
      length.Indefinite) {
    return 0;
  }
  if (length.Value > UINT32_MAX) return UINT64_MAX;
  return at.Position() - input.Position() + length.Value;
}

// A CDR gives a length that its record at `record` does not have (`size` octets: 0 where they do not
// read, UINT64_MAX beyond 32 bits): counted, and damage at `at` (the CDR's first octet, or the end
// of a record read before it was known), where the walk stops without Resync and goes on at the
// next CDR with it. Returns -1.
int CdrLengthDisagrees(WalkContext& walk, uint64_t at, const CdrHeader& header, uint64_t record, uint64_t size);

// One CDR: its header read, then its BER record walked as a top-level element, which must end
// where the CDR's length says; a record of another format is counted and passed over by its
// length. Returns 0 to go on, -1 when the walk must stop or damage was noted (Resync).
template <typename Writer>
int WalkFrame(WalkContext& walk, Writer& writer) {
  ByteCursor& input = walk.Input;
  const uint64_t at = input.Position();
  CdrHeader header;
  if (!ReadCdrHeader(input, header)) return StopAtDamage(walk, at, at + 1, kInputEndsInside, kEndOfInputMessage);
  ++walk.Counts.Frames.Read;
  TellCdrHeader(writer, header, at);
  const uint64_t begin = input.Position();
  if (header.Format != kBerFormat) {
    if (!input.Skip(header.Length)) {
      input.MoveTo(at);
      return StopAtDamage(walk, at, at + 1, kInputEndsInside, kEndOfInputMessage);
    }
    ++walk.Counts.Frames.NotBer;
    TellOtherFormat(writer, header, begin);
    return 0;
  }
  walk.InFrame = true;
  walk.Frame = header;
  const uint64_t size = DefiniteElementSize(input, walk.Settings.Identifiers);
  if (size != 0 ? size != header.Length : header.Length == 0) {
    input.MoveTo(at);
    return CdrLengthDisagrees(walk, at, header, begin, size);
  }
  // The general step (a record is constructed: the common element's shortcut never takes it).
  int result = 0;
  if (size != 0) {
    result = WalkElement(walk, writer);
  } else {  // an indefinite length: the record is read within the CDR, whose end it must reach
    ByteCursor holder = input;
    input = holder.Contents(header.Length);
    result = WalkElement(walk, writer);
    holder.CatchUp(input);
    input = holder;
  }
  if (result < 0) return -1;
  if (input.Position() != begin + header.Length) {
    return CdrLengthDisagrees(walk, input.Position(), header, begin, input.Position() - begin);
  }
  return 0;
}

// The top-level loop of a file of CDRs: CDR after CDR, going on after damage (Resync) at the next
// CDR that reads. Filler is not looked for: a CDR header often begins with 00.
template <typename Writer>
[[gnu::noinline]] int WalkFrames(WalkContext& walk, Writer& writer, uint64_t end) {
  while (walk.Input.Position() < end) {
    if (!KeepHeldTextBounded(walk)) return -1;
    if (WalkFrame(walk, writer) >= 0) continue;
    if (!walk.Damage.Pending || walk.Destination.HoldsForTurn()) return -1;
    GoOnAfterDamage(walk, writer);
  }
  return 0;
}

// At the input's start: the header before the records (a file header, or LeadingOctets' octets)
// is passed over, and told to a writer that explains every octet.
template <typename Writer>
void PassOverHeader(WalkContext& walk, Writer& writer) {
  const InputFrames& frames = walk.Settings.Frames;
  if (frames.Start == 0 || walk.Input.Position() != 0) return;
  if constexpr (Writer::kExplainsOctets) {
    CdrFileHeader header;
    if (frames.Cdr && ReadCdrFileHeader(walk.Input, header)) {
      writer.FileHeader(header);
    } else {
      writer.LeadingOctets(walk.Input.Here(), frames.Start);
    }
  }
  walk.Input.Skip(frames.Start);
}

// The top-level elements from the read position up to `end`: the one loop, or with SkipFiller or
// Resync the mended loop around the same step, or in a file of CDRs the loop of CDRs.
template <typename Writer>
int WalkTopLevel(WalkContext& walk, Writer& writer, uint64_t end) {
  const WalkSettings& settings = walk.Settings;
  if (settings.Frames.Cdr && walk.State.Path.Depth < 0) return WalkFrames(walk, writer, end);
  if ((settings.SkipFiller || settings.Resync) && walk.State.Path.Depth < 0) {
    return WalkTopLevelMended(walk, writer, end);
  }
  return WalkElements(walk, writer, end);
}

}  // namespace orvalis
