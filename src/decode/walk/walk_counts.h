// What a walk counts for the run's summary, apart from the walk's own state.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace orvalis {

// What the walk counts of a record that the summary counts only once the record is known to be
// written: the counts of the record under way wait in the walk's state (WalkOwnState::Pending)
// until its outcome is counted (CountRecordOutcome, at the next record's start or the walk's end),
// then join the walk's counts or go with the record. A stretch walked ahead hands its own over at
// its turn by the same rule as its text (stretch_walk.cpp). A count added here is added by Add,
// which does not compile until it names it.
struct RecordCounts {
  uint64_t ValuesWithoutColumn = 0;  // values of written CSV rows that have a name but no column
                                     // (occurrences beyond Occurs)

  void Add(const RecordCounts& more) {
    auto& [withoutColumn] = *this;
    const auto& [moreWithoutColumn] = more;
    withoutColumn += moreWithoutColumn;
  }
};

// The values of written CSV rows without a column, field by field: a key that the writer gives
// each field (its meaning is the writer's), how many values it lost and the highest occurrence of
// the element that lost them. A few entries in the common case, kept by key: counting a value
// finds its entry by a binary search and makes room only for a field new to the counts.
struct FieldCount {
  uint64_t Field = 0;
  uint64_t Values = 0;
  uint32_t UpTo = 0;
};
class FieldCounts {
 public:
  void Count(uint64_t field, uint32_t occurrence) { Note(Entry(field), 1, occurrence); }
  void Add(const FieldCounts& more) {
    for (const FieldCount& count : more.counts_) Note(Entry(count.Field), count.Values, count.UpTo);
  }
  // Empties the counts; their room stays for the next record's.
  void Clear() { counts_.clear(); }
  bool Empty() const { return counts_.empty(); }
  const std::vector<FieldCount>& Entries() const { return counts_; }  // by Field, ascending

 private:
  static void Note(FieldCount& count, uint64_t values, uint32_t upTo) {
    count.Values += values;
    count.UpTo = std::max(count.UpTo, upTo);
  }
  FieldCount& Entry(uint64_t field) {
    auto at = std::lower_bound(counts_.begin(), counts_.end(), field,
                               [](const FieldCount& count, uint64_t key) { return count.Field < key; });
    if (at == counts_.end() || at->Field != field) {
      FieldCount added;
      added.Field = field;
      at = counts_.insert(at, added);
    }
    return *at;
  }
  std::vector<FieldCount> counts_;
};

// What the walk counts of the record under way: the record's counts, and its values without a
// column field by field, which join the walk's (WalkContext::FieldsWithoutColumn) with them.
struct PendingCounts : RecordCounts {
  FieldCounts Fields;

  // A value of a CSV row that has a name but no column, of the field `field` (the CSV writer's
  // key) at the occurrence `occurrence`.
  void CountWithoutColumn(uint64_t field, uint32_t occurrence) {
    ++ValuesWithoutColumn;
    Fields.Count(field, occurrence);
  }
  void Add(const PendingCounts& more) {
    RecordCounts::Add(more);
    Fields.Add(more.Fields);
  }
  void Clear() {
    static_cast<RecordCounts&>(*this) = RecordCounts();
    Fields.Clear();
  }
};

// What a file of CDRs (decode/frames/cdr_frames.h) gave and promised: the walk counts the CDRs it
// read, the driver what the file header promised that the file does not hold. All 0 for an input
// that is not such a file. A count added here is added by Add, which does not compile until it
// names it.
struct FrameCounts {
  uint64_t Read = 0;                // CDRs read (BER records and others), the number the header gives
  uint64_t NotBer = 0;              // CDRs of another format than BER, passed over by their length
  uint64_t LengthsDisagreeing = 0;  // CDRs whose length is not their BER record's
  uint64_t FileLengthsDisagreeing = 0;  // files whose length is not the one their header gives
  uint64_t CdrCountsDisagreeing = 0;    // files that hold another number of CDRs than their header gives
  uint64_t FilesWithLostCdrs = 0;       // files whose header says that CDRs were lost before them
  uint64_t FilesClosedOnFault = 0;      // files closed for a fault (closure reasons 129 to 131)
  uint64_t FilesWithoutHeader = 0;      // Framing=3gpp: inputs without a file header that reads

