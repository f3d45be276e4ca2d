// The walk: one element after another, each named from the dictionary, its record started and
// decided, its contents walked or its value written. What the walk read reaches paper through a
// writer, chosen once per run as a type (the readable text, the debug dump): the walk tells it
// what it read, the writer decides how it looks. Decisions about records (numbering, the range,
// the filter) stay here, so that every writer selects the same records.
//
// A writer is a struct of static functions:
//   Names(item)                  true when the element is named at all (and so can open a record)
//   Explanation(walk)            the explanation of each identifier and length octet as it is read
//   TagEntered(walk)             the element's tag path is known
//   ElementLookedUp(walk)        the tag was looked up in the dictionary
//   RecordFound(walk)            a record start, before its range decision
//   RecordStarts(walk, item)     a record in the range starts (its number is State.RecordCount)
//   ElementNamed(walk, item)     a named element outside a skipped record
//   TagNotFound(walk)            the element's tag is not in the dictionary
//   LengthRead(walk, length)     the length octets were read
//   ContentsBegin(walk)          the nested elements of a constructed element of definite length
//   Value(walk, leaf, length)    a primitive value at the read position (leaf null: not found)
//   EndOfContents(walk)          the end-of-contents octets of an element of indefinite length
//   ElementBegins(walk, leaf, constructed, length, depth)
//                                an element (of that depth) that neither opens a record nor lies
//                                in a skipped record, once its length is read (leaf null: not found)
//   ElementEnds(walk)            an element was read to its end (Path.Depth is its parent's again)
//   kIndefinitePrimitive         the message for a primitive element of indefinite length
//   kTakesCommonElementsAtOnce   the common primitive element is taken without the general step
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/console.h"
#include "decode/element_header.h"
#include "decode/walk_state.h"

