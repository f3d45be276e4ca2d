// The seam between the walk and the writers. The walk (walk_steps.h) reads the input and makes
// every record decision; a writer only lays out what the walk hands it, in the record's text:
//
//   Tag(path, leaf)              an element's tag was read and looked up (leaf null: not found)
//   RecordFound()                a record start, before the record before it is written out or
//                                dropped and before the range decides on the new one
//   RecordStarts(record)         a record in the range starts
//   Named(item)                  a named element outside a skipped record, before its length
//   TagNotFound(path)            the element's tag is not in the dictionary
//   Element(element)             an element that neither opens a record nor lies in a skipped
//                                record, once its length is read
//   ContentsBegin()              the nested elements of a constructed element of definite length
//   Value(value)                 a primitive element's contents (at least one octet, or none for
//                                a type that takes empty values)
//   EndOfContents()              the end-of-contents octets of an element of indefinite length
//   ElementEnds(holderDepth)     an element was read to its end; the walk is back in its holder
//   Filler(at, count, octet)     a run of filler passed over at the top level (SkipFiller)
//   Damaged(at, resumedAt)       the input is damaged from `at` and the walk goes on at
//                                `resumedAt` (Resync); not told in a skipped record
//   InDoubt(at, damagedAt)       the record that began at `at`, read after the damage at
//                                `damagedAt`, may be a piece of the damaged record
//   Finish()                     the walk ended: what the writer holds of a line goes to the text
//   TakeOver(ahead)              a stretch walked ahead by another walk's writer of the same kind
//                                takes its turn: the writer takes over that writer's state (after
//                                RecordFound() when the stretch holds a record start)
//   TextFollows()                the text of a stretch walked ahead that holds no record start
//                                follows at its turn, before TakeOver(ahead): what the writer holds
//                                back of the record before ends before it, as where the writer
//                                itself writes text after a record
//   Explanation()                what hears each identifier and length octet as it is read
//   FileHeader(header)           the file header of a file of CDRs, passed over at the input's start
//   LeadingOctets(octets, count) the octets of a header LeadingOctets passes over at the start
//   CdrHeaderRead(header, at)    a CDR header read at `at` (a file of CDRs)
//   OtherFormat(header, at)      the record at `at` of another format than BER, passed over
//
// A writer derives from WriterDefaults, which has the hooks a writer may leave out as no-ops, and
// has the others itself. It is chosen once per run as a type, so the walk calls it without indirection; its state
// is its own (and what it writes goes to the walk's record text, through the walk context it
// keeps). What a format is besides its writer (its name, its extension) is the driver's table.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "decode/ber/element_header.h"
#include "decode/walk/walk_state.h"
#include "tags/tag_tree.h"

namespace orvalis {

// An element as the walk read it.
struct ElementRead {
  const TLeaf* Leaf;    // null when its tag is not in the dictionary
  const TagPath& Path;  // Ids[0..Depth]: the tag numbers of the elements holding it, then its own
  int Depth;
  bool Constructed;
  const ElementLength& Length;
  uint64_t Offset;  // its first identifier octet
};

// A primitive element's contents, within the input.
struct ValueRead {
  const TLeaf* Leaf;  // null when its tag is not in the dictionary
  const uint8_t* Octets;
  uint64_t Length;  // at least 1, or 0 for a type that takes empty values (kTakesEmpty)
  uint64_t At;      // the offset of the first octet
};

// A record start in the range.
struct RecordRead {
  const TItem& Item;
  const TagPath& Path;  // Ids[0..Depth]: the tag numbers of the elements holding it, then its own
  uint32_t Number;  // as in "Record 17"
  uint64_t Offset;  // its first identifier octet
  int Depth;
};

// When the walk shows the progress percentage: at record starts, or at every element (where it
// also writes out the text held, when no record decision can hold it back).
enum class ProgressAt : uint8_t { kRecords, kElements };

// The hooks a writer may leave out, as no-ops. A writer must have the others itself, so that one
// left out or misspelt does not compile:
//   RecordStarts, Value, Damaged, InDoubt, Finish, TakeOver (a writer with no state of its own says
//   so in its TakeOver), and Values: the list of value types it lays out (ValueTypes), whose
//   readable text the walk matches the filter against
// and the debug dump's (an extension of the walk for the writer that explains every octet:
// kExplainsOctets true) Explanation, Tag, ContentsBegin, EndOfContents, Filler, FileHeader,
// LeadingOctets, CdrHeaderRead, OtherFormat.
struct WriterDefaults {
  // The message for a primitive element of indefinite length.
  static constexpr const char* kIndefinitePrimitive = "Error:!!!! NonConstructed tag with undefinite length !!!!\n";
  // The common primitive element is taken without the general step (walk_steps.h).
  static constexpr bool kTakesCommonElementsAtOnce = true;
  static constexpr ProgressAt kProgress = ProgressAt::kRecords;
  // Two threads may share the walk (walk/stretch_walk.h); a writer that writes out at every element
  // walks with one, and the output is written by another.
  static constexpr bool kShared = true;
  // The writer hears every identifier and length octet, every tag and filler (the debug dump).
  static constexpr bool kExplainsOctets = false;
  // The writer's Value lays out the value's readable text by its Values (Values::Text), as the filter
  // seeks it: for a value whose text is made in one go (Values::MadeInOneGo), the walk seeks the
  // filter value in the last piece Value laid out instead of laying the text out again.
  static constexpr bool kLaysOutFilterText = false;