  void Add(const FrameCounts& more) {
    auto& [read, notBer, lengths, fileLengths, counts, lost, closed, without] = *this;
    const auto& [moreRead, moreNotBer, moreLengths, moreFileLengths, moreCounts, moreLost, moreClosed,
                 moreWithout] = more;
    read += moreRead;
    notBer += moreNotBer;
    lengths += moreLengths;
    fileLengths += moreFileLengths;
    counts += moreCounts;
    lost += moreLost;
    closed += moreClosed;
    without += moreWithout;
  }
  // True when one of them is a problem of the run.
  bool Problems() const {
    return NotBer != 0 || LengthsDisagreeing != 0 || FileLengthsDisagreeing != 0 || CdrCountsDisagreeing != 0 ||
           FilesWithLostCdrs != 0 || FilesClosedOnFault != 0 || FilesWithoutHeader != 0;
  }
};

// The counts of the records written (RecordCounts), and the walk's own.
struct WalkCounts : RecordCounts {
  uint64_t TagsNotFound = 0;        // every element whose tag is not in the dictionary
  uint64_t RefusedPieces = 0;       // pieces of text left out for their length
  uint32_t RecordsCompleted = 0;    // records whose element was walked to its end
  uint32_t RecordsOutOfRange = 0;   // records skipped by the record range
  uint32_t RecordsFilteredOut = 0;  // records in the range dropped by the filter
  uint32_t LastRecordCompleted = 0;  // the number of the last record walked to its end
  uint64_t FillerOctets = 0;        // octets of filler passed over (SkipFiller)
  uint64_t FillerRuns = 0;          // the runs they came in
  uint64_t Damages = 0;             // places of damage the walk went on after (Resync)
  static constexpr std::size_t kDamagesNoted = 10;
  std::array<uint64_t, kDamagesNoted> DamagesAt{};  // the offsets of the first of them
  uint64_t ValuesNotInCsv = 0;      // values of a CSV walk that no column holds by their nature
                                    // (outside records, without a name of their own)
  uint64_t PastHolder = 0;          // nested elements walked past the end of the element holding
                                    // them (without Resync, where that is no damage)
  FrameCounts Frames;               // what a file of CDRs gave and promised

  uint64_t FirstDamageAt() const { return DamagesAt[0]; }
  void NoteDamage(uint64_t at) {
    if (Damages < kDamagesNoted) DamagesAt[Damages] = at;
    ++Damages;
  }

  // Adds the counts of a record written.
  void AddWritten(const RecordCounts& record) { RecordCounts::Add(record); }

  // Adds the counts of a stretch walked ahead, when its turn takes it over.
  void Add(const WalkCounts& ahead) {
    TagsNotFound += ahead.TagsNotFound;
    RefusedPieces += ahead.RefusedPieces;
    RecordsCompleted += ahead.RecordsCompleted;
    RecordsOutOfRange += ahead.RecordsOutOfRange;
    RecordsFilteredOut += ahead.RecordsFilteredOut;
    if (ahead.LastRecordCompleted != 0) LastRecordCompleted = ahead.LastRecordCompleted;
    FillerOctets += ahead.FillerOctets;
    FillerRuns += ahead.FillerRuns;
    for (uint64_t noted = 0; noted < ahead.Damages && Damages + noted < kDamagesNoted; ++noted) {
      DamagesAt[Damages + noted] = ahead.DamagesAt[noted];
    }
    Damages += ahead.Damages;
    ValuesNotInCsv += ahead.ValuesNotInCsv;
    RecordCounts::Add(ahead);
    PastHolder += ahead.PastHolder;
    Frames.Add(ahead.Frames);
  }
};
// The summary line is also made in the handler of a fault in reading the input, from a copy of
// the counts: a copy must not allocate.
static_assert(std::is_trivially_copyable_v<WalkCounts>, "the walk's counts are copied in a signal handler");

}  // namespace orvalis
