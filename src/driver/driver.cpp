#include "driver/driver.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>
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
#include "driver/compressed_input.h"
#include "driver/config_files.h"
#include "driver/input_list.h"
#include "driver/manifest.h"
#include "driver/input_image.h"
#include "driver/output_file.h"
#include "driver/output_formats.h"
#include "driver/run_settings.h"
#include "driver/whole_walk.h"
#include "common/text_format.h"
#include "decode/writers/csv_layout.h"
#include "decode/writers/json_lines_writer.h"
#include "decode/writers/table_definition.h"
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
void (*gOutsideWalkHook)(const std::string& inputName) = nullptr;

// The largest input that the walk's 32-bit offsets can address.
constexpr uint64_t kMaxInputSize = UINT32_MAX;

// In quiet mode, the name that stands for a standard stream (-i -, -o -).
constexpr const char kStandardStream[] = "-";

// How a run ended, for the summary line of quiet mode.
// How a run ended, for the summary line of quiet mode; with -l, how each input's conversion ended,
// and for the run's total kSomeInputsFailed when not every input completed.
enum class RunEnd { kNotStarted, kCompleted, kStopped, kCutShort, kGrew, kFailed, kNotInflated, kSomeInputsFailed };

struct RunReport {
  RunEnd End = RunEnd::kNotStarted;
  InflateFault Inflate = InflateFault::kNone;  // what ended a compressed input early (kNotInflated)
  uint64_t Inputs = 0;        // with -l, in the run's total: the inputs listed
  uint64_t InputsFailed = 0;  // and those whose conversion did not complete
  uint64_t RecordsRead = 0;
  WalkCounts Counts;
  uint64_t StopOffset = 0;  // where a stopped walk stood
  uint64_t OutsideNotRead = 0;  // -m: the inputs whose fields outside records could not be read (a problem)
  const OutputFormatRow* Format = nullptr;  // null before it is chosen
};

// What the ending after a fault in reading a mapped input needs, set while the walk goes on. The
// ending runs in the signal handler (EndAfterInputFault, below).
struct FaultEnding {
  const RunSettings* Settings = nullptr;
  const WalkContext* Walk = nullptr;
  const OutputFile* Output = nullptr;
  const OutputFormatRow* Format = nullptr;
};
FaultEnding gFaultEnding;
void EndAfterInputFault();

