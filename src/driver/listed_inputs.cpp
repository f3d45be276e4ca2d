// Many inputs (-l): the list read, each input it names converted in turn into the one output.
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "driver/command_line.h"
#include "driver/converted_inputs.h"
#include "driver/input_list.h"
#include "driver/run_parts.h"

namespace orvalis {
namespace {

// The message of a list that ReadInputList refused (`read`, at `line`), on standard error.
void ReportListFault(ListRead read, const std::string& title, std::size_t line) {
  const std::string where = "Error: line " + std::to_string(line) + " of list file " + title;
  switch (read) {
    case ListRead::kRead: return;
    case ListRead::kUnreadable: PrintErrorForm("Error: can not read list file"); return;
    case ListRead::kLongName:
      SayOnErrorStream(where + " names a file of more than " + std::to_string(kMaxFileNameLength) + " characters\n");
      return;
    case ListRead::kNulOctet:
      SayOnErrorStream(where + " holds a NUL octet: a list names one file a line (make it with find ... -print0 | tr '\\0' '\\n')\n");
      return;
    case ListRead::kTooManyNames:
      SayOnErrorStream("Error: list file " + title + " names more than " + std::to_string(kMaxListedNames) +
                       " files: split it into lists of at most " + std::to_string(kMaxListedNames) +
                       " lines (split -l " + std::to_string(kMaxListedNames) + ")\n");
      return;
    case ListRead::kTooLarge:
      SayOnErrorStream("Error: list file " + title + " holds more than " + std::to_string(kMaxListOctets >> 20) +
                       " MiB: split it into smaller lists (split -l " + std::to_string(kMaxListedNames) + ")\n");
      return;
  }
}

// The names that the list file (standard input for -l -) holds. False, after the
// message, when it cannot be read, holds a NUL octet, names a file of 256 characters or more,
// is beyond the bounds of a list, or names none.
bool TakeInputList(const RunSettings& settings, std::vector<std::string>& names) {
  const bool standard = IsStandardStream(settings.ListFileName);
  FilePtr list(standard ? stdin : OpenForReading(settings.ListFileName));
  if (!list) {
    PrintErrorForm("Error: can not open list file");
    return false;
  }
  const std::string title = standard ? "standard input" : ConsoleName(settings.ListFileName);
  std::size_t line = 0;
  const ListRead read = ReadInputList(list.get(), names, line);
  if (read != ListRead::kRead) {
    ReportListFault(read, title, line);
    return false;
  }
  if (names.empty()) {
    SayOnErrorStream("Error: list file " + title + " names no input file\n");
    return false;
  }
  for (std::string& name : names) {
    if (name == kStandardStream) name = "./-";  // a file of that name: the list names files only
  }
  return true;
}

}  // namespace

// Opens and loads one listed input (settings.InputFileName) into run.In. False, after the
// message, when it is not to be walked.
bool LoadListedInput(const RunSettings& settings, Conversion& run) {
  if (!InputMayBeOpened(settings.InputFileName, false)) return false;
  run.In->Input.reset(OpenForReading(settings.InputFileName));
  if (!run.In->Input) {
    PrintErrorForm("Error: can not open input file");
    return false;
  }
  return TakeInputSize(settings, run) && (run.In->Streamed || LoadInput(run));
}

namespace {

// Converts one listed input (settings.InputFileName) into the open output. Returns its status;
// `outputFailed` when the output could not be written, which ends the run.
int ConvertListedInput(const RunSettings& settings, Conversion& run, RunReport& report, bool& outputFailed) {
  run.In = std::make_unique<InputPart>();  // the input before gives its memory back
  if (!LoadListedInput(settings, run)) return -1;
  if (!BeginOutput(run.Output)) {
    outputFailed = true;
    report.End = RunEnd::kFailed;
    return -1;
  }
  bool completed = false;
  std::unique_ptr<WalkContext> walk = WalkLoadedInput(settings, run, run.OutputBegun, report, completed);
  const int writeError = HandOverText(*walk, run.Output);
  if (writeError != 0) {
    errno = writeError;
    PrintErrorForm("Error: can not write output file");
    outputFailed = true;
    report.End = RunEnd::kFailed;
    return -1;
  }
  return completed ? 0 : -1;
}

// The size of the regular file `name`, or -1 for a stream, a pipe, a device or a file that cannot
// be looked at (which are never left out as converted).
int64_t SizeOfRegularFile(const std::string& name) {
  if (IsStandardStream(name) || KindOfNamedFile(name) != FileKind::kRegular) return -1;
  FilePtr file(OpenForReading(name));
  uint64_t size = 0;
  if (!file || !FileLength(file.get(), size)) return -1;
  return static_cast<int64_t>(size);
}

}  // namespace

void SayListedInput(std::size_t index, const std::vector<std::string>& names) {
  SayFormatted("Input %" PRIu64 " of %" PRIu64 ": %s\n", static_cast<uint64_t>(index + 1),
               static_cast<uint64_t>(names.size()), ConsoleName(names[index]).c_str());
}

void AccountListedInput(const RunSettings& settings, const Conversion& run, const RunReport& report, int converted,
                        RunReport& total, int& worst) {
  const int status = FinalStatus(settings, report, converted);
  if (settings.Quiet) PrintSummary(settings, report);
  WriteManifestLine(settings, run, report, status);
  worst = WorseStatus(worst, status);
  total.RecordsRead += report.RecordsRead;
  total.Counts.Add(report.Counts);
  total.OutsideNotRead += report.OutsideNotRead;
  if (report.End != RunEnd::kCompleted) ++total.InputsFailed;
}

bool KeepNewInputs(const RunSettings& settings, std::vector<std::string>& names) {
  const std::string& stateName = settings.SkipConvertedFileName;
  if (stateName.empty()) return true;
  FilePtr state(OpenTextFileForReading(stateName));
  if (!state) {
    PrintErrorForm("Error: can not open manifest of converted inputs");
    SayOnErrorStream("Hint: " + ConsoleName(stateName) +
                     " is read to leave out the inputs converted before; for the first run, make it empty (touch it)\n");
    return false;
  }
  std::vector<int64_t> sizes;
  sizes.reserve(names.size());
  for (const std::string& name : names) sizes.push_back(SizeOfRegularFile(name));
  std::vector<bool> converted;
  std::size_t line = 0;
  const ConvertedRead read = FindConvertedInputs(state.get(), names, sizes, converted, line);
  if (read == ConvertedRead::kUnreadable) {
    PrintErrorForm("Error: can not read manifest of converted inputs");
    return false;
  }
  if (read != ConvertedRead::kRead) {
    SayOnErrorStream("Error: line " + std::to_string(line) + " of manifest of converted inputs " + ConsoleName(stateName) +
                     (read == ConvertedRead::kLongLine ? " is longer than 1 MiB" : " is not a JSON object") +
                     ": mend or remove it\n");
    return false;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (converted[i]) continue;
    if (kept != i) names[kept] = std::move(names[i]);
    ++kept;
  }
  names.resize(kept);
  Say("orvalis: " + std::to_string(kept) + (kept == 1 ? " new input\n" : " new inputs\n"));
  return true;
}

// -l: the inputs that the list names, converted in their order into the one output, each walked
// by itself (its own record numbers, range and filter), each under a line that names it; in quiet
// mode a summary line for each. A file that cannot be read or is damaged is reported and the
// others go on. Returns the worst of the inputs' statuses; `total` sums their counts.
int ConvertList(RunSettings& settings, Conversion& run, RunReport& total) {
  std::vector<std::string> names;
  if (!TakeInputList(settings, names) || !KeepNewInputs(settings, names)) return -1;
  if (names.empty()) {
    total.NothingNew = true;
    return 0;
  }
  if (!SparesListedInputs(settings.OutputFileName, "output", names) ||
      !SparesListedInputs(settings.ManifestFileName, "manifest", names) ||
      !OutputSparesUserFiles(settings, run.Early.Configured.FilterFileName) || !FormatIsPrepared(run) ||
      !OpenOutput(settings, run.Output) || !TakeTextFiles(settings, run)) {
    return -1;
  }
  total.Inputs = names.size();
  int worst = 0;
  bool outputFailed = false;
  const uint32_t jobs = ListJobsFor(settings, names.size());
  if (jobs > 1) {
    ConvertListBesideOthers(settings, run, names, jobs, total, worst, outputFailed);
  } else {
    for (std::size_t i = 0; i < names.size() && !outputFailed; ++i) {
      settings.InputFileName = names[i];
      SayListedInput(i, names);
      RunReport report;
      report.Format = run.Format;
      const int status = ConvertListedInput(settings, run, report, outputFailed);
      AccountListedInput(settings, run, report, status, total, worst);
    }
  }
  settings.InputFileName.clear();
  // An output written in place that no input began to write is cut, as a temporary replaces it;
  // one that an input began to write ends with the format's trailer.
  const int trailerError = outputFailed || !run.OutputBegun ? 0 : WriteTrailer(*run.Format, run.Output);
  if (trailerError != 0) errno = trailerError;
  const bool written = !outputFailed && trailerError == 0 && run.Output.Cut() && run.Output.Close() && run.Output.Commit();
  if (!written) {
    if (!outputFailed) PrintErrorForm("Error: can not write output file");
    run.Output.Discard();
    total.End = RunEnd::kFailed;
    return -1;
  }
  total.End = total.InputsFailed == 0 ? RunEnd::kCompleted : RunEnd::kSomeInputsFailed;
  return worst;
}

}  // namespace orvalis
