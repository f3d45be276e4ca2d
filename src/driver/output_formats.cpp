#include "driver/output_formats.h"

#include <iterator>

#include "debugdump/debug_walker.h"
#include "decode/writers/record_walker.h"
#include "decode/writers/record_writers.h"

namespace orvalis {
namespace {

void PrepareKeys(WalkContext& walk) { PrepareJsonKeys(*walk.Root); }

// The header row, when the walk starts at the input's beginning.
void WriteCsvHeader(WalkContext& walk) {
  if (walk.Input.Position() == 0) walk.Output.WriteText(CsvHeader(*walk.Csv));
}

// The readable text first (the default), the debug dump last.
constexpr OutputFormatRow kFormats[] = {
    {"text", ".prs", OutputFormat::kText, false, false, WalkTextElements, nullptr, EndRecordLine},
    {"jsonl", ".jsonl", OutputFormat::kJsonLines, false, false, WalkJsonElements, PrepareKeys, EndRecordLine},
    {"csv", ".csv", OutputFormat::kCsv, false, true, WalkCsvElements, WriteCsvHeader, EndRecordLine},
    {"", ".prs", OutputFormat::kText, true, false, WalkDumpElements, nullptr, nullptr},
};
constexpr const OutputFormatRow& kDefaultFormat = kFormats[0];
constexpr const OutputFormatRow& kDumpFormat = kFormats[std::size(kFormats) - 1];

}  // namespace

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
  for (const OutputFormatRow& row : kFormats) {
    if (row.Writer == settings.Format) return row;
  }
  return kDefaultFormat;
}

}  // namespace orvalis
