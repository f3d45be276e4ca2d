// The state of a walk over the input, shared by the record walker and the debug walker, and the
// record buffer through which every record's text reaches the output file.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include "common/block_writer.h"
#include "common/console.h"
#include "common/spilled_text.h"
#include "common/text_buffer.h"
#include "common/text_format.h"
#include "decode/ber/byte_cursor.h"
#include "decode/ber/element_header.h"
#include "decode/frames/cdr_frames.h"
#include "decode/walk/walk_counts.h"
#include "tags/tag_tree.h"

namespace orvalis {

// What a walk takes from the run's settings.
struct WalkSettings {
  // The output format by its name as -x gives it, or the debug dump: the writer the walk drives
  // (driver/output_formats.h chooses it by these).
  std::string_view Format = "text";
  bool DebugMode = false;
  bool RangeActive = false;
  uint32_t StartRec = 0;  // compared as unsigned
  uint32_t EndRec = 0;
  uint32_t FilterCount = 0;  // accepted filter lines; 0 without a filter
  bool SkipFiller = false;   // runs of 0x00 or 0xFF where a top-level element would begin are passed over
  bool Resync = false;       // the walk goes on after damage, at the next record it can read
  // How identifier octets are read: as they always were, or of any length (LongTagNumbers=true, or
  // a dictionary that declares a tag number above 127).
  IdentifierRule Identifiers = IdentifierRule::kOneSubsequentOctet;
  bool ContinuesOutput = false;  // the output holds an earlier input's text: no header again
  std::string_view SourceName;   // SourceColumn=true: the input's name, which the output tells; else empty
  int JsonSchema = 1;            // JsonSchema: the schema version of the JSON lines written (1 or 2)
  // The input's octets end before those of its source did (a compressed input that was not read
  // to its end): an element that runs past their end is that cut, not damage, even with Resync.
  bool InputEndsEarly = false;
  // The main configuration file of the run, which the hints after damage name (its SkipFiller and
  // Resync keys); empty: a walk of no run's.
  std::string_view ConfigName;
  // Where the records lie: after a header passed over, each behind a CDR header (cdr_frames.h).
  InputFrames Frames;
  // CdrHeaderColumns=true: each record's CDR header in the record formats' members or columns.
  bool CdrHeaderMembers = false;
  // RecordKindColumn=true: each record's kind (its tag's Kind, else its path) in the record formats'
  // members or columns.
  bool RecordKindMembers = false;
};

// What the walk carries from each element to the next that decides how it reads them: where it
// stands in the nesting and the dictionary, and the record under way with its range and filter
// decisions. A walk shared by two threads starts each stretch walked ahead from the carry of the
// top level (AtTopLevel), takes the stretch over only where the walk in order stands in the same
// carry (SameAs), and then goes on from the stretch's carry (a plain copy). Reset, compare and copy
// are written here once: a field added to the carry is handed over with the others, and Fields()
// (which the compare uses) does not compile until it names the new field too.
struct WalkCarry {
  TagPath Path;  // Path.Depth is the depth of the element being read
  bool Lost = true;  // the next lookup goes by the whole path from the root
  TBranch* CurrentBranch = nullptr;
  uint32_t RecordCount = 0;
  bool SkipRecord = false;
  int SkipDepth = 0;  // depth of the record being skipped
  bool RecordPasses = true;
  uint32_t FilteredTagsSeen = 0;
  // After damage, the block (a top-level element) in which the walk went on at a record: the
  // elements that follow are read as the block's while the block declares them. Null otherwise.
  const TLeaf* ResumedIn = nullptr;
  uint64_t ResumedEnd = 0;  // the end of that block when its length is known; 0 otherwise

  // The carry between top-level elements, after `records` records.
  static WalkCarry AtTopLevel(TBranch* root, uint32_t records) {
    WalkCarry carry;
    carry.CurrentBranch = root;
    carry.RecordCount = records;
    return carry;
  }
  // True when a walk in this carry reads what follows as a walk in the other does.
  bool SameAs(const WalkCarry& other) const;

