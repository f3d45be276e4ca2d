// libFuzzer target: the manifest's second walk (-m), which keeps the fields outside records in
// memory up to its bound. The first input byte chooses the walk settings (SettingsFromByte), the
// second the run's format (bits 0-1: text, JSON Lines, CSV or the debug dump), an input that ends
// early (bit 2) and a small bound of the kept text (bits 3-7); the rest is the billing input. The
// run's walk and the second walk go as the driver runs them, over the fixed dictionary.
//   - The second walk gives the "record":null lines of the JSON Lines walk without its damage
//     lines, whatever the range, filter and format of the run, kept up to the bound, in either
//     schema version (JsonSchema).
//   - The manifest keeps the whole lines within its bound and tells when more followed.
//   - The manifest's line, in which the input's name is fuzzed too, is one JSON object.
#include <string>
#include <string_view>

#include "common/text_buffer.h"
#include "driver/manifest.h"
#include "driver/output_formats.h"
#include "walk_targets.h"

namespace {

// By schema version: how a "record":null line begins up to its offset, and what follows the offset
// in a line of damage (or doubt) alone.
constexpr std::string_view kNullLine[] = {"{\"v\":1,\"record\":null,\"offset\":",
                                          "{\"v\":2,\"record\":null,\"file\":null,\"offset\":"};
constexpr std::string_view kMarksAlone[] = {",\"damaged\":{", ",\"path\":null,"};

bool IsDamageLine(std::string_view line, int schema) {
  std::size_t at = kNullLine[schema - 1].size();
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
  return line.substr(at, kMarksAlone[schema - 1].size()) == kMarksAlone[schema - 1];
}

// The lines of fields outside records of a JSON Lines text: its "record":null lines but for damage.
std::string NullLines(std::string_view text, int schema) {
  std::string lines;
  const std::string_view begins = kNullLine[schema - 1];
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) std::abort();
    const std::string_view line = text.substr(0, end + 1);
    if (line.substr(0, begins.size()) == begins && !IsDamageLine(line, schema)) lines += line;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The whole lines at the start of `lines` within `bound` octets.
std::string_view WholeLinesWithin(std::string_view lines, std::size_t bound) {
  if (lines.size() <= bound) return lines;
  const std::size_t end = lines.substr(0, bound).rfind('\n');
  return end == std::string_view::npos ? std::string_view() : lines.substr(0, end + 1);
}

void CheckManifestLine(const orvalis::ManifestEntry& entry) {
  orvalis::TextBuffer line;
  orvalis::AppendManifestLine(line, entry);
  const std::string_view text = line.view();
  if (text.empty() || text.find('\n') != text.size() - 1) std::abort();
  orvalis_fuzz::CheckJsonLines(text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvalis_fuzz::SilenceConsole();
  orvalis_fuzz::Dictionaries();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  orvalis_fuzz::ChosenSettings chosen = orvalis_fuzz::SettingsFromByte(data[0], false);
  static constexpr std::string_view kFormats[] = {"text", "jsonl", "csv", "text"};
  chosen.Walk.Format = kFormats[data[1] & 3];
  chosen.Walk.DebugMode = (data[1] & 3) == 3;
  chosen.Walk.InputEndsEarly = (data[1] & 4) != 0;
  chosen.Walk.FilterCount = orvalis_fuzz::Dictionaries().FilterCount(chosen.Filter);
  const std::size_t smallBound = 16 + 8 * std::size_t{static_cast<uint8_t>(data[1] >> 3)};
  orvalis::TBranch& root = orvalis_fuzz::Dictionaries().Tree(chosen.Filter);
  const uint8_t* input = data + 2;
  const std::size_t inputSize = size - 2;

  // The run's own walk, for the counts of the manifest's line.
  orvalis::WalkContext walk(chosen.Walk, input, inputSize, root, orvalis_fuzz::DiscardedOutput());
  walk.StretchSize = 0;
  orvalis::WalkWholeInput(walk);
  orvalis::WriteOutLastRecord(walk);

  for (const int schema : {1, 2}) {
    chosen.Walk.JsonSchema = schema;
    // The second walk, as the driver runs it, and the JSON Lines walk of the same input.
    std::string text;
    orvalis::WalkOutsideFields(chosen.Walk, input, inputSize, root, text, orvalis::kManifestOutside + 1);
    orvalis::WalkSettings jsonl = chosen.Walk;
    jsonl.Format = "jsonl";
    jsonl.DebugMode = false;
    jsonl.RangeActive = false;
    jsonl.FilterCount = 0;
    // The dictionary without the filter's marks: those of the run must not reach the second walk.
    orvalis::TBranch& unfiltered = orvalis_fuzz::Dictionaries().Tree(0);
    const std::string expected =
        NullLines(orvalis_fuzz::WalkOutput(jsonl, input, inputSize, unfiltered, 0), schema);
    if (text != expected.substr(0, orvalis::kManifestOutside + 1)) std::abort();
    bool cut = false;
    const std::string_view kept = orvalis::OutsideWithinBound(text, cut);
    if (cut != (expected.size() > orvalis::kManifestOutside) ||
        kept != WholeLinesWithin(expected, orvalis::kManifestOutside)) {
      std::abort();
    }
    orvalis_fuzz::CheckJsonLines(kept);

    // Under a small bound: the same text, as far as the bound goes.
    std::string small;
    orvalis::WalkOutsideFields(chosen.Walk, input, inputSize, root, small, smallBound + 1);
    if (small != expected.substr(0, smallBound + 1)) std::abort();
    bool smallCut = false;
    const std::string_view smallKept = orvalis::OutsideWithinBound(small, smallCut, smallBound);
    if (smallCut != (expected.size() > smallBound) || smallKept != WholeLinesWithin(expected, smallBound)) std::abort();

    // The manifest's line, the input named by the last octets, read whole and when the walk failed.
    orvalis::ManifestEntry entry;
    const std::size_t nameSize = inputSize < 12 ? inputSize : 12;
    entry.Input = std::string_view(reinterpret_cast<const char*>(input + inputSize - nameSize), nameSize);
    entry.Size = inputSize;
    entry.Contents = inputSize;
    entry.Output = "out.jsonl";
    entry.Format = chosen.Walk.DebugMode ? "dump" : chosen.Walk.Format;
    entry.RecordsRead = walk.State.RecordCount;
    entry.RecordsWritten = walk.State.RecordCount - walk.Counts.RecordsOutOfRange - walk.Counts.RecordsFilteredOut;
    entry.Counts = walk.Counts;
    entry.Csv = chosen.Walk.Format == "csv" && !chosen.Walk.DebugMode;
    entry.End = "completed";
    entry.OutsideRead = true;
    entry.Outside = smallKept;
    entry.OutsideCut = smallCut;
    CheckManifestLine(entry);
    entry.Outside = kept;
    entry.OutsideCut = cut;
    CheckManifestLine(entry);
    entry.OutsideRead = false;
    entry.Outside = {};
    entry.OutsideFault = "memory allocation fault";
    CheckManifestLine(entry);
  }
  return 0;
}