  // True when an element of this item is named at all (and so can open a record): by its long
  // name.
  static bool Names(const TItem& item) { return item.LongTagName.has_value(); }

  void RecordFound() {}
  void TextFollows() {}
  void Named(const TItem&) {}
  void TagNotFound(const TagPath&) {}
  void Element(const ElementRead&) {}
  void ElementEnds(int) {}
};

// A walk with its writer, as the callers of a walk see it: the whole input's walk, or a stretch's.
class FormatWalk {
 public:
  explicit FormatWalk(WalkContext& walk) : Walk(walk) {}
  virtual ~FormatWalk() = default;
  FormatWalk(const FormatWalk&) = delete;
  FormatWalk& operator=(const FormatWalk&) = delete;

  // At the input's start: passes over the header before its records (WalkSettings::Frames).
  virtual void BeginInput() = 0;
  // Walks the elements from the read position up to `end`: 0 at `end`, -1 when an element stopped
  // the walk (after its message).
  virtual int Elements(uint64_t end) = 0;
  // At the end of the walk (complete or stopped).
  virtual void Finish() = 0;
  // The same writer, with a state of its own, for another walk (a stretch walked ahead).
  virtual std::unique_ptr<FormatWalk> For(WalkContext& other) const = 0;
  // A record start that a stretch walked ahead read first, at its turn, before its text: what the
  // writer holds of the record before it ends there, as at a record start of the walk in order.
  virtual void RecordFound() = 0;
  // The text of a stretch walked ahead without a record start, at its turn, before its text: what
  // the writer holds back of the record before (a line's end that waits for its marks) ends there.
  virtual void TextFollows() = 0;
  // Takes over the writer's state of `ahead`, made by For(), whose stretch takes its turn.
  virtual void TakeOver(FormatWalk& ahead) = 0;
  // True when two threads may share the walk.
  virtual bool MayBeShared() const = 0;

  WalkContext& Walk;
};

// Walks the elements from the read position up to `end` with a writer (walk_steps.h).
template <typename Writer>
int WalkTopLevel(WalkContext& walk, Writer& writer, uint64_t end);
// Passes over the header before the input's records, telling it to the writer (walk_steps.h).
template <typename Writer>
void PassOverHeader(WalkContext& walk, Writer& writer);

// A FormatWalk of a writer type. The writer is made from the walk and a setup shared by every
// walk of the run (what the writer knows of the dictionary, its columns): Writer(walk, setup).
template <typename Writer, typename Setup>
class WalkOf final : public FormatWalk {
 public:
  WalkOf(WalkContext& walk, std::shared_ptr<const Setup> setup)
      : FormatWalk(walk), setup_(std::move(setup)), writer_(walk, *setup_) {}

  void BeginInput() override { PassOverHeader(Walk, writer_); }
  int Elements(uint64_t end) override { return WalkTopLevel(Walk, writer_, end); }
  void Finish() override { writer_.Finish(); }
  std::unique_ptr<FormatWalk> For(WalkContext& other) const override {
    return std::make_unique<WalkOf>(other, setup_);
  }
  void RecordFound() override { writer_.RecordFound(); }
  void TextFollows() override { writer_.TextFollows(); }
  void TakeOver(FormatWalk& ahead) override { writer_.TakeOver(static_cast<WalkOf&>(ahead).writer_); }
  bool MayBeShared() const override { return Writer::kShared; }

 private:
  std::shared_ptr<const Setup> setup_;
  Writer writer_;
};

// What a writer that needs no setup is made with.
struct NoSetup {};

}  // namespace orvalis
