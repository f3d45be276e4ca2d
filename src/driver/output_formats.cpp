#include "driver/output_formats.h"

#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>

#include "common/console.h"
#include "common/text_format.h"
#include "debugdump/debug_walker.h"
#include "decode/writers/csv_writer.h"
#include "decode/writers/json_lines_writer.h"
#include "decode/writers/text_writer.h"

namespace orvalis {
namespace {

std::unique_ptr<FormatWalk> StartText(WalkContext& walk, const FormatSetup&) { return TextWalk(walk); }

// The keys of every object are told apart (JsonKeysAreSound).
bool PrepareJsonLines(const RunSettings& settings, const TBranch& root, FormatSetup&) {
  std::string problem;
  if (JsonKeysAreSound(root, problem)) return true;
  SayOnErrorStream("Error: " + problem + " (" + ConsoleName(settings.TagsFileName) + ")\n");
  return false;
}

std::unique_ptr<FormatWalk> StartJsonLines(WalkContext& walk, const FormatSetup&) {
  return JsonLinesWalk(walk, *walk.Root);
}

// The setup: the chosen columns (a CsvLayout).
bool PrepareCsv(const RunSettings& settings, const TBranch& root, FormatSetup& setup) {
  auto layout = std::make_shared<CsvLayout>();
  if (!ChooseColumns(settings, root, *layout)) return false;
  setup = std::move(layout);
  return true;
}

// The columns that Prepare chose, or, where it did not run, the dictionary's under their own names.
std::shared_ptr<const CsvLayout> CsvColumns(const WalkContext& walk, const FormatSetup& setup) {
  std::shared_ptr<const CsvLayout> columns = std::static_pointer_cast<const CsvLayout>(setup);
  if (columns == nullptr) {
    auto layout = std::make_shared<CsvLayout>();
    std::string problem;
    MakeCsvLayout(*walk.Root, false, *layout, problem, !walk.Settings.SourceName.empty(), false,
                  ValueTypes::Catalog(), walk.Settings.CdrHeaderMembers, walk.Settings.RecordKindMembers);
    columns = std::move(layout);
  }
  return columns;
}

std::unique_ptr<FormatWalk> StartCsv(WalkContext& walk, const FormatSetup& setup) {
  return CsvWalk(walk, CsvColumns(walk, setup));
}

std::vector<FieldWithoutColumn> CsvFieldsWithoutColumn(const WalkContext& walk, const FormatSetup& setup) {
  return FieldsWithoutColumn(*walk.Root, *CsvColumns(walk, setup), walk.FieldsWithoutColumn);
}

std::unique_ptr<FormatWalk> StartDump(WalkContext& walk, const FormatSetup&) { return DumpWalk(walk); }

std::unique_ptr<FormatWalk> StartOutsideFields(WalkContext& walk, const FormatSetup&) {
  return OutsideFieldsWalk(walk, *walk.Root);
}

// The formats that -x names, in the order of their lists, then the debug dump.
constexpr OutputFormatRow kFormats[] = {
    {"text", "", true, ".prs", "text", false, false, nullptr, StartText, "", true},
    {"jsonl", "JSON Lines", false, ".jsonl", "jsonl", false, false, PrepareJsonLines, StartJsonLines, ""},
    {"csv", "", false, ".csv", "csv", false, true, PrepareCsv, StartCsv, "", false, CsvFieldsWithoutColumn},
    {"", "", false, ".prs", "dump", true, false, nullptr, StartDump, ""},
};

constexpr bool IsSound(const OutputFormatRow* rows, std::size_t count) {
  std::size_t defaults = 0;
  for (std::size_t i = 0; i + 1 < count; ++i) defaults += rows[i].Default && !rows[i].Dump ? 1 : 0;
  return count >= 2 && defaults == 1 && rows[count - 1].Dump && !rows[count - 1].Default;
}
static_assert(IsSound(kFormats, std::size(kFormats)),
              "exactly one format named by -x is the default, and the debug dump is the last row");

FormatList gInUse = {kFormats, std::size(kFormats)};

std::size_t NamedCount() { return gInUse.Count - 1; }  // all but the dump

const OutputFormatRow& DefaultFormat() {
  std::size_t i = 0;
  while (!gInUse.First[i].Default) ++i;
  return gInUse.First[i];
}

// The names of the formats that -x names, "a, b or c", each followed by what `note` appends.
template <typename Note>
std::string ListNamedFormats(Note note) {
  std::string list;
  const std::size_t count = NamedCount();
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) list += i + 1 < count ? ", " : " or ";
    list += gInUse.First[i].Name;
    note(gInUse.First[i], list);
  }
  return list;
}

}  // namespace