namespace orvalis {

// Prints the message for an input that ends inside an element.
void ReportEndOfInput();

// Says on the console that the nesting is deeper than allowed.
void ReportTooDeep();

// Enters one nesting level; false, after the depth message, when it is deeper than allowed.
inline bool EnterLevel(WalkContext& walk) {
  if (++walk.State.Path.Depth <= kMaxDepth) return true;
  ReportTooDeep();
  return false;
}

// Enters the element's tag number in the path.
inline void EnterTag(WalkContext& walk, int32_t tagId) {
  walk.State.Path.Ids[walk.State.Path.Depth] = tagId;
}

// Looks the element's tag up (by the whole path while lost, else in the current branch); null
// when the tag is not in the dictionary.
inline TLeaf* LookUpTag(WalkContext& walk) {
  WalkState& state = walk.State;
  TLeaf* leaf = nullptr;
  if (state.Lost) {
    leaf = FindByPath(*walk.Root, state.Path);
  } else if (state.CurrentBranch != nullptr) {
    leaf = state.CurrentBranch->FindById(state.Path.Ids[state.Path.Depth]);
  }
  state.Lost = leaf == nullptr;
  return leaf;
}

// Says on the console that the element's tag is not in the dictionary, and counts it.
void ReportTagNotFound(WalkContext& walk);
// The text of the same: "Tag 1.99. not found, ..." and a line feed, appended to the record.
void AppendTagNotFoundLine(WalkContext& walk);

// Shows the progress percentage when it has grown since it was last shown.
void ShowProgress(WalkContext& walk);

// True for the element that opens a billing record: its TagName is "record".
inline bool IsRecordStart(const TItem& item) { return item.OpensRecord; }

// A record start: counts the record, writes out the previous one, resets the filter state and
// decides from the range whether the new record is written. True when it is.
bool StartRecord(WalkContext& walk);

// The record line: the long name (or "(null)"), the record's number, a line feed.
void AppendRecordLine(WalkContext& walk, const TItem& item);

// True while the current record lies outside the record range: nothing is named or decoded.
inline bool InSkippedRecord(const WalkContext& walk) {
  return walk.Settings.RangeActive && walk.State.SkipRecord;
}

// Enters a constructed element's sub-tags; with none declared, says so on the console.
void Descend(WalkContext& walk, const TLeaf& leaf);

// False, after the end-of-input message, when the length octets ended the input, give a length
// that does not fit in 64 bits, or a definite length that runs past the input's end.
inline bool LengthFits(WalkContext& walk, HeaderRead read, const ElementLength& length) {
  if (read == HeaderRead::kRead && (length.Indefinite || length.Value <= walk.Input.Left())) return true;
  ReportEndOfInput();
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

template <typename Writer>
int WalkElement(WalkContext& walk);

// The elements from the read position up to `end` (the input's end at the top level, the end of
// a constructed element's contents inside it), one after another: the one walk loop. Returns -1
// as soon as an element stops the walk, 0 at `end`.
template <typename Writer>
int WalkElements(WalkContext& walk, uint64_t end);

// The common element taken at once: a primitive element of definite length, within the input,
// whose tag is found in the current branch and neither opens a record nor lies in a skipped
// record. It reads as WalkElement reads it, without the general checks. False, with nothing read,
// for any other element.
template <typename Writer>
[[gnu::always_inline]] inline bool TakeCommonElement(WalkContext& walk) {
  WalkState& state = walk.State;
  if (state.Lost || state.CurrentBranch == nullptr || state.Path.Depth >= kMaxDepth || InSkippedRecord(walk)) {
    return false;
  }
  ByteCursor at = walk.Input;
  ElementIdentifier id;
  ElementLength length;
  if (ReadIdentifierOctets(at, id) != HeaderRead::kRead || id.Constructed ||
      ReadLengthOctets(at, length) != HeaderRead::kRead || length.Indefinite || length.Value > at.Left()) {
    return false;
  }
  const TLeaf* leaf = state.CurrentBranch->FindById(id.TagId);
  if (leaf == nullptr || IsRecordStart(leaf->Item)) return false;
  state.Path.Ids[state.Path.Depth + 1] = id.TagId;
  if (Writer::Names(leaf->Item)) Writer::ElementNamed(walk, leaf->Item);
  walk.ElementOffset = walk.Input.Position();
  walk.Input = at;
  Writer::ElementBegins(walk, leaf, false, length, state.Path.Depth + 1);
  if (length.Value > 0) {
    Writer::Value(walk, leaf, length.Value);
    walk.Input.Skip(length.Value);
  }
  Writer::ElementEnds(walk);
  return true;
}

// The next element, taken at once where it is a common one.
template <typename Writer>
[[gnu::always_inline]] inline int WalkNext(WalkContext& walk) {
  if constexpr (Writer::kTakesCommonElementsAtOnce) {
    if (TakeCommonElement<Writer>(walk)) return 0;
  }
  return WalkElement<Writer>(walk);
}

template <typename Writer>
int WalkElements(WalkContext& walk, uint64_t end) {
  while (walk.Input.Position() < end) {
    if (!KeepHeldTextBounded(walk) || WalkNext<Writer>(walk) < 0) return -1;
  }
  return 0;
}

// The contents of an element of indefinite length: nested elements up to the end-of-contents
// octets. A primitive element has no nested elements: its message is said and the result is -1,
// as it is when the input ends first or an element stops the walk.
template <typename Writer>
int WalkIndefiniteContents(WalkContext& walk, bool constructed) {
  ByteCursor& input = walk.Input;
  for (;;) {
    if (input.Left() < 2) {
      ReportEndOfInput();
      return -1;
    }
    if (input.AtEndOfContents()) {
      input.Skip(2);
      Writer::EndOfContents(walk);
      return 0;
    }
    if (!constructed) {
      Say(Writer::kIndefinitePrimitive);
      return -1;
    }
    if (!KeepHeldTextBounded(walk) || WalkNext<Writer>(walk) < 0) return -1;
  }
}

// Names the element: a record start, or the element's own name. True at a record start.
template <typename Writer>
bool NameElement(WalkContext& walk, const TItem& item) {
  if (!Writer::Names(item)) return false;
  if (IsRecordStart(item)) {
    Writer::RecordFound(walk);
    if (StartRecord(walk)) Writer::RecordStarts(walk, item);
    return true;
  }
  if (!InSkippedRecord(walk)) Writer::ElementNamed(walk, item);
  return false;
}

// Consumes the element at the read position with everything nested in it. Returns 0 to go on,
// -1 when the walk must stop (after its message).
template <typename Writer>
int WalkElement(WalkContext& walk) {
  if (!EnterLevel(walk)) return -1;
  walk.ElementOffset = walk.Input.Position();
  ElementIdentifier id;
  if (ReadIdentifierOctets(walk.Input, id, Writer::Explanation(walk)) != HeaderRead::kRead) {
    ReportEndOfInput();
    return -1;
  }
  EnterTag(walk, id.TagId);
  Writer::TagEntered(walk);
  TLeaf* leaf = LookUpTag(walk);
  Writer::ElementLookedUp(walk);
  bool recordStart = false;
  if (leaf == nullptr) {
    ReportTagNotFound(walk);
    Writer::TagNotFound(walk);
  } else {
    recordStart = NameElement<Writer>(walk, leaf->Item);
    if (id.Constructed) Descend(walk, *leaf);
  }

  ElementLength length;
  const HeaderRead read = ReadLengthOctets(walk.Input, length, Writer::Explanation(walk));
  if (read != HeaderRead::kInputEnded) Writer::LengthRead(walk, length);
  if (!LengthFits(walk, read, length)) return -1;
  if (!recordStart && !InSkippedRecord(walk)) Writer::ElementBegins(walk, leaf, id.Constructed, length, walk.State.Path.Depth);
  ByteCursor& input = walk.Input;
  if (PassesOverSkipped(walk, id.Constructed, recordStart, length)) {
    input.Skip(length.Value);
  } else if (length.Indefinite) {
    if (WalkIndefiniteContents<Writer>(walk, id.Constructed) < 0) return -1;
  } else if (id.Constructed) {
    if (length.Value > 0) {
      Writer::ContentsBegin(walk);
      if (WalkElements<Writer>(walk, input.Position() + length.Value) < 0) return -1;
    }
  } else if (length.Value > 0) {
    Writer::Value(walk, leaf, length.Value);
    input.Skip(length.Value);
  }
  LeaveElement(walk, id.Constructed ? leaf : nullptr);
  if (recordStart) ++walk.Counts.RecordsCompleted;
  Writer::ElementEnds(walk);
  return 0;
}

}  // namespace orvalis
