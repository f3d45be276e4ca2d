// The manifest of a run (-m): one JSON object a line for each input, telling a pipeline what the
// input gave: its name and size, the output and format, the counts of the summary line, the
// status and what ended its conversion, and the fields outside its records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <vector>

#include "common/text_buffer.h"
#include "decode/frames/cdr_frames.h"
#include "decode/walk/walk_counts.h"
#include "decode/writers/csv_layout.h"

namespace orvalis {

// The most octets of fields outside records that a manifest line holds (whole JSON lines).
constexpr std::size_t kManifestOutside = 64 * 1024;

struct ManifestEntry {
  std::string_view Input;       // as given; empty: none (a run that did not start)
  uint64_t Size = 0;            // of the input as read: the compressed octets of a compressed one
  uint64_t Contents = 0;        // the octets walked: the contents of a compressed input
  std::string_view Compression;  // "gzip", or empty
  std::string_view Output;
  std::string_view Format;      // "text", "jsonl", "csv" or "dump"; empty before it was chosen
  uint64_t RecordsRead = 0;
  uint64_t RecordsWritten = 0;
  WalkCounts Counts;
  bool Csv = false;             // the values not in the CSV are counted
  int Status = 0;               // 0, 1 or 255
  std::string_view End;         // as the summary line ends
  bool OutsideRead = false;     // the fields outside records were read (else "outside" is null)
  std::string_view Outside;     // the JSON lines of the fields outside records, each ending in a line feed
  bool OutsideCut = false;      // more lines followed those that Outside holds
  std::string_view OutsideFault;  // why the walk of those fields failed ("outsideFault"); empty: it did not
  // The fields whose values had no column ("fieldsWithoutColumn", only when there are any).
  const std::vector<FieldWithoutColumn>* FieldsWithoutColumn = nullptr;
  // A file of CDRs: its file header ("cdrFile", only then); Framing=3gpp found none
  // ("cdrFileMissing", only then); the octets of the header LeadingOctets passed over
  // ("leadingHeader", only then).
  const CdrFileHeader* CdrFile = nullptr;
  bool CdrFileMissing = false;
  std::string_view Leading;
};

// Appends the entry's line, a line feed at its end, to `out`.
void AppendManifestLine(TextBuffer& out, const ManifestEntry& entry);

// The whole JSON lines at the start of `lines` that fit in `bound` octets; `cut` when more followed.
std::string_view OutsideWithinBound(std::string_view lines, bool& cut, std::size_t bound = kManifestOutside);

}  // namespace orvalis
