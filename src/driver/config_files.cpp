#include "driver/config_files.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/console.h"
#include "common/line_splitter.h"
#include "common/text_file.h"
#include "common/text_format.h"
#include "driver/command_line.h"
#include "driver/compressed_input.h"

namespace orvalis {
namespace {

// Calls apply(name, value) for every line of the form name=value, and reports the other lines
// that are neither comments nor empty.
template <typename Apply>
void ForEachSetting(const std::string& name, std::string_view text, Problem badLine, Apply&& apply) {
  const std::string fileName = ConsoleName(name);
  unsigned long lineNumber = 0;
  ForEachLine(text, [&](std::string_view line) {
    ++lineNumber;
    if (IsSkippedLine(line)) return;
    if (line.size() > kMaxLineLength) {
      SayFormatted("Error in %s file: line %lu is longer than 2047 characters and is skipped.\n\n",
                   fileName.c_str(), lineNumber);
      CountProblem(badLine);
      return;
    }
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      SayFormatted("Error when decoding line in %s:\n ", fileName.c_str());
      PrintText(line, "\n Right format is Parameter=Value\n\n");
      CountProblem(badLine);
      return;
    }
    apply(line.substr(0, equals), line.substr(equals + 1));
  });
}

// The value of a switch: exactly "true" or "false".
bool IsSwitchValue(std::string_view value) { return value == "true" || value == "false"; }

// A number of digits only (no sign, no blanks) from 1 to `largest`; false for anything else.
bool ParseBound(std::string_view value, uint64_t largest, uint64_t& number) {
  uint64_t parsed = 0;
  if (!ParseDigits(value, largest, parsed) || parsed == 0) return false;
  number = parsed;
  return true;
}

// The keys that long options of the command line set, in place of the file's lines.
void ApplyKeysFromCommandLine(RunSettings& settings) {
  const KeysFromCommandLine& keys = settings.Keys;
  if (keys.StartRec) settings.StartRec = *keys.StartRec;
  if (keys.EndRec) settings.EndRec = *keys.EndRec;
  if (keys.Columns) settings.Columns = *keys.Columns;
  if (keys.SkipFiller) settings.SkipFiller = true;
  if (keys.Resync) settings.Resync = true;
  if (keys.SourceColumn) settings.SourceColumn = true;
  if (keys.GzipMaxContents) settings.GzipMaxContents = *keys.GzipMaxContents;
  if (keys.GzipMaxRatio) settings.GzipMaxRatio = *keys.GzipMaxRatio;
  if (keys.SkipConvertedFileName) settings.SkipConvertedFileName = *keys.SkipConvertedFileName;
}

}  // namespace

int ReadMainConfig(RunSettings& settings) {
  const bool read = ReadTextFile(settings.ConfigFileName, "Error: can not open specified config file",
                                 "Error: memory allocation for ConfigFile is not successful",
                                 [&](std::string_view text) { ApplyMainConfigText(settings, text); });
  ApplyKeysFromCommandLine(settings);
  return read ? 0 : -1;
}

