#include "decode/record_walker.h"

#include <cstdio>

#include "decode/value_decoders.h"
#include "decode/walk_steps.h"

namespace orvalis {
namespace {

constexpr const char kIndefinitePrimitive[] = "Error:!!!! NonConstructed tag with undefinite length !!!!\n";

// Reads the identifier octets; the tag number is the low five bits of the first octet, or the low
// seven bits of the one octet that follows when those five bits are all ones.
bool ReadIdentifier(WalkContext& walk, bool& constructed, int32_t& tagId) {
  uint8_t octet = 0;
  if (!ReadNextOctet(walk, octet)) return false;
  constructed = (octet & kConstructedBit) != 0;
  tagId = octet & kTagNumberMask;
  if (tagId == kHighTagNumber) {
    if (!ReadNextOctet(walk, octet)) return false;
    tagId = octet & 0x7F;
  }
  return true;
}

// Reads the length octets: the short form, the long form (N octets, big-endian) or the indefinite
// form; a definite length must fit in what is left of the input.
bool ReadLength(WalkContext& walk, ElementLength& length) {
  uint8_t octet = 0;
  if (!ReadNextOctet(walk, octet)) return false;
  if (octet == kIndefiniteLength) {
    length.Indefinite = true;
  } else if (octet < 0x80) {
    length.Value = octet;
  } else {
    for (int count = octet & 0x7F; count > 0; --count) {
      uint8_t lengthOctet = 0;
      if (!ReadNextOctet(walk, lengthOctet)) return false;
      AddLengthOctet(length, lengthOctet);
    }
  }
  return FitsInInput(walk, length);
}

// Names the element: the record line at a record start, otherwise its long name. True at a
// record start.
bool NameElement(WalkContext& walk, const TItem& item) {
  if (!item.LongTagName) return false;
  if (IsRecordStart(item)) {
    ShowProgress(walk);
    StartRecord(walk, item);
    return true;
  }
  if (!InSkippedRecord(walk)) AppendToRecord(walk, *item.LongTagName);
  return false;
}

// A step for an element nested in another. The common case, a primitive element of a one-octet
// identifier and a short length whose tag is found in the current branch, which neither opens a
// record nor lies in a skipped record, is taken here just as WalkStep takes it, without its
// general checks; any other element goes to WalkStep.
[[gnu::always_inline]] inline int WalkNestedStep(WalkContext& walk) {
  ByteCursor& input = walk.Input;
  WalkState& state = walk.State;
  if (input.Left() >= 2 && !state.Lost && state.CurrentBranch != nullptr && state.Path.Depth < kMaxDepth &&
      !InSkippedRecord(walk)) {
    const uint8_t identifier = input.Peek(0);
    const uint8_t lengthOctet = input.Peek(1);
    // primitive, the tag number in the first octet, the short form of length, all within the input
    if ((identifier & (kConstructedBit | kTagNumberMask)) < kHighTagNumber && lengthOctet < 0x80 &&
        lengthOctet <= input.Left() - 2) {
      const int32_t tagId = identifier & kTagNumberMask;
      TLeaf* leaf = state.CurrentBranch->FindById(tagId);
      if (leaf != nullptr && !IsRecordStart(leaf->Item)) {
        state.Path.Ids[state.Path.Depth + 1] = tagId;
        state.CurrentLeaf = leaf;
        const TItem& item = leaf->Item;
        if (item.LongTagName) AppendToRecord(walk, *item.LongTagName);
        input.Skip(2);
        if (lengthOctet > 0) {
          DecodeValue(walk, item, lengthOctet);
          input.Skip(lengthOctet);
        }
        return 0;
      }
    }
  }
  return WalkStep(walk);
}

}  // namespace

int WalkStep(WalkContext& walk) {
  if (!KeepHeldTextBounded(walk) || !EnterLevel(walk)) return -1;
  bool constructed = false;
  int32_t tagId = 0;
  if (!ReadIdentifier(walk, constructed, tagId)) return -1;
  EnterTag(walk, tagId);
  TLeaf* leaf = LookUpTag(walk);
  bool recordStart = false;
  if (leaf == nullptr) {
    ReportTagNotFound(walk);
  } else {
    recordStart = NameElement(walk, leaf->Item);
    if (constructed) Descend(walk, *leaf);
  }

  ElementLength length;
  if (!ReadLength(walk, length)) return -1;
  ByteCursor& input = walk.Input;
  if (PassesOverSkipped(walk, constructed, recordStart, length)) {
    input.Skip(length.Value);
  } else if (length.Indefinite) {
    if (WalkIndefiniteContents<WalkNestedStep>(walk, constructed, kIndefinitePrimitive, {}) < 0) return -1;
  } else if (constructed) {
    if (WalkNestedElements<WalkNestedStep>(walk, length.Value) < 0) return -1;
  } else if (length.Value > 0) {
    if (leaf != nullptr) DecodeValue(walk, leaf->Item, length.Value);
    input.Skip(length.Value);
  }
  LeaveElement(walk, constructed ? leaf : nullptr);
  if (recordStart) ++walk.Counts.RecordsCompleted;
  return 0;
}

}  // namespace orvalis
