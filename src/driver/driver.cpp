// The run from the command line to the exit status: -g, one input or a list, manifest, summary.
#include "driver/driver.h"

#include <sys/stat.h>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "common/text_file.h"
#include "decode/writers/json_lines_writer.h"
#include "decode/writers/table_definition.h"
#include "driver/command_line.h"
#include "driver/config_files.h"
#include "driver/run_parts.h"
#include "driver/whole_walk.h"
#include "tags/tags_reader.h"

namespace orvalis {
namespace {

// A non-zero StartRec or EndRec makes a record range; an EndRec of 0 in a range means no upper
// bound.
void FixUpRange(RunSettings& settings) {
  if (settings.StartRec != 0 || settings.EndRec != 0) {
    settings.RangeActive = true;
    if (settings.EndRec == 0) settings.EndRec = -1;  // all ones: no upper bound
  }
}

// Takes the room that a text file's held messages may need, before the file is read: the message
// that memory ran out comes while what the file built holds all there was, and must need no more.
void MakeRoomToHold(HeldMessages& held) {
  held.Text.reserve(HeldMessages::kInMemory);
  held.Pieces.reserve(8);  // a piece for each change of stream: a file says a few at most
}

// The dictionary at its turn: the one read early, its messages shown now.
bool TakeDictionary(Conversion& run) {
  EarlyFiles& early = run.Early;
  ShowHeld(early.TagsSaid);
  run.Root = std::move(early.Root);
  if (!early.TagsRead) Say("Error when reading TagsConfigFile. Exiting...");
  return early.TagsRead;
}

}  // namespace

// ---- The text files read before their turn ------------------------------------------------------

void ReadMainConfigEarly(const RunSettings& settings, EarlyFiles& early) {
  early.Configured = settings;
  const ConsoleToHeld hold(early.ConfigSaid);
  early.ConfigRead = ReadMainConfig(early.Configured) == 0;
}

// Reads the dictionary and the filter file early, each where it would be read at its turn: the
// dictionary once the main configuration file was read (for CSV, whose columns are made before the
// output is opened, in any case), the filter file once both were.
void ReadTextFilesEarly(const RunSettings& settings, Conversion& run) {
  EarlyFiles& early = run.Early;
  if (!early.ConfigRead && !run.Format->HasColumns) return;
  early.Root = NewDictionary();
  MakeRoomToHold(early.TagsSaid);
  {
    const ConsoleToHeld hold(early.TagsSaid);
    early.TagsRead = ReadTagsConfig(*early.Root, settings.TagsFileName) == 0;
  }
  if (!early.TagsRead) early.Root.reset();  // what was built gives its memory back (it may be all there was)
  if (!early.ConfigRead || !early.TagsRead || early.Configured.FilterFileName.empty()) return;
  MakeRoomToHold(early.FilterSaid);
  const ConsoleToHeld hold(early.FilterSaid);
  ReadFilterFile(early.Configured, *early.Root, early.FilterCount);
}

// ---- The output format ------------------------------------------------------------------------

// The output format: OutputFormat in the main configuration file, else -x, else the readable
// text; in debug mode (-d or DebugMode) the debug dump. Null, after its message on standard error,
// for an unknown name, or a format that debug mode cannot write.
const OutputFormatRow* ChooseOutputFormat(const RunSettings& configured) {
  const std::string& name = configured.OutputFormatName;
  const OutputFormatRow* format = FindOutputFormat(name);
  if (format == nullptr) {
    SayOnErrorStream("Error: unknown output format \"" + ConsoleName(name) + "\" (" +
                     (configured.OutputFormatFromConfig ? "OutputFormat in " + ConsoleName(configured.ConfigFileName)
                                                        : std::string("-x")) +
                     "): use " + OutputFormatNames() + "\n");
    return nullptr;
  }
  if (!configured.DebugMode) return format;
  const OutputFormatRow* dump = InDebugMode(*format);
  if (dump == nullptr) {
    SayOnErrorStream("Error: debug mode writes the debug dump, not " + name + ": leave out -d (or DebugMode=true) or the " + name + " format\n");
  }
  return dump;
}

// The CSV columns of the dictionary, named as ColumnNames says and chosen by Columns. False, after
// its message on standard error, when the dictionary's columns cannot be loaded as they are or
// Columns names one that is not a column.
bool ChooseColumns(const RunSettings& settings, const TBranch& root, CsvLayout& layout) {
  std::string problem;
  if (!MakeCsvLayout(root, settings.SqlColumnNames, layout, problem, settings.SourceColumn)) {
    SayOnErrorStream("Error: " + problem + " (" + ConsoleName(settings.TagsFileName) + ")\n");
    return false;
  }
  layout.InertFormulas = settings.InertFormulas;
  std::string unknown;
  if (ChooseCsvColumns(layout, settings.Columns, unknown)) return true;
  SayOnErrorStream("Error: Columns in " + ConsoleName(settings.ConfigFileName) + " names \"" + ConsoleName(unknown) +
                   "\", which is not a CSV column of the dictionary\n");
  return false;
}

// Makes the CSV columns, or checks the JSON Lines keys, before the output is created, from the
// dictionary read early (its messages held for its turn). False, after the message, when they
// cannot be made or two keys of one object would be one.
bool ColumnsAreSound(Conversion& run) {
  EarlyFiles& early = run.Early;
  if (!early.TagsRead) return true;  // its failure comes at its turn
  if (std::string_view(run.Format->Name) == "jsonl") {
    std::string problem;
    if (JsonKeysAreSound(*early.Root, problem)) return true;
    SayOnErrorStream("Error: " + problem + " (" + ConsoleName(early.Configured.TagsFileName) + ")\n");
    return false;
  }
  if (!run.Format->HasColumns) return true;
  run.Layout = std::make_shared<CsvLayout>();
  return ChooseColumns(run.Early.Configured, *early.Root, *run.Layout);
}

// The text files at their turn, once the output is open: the main configuration file's messages
// and settings, the dictionary's, the filter file's and the CSV columns. False, after the message,
// when the run cannot go on.
bool TakeTextFiles(RunSettings& settings, Conversion& run) {
  EarlyFiles& early = run.Early;
  ShowHeld(early.ConfigSaid);
  early.Configured.OutputFileName = settings.OutputFileName;
  settings = std::move(early.Configured);
  if (!early.ConfigRead) {
    Say("Error when reading ConfigFile. Exiting...");
    return false;
  }
  FixUpRange(settings);
  if (!TakeDictionary(run)) return false;
  if (!settings.FilterFileName.empty()) {
    ShowHeld(early.FilterSaid);
    run.FilterCount = early.FilterCount;
  }
  if (!run.Format->HasColumns || run.Layout != nullptr) return true;
  run.Layout = std::make_shared<CsvLayout>();
  return ChooseColumns(settings, *run.Root, *run.Layout);
}

namespace {

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
// the input file (`input`, null for a stream or a compressed file) was cut short or grew
// meanwhile, or its compressed octets ended before their end (`inflated`). Returns false when a
// step stopped the walk, an exception escaped from it, or the input was cut short, grew or was
// not inflated whole.
bool Walk(WalkContext& walk, const OutputFormatRow& format, std::shared_ptr<const CsvLayout> columns,
          const InputImage& image, std::FILE* input, const InflateReport& inflated, const RunSettings& settings,
          RunReport& report) {
  try {
    if (gInputLoadedHook != nullptr) gInputLoadedHook(settings.InputFileName);
    const bool completed = WalkWholeInput(walk, format, nullptr, std::move(columns)) == 0;
    WriteOutLastRecord(walk);
    ReportFiller(walk);
    if (inflated.Fault != InflateFault::kNone) {
      std::fflush(stdout);
      SayOnErrorStream(InflateFaultMessage(InputTitle(settings), inflated, image.Size, ConsoleName(settings.ConfigFileName)));
      report.End = RunEnd::kNotInflated;
      report.Inflate = inflated.Fault;
      return false;
    }
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

// Hands every text to the output and closes it, then gives it its name when the walk has run
// (`walkRan`), or leaves the earlier output when it has not; false, after the message, when a
// write failed.
bool FinishOutputFile(WalkContext& walk, OutputFile& output, bool walkRan) {
  const int writeError = HandOverText(walk, output);
  const bool closed = output.Close();
  if (writeError != 0) errno = writeError;
  if (writeError != 0 || !closed || (walkRan && !output.Commit())) {
    PrintErrorForm("Error: can not write output file");
    output.Discard();
    return false;
  }
  if (!walkRan) output.Discard();
  return true;
}

// ---- Standard streams (quiet mode) ----------------------------------------------------------

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

// Takes the compression that the input's first octets (`head`) show. False, after the message,
// for one that is not read.
bool TakeCompression(const RunSettings& settings, const uint8_t* head, std::size_t size, Conversion& run) {
  run.In->Compressed = CompressionOf(head, size);
  if (run.In->Compressed == Compression::kNone || run.In->Compressed == Compression::kGzip) return true;
  const std::string name = CompressionName(run.In->Compressed);
  SayOnErrorStream("Error: " + InputTitle(settings) + " is compressed with " + name +
                   ", which is not read: decompress it first (" + name + " -d)\n");
  return false;
}

}  // namespace

// The input's name in messages.
std::string InputTitle(const RunSettings& settings) {
  return IsStandardStream(settings, settings.InputFileName) ? "standard input" : ConsoleName(settings.InputFileName);
}

// Hands every text of the walk to the output. Returns 0 when all of it was written, else the
// failed write's error (EIO when only the stream noted the failure). A failed write (a full
// disk, say) must not pass for a finished conversion.
int HandOverText(WalkContext& walk, OutputFile& output) {
  const int writeError = FinishOutput(walk);
  if (writeError != 0) return writeError;
  return std::ferror(output.Stream()) != 0 ? EIO : 0;
}

// Takes the input's size: read to its end when it is a stream, otherwise its length checked now
// and the file mapped or read later (inflated, when it is compressed).
bool TakeInputSize(const RunSettings& settings, Conversion& run) {
  run.In->Streamed = IsStreamInput(settings, run.In->Input.get());
  uint8_t head[kMagicSize];
  if (run.In->Streamed) {
    const std::size_t headSize = std::fread(head, 1, sizeof head, run.In->Input.get());
    if (!TakeCompression(settings, head, headSize, run)) return false;
    if (run.In->Compressed == Compression::kGzip) {
      return InflateInput(run.In->Input.get(), head, headSize, 0, run.GzipMaxContents, run.In->Image, run.In->Inflated,
                          CompressedSide{0, run.GzipMaxRatio});
    }
    const StreamRead read = ReadStreamImage(run.In->Input.get(), head, headSize, kMaxInputSize, run.In->Image);
    if (read == StreamRead::kTooLarge) {
      SayOnErrorStream("Error: input file is too large: files of 4 GiB or more are not supported\n");
    }
    return read == StreamRead::kRead;
  }
  if (!FileLength(run.In->Input.get(), run.In->InputSize) || !IsConvertibleInput(run.In->Input.get(), run.In->InputSize)) {
    PrintErrorForm("Error: can not read input file");
    return false;
  }
  if (run.In->InputSize > kMaxInputSize) {
    SayOnErrorStream("Error: input file is too large: files of 4 GiB or more are not supported\n");
    return false;
  }
  if (run.In->InputSize == 0) return true;  // nothing to look at (and a pipe named is not waited for)
  const std::size_t headSize = std::fread(head, 1, sizeof head, run.In->Input.get());
  std::rewind(run.In->Input.get());
  if (!TakeCompression(settings, head, headSize, run)) return false;
  if (run.In->Compressed == Compression::kGzip) run.In->SizeHint = GzipSizeHint(run.In->Input.get(), run.In->InputSize);
  return true;
}

// Brings a file input into memory: mapped or read, or inflated when it is compressed.
bool LoadInput(Conversion& run) {
  if (run.In->Compressed == Compression::kGzip) {
    return InflateInput(run.In->Input.get(), nullptr, 0, run.In->SizeHint, run.GzipMaxContents, run.In->Image,
                        run.In->Inflated, CompressedSide{run.In->InputSize, run.GzipMaxRatio});
  }
  return LoadInputImage(run.In->Input.get(), run.In->InputSize, run.In->Image);
}

// False, after the message that the input's length or nature gives, for a named input that is
// not opened: a named pipe where pipes are not read (`readsPipes`: -i in quiet mode; never on a
// list's line, which would wait for its writer and hold up the inputs after it), whose opening
// would wait for a program to write into it; a device or a socket, which is no billing file.
bool InputMayBeOpened(const std::string& name, bool readsPipes) {
  const FileKind kind = KindOfNamedFile(name);
  if (kind == FileKind::kPipe && !readsPipes) {
    errno = ESPIPE;  // as the pipe's length, which cannot be taken
  } else if (kind == FileKind::kOther) {
    errno = EINVAL;
  } else {
    return true;
  }
  PrintErrorForm("Error: can not read input file");
  return false;
}

// Opens the input and takes its size; checks that the output spares the user's files and makes
// the CSV columns. False, after the message, when the run cannot go on.
bool OpenInput(const RunSettings& settings, Conversion& run) {
  const bool standard = IsStandardStream(settings, settings.InputFileName);
  if (!standard && !InputMayBeOpened(settings.InputFileName, settings.Quiet)) return false;
  run.In->Input.reset(standard ? stdin : OpenForReading(settings.InputFileName));
  if (!run.In->Input) {
    PrintErrorForm("Error: can not open input file");
    return false;
  }
  return OutputSparesInput(settings, run.In->Input.get()) && TakeInputSize(settings, run) &&
         OutputSparesUserFiles(settings, run.Early.Configured.FilterFileName) && ColumnsAreSound(run);
}

bool OpenOutput(const RunSettings& settings, OutputFile& output) {
  if (IsStandardStream(settings, settings.OutputFileName)) {
    output.OpenStandardOutput();
  } else if (!output.Open(settings.OutputFileName)) {
    PrintErrorForm("Error: can not open output file");
    return false;
  }
  // The walk hands the output over in large blocks of its own: the stream need not buffer them.
  std::setvbuf(output.Stream(), nullptr, _IONBF, 0);
  return true;
}

// Once an input is loaded, right before its walk writes the output: an output written in place is
// cut (once). False, after the message, when it cannot be.
bool BeginOutput(OutputFile& output) {
  if (output.Cut()) return true;
  PrintErrorForm("Error: can not write output file");
  return false;
}

WalkSettings WalkSettingsOf(const RunSettings& settings, const Conversion& run, bool continuesOutput) {
  WalkSettings walkSettings;
  walkSettings.ContinuesOutput = continuesOutput;
  if (settings.SourceColumn) walkSettings.SourceName = settings.InputFileName;
  const InflateFault fault = run.In->Inflated.Fault;
  walkSettings.InputEndsEarly = fault != InflateFault::kNone && fault != InflateFault::kTrailing;
  walkSettings.Format = run.Format->Name;
  walkSettings.DebugMode = run.Format->Dump;
  walkSettings.RangeActive = settings.RangeActive;
  walkSettings.StartRec = static_cast<uint32_t>(settings.StartRec);
  walkSettings.EndRec = static_cast<uint32_t>(settings.EndRec);
  walkSettings.FilterCount = run.FilterCount;
  walkSettings.SkipFiller = settings.SkipFiller;
  walkSettings.Resync = settings.Resync;
  return walkSettings;
}

// Walks the loaded input into the open output (after the text of the inputs before it, with -l:
// `continuesOutput`) and hands its text over. Returns the walk, for the output to be finished.
std::unique_ptr<WalkContext> WalkLoadedInput(const RunSettings& settings, Conversion& run, bool continuesOutput,
                                             RunReport& report, bool& completed) {
  const InputFaultGuard faultGuard(run.In->Image, EndAfterInputFault);
  auto walk = std::make_unique<WalkContext>(WalkSettingsOf(settings, run, continuesOutput), run.In->Image.Bytes(),
                                            run.In->Image.Size, *run.Root, run.Output.Stream());
  gFaultEnding = {&settings, walk.get(), &run.Output, run.Format};
  std::FILE* growing = run.In->Streamed || run.In->Compressed != Compression::kNone ? nullptr : run.In->Input.get();
  completed = Walk(*walk, *run.Format, run.Layout, run.In->Image, growing, run.In->Inflated, settings, report);
  gFaultEnding = {};
  if (run.Manifest != nullptr && run.Manifest->Open && report.End != RunEnd::kFailed) {
    ReadOutsideFields(settings, run, report);
  }
  run.In->Input.reset();
  report.RecordsRead = walk->State.RecordCount;
  report.Counts = walk->Counts;
  return walk;
}

// Walks the loaded input into the open output and finishes the output.
int WalkInput(const RunSettings& settings, Conversion& run, RunReport& report) {
  bool completed = false;
  std::unique_ptr<WalkContext> walk = WalkLoadedInput(settings, run, false, report, completed);
  if (!FinishOutputFile(*walk, run.Output, report.End != RunEnd::kFailed)) {
    report.End = RunEnd::kFailed;
    return -1;
  }
  return completed ? 0 : -1;
}


void (*gInputLoadedHook)(const std::string& inputName) = nullptr;
void (*gOutsideWalkHook)(const std::string& inputName) = nullptr;

namespace {

// -g: prints the table definition of the CSV that the dictionary and the main configuration file
// give, on standard output, with no banner and its messages on standard error. Returns 0, or -1
// after the message.
int DefineTable(RunSettings& settings) {
  SetQuiet(true);
  SqlDialect dialect;
  if (!FindSqlDialect(settings.TableDialect, dialect)) {
    SayOnErrorStream("Error: unknown table dialect \"" + ConsoleName(settings.TableDialect) +
                     "\" (-g): use postgresql or sqlite\n");
    return -1;
  }
  if (ReadMainConfig(settings) != 0) return -1;
  const std::unique_ptr<TBranch> dictionary = NewDictionary();
  TBranch& root = *dictionary;
  if (ReadTagsConfig(root, settings.TagsFileName) != 0) {
    SayOnErrorStream("Error when reading TagsConfigFile.\n");
    return -1;
  }
  CsvLayout layout;
  if (!ChooseColumns(settings, root, layout)) return -1;
  std::string text;
  std::string problem;
  if (!TableDefinition(layout, dialect, settings.TableName, text, problem)) {
    SayOnErrorStream("Error: " + problem + "\n");
    return -1;
  }
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    PrintErrorForm("Error: can not write the table definition");
    return -1;
  }
  return 0;
}

// ---- The run, phase by phase ------------------------------------------------------------------

// Takes the command line read, and reads the main configuration file early; chooses the format and
// names the output. False, after the usage text or the message, when the run cannot start.
bool ReadCommandLine(int parsed, const CommandLineFaults& faults, RunSettings& settings, Conversion& run) {
  SetQuiet(settings.Quiet);
  PrintBanner();
  const bool listed = !settings.ListFileName.empty();
  if (parsed != 0 || (settings.InputFileName.empty() && !listed)) {
    PrintUsage();
    return false;
  }
  if (faults.LongValue != '\0') {
    PrintLongValue(faults.LongValue);
    return false;
  }
  if (listed && !settings.InputFileName.empty()) {
    SayOnErrorStream("Error: -i and -l both name the input: give one of them\n");
    return false;
  }
  if (listed && settings.OutputFileName.empty()) {
    SayOnErrorStream("Error: -l needs an output file: name one with -o (-o - for standard output)\n");
    return false;
  }
  ReadMainConfigEarly(settings, run.Early);
  run.GzipMaxContents = run.Early.Configured.GzipMaxContents;
  run.GzipMaxRatio = run.Early.Configured.GzipMaxRatio;
  run.Format = ChooseOutputFormat(run.Early.Configured);
  if (run.Format == nullptr) return false;
  if (settings.OutputFileName.empty()) {
    if (IsStandardStream(settings, settings.InputFileName)) {
      SayOnErrorStream("Error: standard input has no output file name: name one with -o (-o - for standard output)\n");
      return false;
    }
    settings.OutputFileName = settings.InputFileName + run.Format->Extension;
  }
  ReadTextFilesEarly(settings, run);
  return true;
}

int Run(RunSettings& settings, int argc, const char* const* argv, RunReport& report, ManifestFile& manifest) {
  CommandLineFaults faults;
  const int parsed = ParseCommandLine(argc, argv, settings, &faults);
  if (!settings.TableDialect.empty() && parsed == 0 && faults.LongValue == '\0') return DefineTable(settings);
  settings.TableDialect.clear();
  Conversion run;
  if (!ReadCommandLine(parsed, faults, settings, run)) return -1;
  report.Format = run.Format;
  run.Manifest = &manifest;
  if (!OpenManifest(settings, run)) return -1;
  if (!settings.ListFileName.empty()) return ConvertList(settings, run, report);
  if (!OpenInput(settings, run) || !OpenOutput(settings, run.Output)) return -1;
  if (!TakeTextFiles(settings, run)) return -1;
  if ((!run.In->Streamed && !LoadInput(run)) || !BeginOutput(run.Output)) return -1;
  const int status = WalkInput(settings, run, report);
  WriteManifestLine(settings, run, report, FinalStatus(settings, report, status));
  return status;
}

}  // namespace

void SetInputLoadedHook(void (*hook)(const std::string& inputName)) { gInputLoadedHook = hook; }

void SetOutsideWalkHook(void (*hook)(const std::string& inputName)) { gOutsideWalkHook = hook; }

int RunOrvalis(int argc, const char* const* argv) {
  RunSettings settings;
  RunReport report;
  ManifestFile manifest;
  int status = -1;
  RemoveTemporariesOnSignals();
  try {
    status = Run(settings, argc, argv, report, manifest);
  } catch (const std::bad_alloc&) {
    // What the run needs beside the input (the walk's buffers, the dictionary's filter texts) was
    // not to be had: an honest end instead of an abort.
    errno = ENOMEM;
    PrintErrorForm("Error: memory allocation fault");
    report.End = RunEnd::kFailed;
  }
  const bool defined = !settings.TableDialect.empty();  // -g converts nothing: no summary, no strictness
  if (!defined) status = FinalStatus(settings, report, status);
  if (manifest.Open && !manifest.Wrote) {  // a run that did not start, or failed before its line
    Conversion none;
    none.Manifest = &manifest;
    WriteManifestLine(settings, none, report, status);
  }
  if (!FinishManifest(manifest)) status = -1;
  if (settings.Quiet && !defined) PrintSummary(settings, report);
  std::fflush(stdout);
  std::fflush(stderr);
  return status;
}

}  // namespace orvalis
