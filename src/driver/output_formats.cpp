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

// The readable text first (the default), the debug dump last.
constexpr OutputFormatRow kFormats[] = {
    {"text", ".prs", false, false, StartText},
    {"jsonl", ".jsonl", false, false, StartJsonLines},
    {"csv", ".csv", false, true, StartCsv},
    {"", ".prs", true, false, StartDump},
};
constexpr const OutputFormatRow& kDefaultFormat = kFormats[0];
constexpr const OutputFormatRow& kDumpFormat = kFormats[std::size(kFormats) - 1];

}  // namespace

const OutputFormatRow& OutsideFieldsFormat() {
  static constexpr OutputFormatRow kOutsideFields = {"jsonl", ".jsonl", false, false, StartOutsideFields};
  return kOutsideFields;
}

const OutputFormatRow* FindOutputFormat(std::string_view name) {
  if (name.empty()) return &kDefaultFormat;
  for (const OutputFormatRow& row : kFormats) {
    if (!row.Dump && name == row.Name) return &row;
  }
  return nullptr;
}

const OutputFormatRow* InDebugMode(const OutputFormatRow& chosen) {
  return &chosen == &kDefaultFormat ? &kDumpFormat : nullptr;
}

std::string OutputFormatNames() {
  std::string names;
  const std::size_t count = std::size(kFormats) - 1;  // all but the dump
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) names += i + 1 < count ? ", " : " or ";
    names += kFormats[i].Name;
  }
  return names;
}

const OutputFormatRow& OutputFormatOfWalk(const WalkSettings& settings) {
  if (settings.DebugMode) return kDumpFormat;
  const OutputFormatRow* row = FindOutputFormat(settings.Format);
  return row != nullptr ? *row : kDefaultFormat;
}

}  // namespace orvalis
