// What the operator asked for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "decode/frames/cdr_frames.h"

namespace orvalis {

// The keys of the main configuration file that long options of the command line set (--start,
// --end, --columns, --skip-filler, --resync, --long-tag-numbers, --source-column,
// --record-kind-column, --gzip-max-contents, --gzip-max-ratio, --skip-converted, --list-jobs): taken after the file's
// lines, so that they win over them.
struct KeysFromCommandLine {
  std::optional<int32_t> StartRec;  // 0 to 4294967295, held as the file's keys hold them
  std::optional<int32_t> EndRec;
  std::optional<std::string> Columns;
  bool SkipFiller = false;
  bool Resync = false;
  bool LongTagNumbers = false;
  bool SourceColumn = false;
  bool RecordKindColumn = false;
  std::optional<uint64_t> GzipMaxContents;
  std::optional<uint32_t> GzipMaxRatio;
  std::optional<std::string> SkipConvertedFileName;  // --skip-converted
  std::optional<uint32_t> ListJobs;                   // --list-jobs
};

// ListJobs' largest value: the inputs of a list converted at once.
constexpr uint32_t kMostListJobs = 64;

struct RunSettings {
  std::string InputFileName;  // -i, or the input of a list being converted
  std::string ListFileName;   // -l: the file that names the inputs, one a line
  std::string ManifestFileName;  // -m: the manifest, a JSON line for each input
  std::string OutputFileName;  // the input name with ".prs" appended unless -o names one
  std::string ConfigFileName = "Orvalis.cfg";
  std::string FilterFileName;  // empty: no filter
  bool FilterFileFromConfig = false;  // a FilterFile line of the main configuration file named it
  std::string TagsFileName = "Tags.cfg";
  // --dictionary-from (once per module file): the dictionary made from ASN.1 modules, in place of
  // -t's; its root type (--root), record type (--records), the user's semantic table
  // (--semantic-types) and the hand dictionary it is compared with (--compare).
  std::vector<std::string> ModuleFileNames;
  std::string RootType;
  std::string RecordsType;
  std::string SemanticTypesFileName;
  std::string CompareFileName;
  bool DebugMode = false;      // nothing switches it off again
  bool Quiet = false;          // -q: messages on standard error, a summary line at the end
  bool Strict = false;         // -s or Strict=true: status 1 when the run completed with problems
  bool SkipFiller = false;     // SkipFiller=true: filler between top-level elements passed over
  bool Resync = false;         // Resync=true: the walk goes on after damage; status 1 when it did
  bool LongTagNumbers = false;  // LongTagNumbers=true: identifier octets of any length
  int32_t StartRec = 0;        // compared with record numbers as unsigned
  int32_t EndRec = 0;
  bool RangeActive = false;
  // -x or OutputFormat: "text" (the default), "jsonl" or "csv"; checked by ParseOutputFormat.
  std::string OutputFormatName;
  bool OutputFormatFromConfig = false;  // the main configuration file named it: it wins over -x
  std::string Columns;                  // Columns: the CSV columns chosen, comma-separated
  bool SqlColumnNames = false;          // ColumnNames=sql: the CSV header names columns as SQL takes them
  std::string TableName = "records";    // TableName: the table of -g's definition
  std::string TableDialect;             // -g: the table definition to print ("postgresql", "sqlite")
  bool SourceColumn = false;            // SourceColumn=true: each record's input named in the output
  bool RecordKindColumn = false;        // RecordKindColumn=true: each record's kind in JSON Lines and CSV
  bool OffsetColumn = false;            // OffsetColumn=true: each CSV row's record offset in an "offset" column
  uint64_t GzipMaxContents = UINT32_MAX;  // GzipMaxContents: the most octets of a gzip input's contents
  uint32_t GzipMaxRatio = 0;  // GzipMaxRatio: the most octets of contents per compressed octet; 0: none
  bool InertFormulas = false;           // InertFormulas=true: CSV text cells that look like formulas get a "'"
  std::string SkipConvertedFileName;    // SkipConverted: a manifest of earlier runs; the inputs it tells as converted are left out
  uint32_t ListJobs = 1;                // ListJobs: the inputs of -l converted at once; 0: one per processor, 1 (the default): one after another
  KeysFromCommandLine Keys;             // what the long options set in place of the file's keys
  int JsonSchema = 1;                   // JsonSchema: the JSON Lines schema version, 1 or 2 (every member on every line)
  Framing CdrFraming = Framing::kRecognise;  // Framing: how an input is taken for a file of CDRs
  uint32_t LeadingOctets = 0;           // LeadingOctets: the octets of a header passed over at each input's start
  bool CdrHeaderColumns = false;        // CdrHeaderColumns=true: each record's CDR header in JSON Lines and CSV
};

}  // namespace orvalis