bool IsStandardStream(const RunSettings& settings, const std::string& name) {
  return settings.Quiet && name == kStandardStream;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// True when two names name one file, also one that does not exist yet (two files a run creates).
bool SameFileOrName(const std::string& a, const std::string& b) {
  if (a == b || SameFile(a, b)) return true;
  std::error_code error;
  const std::filesystem::path first = std::filesystem::absolute(a, error).lexically_normal();
  if (error) return false;
  const std::filesystem::path second = std::filesystem::absolute(b, error).lexically_normal();
  return !error && first == second;
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

// The input's name in messages.
std::string InputTitle(const RunSettings& settings) {
  return IsStandardStream(settings, settings.InputFileName) ? "standard input" : ConsoleName(settings.InputFileName);
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

// Hands every text of the walk to the output. Returns 0 when all of it was written, else the
// failed write's error (EIO when only the stream noted the failure). A failed write (a full
// disk, say) must not pass for a finished conversion.
int HandOverText(WalkContext& walk, OutputFile& output) {
  const int writeError = FinishOutput(walk);
  if (writeError != 0) return writeError;
  return std::ferror(output.Stream()) != 0 ? EIO : 0;
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

// ---- The text files read before their turn ------------------------------------------------------

// The three text files are read before any output is opened: the main configuration file for what
// must be known by then (the filter file in force, the output format, the CSV columns), the
// dictionary and the filter file so that a run that cannot read them leaves an earlier output as
// it was. What they say is held and shown at their turn, after the output has been opened, or
// never when the run ends before it.
struct EarlyFiles {
  RunSettings Configured;  // the command line with the main configuration file applied
  bool ConfigRead = false;
  HeldMessages ConfigSaid;
  std::unique_ptr<TBranch> Root;  // the dictionary, when it was read whole
  bool TagsRead = false;
  HeldMessages TagsSaid;
  uint32_t FilterCount = 0;  // the filter file's accepted lines
  HeldMessages FilterSaid;
};

// One input: the file, its image, and how it was read.
struct InputPart {
  FilePtr Input;
  InputImage Image;
  bool Streamed = false;   // the input was read to its end; otherwise it is mapped or read later
  uint64_t InputSize = 0;  // of an input that is not streamed
  Compression Compressed = Compression::kNone;
  uint64_t SizeHint = 0;   // of a compressed file's contents, as its trailer gives it
  InflateReport Inflated;
  // For the manifest: the JSON lines of the fields outside records, once read.
  bool OutsideRead = false;
  bool OutsideCut = false;
  std::string Outside;
  const char* OutsideFault = "";  // why the walk of those fields failed; empty when it did not
};

// The manifest (-m): opened once the run knows its output, a line for each input, and given its
// name at the end whatever the run did.
struct ManifestFile {
  OutputFile File;
  bool Open = false;
  bool Wrote = false;   // a line was written
  bool Failed = false;  // a write failed

  void Write(const ManifestEntry& entry) {
    TextBuffer line;
    AppendManifestLine(line, entry);
    if (!File.Cut() || std::fwrite(line.data(), 1, line.size(), File.Stream()) != line.size()) Failed = true;
    Wrote = true;
  }
};

// What a run opens, reads and makes before the walk, in the order it does.
struct Conversion {
  const OutputFormatRow* Format = nullptr;
  EarlyFiles Early;
  std::unique_ptr<InputPart> In = std::make_unique<InputPart>();  // the input being converted
  OutputFile Output;
  ManifestFile* Manifest = nullptr;
  std::unique_ptr<TBranch> Root;
  std::shared_ptr<CsvLayout> Layout;  // the CSV columns, made once
  uint32_t FilterCount = 0;
  // The bounds of gzip contents, from the main configuration file: kept here, since an input may
  // be loaded before or after the file's settings are taken over (TakeTextFiles).
  uint64_t GzipMaxContents = kMaxInputSize;
  uint32_t GzipMaxRatio = 0;
};

void ReadMainConfigEarly(const RunSettings& settings, EarlyFiles& early) {
  early.Configured = settings;
  const ConsoleToHeld hold(early.ConfigSaid);
  early.ConfigRead = ReadMainConfig(early.Configured) == 0;
}

// Takes the room that a text file's held messages may need, before the file is read: the message
// that memory ran out comes while what the file built holds all there was, and must need no more.
void MakeRoomToHold(HeldMessages& held) {
  held.Text.reserve(HeldMessages::kInMemory);
  held.Pieces.reserve(8);  // a piece for each change of stream: a file says a few at most
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

// ---- The files of the user's that the output must not be ------------------------------------

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

// Which of the files the run reads `name` is: the main configuration file, the dictionary, the
// filter file in force (`filterFile`) or the one -f names, or the list of inputs; null for none.
const char* UserFileNamed(const RunSettings& settings, const std::string& filterFile, const std::string& name) {
  if (IsUserFile(name, settings.ConfigFileName)) return "configuration file";
  if (IsUserFile(name, settings.TagsFileName)) return "dictionary file";
  if (IsUserFile(name, filterFile) || IsUserFile(name, settings.FilterFileName)) return "filter file";
  if (!IsStandardStream(settings, settings.ListFileName) && IsUserFile(name, settings.ListFileName)) {
    return "list file";
  }
  return nullptr;
}

// False, after its message, when the output would overwrite one of the files the run reads.
bool OutputSparesUserFiles(const RunSettings& settings, const std::string& filterFile) {
  if (IsStandardStream(settings, settings.OutputFileName)) return true;
  const char* same = UserFileNamed(settings, filterFile, settings.OutputFileName);
  if (same == nullptr) return true;
  SayOnErrorStream(std::string("Error: output file is the same as ") + same + "\n");
  return false;
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
bool KeysAndColumnsAreSound(Conversion& run) {
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
         OutputSparesUserFiles(settings, run.Early.Configured.FilterFileName) && KeysAndColumnsAreSound(run);
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

// Opens the manifest that -m names, once the output has its name. False, after the message, when
// it would overwrite the output, the input or a file of the user's, or cannot be opened.
bool OpenManifest(const RunSettings& settings, Conversion& run) {
  const std::string& name = settings.ManifestFileName;
  if (name.empty() || run.Manifest == nullptr) return true;
  const char* same = nullptr;
  if (IsStandardStream(settings, name)) {
    if (IsStandardStream(settings, settings.OutputFileName)) same = "output file";
  } else if (!IsStandardStream(settings, settings.OutputFileName) && SameFileOrName(name, settings.OutputFileName)) {
    same = "output file";
  } else if (IsStandardStream(settings, settings.InputFileName) ? IsStandardInputFile(name)
                                                                 : IsUserFile(name, settings.InputFileName)) {
    same = "input file";
  } else {
    same = UserFileNamed(settings, run.Early.Configured.FilterFileName, name);
  }
  if (same != nullptr) {
    SayOnErrorStream(std::string("Error: manifest file is the same as ") + same + "\n");
    return false;
  }
  ManifestFile& manifest = *run.Manifest;
  if (IsStandardStream(settings, name)) {
    manifest.File.OpenStandardOutput();
  } else if (!manifest.File.Open(name)) {
    PrintErrorForm("Error: can not open manifest file");
    return false;
  }
  manifest.Open = true;
  return true;
}

// The dictionary at its turn: the one read early, its messages shown now.
bool TakeDictionary(Conversion& run) {
  EarlyFiles& early = run.Early;
  ShowHeld(early.TagsSaid);
  run.Root = std::move(early.Root);
  if (!early.TagsRead) Say("Error when reading TagsConfigFile. Exiting...");
  return early.TagsRead;
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
  return true;  // the CSV columns were made before the output was opened
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

// For the manifest: the fields outside records of the loaded input as JSON Lines writes them, by
// a walk of their own (every record, no range, no filter), its messages dropped; the whole lines
// within kManifestOutside octets are kept. The walk's text stays in memory up to one octet more
// than that, which tells whether more followed, and the rest is dropped as it comes.
void CollectOutsideFields(const RunSettings& settings, Conversion& run) {
  InputPart& in = *run.In;
  std::string text;
  WalkOutsideFields(WalkSettingsOf(settings, run, false), in.Image.Bytes(), in.Image.Size, *run.Root, text,
                    kManifestOutside + 1);
  in.Outside = std::string(OutsideWithinBound(text, in.OutsideCut));
  in.OutsideRead = true;
}

// CollectOutsideFields, whose failure (no memory) is told, counted as a problem of the run, and
// noted in the manifest's line.
void ReadOutsideFields(const RunSettings& settings, Conversion& run, RunReport& report) {
  InputPart& in = *run.In;
  try {
    if (gOutsideWalkHook != nullptr) gOutsideWalkHook(settings.InputFileName);
    CollectOutsideFields(settings, run);
    return;
  } catch (const std::bad_alloc&) {
    in.OutsideFault = "memory allocation fault";
  } catch (...) {
    in.OutsideFault = "exception has been thrown";
  }
  ++report.OutsideNotRead;
  std::fflush(stdout);
  SayOnErrorStream(std::string("Error: the fields outside records of ") + InputTitle(settings) +
                   " were not read for the manifest: " + in.OutsideFault + "\n");
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

int ConvertList(RunSettings& settings, Conversion& run, RunReport& total);
int FinalStatus(const RunSettings& settings, const RunReport& report, int status);
void WriteManifestLine(const RunSettings& settings, const Conversion& run, const RunReport& report, int status);

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

// ---- The summary (quiet mode) and the status ------------------------------------------------

bool HadProblems(const RunReport& report) {
  if (report.Counts.TagsNotFound != 0 || report.Counts.RefusedPieces != 0 || report.Counts.Damages != 0 ||
      report.Counts.PastHolder != 0 || report.Counts.ValuesWithoutColumn != 0 || report.OutsideNotRead != 0) {
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
  // A file's name, its control octets written \xHH (as ConsoleName writes them); `none` when it is
  // empty.
  void AddName(const std::string& name, const char* none) {
    if (name.empty()) return Add(none);
    for (char c : name) {
      const uint8_t octet = static_cast<uint8_t>(c);
      if (!IsControlOctet(octet)) {
        if (size_ < sizeof text_) text_[size_++] = c;
        continue;
      }
      char escaped[5] = {};
      PutEscapedOctet(escaped, octet);
      Add(escaped);
    }
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

// The name of a format in the summary line.
const char* FormatTitle(const OutputFormatRow& format) { return format.Dump ? "dump" : format.Name; }

// The summary line:
// orvalis: IN -> OUT (FORMAT): R records read, W written, T tags not found, P refused pieces, D bad dictionary
// lines, C bad configuration lines, F bad filter lines, L files with bare line feeds, U filter
// files not read, [G damages, first at offset O, ][N values not in the CSV, ][V values without a
// column, ][E elements past their holder, ]END (the damages with Resync only, the values in CSV
// only, the values without a column when V is not 0, the elements when E is not 0)
void FormatSummaryCounts(const RunSettings& settings, const RunReport& report, FixedLine& line) {
  const WalkCounts& counts = report.Counts;
  line.Add("orvalis: ");
  if (report.Inputs != 0) {
    line.AddNumber(report.Inputs);
    line.Add(report.Inputs == 1 ? " input" : " inputs");
  } else {
    line.AddName(settings.InputFileName, "(no input)");
  }
  line.Add(" -> ");
  line.AddName(settings.OutputFileName, "(no output)");
  line.Add(" (");
  line.Add(report.Format != nullptr ? FormatTitle(*report.Format) : "no format");
  line.Add("): ");
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
}

void FormatEnd(const RunReport& report, FixedLine& line);

void FormatSummaryEnd(const RunSettings& settings, const RunReport& report, FixedLine& line) {
  const WalkCounts& counts = report.Counts;
  if (settings.Resync) {
    line.AddNumber(counts.Damages);
    line.Add(" damages, ");
    if (counts.Damages != 0 && report.Inputs == 0) {
      line.Add("first at offset ");
      line.AddNumber(counts.FirstDamageAt());
      line.Add(", ");
    }
  }
  if (report.Format != nullptr && report.Format->HasColumns) {
    line.AddNumber(counts.ValuesNotInCsv);
    line.Add(" values not in the CSV, ");
  }
  if (counts.ValuesWithoutColumn != 0) {
    line.AddNumber(counts.ValuesWithoutColumn);
    line.Add(" values without a column, ");
  }
  if (counts.PastHolder != 0) {
    line.AddNumber(counts.PastHolder);
    line.Add(" elements past their holder, ");
  }
  FormatEnd(report, line);
  line.Add("\n");
}

void FormatSummary(const RunSettings& settings, const RunReport& report, FixedLine& line) {
  FormatSummaryCounts(settings, report, line);
  FormatSummaryEnd(settings, report, line);
}

// The manifest's line for the input converted last (or for a run that did not start), with the
// run's final status.
void WriteManifestLine(const RunSettings& settings, const Conversion& run, const RunReport& report, int status) {
  if (run.Manifest == nullptr || !run.Manifest->Open) return;
  const InputPart& in = *run.In;
  ManifestEntry entry;
  entry.Input = settings.InputFileName;
  if (in.Compressed == Compression::kGzip) {
    entry.Size = in.Streamed ? in.Inflated.Consumed : in.InputSize;
    entry.Compression = CompressionName(in.Compressed);
  } else {
    entry.Size = in.Streamed ? in.Image.Size : in.InputSize;
  }
  entry.Contents = in.Image.Size;
  entry.Output = settings.OutputFileName;
  if (report.Format != nullptr) entry.Format = FormatTitle(*report.Format);
  entry.RecordsRead = report.RecordsRead;
  entry.RecordsWritten = report.RecordsRead - report.Counts.RecordsOutOfRange - report.Counts.RecordsFilteredOut;
  entry.Counts = report.Counts;
  entry.Csv = report.Format != nullptr && report.Format->HasColumns;
  entry.Status = status == -1 ? 255 : status;
  FixedLine end;
  FormatEnd(report, end);
  entry.End = std::string_view(end.Text(), end.Size());
  entry.OutsideRead = in.OutsideRead;
  entry.Outside = in.Outside;
  entry.OutsideCut = in.OutsideCut;
  entry.OutsideFault = in.OutsideFault;
  run.Manifest->Write(entry);
}

// Gives the manifest its name. False, after the message, when it could not be written whole.
bool FinishManifest(ManifestFile& manifest) {
  if (!manifest.Open) return true;
  if (!manifest.Failed && manifest.File.Close() && manifest.File.Commit()) return true;
  PrintErrorForm("Error: can not write manifest file");
  manifest.File.Discard();
  return false;
}

// END of the summary line.
void FormatEnd(const RunReport& report, FixedLine& line) {
  const WalkCounts& counts = report.Counts;
  switch (report.End) {
    case RunEnd::kNotStarted: line.Add("not started"); break;
    case RunEnd::kFailed: line.Add("failed"); break;
    case RunEnd::kCutShort: line.Add("input cut short"); break;
    case RunEnd::kGrew: line.Add("input grew"); break;
    case RunEnd::kSomeInputsFailed:
      line.AddNumber(report.InputsFailed);
      line.Add(" of ");
      line.AddNumber(report.Inputs);
      line.Add(" inputs not converted whole");
      break;
    case RunEnd::kNotInflated:
      line.Add(report.Inflate == InflateFault::kTooLarge ? "compressed input too large"
               : report.Inflate == InflateFault::kCutShort ? "compressed input cut short"
                                                          : "compressed input corrupt");
      break;
    case RunEnd::kCompleted: line.Add(HadProblems(report) ? "completed with problems" : "completed"); break;
    case RunEnd::kStopped:
      line.Add("stopped at offset ");
      line.AddNumber(report.StopOffset);
      line.Add(", last complete record ");
      line.AddNumber(counts.RecordsCompleted < report.RecordsRead ? counts.RecordsCompleted : report.RecordsRead);
      break;
  }
}

// The summary line of quiet mode, on standard error, on a line of its own.
void PrintSummary(const RunSettings& settings, const RunReport& report) {
  FixedLine line;
  if (!ErrorStreamAtLineStart()) line.Add("\n");
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
  RemoveTemporariesFromSignalHandler();  // the manifest's: the run ends without its line
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

int FinalStatus(const RunSettings& settings, const RunReport& report, int status) {
  if (status == 0 && settings.Strict && HadProblems(report)) status = kCompletedWithProblems;
  if (status == 0 && report.Counts.Damages != 0) status = kCompletedWithProblems;
  return status;
}

// The worse of two statuses: 0, then 1, then -1.
int WorseStatus(int a, int b) {
  if (a == -1 || b == -1) return -1;
  return a > b ? a : b;
}

// ---- Many inputs (-l) -------------------------------------------------------------------------

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

// The names that the list file (standard input for -l - in quiet mode) holds. False, after the
// message, when it cannot be read, holds a NUL octet, names a file of 256 characters or more,
// is beyond the bounds of a list, or names none.
bool TakeInputList(const RunSettings& settings, std::vector<std::string>& names) {
  const bool standard = IsStandardStream(settings, settings.ListFileName);
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

// False, after its message, when the output (`what`: "output", or "manifest") is one of the
// inputs listed.
bool SparesListedInputs(const RunSettings& settings, const std::string& file, const char* what,
                        const std::vector<std::string>& names) {
  if (file.empty() || IsStandardStream(settings, file)) return true;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (IsUserFile(file, names[i])) {
      SayOnErrorStream(std::string("Error: ") + what + " file is the same as input file " + ConsoleName(names[i]) + " (line " +
                       std::to_string(i + 1) + " of the list's names)\n");
      return false;
    }
  }
  return true;
}

// Converts one listed input (settings.InputFileName) into the open output. Returns its status;
// `outputFailed` when the output could not be written, which ends the run.
int ConvertListedInput(const RunSettings& settings, Conversion& run, bool continuesOutput, RunReport& report,
                       bool& outputFailed) {
  run.In = std::make_unique<InputPart>();  // the input before gives its memory back
  if (!InputMayBeOpened(settings.InputFileName, false)) return -1;
  run.In->Input.reset(OpenForReading(settings.InputFileName));
  if (!run.In->Input) {
    PrintErrorForm("Error: can not open input file");
    return -1;
  }
  if (!TakeInputSize(settings, run) || (!run.In->Streamed && !LoadInput(run))) return -1;
  if (!BeginOutput(run.Output)) {
    outputFailed = true;
    report.End = RunEnd::kFailed;
    return -1;
  }
  bool completed = false;
  std::unique_ptr<WalkContext> walk = WalkLoadedInput(settings, run, continuesOutput, report, completed);
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

void PrintSummary(const RunSettings& settings, const RunReport& report);

// -l: the inputs that the list names, converted in their order into the one output, each walked
// by itself (its own record numbers, range and filter), each under a line that names it; in quiet
// mode a summary line for each. A file that cannot be read or is damaged is reported and the
// others go on. Returns the worst of the inputs' statuses; `total` sums their counts.
int ConvertList(RunSettings& settings, Conversion& run, RunReport& total) {
  std::vector<std::string> names;
  if (!TakeInputList(settings, names) || !SparesListedInputs(settings, settings.OutputFileName, "output", names) ||
      !SparesListedInputs(settings, settings.ManifestFileName, "manifest", names) ||
      !OutputSparesUserFiles(settings, run.Early.Configured.FilterFileName) || !KeysAndColumnsAreSound(run) ||
      !OpenOutput(settings, run.Output) || !TakeTextFiles(settings, run)) {
    return -1;
  }
  total.Inputs = names.size();
  int worst = 0;
  bool outputFailed = false;
  for (std::size_t i = 0; i < names.size() && !outputFailed; ++i) {
    settings.InputFileName = names[i];
    SayFormatted("Input %" PRIu64 " of %" PRIu64 ": %s\n", static_cast<uint64_t>(i + 1),
                 static_cast<uint64_t>(names.size()), ConsoleName(names[i]).c_str());
    RunReport report;
    report.Format = run.Format;
    const int status = FinalStatus(settings, report,
                                   ConvertListedInput(settings, run, i > 0, report, outputFailed));
    if (settings.Quiet) PrintSummary(settings, report);
    WriteManifestLine(settings, run, report, status);
    worst = WorseStatus(worst, status);
    total.RecordsRead += report.RecordsRead;
    total.Counts.Add(report.Counts);
    total.OutsideNotRead += report.OutsideNotRead;
    if (report.End != RunEnd::kCompleted) ++total.InputsFailed;
  }
  settings.InputFileName.clear();
  // An output written in place that no input began to write is cut, as a temporary replaces it.
  const bool written = !outputFailed && run.Output.Cut() && run.Output.Close() && run.Output.Commit();
  if (!written) {
    if (!outputFailed) PrintErrorForm("Error: can not write output file");
    run.Output.Discard();
    total.End = RunEnd::kFailed;
    return -1;
  }
  total.End = total.InputsFailed == 0 ? RunEnd::kCompleted : RunEnd::kSomeInputsFailed;
  return worst;
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
