#include "driver/output_formats.h"

#include <iterator>
#include <string>
#include <utility>

#include "debugdump/debug_walker.h"
#include "decode/writers/json_lines_writer.h"
#include "decode/writers/text_writer.h"

namespace orvalis {
namespace {

std::unique_ptr<FormatWalk> StartText(WalkContext& walk, std::shared_ptr<const CsvLayout>) { return TextWalk(walk); }

std::unique_ptr<FormatWalk> StartJsonLines(WalkContext& walk, std::shared_ptr<const CsvLayout>) {
  return JsonLinesWalk(walk, *walk.Root);
}

std::unique_ptr<FormatWalk> StartCsv(WalkContext& walk, std::shared_ptr<const CsvLayout> columns) {
  if (columns == nullptr) {  // the dictionary's columns under their own names
    auto layout = std::make_shared<CsvLayout>();
    std::string problem;
    MakeCsvLayout(*walk.Root, false, *layout, problem, !walk.Settings.SourceName.empty());
    columns = std::move(layout);
  }
  return CsvWalk(walk, std::move(columns));
}

std::unique_ptr<FormatWalk> StartDump(WalkContext& walk, std::shared_ptr<const CsvLayout>) { return DumpWalk(walk); }

std::unique_ptr<FormatWalk> StartOutsideFields(WalkContext& walk, std::shared_ptr<const CsvLayout>) {
  return OutsideFieldsWalk(walk, *walk.Root);
}

// The formats that -x names, in the order of their lists, then the debug dump.
constexpr OutputFormatRow kFormats[] = {
    {"text", "", true, ".prs", false, false, StartText},
    {"jsonl", "JSON Lines", false, ".jsonl", false, false, StartJsonLines},
    {"csv", "", false, ".csv", false, true, StartCsv},
    {"", "", false, ".prs", true, false, StartDump},
};
constexpr std::size_t kNamedCount = std::size(kFormats) - 1;  // all but the dump

constexpr std::size_t CountDefaults() {
  std::size_t count = 0;
  for (std::size_t i = 0; i < kNamedCount; ++i) count += kFormats[i].Default ? 1 : 0;
  return count;
}
constexpr std::size_t DefaultIndex() {
  std::size_t i = 0;
  while (!kFormats[i].Default) ++i;
  return i;
}
static_assert(CountDefaults() == 1, "exactly one format named by -x is the default");
static_assert(kFormats[kNamedCount].Dump && !kFormats[kNamedCount].Default,
              "the debug dump is the last row, which -x cannot name");

constexpr const OutputFormatRow& kDefaultFormat = kFormats[DefaultIndex()];
constexpr const OutputFormatRow& kDumpFormat = kFormats[kNamedCount];

// The names of the formats that -x names, "a, b or c", each followed by what `note` appends.
template <typename Note>
std::string ListNamedFormats(Note note) {
  std::string list;
  for (std::size_t i = 0; i < kNamedCount; ++i) {
    if (i > 0) list += i + 1 < kNamedCount ? ", " : " or ";
    list += kFormats[i].Name;
    note(kFormats[i], list);
  }
  return list;
}

}  // namespace

const OutputFormatRow& OutsideFieldsFormat() {
  static constexpr OutputFormatRow kOutsideFields = {"jsonl", "", false, ".jsonl", false, false, StartOutsideFields};
  return kOutsideFields;
}

const OutputFormatRow* FindOutputFormat(std::string_view name) {
  if (name.empty()) return &kDefaultFormat;
  for (const OutputFormatRow& row : NamedOutputFormats()) {
    if (name == row.Name) return &row;
  }
  return nullptr;
}

const OutputFormatRow* InDebugMode(const OutputFormatRow& chosen) {
  return &chosen == &kDefaultFormat ? &kDumpFormat : nullptr;
}

NamedFormats NamedOutputFormats() { return {kFormats, kFormats + kNamedCount}; }

std::string OutputFormatNames() {
  return ListNamedFormats([](const OutputFormatRow&, std::string&) {});
}

std::string OutputFormatUsage() {
  return ListNamedFormats([](const OutputFormatRow& row, std::string& list) {
    const char* note = row.Default ? "default" : row.Gloss;
    if (*note == '\0') return;
    list += " (";
    list += note;
    list += ')';
  });
}

const OutputFormatRow& OutputFormatOfWalk(const WalkSettings& settings) {
  if (settings.DebugMode) return kDumpFormat;
  const OutputFormatRow* row = FindOutputFormat(settings.Format);
  return row != nullptr ? *row : kDefaultFormat;
}

}  // namespace orvalis
