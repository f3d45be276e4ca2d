// The readable text: each record's line, the long names of its elements and their decoded values,
// formatted in place at the end of the record's text.
#pragma once

#include "decode/writers/text_values.h"
#include "decode/walk/walk_steps.h"

namespace orvalis {

struct TextWriter {
  static constexpr const char* kIndefinitePrimitive =
      "Error:!!!! NonConstructed tag with undefinite length !!!!\n";
  static constexpr bool kTakesCommonElementsAtOnce = true;

  // An element is named by its long name; a record tag without one opens no record.
  static bool Names(const TItem& item) { return item.LongTagName.has_value(); }
  static Unexplained Explanation(WalkContext&) { return {}; }
  static void TagEntered(WalkContext&) {}
  static void ElementLookedUp(WalkContext&) {}
  // The progress display moves on at record starts.
  static void RecordFound(WalkContext& walk) { ShowProgress(walk); }
  static void RecordStarts(WalkContext& walk, const TItem& item) { AppendRecordLine(walk, item); }
  static void ElementNamed(WalkContext& walk, const TItem& item) { AppendToRecord(walk, *item.LongTagName); }
  static void TagNotFound(WalkContext& walk) { AppendTagNotFoundLine(walk); }
  static void LengthRead(WalkContext&, const ElementLength&) {}
  static void ContentsBegin(WalkContext&) {}
  static void Value(WalkContext& walk, const TLeaf* leaf, uint64_t length) {
    if (leaf != nullptr) DecodeValue(walk, leaf->Item, length);
  }
  static void EndOfContents(WalkContext&) {}
  // Filler leaves no trace in the text: a padded file reads as the same file unpadded.
  static void Filler(WalkContext&, uint64_t, uint64_t, uint8_t) {}
  static void Damaged(WalkContext& walk, uint64_t at, uint64_t resumedAt) { AppendDamageMarker(walk, at, resumedAt); }
  static void InDoubt(WalkContext& walk, uint64_t, uint64_t damagedAt) { AppendInDoubtMarker(walk, damagedAt); }
  static void ElementBegins(WalkContext&, const TLeaf*, bool, const ElementLength&, int) {}
  static void ElementEnds(WalkContext&) {}
};

}  // namespace orvalis
