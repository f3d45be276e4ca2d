// The line of a record writer (JSON Lines, CSV): a line per record written, and, for JSON Lines,
// a line for the text that the readable output holds outside any record (a file header, a
// block's own fields). The line and the objects open in it follow the elements as the walk reads
// them; the format lays out the line's beginning, its members and its end (json_lines_writer.cpp,
// csv_writer.cpp). The record range and the filter select the same records as in the readable
// text: the walk decides, and a line goes into the record's text, written or dropped with it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "decode/walk/walk_steps.h"
#include "decode/walk/writer.h"
#include "decode/types/value_types.h"

namespace orvalis {

// The line under way: which line is open and the objects open in it. Between top-level elements
// no line is open.
struct RecordLine {
  enum Kind : int8_t { kNone, kRecord, kOutside };
  static constexpr int kLevels = kMaxDepth + 2;  // objects of depth -1 (the top level) to kMaxDepth

  Kind Open = kNone;
  int8_t CloseAt = -2;  // the line ends once the walk is back at this depth
  int8_t Innermost = -2;  // the depth of the innermost open object
  uint32_t HasMembers = 0;  // bit depth + 1: the object of that depth has a member already
  std::array<uint32_t, kLevels> ObjectAt{};  // the serial number of the open object of each depth

  static uint32_t Bit(int depth) { return 1u << (depth + 1); }
};

// How often each tag occurred in each open object of the line (a repeated field gets a key of its
// own). Objects get serial numbers from this table's own counter, which never goes back, so counts
// left from objects closed long ago are never taken for an open object's. An element is counted by
// its path component (class and tag number): in a table by depth where the component is a tag
// number below 128 of any class (the only ones of identifier octets as files were always read);
// else by its leaf (one class and tag number in one branch) where its tag was found, and in a
// short list by depth where it was not. A list holds the components of its open object; once
// kMostUnfound of them are in it, the object's other components share one count, which still gives
// each of their elements a key of its own.
struct TagOccurrences {
  struct TagCount {
    uint32_t Object = 0;  // the object in which the tag was counted (its serial number)
    uint32_t Count = 0;
  };
  struct UnfoundCount {
    int32_t Component;
    TagCount Counted;
  };
  static constexpr std::size_t kMostUnfound = 256;
  static constexpr uint32_t kTabled = 128;

  explicit TagOccurrences(const TBranch& root) : ByLeaf(LeafCount(root)) {}

  uint32_t Objects = 0;  // objects opened so far: their serial numbers
  std::array<std::array<TagCount, kTabled>, RecordLine::kLevels> Counts{};
  std::vector<TagCount> ByLeaf;  // by Serial
  std::array<std::vector<UnfoundCount>, RecordLine::kLevels> Unfound;
  std::array<TagCount, RecordLine::kLevels> UnfoundShared{};

  // A serial number for an object being opened.
  uint32_t NewObject() { return ++Objects; }
  // The occurrence (1, 2, ...) of the element of depth + 1 (its component in `path`, its leaf
  // `leaf`, null when its tag was not found) in the open object of depth `depth`.
  [[gnu::always_inline]] uint32_t Occurrence(const RecordLine& line, int depth, const TLeaf* leaf, const TagPath& path) {
    const uint32_t object = line.ObjectAt[static_cast<std::size_t>(depth + 1)];
    TagCount& count = CountOf(depth + 1, object, leaf, path);
    if (count.Object != object) count = {object, 0};
    return ++count.Count;
  }
  // The occurrences counted so far of the element of depth + 1 whose tag was found (`leaf`) in the
  // open object of depth `depth`.
  uint32_t Counted(const RecordLine& line, int depth, const TLeaf& leaf, const TagPath& path) const {
    const auto level = static_cast<std::size_t>(depth + 1);
    const auto component = static_cast<uint32_t>(path.Ids[level]);
    const TagCount& count = component < kTabled ? Counts[level][component] : ByLeaf[leaf.Serial];
    return count.Object == line.ObjectAt[level] ? count.Count : 0;
  }