 private:
  auto Fields() const {
    const auto& [path, lost, branch, records, skip, skipDepth, passes, filtered, resumedIn, resumedEnd] = *this;
    return std::tie(path, lost, branch, records, skip, skipDepth, passes, filtered, resumedIn, resumedEnd);
  }
  // The carry with what does not change how the walk goes on set alike: at the top level, how
  // the next tag is looked up (in the root either way).
  WalkCarry Canonical() const {
    WalkCarry carry = *this;
    if (carry.Path.Depth < 0) carry.Lost = true;
    return carry;
  }
};

inline bool WalkCarry::SameAs(const WalkCarry& other) const {
  return Canonical().Fields() == other.Canonical().Fields();
}

// What each walk keeps for itself: the text it made, the counts of the record under way, and the
// progress it showed.
struct WalkOwnState {
  // The text of the records that passed and are still to be written, then the text of the record
  // being read, from RecordStart on.
  TextBuffer RecordBuffer;
  std::size_t RecordStart = 0;
  // What the writer counted of the record being read, for the summary once the record is written.
  PendingCounts Pending;
  int LastPercent = 0;
  uint64_t NextPercentAt = 0;  // no percentage above LastPercent before this position
  // The elements whose tag was not found since the last record start: the hint after damage in a
  // record says that they may come from the damage.
  uint64_t TagsNotFoundInRecord = 0;

  // The walk of a stretch ahead of its turn starts with no text and nothing counted, and notes
  // every percentage it reaches (its turn shows those still due). A field added here does not
  // compile until it is named here too.
  void ForStretch() {
    auto& [text, recordStart, pending, lastPercent, nextPercentAt, tagsNotFound] = *this;
    text.clear();
    recordStart = 0;
    pending = {};
    lastPercent = -1;
    nextPercentAt = 0;
    tagsNotFound = 0;
  }
};

struct WalkState : WalkCarry, WalkOwnState {};
// A field belongs in the carry or in the walk's own state, where the take-over decides its fate.
static_assert(sizeof(WalkState) == sizeof(WalkCarry) + sizeof(WalkOwnState),
              "a field of the walk state outside WalkCarry and WalkOwnState is not handed over");


// The size of the blocks in which the output is written.
constexpr std::size_t kOutputBlockSize = 1 << 20;

// The undecided text of a record that could still pass the filter goes to a temporary file once
// it reaches this size.
constexpr std::size_t kSpillSize = 4 << 20;

// About this much input makes a stretch of a walk shared by two threads.
constexpr uint64_t kStretchSize = 128 << 10;

// Where a walk's text goes. Written: to the output file in blocks of at least BlockSize as it
// grows (the walk in order). Held for its turn: the walk of a stretch ahead of its turn keeps its
// text in the record buffer and its messages in `Held` (the console's log for its thread), each
// up to BlockSize; once either outgrows that, the log says so and the walk stops, leaving the
// stretch to the walk in order, as it leaves damage to it. Chosen in one place: Written by
// default, HeldForTurn by the walk of a stretch.
struct OutputPolicy {
  std::size_t BlockSize = kOutputBlockSize;
  ConsoleLog* Held = nullptr;

  static OutputPolicy Written(std::size_t blockSize = kOutputBlockSize) { return {blockSize, nullptr}; }
  static OutputPolicy HeldForTurn(ConsoleLog& log, std::size_t limit) {
    log.Limit = limit;
    return {limit, &log};
  }
  bool HoldsForTurn() const { return Held != nullptr; }
  // True when the held text or messages outgrew the limit.
  bool Outgrown() const { return Held != nullptr && Held->Outgrown; }
};

// The first identifier octets that may begin a common element (walk_steps.h): those of a primitive
// element, but 00 (which the general step reads: with Resync it is damage in contents of definite
// length), and with identifier octets of any length those whose tag number follows in subsequent
// octets. A table, so that the common element pays one test for all.
struct FirstOctetTable {
  bool Common[256] = {};
};
constexpr FirstOctetTable CommonFirstOctets(IdentifierRule rule) {
  FirstOctetTable table;
  for (int octet = 1; octet < 256; ++octet) {
    table.Common[octet] = (octet & kConstructedBit) == 0 &&
                          (rule == IdentifierRule::kOneSubsequentOctet || (octet & kTagNumberMask) != kHighTagNumber);
  }
  return table;
}
inline constexpr FirstOctetTable kCommonFirstOctets[] = {CommonFirstOctets(IdentifierRule::kOneSubsequentOctet),
                                                         CommonFirstOctets(IdentifierRule::kAnyLength)};

// Everything one walk works on: the input, the dictionary, the state, the formatting buffers and
// the output file. The text written out reaches the file at FinishOutput at the latest (or when
// the context ends).
struct WalkContext {
  WalkContext(const WalkSettings& settings, const uint8_t* data, uint64_t size, TBranch& root,
              std::FILE* output);
  ~WalkContext();

