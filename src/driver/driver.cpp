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
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "common/console.h"
#include "common/text_file.h"
#include "driver/command_line.h"
#include "driver/config_files.h"
#include "driver/input_image.h"
#include "driver/output_file.h"
#include "driver/run_settings.h"
#include "driver/whole_walk.h"
#include "decode/writers/csv_writer.h"
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
enum class RunEnd { kNotStarted, kCompleted, kStopped, kCutShort, kGrew, kFailed };

struct RunReport {
  RunEnd End = RunEnd::kNotStarted;
  uint32_t RecordsRead = 0;
  WalkCounts Counts;
  uint64_t StopOffset = 0;  // where a stopped walk stood
  OutputFormat Format = OutputFormat::kText;
};

// What the ending after a fault in reading a mapped input needs, set while the walk goes on. The
// ending runs in the signal handler (EndAfterInputFault, below).
struct FaultEnding {
  const RunSettings* Settings = nullptr;
  const WalkContext* Walk = nullptr;
  const OutputFile* Output = nullptr;
  OutputFormat Format = OutputFormat::kText;
};
FaultEnding gFaultEnding;
void EndAfterInputFault();

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

// The octets an input file (`input`, null for a stream read to its end) holds now beyond those
// of its image, taken when the run began.
uint64_t InputGrowth(std::FILE* input, const InputImage& image) {
  uint64_t length = 0;
  if (input == nullptr || !FileLength(input, length) || length <= image.Size) return 0;
  return length - image.Size;
}

