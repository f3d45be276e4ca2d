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

// A switch's value, exactly "true" or "false", into `setting`; false for any other.
bool TakeSwitch(std::string_view value, bool& setting) {
  if (value != "true" && value != "false") return false;
  setting = value == "true";
  return true;
}

// A switch that only switches on: "false" switches nothing off (DebugMode, nor -d; Strict, nor -s).
bool TakeSwitchOn(std::string_view value, bool& setting) {
  if (value != "true" && value != "false") return false;
  if (value == "true") setting = true;
  return true;
}

// A number of digits only (no sign, no blanks) from 1 to `largest`; false for anything else.
bool ParseBound(std::string_view value, uint64_t largest, uint64_t& number) {
  uint64_t parsed = 0;
  if (!ParseDigits(value, largest, parsed) || parsed == 0) return false;
  number = parsed;
  return true;
}

constexpr const char kSwitch[] = "true or false";

// The most octets LeadingOctets passes over: a vendor's own header, whose octets the manifest keeps.
constexpr uint64_t kMaxLeadingOctets = 65535;

// A key whose value is checked: Take sets its setting from a value it accepts, and refuses any
// other, which is then a bad line "Error in FILE file: NAME is WHAT, not:" with the value.
struct CheckedKey {
  const char* Name;
  const char* What;
  bool (*Take)(RunSettings& settings, std::string_view value);
};

const CheckedKey kCheckedKeys[] = {
    {"DebugMode", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitchOn(v, s.DebugMode); }},
    {"Strict", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitchOn(v, s.Strict); }},
    {"SkipFiller", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.SkipFiller); }},
    {"Resync", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.Resync); }},
    {"LongTagNumbers", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.LongTagNumbers); }},
    {"SourceColumn", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.SourceColumn); }},
    {"RecordKindColumn", kSwitch,
     [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.RecordKindColumn); }},
    {"OffsetColumn", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.OffsetColumn); }},
    {"InertFormulas", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.InertFormulas); }},
    {"SkipConverted", "a file name of at most 255 characters",
     [](RunSettings& s, std::string_view v) {
       if (v.size() > kMaxFileNameLength) return false;
       s.SkipConvertedFileName = std::string(v);
       return true;
     }},
    {"ColumnNames", "sql or tags",
     [](RunSettings& s, std::string_view v) {
       if (v != "sql" && v != "tags") return false;
       s.SqlColumnNames = v == "sql";
       return true;
     }},
    {"TableName", "a name of 1 to 255 characters",
     [](RunSettings& s, std::string_view v) {
       if (v.empty() || v.size() > kMaxFileNameLength) return false;
       s.TableName = std::string(v);
       return true;
     }},
    {"GzipMaxContents", "a number from 1 to 4294967295",
     [](RunSettings& s, std::string_view v) { return ParseBound(v, kLargestContents, s.GzipMaxContents); }},
    {"GzipMaxRatio", "a number from 1 to 1032",
     [](RunSettings& s, std::string_view v) {
       uint64_t ratio = 0;
       if (!ParseBound(v, kDeflateRatio, ratio)) return false;
       s.GzipMaxRatio = static_cast<uint32_t>(ratio);
       return true;
     }},
    {"Framing", "recognise, 3gpp or none",
     [](RunSettings& s, std::string_view v) {
       if (v != "recognise" && v != "3gpp" && v != "none") return false;
       s.CdrFraming = v == "3gpp" ? Framing::kAlways : v == "none" ? Framing::kNever : Framing::kRecognise;
       return true;
     }},
    {"LeadingOctets", "a number from 0 to 65535",
     [](RunSettings& s, std::string_view v) {
       uint64_t octets = 0;
       if (!ParseDigits(v, kMaxLeadingOctets, octets)) return false;
       s.LeadingOctets = static_cast<uint32_t>(octets);
       return true;
     }},
    {"CdrHeaderColumns", kSwitch, [](RunSettings& s, std::string_view v) { return TakeSwitch(v, s.CdrHeaderColumns); }},
    {"ListJobs", "a number from 0 to 64",
     [](RunSettings& s, std::string_view v) {
       uint64_t jobs = 0;
       if (!ParseDigits(v, kMostListJobs, jobs)) return false;
       s.ListJobs = static_cast<uint32_t>(jobs);
       return true;
     }},
    {"JsonSchema", "1 or 2",
     [](RunSettings& s, std::string_view v) {
       if (v != "1" && v != "2") return false;
       s.JsonSchema = v[0] - '0';
       return true;
     }},
};

const CheckedKey* CheckedKeyNamed(std::string_view name) {
  for (const CheckedKey& key : kCheckedKeys) {
    if (name == key.Name) return &key;
  }
  return nullptr;
}

// The keys that long options of the command line set, in place of the file's lines.
void ApplyKeysFromCommandLine(RunSettings& settings) {
  const KeysFromCommandLine& keys = settings.Keys;
  if (keys.StartRec) settings.StartRec = *keys.StartRec;
  if (keys.EndRec) settings.EndRec = *keys.EndRec;
  if (keys.Columns) settings.Columns = *keys.Columns;
  if (keys.SkipFiller) settings.SkipFiller = true;
  if (keys.Resync) settings.Resync = true;
  if (keys.LongTagNumbers) settings.LongTagNumbers = true;
  if (keys.SourceColumn) settings.SourceColumn = true;
  if (keys.RecordKindColumn) settings.RecordKindColumn = true;
  if (keys.GzipMaxContents) settings.GzipMaxContents = *keys.GzipMaxContents;
  if (keys.GzipMaxRatio) settings.GzipMaxRatio = *keys.GzipMaxRatio;
  if (keys.SkipConvertedFileName) settings.SkipConvertedFileName = *keys.SkipConvertedFileName;
  if (keys.ListJobs) settings.ListJobs = *keys.ListJobs;
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
    const CheckedKey* checked = nullptr;
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
    } else if (name == "OutputFormat") {
      settings.OutputFormatName = std::string(value.substr(0, kMaxFileNameLength + 1));
      settings.OutputFormatFromConfig = true;
    } else if (name == "Columns") {
      settings.Columns = std::string(value);
    } else if ((checked = CheckedKeyNamed(name)) != nullptr) {
      if (checked->Take(settings, value)) return;
      SayFormatted("Error in %s file: %s is %s, not:\n ", fileName.c_str(), checked->Name, checked->What);
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