  WalkSettings Settings;
  ByteCursor Input;
  TBranch* Root;
  // The first identifier octets of the common element, by Settings.Identifiers.
  const FirstOctetTable* CommonFirstOctets;
  BlockWriter Output;
  // Where the text goes: written to Output, or held for the turn of a stretch.
  OutputPolicy Destination;
  // A record's undecided text under a filter goes to Spilled once it reaches this size.
  std::size_t SpillSize = kSpillSize;
  // The input octets of a stretch when two threads share the walk (0: the walk is never shared).
  uint64_t StretchSize = kStretchSize;
  WalkState State;
  // The text of the record under way that went outside memory, before the text in the record
  // buffer (which then begins with the record: RecordStart is 0). Under a filter only.
  SpilledText Spilled;
  TextBuffer ValueText;  // a piece formatted apart; a refused piece's text
  // Where the element being read begins in the input (its first identifier octet).
  uint64_t ElementOffset = 0;
  // The CDR header of the frame being read (Frames.Cdr), for the record formats' members; set before
  // the frame's record is read, so neither carried nor handed over.
  bool InFrame = false;
  CdrHeader Frame;
  // Where the last piece formatted in place begins in the record's text; kRefusedPiece when it
  // was refused and its text is in ValueText.
  std::size_t PieceStart = 0;
  // Where the room of the piece being formatted ends (the address sanitizer's build poisons the
  // buffer after it until the piece ends).
  std::size_t PieceRoomEnd = 0;
  // The walk lays out a value's readable text only for the filter to seek in (FeedFilter): a piece
  // too long is then refused without a word, since nothing is left out of any output.
  bool LayingOutForFilter = false;
  WalkCounts Counts;  // for the run's summary
  // The values that Counts.ValuesWithoutColumn counts, field by field (the CSV writer's keys).
  FieldCounts FieldsWithoutColumn;
  // Where the walk stood after the last element it counted as walked past its holder: the
  // elements holding that one end there too, and are not counted again.
  uint64_t PastHolderAt = 0;
  // Bit d (Resync only): the constructed element read last at depth d has contents of definite
  // length, where an identifier octet 00 is damage; clear for contents of indefinite length. Each
  // such element sets its bit before its contents are read, and the block the walk goes on in
  // after damage has its own set by the resume; at the top level it tells nothing.
  uint32_t DefiniteAt = 0;
  // Damage that stopped the steps under way, for the top level to go on after (Resync only).
  struct {
    bool Pending = false;
    uint64_t At = 0;          // the first octet of the innermost element whose reading failed
    bool TopLevel = false;    // that element is a top-level one, where SkipFiller would pass over filler
    uint64_t SearchFrom = 0;  // the first octet the search for a place to go on may take
    const char* Why = "";     // what failed, for the console line
    uint64_t BlockEnd = 0;    // the end of the top-level element of definite length it lies in; 0 if none
    bool InRecord = false;    // it lies in a record (the innermost one is noted)
    bool RecordIndefinite = false;  // that record has an indefinite length
    uint64_t RecordEnd = 0;   // else the end its length claims
    // After the walk went on: the records it reads may be pieces of the damaged record until it is
    // back in step (WalkTopLevel); each of them is marked as read after the damage at DoubtedAt.
    uint64_t DoubtBefore = 0;         // records that begin before this end the damaged record claimed
    bool DoubtAtEndOfContents = false;  // the next record, when end-of-contents octets follow it
    uint64_t DoubtedAt = 0;
    // The hint that damage lay at filler, which SkipFiller passes over, was given: once a walk.
    bool FillerHinted = false;
  } Damage;