void ApplyMainConfigText(RunSettings& settings, std::string_view text) {
  const std::string fileName = ConsoleName(settings.ConfigFileName);
  ForEachSetting(settings.ConfigFileName, text, Problem::kBadConfigLine, [&](std::string_view name, std::string_view value) {
    uint64_t number = 0;
    if (name == "StartRec") {
      settings.StartRec = ParseDecimalLong(value);
    } else if (name == "EndRec") {
      settings.EndRec = ParseDecimalLong(value);
    } else if (name == "FilterFile") {
      if (value.size() > kMaxFileNameLength) {
        SayFormatted("Error in %s file: FilterFile value is longer than 255 characters and is ignored.\n\n",
                     fileName.c_str());
        CountProblem(Problem::kBadConfigLine);
      } else {
        settings.FilterFileName = std::string(value);
        settings.FilterFileFromConfig = true;
      }
    } else if (name == "DebugMode" && IsSwitchValue(value)) {
      if (value == "true") settings.DebugMode = true;  // false switches nothing off (nor -d)
    } else if (name == "Strict" && IsSwitchValue(value)) {
      if (value == "true") settings.Strict = true;  // false switches nothing off (nor -s)
    } else if (name == "SkipFiller" && IsSwitchValue(value)) {
      settings.SkipFiller = value == "true";
    } else if (name == "Resync" && IsSwitchValue(value)) {
      settings.Resync = value == "true";
    } else if (name == "SkipConverted" && value.size() <= kMaxFileNameLength) {
      settings.SkipConvertedFileName = std::string(value);
    } else if (name == "OutputFormat") {
      settings.OutputFormatName = std::string(value.substr(0, kMaxFileNameLength + 1));
      settings.OutputFormatFromConfig = true;
    } else if (name == "Columns") {
      settings.Columns = std::string(value);
    } else if (name == "SourceColumn" && (value == "true" || value == "false")) {
      settings.SourceColumn = value == "true";
    } else if (name == "OffsetColumn" && IsSwitchValue(value)) {
      settings.OffsetColumn = value == "true";
    } else if (name == "InertFormulas" && (value == "true" || value == "false")) {
      settings.InertFormulas = value == "true";
    } else if (name == "ColumnNames" && (value == "sql" || value == "tags")) {
      settings.SqlColumnNames = value == "sql";
    } else if (name == "TableName" && !value.empty() && value.size() <= kMaxFileNameLength) {
      settings.TableName = std::string(value);
    } else if (name == "GzipMaxContents" && ParseBound(value, kLargestContents, number)) {
      settings.GzipMaxContents = number;
    } else if (name == "GzipMaxRatio" && ParseBound(value, kDeflateRatio, number)) {
      settings.GzipMaxRatio = static_cast<uint32_t>(number);
    } else if (name == "JsonSchema" && (value == "1" || value == "2")) {
      settings.JsonSchema = value[0] - '0';
    } else if (name == "ColumnNames" || name == "TableName" || name == "SourceColumn" || name == "InertFormulas" ||
               name == "GzipMaxContents" || name == "GzipMaxRatio" || name == "DebugMode" || name == "Strict" ||
               name == "SkipFiller" || name == "Resync" || name == "SkipConverted" ||
               name == "JsonSchema" || name == "OffsetColumn") {
      SayFormatted("Error in %s file: %s is %s, not:\n ", fileName.c_str(), std::string(name).c_str(),
                   name == "ColumnNames"       ? "sql or tags"
                   : name == "TableName"       ? "a name of 1 to 255 characters"
                   : name == "SkipConverted"   ? "a file name of at most 255 characters"
                   : name == "GzipMaxContents" ? "a number from 1 to 4294967295"
                   : name == "GzipMaxRatio"    ? "a number from 1 to 1032"
                   : name == "JsonSchema"      ? "1 or 2"
                                               : "true or false");
      PrintText(value, "\n\n");
      CountProblem(Problem::kBadConfigLine);
    } else {
      SayFormatted("Error in %s file: Unknown parameter in line:\n ", fileName.c_str());
      PrintText(name, "\n\n");
      CountProblem(Problem::kBadConfigLine);
    }
  });
}

int ReadFilterFile(const RunSettings& settings, TBranch& root, uint32_t& filterCount) {
  filterCount = 0;
  uint32_t accepted = 0;
  if (!ReadTextFile(settings.FilterFileName, "Error: can not open specified filter file",
                    "Error: memory allocation for FilterFile is not successful",
                    [&](std::string_view text) { accepted = ApplyFilterText(settings.FilterFileName, text, root); })) {
    const int error = errno;  // why it was not read, for the caller
    ClearFilter(root);  // a file that failed half way filters nothing
    CountProblem(Problem::kFilterNotRead);
    errno = error;
    return -1;
  }
  filterCount = accepted;
  return 0;
}

uint32_t ApplyFilterText(const std::string& name, std::string_view text, TBranch& root) {
  uint32_t filterCount = 0;
  const std::string fileName = ConsoleName(name);
  ForEachSetting(name, text, Problem::kBadFilterLine, [&](std::string_view name, std::string_view value) {
    bool filterFound = false;
    SetFilter(root, name, value, filterFound);
    if (filterFound) {
      ++filterCount;
    } else {
      SayFormatted("Error in %s file: tag ", fileName.c_str());
      PrintText(name, " not found.\n\n");
      CountProblem(Problem::kBadFilterLine);
    }
  });
  return filterCount;
}

}  // namespace orvalis