 private:
  TagCount& CountOf(int level, uint32_t object, const TLeaf* leaf, const TagPath& path) {
    const auto component = static_cast<uint32_t>(path.Ids[level]);
    if (component < kTabled) return Counts[static_cast<std::size_t>(level)][component];
    return OtherCountOf(level, object, leaf, path);
  }
  [[gnu::noinline]] TagCount& OtherCountOf(int level, uint32_t object, const TLeaf* leaf, const TagPath& path) {
    if (leaf != nullptr) return ByLeaf[leaf->Serial];
    const int32_t component = path.Ids[level];
    std::vector<UnfoundCount>& counts = Unfound[static_cast<std::size_t>(level)];
    // The list holds the components of one object, of the depth's open object once it counts
    // here: those of an object closed since go.
    if (!counts.empty() && counts.front().Counted.Object != object) counts.clear();
    for (UnfoundCount& count : counts) {
      if (count.Component == component) return count.Counted;
    }
    if (counts.size() < kMostUnfound) {
      counts.push_back({component, {object, 0}});
      return counts.back().Counted;
    }
    return UnfoundShared[static_cast<std::size_t>(level)];
  }
};

// The filter step over the program's value types is made once, in record_line.cpp: made in each
// record writer's unit as well, it took up the room the compiler gives that unit for inlining,
// and the writer's own small steps (the copy of a member's key, of a part's name) became calls.
extern template void FeedFilter<ValueTypes>(WalkContext& walk, const TItem& item, const uint8_t* octets,
                                            uint64_t length);

// RecordKindColumn=true: a JSON line's member ,"recordKind": with the kind of the record whose
// start's item is `record` (its Kind, else its path as the dictionary writes it, `path` to `base`),
// null for a line of no record. Made once, out of the JSON Lines units, whose hot steps keep the
// room the compiler gives a unit for inlining.
void AppendRecordKindMember(TextBuffer& out, const TItem* record, const TagPath& path, int base);
// A record's path as the dictionary writes it, its kind where its start has no Kind: the path's
// components from the top level down to `base`, joined by full stops ("1", "2.1", "a3").
void AppendRecordPath(TextBuffer& out, const TagPath& path, int base);

// The writer of a record format `Format`, which derives from it and lays out:
//   OpenLineText(record, path, base, offset, number)  the line's beginning, its fields those
//                                            of the element of depth `base` of the path; `record`
//                                            the record start's item, null for a line of text
//                                            outside records
//   CloseObject()                            the end of an object
//   CloseLineText(base)                      the objects still open and the line's end
//   Member(leaf, path, depth, occurrence, constructed, length)  a member's beginning (its key, or
//                                            its column)
//   ValueText(leaf, octets, length)          a primitive value
//   OutsideAnyLine(constructed)              an element outside any line (without kOutsideLines)
//   kOutsideLines                            true when text outside records gets lines too
template <typename Format>
class RecordLineWriter : public WriterDefaults {
 public:
  using Values = ValueTypes;

  explicit RecordLineWriter(WalkContext& walk) : walk_(walk), occurrences_(*walk.Root) {}

  // The line under way ends before the walk writes out or drops the record before.
  void RecordFound() { CloseLine(); }
  void RecordStarts(const RecordRead& record) {
    OpenLine(&record.Item, record.Path, record.Depth, record.Offset, record.Number);
  }
  // The hot hooks take the element's fields apart at once, so that nothing of it is stored.
  [[gnu::always_inline]] void Element(const ElementRead& element) {
    BeginElement(element.Leaf, element.Path, element.Depth, element.Constructed, element.Length.Value, element.Offset);
  }
  [[gnu::always_inline]] void Value(const ValueRead& value) { self().ValueText(value.Leaf, value.Octets, value.Length); }
  [[gnu::always_inline]] void ElementEnds(int depth) { EndElement(depth); }
  void Finish() { CloseLine(); }
  // A stretch's line is open only where the stretch's walk stopped inside a record: the walk
  // ends there, and the line with it.
  void TakeOver(Format& ahead) {
    if (ahead.line_.Open == RecordLine::kNone) return;
    line_ = ahead.line_;
    std::swap(occurrences_, ahead.occurrences_);
  }