// Walks the whole image and writes out the last record, then shows the completion line, unless
// the input file (`input`, null for a stream) was cut short or grew meanwhile. Returns false when
// a step stopped the walk, an exception escaped from it, or the input was cut short or grew.
bool Walk(WalkContext& walk, const CsvLayout* columns, const InputImage& image, std::FILE* input,
          const std::string& inputName, RunReport& report) {
  try {
    if (gInputLoadedHook != nullptr) gInputLoadedHook(inputName);
    const bool completed = WalkWholeInput(walk, nullptr, columns) == 0;
    WriteOutLastRecord(walk);
    ReportFiller(walk);
    if (image.CutShort()) {
      std::fflush(stdout);
      ReportInputCutShort();
      report.End = RunEnd::kCutShort;
      return false;
    }
    if (const uint64_t grown = InputGrowth(input, image)) {
      std::fflush(stdout);
      char text[160];
      std::snprintf(text, sizeof text,
                    "Error: input file grew by %" PRIu64 " octets while it was being converted; they were not converted\n",
                    grown);
      SayOnErrorStream(text);
      report.End = RunEnd::kGrew;
      return false;
    }
    SayChrome("100% completed\n\n");
    report.End = completed ? RunEnd::kCompleted : RunEnd::kStopped;
    report.StopOffset = walk.Input.Position();
    return completed;
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    PrintErrorForm("Error: memory allocation fault");
    report.End = RunEnd::kFailed;
    return false;
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
#ifdef S_ISSOCK
  if (S_ISSOCK(info.st_mode)) return true;
#endif
  return S_ISFIFO(info.st_mode);
}

std::FILE* OpenInput(const RunSettings& settings) {
  if (IsStandardStream(settings, settings.InputFileName)) return stdin;
  return OpenForReading(settings.InputFileName);
}

bool OpenOutput(const RunSettings& settings, OutputFile& output) {
  if (!IsStandardStream(settings, settings.OutputFileName)) return output.Open(settings.OutputFileName);
  output.OpenStandardOutput();
  return true;
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

// False, after its message, when the output would overwrite the input.
bool OutputSparesInput(const RunSettings& settings, std::FILE* input) {
  if (IsStandardStream(settings, settings.OutputFileName)) return true;
  const bool same = input == stdin ? IsStandardInputFile(settings.OutputFileName)
                                   : SameFile(settings.InputFileName, settings.OutputFileName);
  if (same) SayOnErrorStream("Error: output file is the same as input file\n");
  return !same;
}

// False, after its message, when the output would overwrite the main configuration file, the
// dictionary, the filter file in force or the one -f names.
bool OutputSparesUserFiles(const RunSettings& settings, const std::string& filterFile) {
  if (IsStandardStream(settings, settings.OutputFileName)) return true;
  const std::string& output = settings.OutputFileName;
  const char* same = nullptr;
  if (IsUserFile(output, settings.ConfigFileName)) {
    same = "configuration file";
  } else if (IsUserFile(output, settings.TagsFileName)) {
    same = "dictionary file";
  } else if (IsUserFile(output, filterFile) || IsUserFile(output, settings.FilterFileName)) {
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

// Hands every text to the output and closes it, then gives it its name when the walk has run
// (`walkRan`), or leaves the earlier output when it has not; false, after the message, when a
// write failed.
bool FinishOutputFile(WalkContext& walk, OutputFile& output, bool walkRan) {
  const int writeError = FinishOutput(walk);
  // A failed write (a full disk, say) must not pass for a finished conversion.
  const bool written = writeError == 0 && std::ferror(output.Stream()) == 0;
  const bool closed = output.Close();
  if (writeError != 0) errno = writeError;
  if (!written || !closed || (walkRan && !output.Commit())) {
    PrintErrorForm("Error: can not write output file");
    output.Discard();
    return false;
  }
  if (!walkRan) output.Discard();
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
  if (!OutputSparesInput(settings, input.get())) return -1;
  InputImage image;
  bool streamed = false;
  uint64_t inputSize = 0;
  if (!TakeInputSize(settings, input.get(), image, streamed, inputSize)) return -1;
  if (!OutputSparesUserFiles(settings, early.FilterFileName)) return -1;
  if (format == OutputFormat::kCsv && !ColumnsAreKnown(settings)) return -1;
  OutputFile output;
  if (!OpenOutput(settings, output)) {
    PrintErrorForm("Error: can not open output file");
    return -1;
  }
  // The walk hands the output over in large blocks of its own: the stream need not buffer them.
  std::setvbuf(output.Stream(), nullptr, _IONBF, 0);

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
  const InputFaultGuard faultGuard(image, EndAfterInputFault);

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
                                            output.Stream());
  gFaultEnding = {&settings, walk.get(), &output, format};
  const bool completed = Walk(*walk, format == OutputFormat::kCsv ? &layout : nullptr, image,
                              streamed ? nullptr : input.get(), settings.InputFileName, report);
  gFaultEnding = {};
  input.reset();
  report.RecordsRead = walk->State.RecordCount;
  report.Counts = walk->Counts;
  if (!FinishOutputFile(*walk, output, report.End != RunEnd::kFailed)) {
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

// A line built in place, without memory of its own nor the C library's formatting: the summary
// line is also written from the handler of an input fault, where neither may be used.
class FixedLine {
 public:
  void Add(const char* text) {
    while (*text != '\0' && size_ < sizeof text_) text_[size_++] = *text++;
  }
  void AddNumber(uint64_t number) {
    char digits[20];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number != 0);
    while (count > 0 && size_ < sizeof text_) text_[size_++] = digits[--count];
  }
  const char* Text() const { return text_; }
  std::size_t Size() const { return size_; }

 private:
  char text_[1024];
  std::size_t size_ = 0;
};

// The summary line:
// orvalis: IN: R records read, W written, T tags not found, P refused pieces, D bad dictionary
// lines, C bad configuration lines, F bad filter lines, L files with bare line feeds, U filter
// files not read, [G damages, first at offset O, ][N values not in the CSV, ][E elements past
// their holder, ]END (the damages with Resync only, the values in CSV only, the elements when E
// is not 0)
void FormatSummary(const RunSettings& settings, const RunReport& report, FixedLine& line) {
  const WalkCounts& counts = report.Counts;
  line.Add("orvalis: ");
  line.Add(settings.InputFileName.empty() ? "(no input)" : settings.InputFileName.c_str());
  line.Add(": ");
  line.AddNumber(report.RecordsRead);
  line.Add(" records read, ");
  line.AddNumber(report.RecordsRead - counts.RecordsOutOfRange - counts.RecordsFilteredOut);
  line.Add(" written, ");
  line.AddNumber(counts.TagsNotFound);
  line.Add(" tags not found, ");
  line.AddNumber(counts.RefusedPieces);
  line.Add(" refused pieces, ");
  line.AddNumber(ProblemCount(Problem::kBadDictionaryLine));
  line.Add(" bad dictionary lines, ");
  line.AddNumber(ProblemCount(Problem::kBadConfigLine));
  line.Add(" bad configuration lines, ");
  line.AddNumber(ProblemCount(Problem::kBadFilterLine));
  line.Add(" bad filter lines, ");
  line.AddNumber(ProblemCount(Problem::kBareLineFeeds));
  line.Add(" files with bare line feeds, ");
  line.AddNumber(ProblemCount(Problem::kFilterNotRead));
  line.Add(" filter files not read, ");
  if (settings.Resync) {
    line.AddNumber(counts.Damages);
    line.Add(" damages, ");
    if (counts.Damages != 0) {
      line.Add("first at offset ");
      line.AddNumber(counts.FirstDamageAt);
      line.Add(", ");
    }
  }
  if (report.Format == OutputFormat::kCsv) {
    line.AddNumber(counts.ValuesNotInCsv);
    line.Add(" values not in the CSV, ");
  }
  if (counts.PastHolder != 0) {
    line.AddNumber(counts.PastHolder);
    line.Add(" elements past their holder, ");
  }
  switch (report.End) {
    case RunEnd::kNotStarted: line.Add("not started"); break;
    case RunEnd::kFailed: line.Add("failed"); break;
    case RunEnd::kCutShort: line.Add("input cut short"); break;
    case RunEnd::kGrew: line.Add("input grew"); break;
    case RunEnd::kCompleted: line.Add(HadProblems(report) ? "completed with problems" : "completed"); break;
    case RunEnd::kStopped:
      line.Add("stopped at offset ");
      line.AddNumber(report.StopOffset);
      line.Add(", last complete record ");
      line.AddNumber(counts.RecordsCompleted < report.RecordsRead ? counts.RecordsCompleted : report.RecordsRead);
      break;
  }
  line.Add("\n");
}

// The summary line of quiet mode, on standard error.
void PrintSummary(const RunSettings& settings, const RunReport& report) {
  FixedLine line;
  FormatSummary(settings, report, line);
  std::fflush(stdout);
  SayOnErrorStream(std::string_view(line.Text(), line.Size()));
}

// After a fault in reading a mapped input, in the signal handler (after the cut-short message):
// the output takes its name, as when a shortened input is found at the end of the walk, and the
// summary line of quiet mode follows with the counts that the walk had reached.
void EndAfterInputFault() {
  const FaultEnding& ending = gFaultEnding;
  if (ending.Output != nullptr) ending.Output->CommitFromSignalHandler();
#ifndef _WIN32
  if (ending.Settings == nullptr || !ending.Settings->Quiet || ending.Walk == nullptr) return;
  RunReport report;
  report.End = RunEnd::kCutShort;
  report.Format = ending.Format;
  report.RecordsRead = ending.Walk->State.RecordCount;
  report.Counts = ending.Walk->Counts;
  FixedLine line;
  FormatSummary(*ending.Settings, report, line);
  const ssize_t written = write(STDERR_FILENO, line.Text(), line.Size());
  (void)written;
#endif
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