FormatsInUse::FormatsInUse(FormatList formats) : before_(gInUse) {
  if (!IsSound(formats.First, formats.Count)) throw std::invalid_argument("a list of formats needs one default and the dump last");
  gInUse = formats;
}

FormatsInUse::~FormatsInUse() { gInUse = before_; }

// What a dictionary without a path, or without a record start, is told.
constexpr const char kNoElementPath[] =
    " declares no tag that an element can have (a path of tag numbers from 0 to 127, as in 1.TagName=record)";
constexpr const char kNoRecordStart[] = " declares no record start (a tag with TagName=record and a LongTagName)";
constexpr const char kDictionaryHint[] = "Hint: -t names the dictionary, -c the main configuration file\n";

IdentifierRule IdentifiersOf(const RunSettings& settings, const TBranch& root) {
  return settings.LongTagNumbers || DeclaresLongTagNumber(root) ? IdentifierRule::kAnyLength
                                                               : IdentifierRule::kOneSubsequentOctet;
}

namespace {

// The largest tag number an element of the run can have.
int32_t LargestElementTagId(const RunSettings& settings, const TBranch& root) {
  return IdentifiersOf(settings, root) == IdentifierRule::kAnyLength ? kLargestLongTagId : kLargestElementTagId;
}

}  // namespace

bool DictionaryNamesElements(const RunSettings& settings, const TBranch& root) {
  if (DeclaresElementPath(root, LargestElementTagId(settings, root))) return true;
  SayOnErrorStream("Error: dictionary " + ConsoleName(settings.TagsFileName) + kNoElementPath + "\n");
  SayOnErrorStream(kDictionaryHint);
  return false;
}

void WarnOfWhatDictionaryLacks(const OutputFormatRow& format, const RunSettings& settings, const TBranch& root) {
  std::string lack;
  const int32_t largest = LargestElementTagId(settings, root);
  if (format.Dump && !DeclaresElementPath(root, largest)) {
    lack = std::string(kNoElementPath) + ": no element is named";
  } else if (format.WantsRecordStart && !DeclaresNamedRecordStart(root, largest)) {
    lack = std::string(kNoRecordStart) + ": the output holds no record";
  } else {
    return;
  }
  Say("Warning: dictionary " + ConsoleName(settings.TagsFileName) + lack + ".\n\n");
  CountProblem(Problem::kDictionaryLacks);
}

bool ChooseColumns(const RunSettings& settings, const TBranch& root, CsvLayout& layout) {
  if (!DeclaresNamedRecordStart(root, LargestElementTagId(settings, root))) {
    SayOnErrorStream("Error: dictionary " + ConsoleName(settings.TagsFileName) + kNoRecordStart +
                     ": the CSV would have no row\n");
    return false;
  }
  std::string problem;
  if (!MakeCsvLayout(root, settings.SqlColumnNames, layout, problem, settings.SourceColumn, settings.OffsetColumn,
                     ValueTypes::Catalog(), settings.CdrHeaderColumns, settings.RecordKindColumn)) {
    SayOnErrorStream("Error: " + problem + " (" + ConsoleName(settings.TagsFileName) + ")\n");
    return false;
  }
  layout.InertFormulas = settings.InertFormulas;
  std::string unknown;
  if (ChooseCsvColumns(layout, settings.Columns, unknown)) return true;
  const std::string key = settings.Keys.Columns ? "--columns" : "Columns in " + ConsoleName(settings.ConfigFileName);
  SayOnErrorStream("Error: " + key + " names \"" + ConsoleName(unknown) + "\", which is not a CSV column of the dictionary\n");
  return false;
}

const OutputFormatRow& OutsideFieldsFormat() {
  static constexpr OutputFormatRow kOutsideFields = {"jsonl", "",    false, ".jsonl", "jsonl", false,
                                                     false,   nullptr, StartOutsideFields, ""};
  return kOutsideFields;
}

const OutputFormatRow* FindOutputFormat(std::string_view name) {
  if (name.empty()) return &DefaultFormat();
  for (const OutputFormatRow& row : NamedOutputFormats()) {
    if (name == row.Name) return &row;
  }
  return nullptr;
}

const OutputFormatRow& DumpFormat() { return gInUse.First[NamedCount()]; }

const OutputFormatRow* InDebugMode(const OutputFormatRow& chosen) {
  return &chosen == &DefaultFormat() ? &DumpFormat() : nullptr;
}

NamedFormats NamedOutputFormats() { return {gInUse.First, gInUse.First + NamedCount()}; }

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
  if (settings.DebugMode) return DumpFormat();
  const OutputFormatRow* row = FindOutputFormat(settings.Format);
  return row != nullptr ? *row : DefaultFormat();
}

}  // namespace orvalis
