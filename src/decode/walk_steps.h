// The parts of a walk step that the record walker and the debug walker do alike: the nesting
// limit, the identifier and length rules, the tag path, the lookup, record starts, the record
// range and the end of an element. Each returns false after printing its message when the walk
// must stop.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Enters one nesting level; false, after the depth message, when it is deeper than allowed.
bool EnterLevel(WalkContext& walk);

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
TLeaf* LookUpTag(WalkContext& walk);

// Says on the console and in the record's text that the element's tag is not in the dictionary.
void ReportTagNotFound(WalkContext& walk);

// Shows the progress percentage when it has grown since it was last shown.
void ShowProgress(WalkContext& walk);

// True for the element that opens a billing record: its TagName is "record".
inline bool IsRecordStart(const TItem& item) {
  return item.TagName && std::string_view(*item.TagName) == std::string_view("record");
}

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
// is skipped: every primitive element, and constructed ones at or below the skipped record's
// depth. An outer container that begins after the skipped record is walked, so that the records
// inside it are counted.
bool PassesOverSkipped(const WalkContext& walk, bool constructed, const ElementLength& length);

// In an element of indefinite length: true, after moving past them, when the end-of-contents
// octets stand at the read position. Sets `failed`, after the end-of-input message, when fewer
// than two octets are left.
bool AtEndOfContents(WalkContext& walk, bool& failed);

// The end of an element: leaves its level and, for a constructed element whose tag was found,
// climbs back to the branch that holds its tag.
inline void LeaveElement(WalkContext& walk, const TLeaf* constructedLeaf) {
  --walk.State.Path.Depth;
  if (constructedLeaf != nullptr) walk.State.CurrentBranch = constructedLeaf->Owner;
}

}  // namespace orvalis
