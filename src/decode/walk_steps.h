// The parts of a walk step that the record walker and the debug walker do alike: the nesting
// limit, the identifier and length rules, the tag path, the lookup, record starts, the record
// range and the end of an element. Each returns false after printing its message when the walk
// must stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "decode/walk_state.h"

namespace orvalis {

// Identifier octet bits.
constexpr uint8_t kConstructedBit = 0x20;
constexpr uint8_t kTagNumberMask = 0x1F;
constexpr uint8_t kHighTagNumber = 0x1F;  // the tag number follows in one more octet
// The first length octet of the indefinite form.
constexpr uint8_t kIndefiniteLength = 0x80;

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

// Reads the octet at the read position and moves past it; false, after the end-of-input message,
// when the input has ended.
inline bool ReadNextOctet(WalkContext& walk, uint8_t& octet) {
  if (walk.Input.ReadOctet(octet)) return true;
  ReportEndOfInput();
  return false;
}

// Enters the element's tag number in the path.
inline void EnterTag(WalkContext& walk, int32_t tagId) {
  walk.State.Path.Ids[walk.State.Path.Depth] = tagId;
}

// Looks the element's tag up (by the whole path while lost, else in the current branch) and makes
// the result the current leaf; null when the tag is not in the dictionary.
inline TLeaf* LookUpTag(WalkContext& walk) {
  WalkState& state = walk.State;
  TLeaf* leaf = nullptr;
  if (state.Lost) {
    leaf = FindByPath(*walk.Root, state.Path);
  } else if (state.CurrentBranch != nullptr) {
    leaf = state.CurrentBranch->FindById(state.Path.Ids[state.Path.Depth]);
  }
  state.Lost = leaf == nullptr;
  state.CurrentLeaf = leaf;
  return leaf;
}

// Says on the console and in the record's text that the element's tag is not in the dictionary.
void ReportTagNotFound(WalkContext& walk);

// Shows the progress percentage when it has grown since it was last shown.
void ShowProgress(WalkContext& walk);

// True for the element that opens a billing record: its TagName is "record".
inline bool IsRecordStart(const TItem& item) { return item.OpensRecord; }

// A record start: counts the record, writes out the previous one, resets the filter state and
// decides from the range whether the new record is written (appending its record line) or skipped.
void StartRecord(WalkContext& walk, const TItem& item);

// True while the current record lies outside the record range: nothing is named or decoded.
inline bool InSkippedRecord(const WalkContext& walk) {
  return walk.Settings.RangeActive && walk.State.SkipRecord;
}

// Enters a constructed element's sub-tags; with none declared, says so on the console.
void Descend(WalkContext& walk, const TLeaf& leaf);

// A length as read from the length octets.
struct ElementLength {
  bool Indefinite = false;
  bool TooLarge = false;  // a long form whose value does not fit in 64 bits
  uint64_t Value = 0;
};

// Adds one octet of a long-form length.
inline void AddLengthOctet(ElementLength& length, uint8_t octet) {
  if (length.Value > (UINT64_MAX >> 8)) length.TooLarge = true;
  length.Value = (length.Value << 8) | octet;
}

// False, after the end-of-input message, when a definite length runs past the input's end.
inline bool FitsInInput(WalkContext& walk, const ElementLength& length) {
  if (length.Indefinite) return true;
  if (!length.TooLarge && length.Value <= walk.Input.Left()) return true;
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

// A walker's step: WalkStep or DebugWalkStep.
using StepFunction = int (*)(WalkContext& walk);

// The contents of a constructed element of definite length: the nested elements, each by a step,
// until the read position reaches the contents' end. Returns -1 as soon as a step does.
template <StepFunction Step>
int WalkNestedElements(WalkContext& walk, uint64_t length) {
  const uint64_t end = walk.Input.Position() + length;
  while (walk.Input.Position() < end) {
    if (!KeepHeldTextBounded(walk) || Step(walk) < 0) return -1;
  }
  return 0;
}

// The contents of an element of indefinite length: nested elements, each by a step, up to the
// end-of-contents octets, after which endOfContentsText is appended to the record. A primitive
// element has no nested elements: primitiveMessage is printed and the result is -1, as it is when
// the input ends first or a step returns -1.
void ReportIndefinitePrimitive(const char* message);
template <StepFunction Step>
int WalkIndefiniteContents(WalkContext& walk, bool constructed, const char* primitiveMessage,
                           std::string_view endOfContentsText) {
  ByteCursor& input = walk.Input;
  for (;;) {
    if (input.Left() < 2) {
      ReportEndOfInput();
      return -1;
    }
    if (input.Peek(0) == 0 && input.Peek(1) == 0) {
      input.Skip(2);
      AppendToRecord(walk, endOfContentsText);
      return 0;
    }
    if (!constructed) {
      ReportIndefinitePrimitive(primitiveMessage);
      return -1;
    }
    if (!KeepHeldTextBounded(walk) || Step(walk) < 0) return -1;
  }
}

// The end of an element: leaves its level and, for a constructed element whose tag was found,
// climbs back to the branch that holds its tag.
inline void LeaveElement(WalkContext& walk, const TLeaf* constructedLeaf) {
  --walk.State.Path.Depth;
  if (constructedLeaf != nullptr) walk.State.CurrentBranch = constructedLeaf->Owner;
}

}  // namespace orvalis
