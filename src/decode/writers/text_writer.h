// The readable text: each record's line, the long names of its elements and their decoded values,
// formatted in place at the end of the record's text.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "decode/walk/walk_steps.h"
#include "decode/walk/writer.h"
#include "decode/types/value_types.h"

namespace orvalis {

// The record line: the long name (or "(null)"), the record's number, a line feed.
void AppendRecordLine(WalkContext& walk, const TItem& item, uint32_t number);

// The line of a tag not in the dictionary: "Tag 1.99. not found, ..." and a line feed.
void AppendTagNotFoundLine(WalkContext& walk, const TagPath& path);

// The marker of damage, on a line of its own: "*** input damaged at offset 120007, 193 octets
// skipped, going on at offset 120200".
void AppendDamageMarker(WalkContext& walk, uint64_t at, uint64_t resumedAt);

// The marker of a record in doubt, on a line of its own: "*** read after the damage at offset
// 120007, inside the record damaged: it may be a piece of that record". Its words around the
// offset, which CSV's errors cell tells too:
constexpr std::string_view kInDoubtBefore = "read after the damage at offset ";
constexpr std::string_view kInDoubtAfter = ", inside the record damaged: it may be a piece of that record";
void AppendInDoubtMarker(WalkContext& walk, uint64_t damagedAt);

// Begins a new line in the record's text unless it is empty or ends with one.
void EndLineOfRecord(WalkContext& walk);

// With SourceColumn=true, at the start of an input: the line "File: NAME" that names it, written
// out whatever the range and filter decide.
void WriteSourceLine(WalkContext& walk);

// The writer over a list of value types (the program's, or a test's with rows of its own).
template <typename Types>
class TextWriterOf : public WriterDefaults {
 public:
  using Values = Types;
  // Value lays out each value's text as the filter seeks it, at the end of the record's text.
  static constexpr bool kLaysOutFilterText = true;

  TextWriterOf(WalkContext& walk, const NoSetup&) : walk_(walk) {}

  void RecordStarts(const RecordRead& record) { AppendRecordLine(walk_, record.Item, record.Number); }
  void Named(const TItem& item) { AppendToRecord(walk_, *item.LongTagName); }
  void TagNotFound(const TagPath& path) { AppendTagNotFoundLine(walk_, path); }
  [[gnu::always_inline]] void Value(const ValueRead& value) {
    if (value.Leaf != nullptr) Values::Text(walk_, value.Leaf->Item, value.Octets, value.Length);
  }
  // Filler leaves no trace in the text: a padded file reads as the same file unpadded.
  void Damaged(uint64_t at, uint64_t resumedAt) { AppendDamageMarker(walk_, at, resumedAt); }
  void InDoubt(uint64_t, uint64_t damagedAt) { AppendInDoubtMarker(walk_, damagedAt); }
  // Everything goes into the record's text at once: nothing is held, nothing to hand over.
  void Finish() {}
  void TakeOver(TextWriterOf&) {}

 protected:
  WalkContext& walk_;
};
using TextWriter = TextWriterOf<ValueTypes>;

// The walk into the readable text.
std::unique_ptr<FormatWalk> TextWalk(WalkContext& walk);

}  // namespace orvalis
