// What a walk counts for the run's summary, apart from the walk's own state.
#pragma once

#include <cstdint>

namespace orvalis {

struct WalkCounts {
  uint64_t TagsNotFound = 0;        // every element whose tag is not in the dictionary
  uint64_t RefusedPieces = 0;       // pieces of text left out for their length
  uint32_t RecordsCompleted = 0;    // records whose element was walked to its end
  uint32_t RecordsOutOfRange = 0;   // records skipped by the record range
  uint32_t RecordsFilteredOut = 0;  // records in the range dropped by the filter
  uint64_t ValuesNotInCsv = 0;      // values of a CSV walk that no column holds

  // Adds the counts of a stretch walked ahead, when its turn takes it over.
  void Add(const WalkCounts& ahead) {
    TagsNotFound += ahead.TagsNotFound;
    RefusedPieces += ahead.RefusedPieces;
    RecordsCompleted += ahead.RecordsCompleted;
    RecordsOutOfRange += ahead.RecordsOutOfRange;
    RecordsFilteredOut += ahead.RecordsFilteredOut;
    ValuesNotInCsv += ahead.ValuesNotInCsv;
  }
};

}  // namespace orvalis