 protected:
  Format& self() { return static_cast<Format&>(*this); }

  void CloseLine() {
    if (line_.Open == RecordLine::kNone) return;
    const int base = line_.Open == RecordLine::kRecord ? line_.CloseAt + 1 : line_.CloseAt;
    self().CloseLineText(base);
    line_.Open = RecordLine::kNone;
    line_.CloseAt = -2;
    line_.Innermost = -2;
    line_.HasMembers = 0;
  }

  WalkContext& walk_;
  RecordLine line_;
  TagOccurrences occurrences_;  // each walk's own: no line is open where a shared walk hands over

 private:
  // Opens a line whose fields are the contents of the element of depth `base`: a record's, whose
  // start's item is `record`, or one of text outside records (`record` null).
  void OpenLine(const TItem* record, const TagPath& path, int base, uint64_t offset, uint32_t number) {
    const RecordLine::Kind kind = record != nullptr ? RecordLine::kRecord : RecordLine::kOutside;
    line_.Open = kind;
    line_.CloseAt = static_cast<int8_t>(kind == RecordLine::kRecord ? base - 1 : base);
    line_.Innermost = static_cast<int8_t>(base);
    line_.HasMembers = 0;
    line_.ObjectAt[static_cast<std::size_t>(base + 1)] = occurrences_.NewObject();
    self().OpenLineText(record, path, base, offset, number);
  }

  [[gnu::noinline]] void BeginAnyElement(const TLeaf* leaf, const TagPath& path, int depth, bool constructed,
                                         uint64_t length, uint64_t offset) {
    if (line_.Open != RecordLine::kNone) {
      while (line_.Innermost >= depth) {
        self().CloseObject();
        --line_.Innermost;
      }
      if (line_.Innermost != depth - 1) CloseLine();  // the line's objects do not lead here
    }
    if (line_.Open == RecordLine::kNone) {
      if (!Format::kOutsideLines) return self().OutsideAnyLine(constructed);
      OpenLine(nullptr, path, depth - 1, offset, 0);
    }
    const uint32_t occurrence = occurrences_.Occurrence(line_, depth - 1, leaf, path);
    self().Member(leaf, path, depth, occurrence, constructed, length);
    if (constructed) {
      line_.Innermost = static_cast<int8_t>(depth);
      line_.HasMembers &= ~RecordLine::Bit(depth);
      line_.ObjectAt[static_cast<std::size_t>(depth + 1)] = occurrences_.NewObject();
    }
  }

  // The common element first: a value in the object that was opened last.
  [[gnu::always_inline]] void BeginElement(const TLeaf* leaf, const TagPath& path, int depth, bool constructed,
                                           uint64_t length, uint64_t offset) {
    if (constructed || line_.Open == RecordLine::kNone || line_.Innermost != depth - 1) {
      return BeginAnyElement(leaf, path, depth, constructed, length, offset);
    }
    const uint32_t occurrence = occurrences_.Occurrence(line_, depth - 1, leaf, path);
    self().Member(leaf, path, depth, occurrence, false, length);
  }

  [[gnu::noinline]] void EndAnyElement(int depth) {
    if (depth <= line_.CloseAt) {
      CloseLine();
      return;
    }
    while (line_.Innermost > depth) {
      self().CloseObject();
      --line_.Innermost;
    }
  }

  // The common end first: of a value in the object that was opened last.
  [[gnu::always_inline]] void EndElement(int depth) {
    if (line_.Open == RecordLine::kNone || (depth > line_.CloseAt && line_.Innermost == depth)) return;
    EndAnyElement(depth);
  }
};

}  // namespace orvalis
