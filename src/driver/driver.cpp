#include "driver/driver.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>

#include "common/console.h"
#include "common/text_file.h"
#include "driver/command_line.h"
#include "driver/config_files.h"
#include "driver/input_image.h"
#include "driver/run_settings.h"
#include "driver/whole_walk.h"
#include "decode/record_writers.h"
#include "tags/tags_reader.h"

namespace orvalis {
namespace {

// Closes a file the run opened; the standard streams stay open.
struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != stdin && file != stdout) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void (*gInputLoadedHook)(const std::string& inputName) = nullptr;

// The largest input that the walk's 32-bit offsets can address.
constexpr uint64_t kMaxInputSize = UINT32_MAX;

// In quiet mode, the name that stands for a standard stream (-i -, -o -).
constexpr const char kStandardStream[] = "-";

// How a run ended, for the summary line of quiet mode.
enum class RunEnd { kNotStarted, kCompleted, kStopped, kCutShort, kFailed };

struct RunReport {
  RunEnd End = RunEnd::kNotStarted;
  uint32_t RecordsRead = 0;
  WalkCounts Counts;
  uint64_t StopOffset = 0;  // where a stopped walk stood
  OutputFormat Format = OutputFormat::kText;
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// A non-zero StartRec or EndRec makes a record range; an EndRec of 0 in a range means no upper
// bound.
void FixUpRange(RunSettings& settings) {
  if (settings.StartRec != 0 || settings.EndRec != 0) {
    settings.RangeActive = true;
    if (settings.EndRec == 0) settings.EndRec = -1;  // all ones: no upper bound
  }
}

// With SkipFiller, says how much filler the walk passed over, when it passed over any.
void ReportFiller(const WalkContext& walk) {
  const WalkCounts& counts = walk.Counts;
  if (counts.FillerRuns == 0) return;
  SayFormatted("Filler: %" PRIu64 " octets passed over in %" PRIu64 " run%s.\n\n", counts.FillerOctets,
               counts.FillerRuns, counts.FillerRuns == 1 ? "" : "s");
}

// Walks the whole image and writes out the last record, then shows the completion line, unless
// the mapped input was cut short meanwhile. Returns false when a step stopped the walk, an
// exception escaped from it, or the input was cut short.
bool Walk(WalkContext& walk, const InputImage& image, RunReport& report) {
  try {
    const bool completed = WalkWholeInput(walk) == 0;
    WriteOutLastRecord(walk);
    ReportFiller(walk);
    if (image.CutShort()) {
      std::fflush(stdout);
      ReportInputCutShort();
      report.End = RunEnd::kCutShort;
      return false;
    }
    SayChrome("100% completed\n\n");
    report.End = completed ? RunEnd::kCompleted : RunEnd::kStopped;
    report.StopOffset = walk.Input.Position();
    return completed;
  } catch (...) {
    Say("Something is wrong, exception has been thrown. Please contact Author.\n");
    report.End = RunEnd::kFailed;
    return false;
  }
}

// ---- Standard streams (quiet mode) ----------------------------------------------------------

bool IsStandardStream(const RunSettings& settings, const std::string& name) {
  return settings.Quiet && name == kStandardStream;
}

// True for an input that is read to its end rather than mapped: standard input that is not a
// regular file, or a pipe, in quiet mode.
bool IsStreamInput(const RunSettings& settings, std::FILE* input) {
  if (!settings.Quiet) return false;
  struct stat info;
  if (fstat(fileno(input), &info) != 0) return false;
  if (input == stdin) return !S_ISREG(info.st_mode);
  return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
}

std::FILE* OpenInput(const RunSettings& settings) {
  if (IsStandardStream(settings, settings.InputFileName)) return stdin;
  return OpenForReading(settings.InputFileName);
}

std::FILE* OpenOutput(const RunSettings& settings) {
  if (IsStandardStream(settings, settings.OutputFileName)) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return stdout;
  }
  return std::fopen(settings.OutputFileName.c_str(), "wb");
}

// ---- The files of the user's that the output must not be ------------------------------------

// The main configuration file read once early and silently, for what must be known before the
// output is created: the filter file in force (its last FilterFile line, else -f), the output
// format and the CSV columns. Its messages and failures come when it is read at its turn.
RunSettings ReadMainConfigEarly(const RunSettings& settings) {
  RunSettings early = settings;
  const ConsoleMuted muted;
  ReadMainConfig(early);
  return early;
}

bool IsUserFile(const std::string& output, const std::string& name) {
  return !name.empty() && (output == name || SameFile(output, name));
}

// False, after its message, when the output would overwrite the main configuration file, the
// dictionary or the filter file in force.
bool OutputSparesUserFiles(const RunSettings& settings, const std::string& filterFile) {
  if (IsStandardStream(settings, settings.OutputFileName)) return true;
  const std::string& output = settings.OutputFileName;
  const char* same = nullptr;
  if (IsUserFile(output, settings.ConfigFileName)) {
    same = "configuration file";
  } else if (IsUserFile(output, settings.TagsFileName)) {
    same = "dictionary file";
  } else if (IsUserFile(output, filterFile)) {
    same = "filter file";
  }
  if (same == nullptr) return true;
  SayOnErrorStream(std::string("Error: output file is the same as ") + same + "\n");
  return false;
}

// ---- The output format ------------------------------------------------------------------------

// The output format: OutputFormat in the main configuration file (read early), else -x, else
// the readable text. False, after its message on standard error, for an unknown name, or a record
// format together with debug mode.
bool ChooseOutputFormat(RunSettings& settings, const RunSettings& early, OutputFormat& format) {
  if (early.OutputFormatFromConfig) settings.OutputFormatName = early.OutputFormatName;
  settings.Columns = early.Columns;
  const std::string& name = settings.OutputFormatName;
  if (name.empty() || name == "text") {
    format = OutputFormat::kText;
    return true;
  }
  if (name == "jsonl") {
    format = OutputFormat::kJsonLines;
  } else if (name == "csv") {
    format = OutputFormat::kCsv;
  } else {
    SayOnErrorStream("Error: unknown output format \"" + name + "\" (" +
                     (early.OutputFormatFromConfig ? "OutputFormat in " + settings.ConfigFileName : std::string("-x")) +
                     "): use text, jsonl or csv\n");
    return false;
  }
  if (settings.DebugMode || early.DebugMode) {
    SayOnErrorStream("Error: debug mode writes the debug dump, not " + name + ": leave out -d (or DebugMode=true) or the " + name + " format\n");
    return false;
  }
  return true;
}

// The CSV columns of the dictionary, chosen by Columns. False, after its message on standard
// error, when Columns names one that is not a column.
bool ChooseColumns(const RunSettings& settings, TBranch& root, CsvLayout& layout) {
  layout = MakeCsvLayout(root);
  std::string unknown;
  if (ChooseCsvColumns(layout, settings.Columns, unknown)) return true;
  SayOnErrorStream("Error: Columns in " + settings.ConfigFileName + " names \"" + unknown +
                   "\", which is not a CSV column of the dictionary\n");
  return false;
}

// Checks the names of Columns before the output is created, on the dictionary read silently.
bool ColumnsAreKnown(const RunSettings& settings) {
  if (settings.Columns.empty()) return true;
  auto root = std::make_unique<TBranch>(nullptr);
  {
    const ConsoleMuted muted;
    if (ReadTagsConfig(*root, settings.TagsFileName) != 0) return true;  // its message comes at its turn
  }
  CsvLayout layout;
  return ChooseColumns(settings, *root, layout);
}

// ---- The run ----------------------------------------------------------------------------------

// Reads the command line; false, after the usage text or the message, when the run cannot start.
// `early` is the main configuration file read early.
bool ReadCommandLine(int argc, const char* const* argv, RunSettings& settings, RunSettings& early,
                     OutputFormat& format) {
  CommandLineFaults faults;
  const int parsed = ParseCommandLine(argc, argv, settings, &faults);
  SetQuiet(settings.Quiet);
  PrintBanner();
  if (parsed != 0 || settings.InputFileName.empty()) {
    PrintUsage();
    return false;
  }
  if (faults.LongValue != '\0') {
    PrintLongValue(faults.LongValue);
    return false;
  }
  early = ReadMainConfigEarly(settings);
  if (!ChooseOutputFormat(settings, early, format)) return false;
  if (settings.OutputFileName.empty()) {
    if (IsStandardStream(settings, settings.InputFileName)) {
      SayOnErrorStream("Error: standard input has no output file name: name one with -o (-o - for standard output)\n");
      return false;
    }
    settings.OutputFileName = settings.InputFileName + (format == OutputFormat::kJsonLines ? ".jsonl"
                                                        : format == OutputFormat::kCsv     ? ".csv"
                                                                                           : ".prs");
  }
  return true;
}

// Brings the input into memory: read to its end when it is a stream, otherwise its length checked
// now and the file mapped or read later (`streamed` tells which).
bool TakeInputSize(const RunSettings& settings, std::FILE* input, InputImage& image, bool& streamed,
                   uint64_t& inputSize) {
  streamed = IsStreamInput(settings, input);
  if (streamed) {
    const StreamRead read = ReadStreamImage(input, kMaxInputSize, image);
    if (read == StreamRead::kTooLarge) {
      SayOnErrorStream("Error: input file is too large: files of 4 GiB or more are not supported\n");
    }
    return read == StreamRead::kRead;
  }
  if (!FileLength(input, inputSize) || !IsConvertibleInput(input, inputSize)) {
    PrintErrorForm("Error: can not read input file");
    return false;
  }
  if (inputSize > kMaxInputSize) {
    SayOnErrorStream("Error: input file is too large: files of 4 GiB or more are not supported\n");
    return false;
  }
  return true;
}

// Hands every text to the output and closes it; false, after the message, when a write failed.
bool FinishOutputFile(WalkContext& walk, FilePtr& output) {
  const int writeError = FinishOutput(walk);
  // A failed write (a full disk, say) must not pass for a finished conversion.
  bool written = writeError == 0 && std::ferror(output.get()) == 0;
  bool closed = true;
  if (output.get() == stdout) {
    written = written && std::fflush(stdout) == 0;
    output.release();
  } else {
    closed = std::fclose(output.release()) == 0;
  }
  if (writeError != 0) errno = writeError;
  if (!written || !closed) {
    PrintErrorForm("Error: can not write output file");
    return false;
  }
  return true;
}

int Run(RunSettings& settings, int argc, const char* const* argv, RunReport& report) {
  OutputFormat format = OutputFormat::kText;
  RunSettings early;
  if (!ReadCommandLine(argc, argv, settings, early, format)) return -1;
  report.Format = format;

  FilePtr input(OpenInput(settings));
  if (!input) {
    PrintErrorForm("Error: can not open input file");
    return -1;
  }
  if (input.get() != stdin && !IsStandardStream(settings, settings.OutputFileName) &&
      SameFile(settings.InputFileName, settings.OutputFileName)) {
    SayOnErrorStream("Error: output file is the same as input file\n");
    return -1;
  }
  InputImage image;
  bool streamed = false;
  uint64_t inputSize = 0;
  if (!TakeInputSize(settings, input.get(), image, streamed, inputSize)) return -1;
  if (!OutputSparesUserFiles(settings, early.FilterFileName)) return -1;
  if (format == OutputFormat::kCsv && !ColumnsAreKnown(settings)) return -1;
  FilePtr output(OpenOutput(settings));
  if (!output) {
    PrintErrorForm("Error: can not open output file");
    return -1;
  }
  // The walk hands the output over in large blocks of its own: the stream need not buffer them.
  std::setvbuf(output.get(), nullptr, _IONBF, 0);

  if (ReadMainConfig(settings) != 0) {
    Say("Error when reading ConfigFile. Exiting...");
    return -1;
  }
  FixUpRange(settings);

  auto root = std::make_unique<TBranch>(nullptr);
  if (ReadTagsConfig(*root, settings.TagsFileName) != 0) {
    Say("Error when reading TagsConfigFile. Exiting...");
    return -1;
  }
  uint32_t filterCount = 0;
  if (!settings.FilterFileName.empty()) ReadFilterFile(settings, *root, filterCount);
  CsvLayout layout;
  if (format == OutputFormat::kCsv && !ChooseColumns(settings, *root, layout)) return -1;

  if (!streamed && !LoadInputImage(input.get(), inputSize, image)) return -1;
  input.reset();
  const InputFaultGuard faultGuard(image);
  if (gInputLoadedHook != nullptr) gInputLoadedHook(settings.InputFileName);

  WalkSettings walkSettings;
  walkSettings.Format = format;
  walkSettings.DebugMode = settings.DebugMode;
  walkSettings.RangeActive = settings.RangeActive;
  walkSettings.StartRec = static_cast<uint32_t>(settings.StartRec);
  walkSettings.EndRec = static_cast<uint32_t>(settings.EndRec);
  walkSettings.FilterCount = filterCount;
  walkSettings.SkipFiller = settings.SkipFiller;
  walkSettings.Resync = settings.Resync;
  auto walk = std::make_unique<WalkContext>(walkSettings, image.Bytes(), image.Size, *root,
                                            output.get());
  if (format == OutputFormat::kCsv) walk->Csv = &layout;
  const bool completed = Walk(*walk, image, report);
  report.RecordsRead = walk->State.RecordCount;
  report.Counts = walk->Counts;
  if (!FinishOutputFile(*walk, output)) {
    report.End = RunEnd::kFailed;
    return -1;
  }
  return completed ? 0 : -1;
}

// ---- The summary (quiet mode) and the status ------------------------------------------------

bool HadProblems(const RunReport& report) {
  if (report.Counts.TagsNotFound != 0 || report.Counts.RefusedPieces != 0 || report.Counts.Damages != 0 ||
      report.Counts.PastHolder != 0) {
    return true;
  }
  for (int problem = 0; problem < static_cast<int>(Problem::kCount); ++problem) {
    if (ProblemCount(static_cast<Problem>(problem)) != 0) return true;
  }
  return false;
}

// The summary line, on standard error:
// orvalis: IN: R records read, W written, T tags not found, P refused pieces, D bad dictionary
// lines, C bad configuration lines, F bad filter lines, L files with bare line feeds, U filter
// files not read, [G damages, first at offset O, ][N values not in the CSV, ][E elements past
// their holder, ]END (the damages with Resync only, the values in CSV only, the elements when E
// is not 0)
void PrintSummary(const RunSettings& settings, const RunReport& report) {
  const WalkCounts& counts = report.Counts;
  const uint32_t written = report.RecordsRead - counts.RecordsOutOfRange - counts.RecordsFilteredOut;
  std::string end;
  char text[160];
  switch (report.End) {
    case RunEnd::kNotStarted: end = "not started"; break;
    case RunEnd::kFailed: end = "failed"; break;
    case RunEnd::kCutShort: end = "input cut short"; break;
    case RunEnd::kCompleted: end = HadProblems(report) ? "completed with problems" : "completed"; break;
    case RunEnd::kStopped: {
      const uint32_t lastComplete =
          counts.RecordsCompleted < report.RecordsRead ? counts.RecordsCompleted : report.RecordsRead;
      std::snprintf(text, sizeof text, "stopped at offset %" PRIu64 ", last complete record %" PRIu32,
                    report.StopOffset, lastComplete);
      end = text;
      break;
    }
  }
  std::string line = "orvalis: ";
  line += settings.InputFileName.empty() ? "(no input)" : settings.InputFileName;
  std::snprintf(text, sizeof text,
                ": %" PRIu32 " records read, %" PRIu32 " written, %" PRIu64 " tags not found, %" PRIu64
                " refused pieces, ",
                report.RecordsRead, written, counts.TagsNotFound, counts.RefusedPieces);
  line += text;
  std::snprintf(text, sizeof text,
                "%" PRIu64 " bad dictionary lines, %" PRIu64 " bad configuration lines, %" PRIu64
                " bad filter lines, %" PRIu64 " files with bare line feeds, %" PRIu64 " filter files not read, ",
                ProblemCount(Problem::kBadDictionaryLine), ProblemCount(Problem::kBadConfigLine),
                ProblemCount(Problem::kBadFilterLine), ProblemCount(Problem::kBareLineFeeds),
                ProblemCount(Problem::kFilterNotRead));
  line += text;
  if (settings.Resync) {
    std::snprintf(text, sizeof text, "%" PRIu64 " damages, ", counts.Damages);
    line += text;
    if (counts.Damages != 0) {
      std::snprintf(text, sizeof text, "first at offset %" PRIu64 ", ", counts.FirstDamageAt);
      line += text;
    }
  }
  if (report.Format == OutputFormat::kCsv) {
    std::snprintf(text, sizeof text, "%" PRIu64 " values not in the CSV, ", counts.ValuesNotInCsv);
    line += text;
  }
  if (counts.PastHolder != 0) {
    std::snprintf(text, sizeof text, "%" PRIu64 " elements past their holder, ", counts.PastHolder);
    line += text;
  }
  line += end;
  line += '\n';
  std::fflush(stdout);
  SayOnErrorStream(line);
}

// The strict status: a run that completed with problems ends with status 1; so does a run that
// went on after damage (Resync) to the input's end.
constexpr int kCompletedWithProblems = 1;

}  // namespace

void SetInputLoadedHook(void (*hook)(const std::string& inputName)) { gInputLoadedHook = hook; }

int RunOrvalis(int argc, const char* const* argv) {
  RunSettings settings;
  RunReport report;
  int status = -1;
  try {
    status = Run(settings, argc, argv, report);
  } catch (const std::bad_alloc&) {
    // What the run needs beside the input (the walk's buffers, the dictionary's filter texts) was
    // not to be had: an honest end instead of an abort.
    errno = ENOMEM;
    PrintErrorForm("Error: memory allocation fault");
    report.End = RunEnd::kFailed;
  }
  if (status == 0 && settings.Strict && HadProblems(report)) status = kCompletedWithProblems;
  if (status == 0 && report.Counts.Damages != 0) status = kCompletedWithProblems;
  if (settings.Quiet) PrintSummary(settings, report);
  std::fflush(stdout);
  std::fflush(stderr);
  return status;
}

}  // namespace orvalis