  // Readies the walk for a stretch ahead of its turn that begins at `begin` in `input` (the whole
  // input) after `records` records: at the top level in the carry the scan assumed, its own
  // text, counts and held messages empty, no damage noted. The fields it leaves are set by each
  // element before they are read (the formatting buffers, the value's fields), handed over in the
  // take-over (Row), or fixed for the run.
  void StartStretch(const ByteCursor& input, uint64_t begin, uint32_t records) {
    Input = input;
    Input.Skip(begin);
    static_cast<WalkCarry&>(State) = WalkCarry::AtTopLevel(Root, records);
    State.ForStretch();
    PieceStart = 0;
    InFrame = false;
    Counts = WalkCounts{};
    FieldsWithoutColumn.Clear();
    Damage = {};
    if (Destination.Held != nullptr) Destination.Held->Clear();
  }
};

// The longest piece that AppendToRecord takes.
constexpr std::size_t kMaxPieceLength = 2047;

// Says on the console that a piece was refused, and counts it.
int RefusePiece(WalkContext& walk);

// Appends a piece to the record's text. A piece longer than kMaxPieceLength is refused with a
// message on standard output: the result is then -1 and the record is unchanged.
inline int AppendToRecord(WalkContext& walk, std::string_view piece) {
  if (piece.size() > kMaxPieceLength) return RefusePiece(walk);
  walk.State.RecordBuffer.append(piece);
  return 0;
}

// Formatting a piece in place, at the end of the record's text. BeginPiece makes room for at most
// `room` characters and returns where they go; EndPiece takes the end of what was written and, as
// AppendToRecord does, refuses a piece longer than kMaxPieceLength (its text then moves to
// ValueText). LastPieceText is the text of the last piece so formatted, refused or not.
// A layout that writes past the room it asked for is caught in the sanitizer's build: the buffer
// after the room is poisoned until the piece ends, so that a write there (a dictionary text's
// padding left out of the room, say) stops the program where it happens, and a piece that ends
// past its room stops it at its end (TextBuffer::truncate). Elsewhere neither costs anything.
constexpr std::size_t kRefusedPiece = SIZE_MAX;
#if defined(__SANITIZE_ADDRESS__)
inline void GuardPieceRoom(WalkContext& walk) {
  TextBuffer& record = walk.State.RecordBuffer;
  walk.PieceRoomEnd = record.size();
  __asan_poison_memory_region(record.data() + record.size(), record.capacity() - record.size());
}
inline void UnguardPieceRoom(WalkContext& walk) {
  TextBuffer& record = walk.State.RecordBuffer;
  __asan_unpoison_memory_region(record.data() + walk.PieceRoomEnd, record.capacity() - walk.PieceRoomEnd);
}
#else
inline void GuardPieceRoom(WalkContext&) {}
inline void UnguardPieceRoom(WalkContext&) {}
#endif
inline char* BeginPiece(WalkContext& walk, std::size_t room) {
  TextBuffer& record = walk.State.RecordBuffer;
  walk.PieceStart = record.size();
  char* at = record.extend(room);
  GuardPieceRoom(walk);
  return at;
}
void RefuseLastPiece(WalkContext& walk);
inline void EndPiece(WalkContext& walk, const char* end) {
  UnguardPieceRoom(walk);
  TextBuffer& record = walk.State.RecordBuffer;
  const std::size_t size = static_cast<std::size_t>(end - record.data());
  record.truncate(size);
  if (size - walk.PieceStart > kMaxPieceLength) RefuseLastPiece(walk);
}
// EndPiece for a piece whose room (at most 64 characters) cannot reach the limit.
inline void EndShortPiece(WalkContext& walk, const char* end) {
  static_assert(64 <= kMaxPieceLength, "a short piece is never refused");
  UnguardPieceRoom(walk);
  TextBuffer& record = walk.State.RecordBuffer;
  record.truncate(static_cast<std::size_t>(end - record.data()));
}
// EndPiece for a piece that is never refused, however long (a line the text always keeps).
inline void EndKeptPiece(WalkContext& walk, const char* end) {
  UnguardPieceRoom(walk);
  TextBuffer& record = walk.State.RecordBuffer;
  record.truncate(static_cast<std::size_t>(end - record.data()));
}
inline std::string_view LastPieceText(const WalkContext& walk) {
  if (walk.PieceStart == kRefusedPiece) return walk.ValueText.view();
  return walk.State.RecordBuffer.view().substr(walk.PieceStart);
}
// True when the item's filter value is in the last piece so formatted: the filter's look at a value's
// readable text made in one go, whose own text (an address's digit line) is its last piece.
inline bool LastPieceHoldsFilterValue(const WalkContext& walk, const TItem& item) {
  return LastPieceText(walk).find(*item.FilterValue) != std::string_view::npos;
}

// Writes a text where `out` points and returns the end of what it wrote.
inline char* PutText(char* out, std::string_view text) {
  CopyText(out, text.data(), text.size());
  return out + text.size();
}

inline int AppendToRecord(WalkContext& walk, const PaddedText& piece) {
  if (piece.size() > kMaxPieceLength) return RefusePiece(walk);
  walk.State.RecordBuffer.append(piece);
  return 0;
}

// Writes a dictionary text where `out` points, which has room for PaddedText::kPadding characters
// more than the text, and returns the end of the text.
inline char* PutText(char* out, const PaddedText& text) { return PutPadded(out, text); }

// The path of the element being read as text, each component (its class letter, where it shows
// one, and its tag number) followed by a full stop: "1.3.5.", "1.a2.". A walk whose dictionary names
// no classes (NamesClassesAnywhere), whose components are tag numbers, may leave kShowsClasses false.
template <bool kShowsClasses = true, typename Text>
[[gnu::noinline]] void AppendTagPathText(Text& out, const TagPath& path) {
  for (int level = 0; level <= path.Depth; ++level) {
    if constexpr (kShowsClasses) {
      AppendPathComponent(out, path.Ids[level]);
    } else {
      AppendDecimal(out, static_cast<int64_t>(path.Ids[level]));
    }
    out.push_back('.');
  }
}
std::string TagPathText(const TagPath& path);

// The filter step on a value of a filtered tag: it counts in the record, and the record fails when
// the value's readable text lacks the filter value (`holds` false).
inline void CountFilteredValue(WalkContext& walk, bool holds) {
  WalkState& state = walk.State;
  if (!holds) state.RecordPasses = false;
  ++state.FilteredTagsSeen;
}

// True while the record under way passes the filter: its text will be written out.
inline bool RecordIsKept(const WalkContext& walk) {
  return walk.State.RecordPasses && walk.State.FilteredTagsSeen == walk.Settings.FilterCount;
}

// Writes the record's text out when it passed the filter, else drops it.
void WriteOutRecord(WalkContext& walk);

// At the end of the walk: counts the last record's outcome and writes it out as WriteOutRecord.
void WriteOutLastRecord(WalkContext& walk);

// Counts the outcome of the record under way (none before the first record): dropped by the
// filter, or skipped by the range (counted when it starts); a record written adds what its writer
// counted of it (Pending) to the walk's counts (and its fields' to FieldsWithoutColumn).
void CountRecordOutcome(WalkContext& walk);

// Writes out whatever the record's text holds, once it fills a block; a stretch walked ahead, which
// holds its text for its turn, is marked outgrown instead.
void WriteRecordBuffer(WalkContext& walk);

// Keeps the text held in the record buffer within about Destination.BlockSize, whatever the input holds:
// text already decided (all of it without a filter) is written out as it grows, and the text of
// a record that can no longer pass the filter is dropped as it grows; the text of a record that
// could still pass goes to a temporary file from SpillSize on (see Spilled). Returns false only for a walk whose
// text is held for its turn, which cannot write out: its log is marked outgrown and it must stop.
bool HandOnHeldText(WalkContext& walk);
inline bool KeepHeldTextBounded(WalkContext& walk) {
  return walk.State.RecordBuffer.size() < walk.Destination.BlockSize || HandOnHeldText(walk);
}

// Hands every text written out to the output file and waits until it is written. Returns 0, or
// the error number (errno) of the first write that failed.
int FinishOutput(WalkContext& walk);

}  // namespace orvalis
