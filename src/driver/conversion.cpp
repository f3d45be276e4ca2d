// The conversion of one input: opened, sized, loaded, walked into the open output, output finished.
#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "common/text_file.h"
#include "driver/run_parts.h"
#include "driver/whole_walk.h"

namespace orvalis {
namespace {

// With SkipFiller, says how much filler the walk passed over, when it passed over any.
void ReportFiller(const WalkContext& walk) {
  const WalkCounts& counts = walk.Counts;
  if (counts.FillerRuns == 0) return;
  SayFormatted("Filler: %" PRIu64 " octets passed over in %" PRIu64 " run%s.\n\n", counts.FillerOctets,
               counts.FillerRuns, counts.FillerRuns == 1 ? "" : "s");
}

// Before each field's line of values without a column.
constexpr char kValuesWithoutColumn[] = "Values without a column: ";

// With the CSV, says the fields whose values had no column, a line for each, and keeps them for
// the manifest: "Values without a column: serviceCode (1.40.0, 2.1.40.0): 490 values, up to
// occurrence 6: add 1.40.0.Occurs=6 and 2.1.40.0.Occurs=6".
void ReportFieldsWithoutColumn(const WalkContext& walk, const OutputFormatRow& format, const FormatSetup& setup,
                               RunReport& report) {
  if (format.FieldsWithoutColumn == nullptr || walk.FieldsWithoutColumn.Empty()) return;
  report.FieldsWithoutColumn = format.FieldsWithoutColumn(walk, setup);
  for (const FieldWithoutColumn& field : report.FieldsWithoutColumn) {
    std::string line = kValuesWithoutColumn + ConsoleName(field.Field) + " (";
    for (std::size_t i = 0; i < field.Paths.size(); ++i) line += (i == 0 ? "" : ", ") + field.Paths[i];
    line += "): " + std::to_string(field.Values) + (field.Values == 1 ? " value" : " values") +
            ", up to occurrence " + std::to_string(field.UpToOccurrence) + ": " + field.Remedy + "\n";
    Say(line);
  }
  Say("\n");
}

// The octets an input file (`input`, null for a stream read to its end) holds now beyond those
// of its image, taken when the run began.
uint64_t InputGrowth(std::FILE* input, const InputImage& image) {
  uint64_t length = 0;
  if (input == nullptr || !FileLength(input, length) || length <= image.Size) return 0;
  return length - image.Size;
}

// Where the bounds of gzip contents were set: a long option, or the main configuration file.
BoundNames BoundsNamed(const RunSettings& settings) {
  const std::string config = " in " + ConsoleName(settings.ConfigFileName);
  return {settings.Keys.GzipMaxContents ? "--gzip-max-contents" : "GzipMaxContents" + config,
          settings.Keys.GzipMaxRatio ? "--gzip-max-ratio" : "GzipMaxRatio" + config};
}

// Walks the whole image and writes out the last record, then shows the completion line, unless
// the input file (`input`, null for a stream or a compressed file) was cut short or grew
// meanwhile, or its compressed octets ended before their end (`inflated`). Returns false when a
// step stopped the walk, an exception escaped from it, or the input was cut short, grew or was
// not inflated whole.
bool Walk(WalkContext& walk, const OutputFormatRow& format, const FormatSetup& setup, const InputPart& in,
          std::FILE* input, const RunSettings& settings, RunReport& report) {
  const InputImage& image = in.Image;
  const InflateReport& inflated = in.Inflated;
  try {
    if (gInputLoadedHook != nullptr) gInputLoadedHook(settings.InputFileName);
    TellFileHeader(settings, in, walk.Counts.Frames);
    const bool completed = WalkWholeInput(walk, format, nullptr, setup) == 0;
    WriteOutLastRecord(walk);
    ReportFiller(walk);
    TellCdrsRead(in, completed, walk.Counts.Frames);
    ReportFieldsWithoutColumn(walk, format, setup, report);
    if (inflated.Fault != InflateFault::kNone) {
      std::fflush(stdout);
      SayOnErrorStream(InflateFaultMessage(InputTitle(settings), inflated, image.Size, BoundsNamed(settings)));
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

// Hands every text to the output and closes it, then gives it its name after the format's
// trailer when the walk has run (`walkRan`), or leaves the earlier output when it has not; false,
// after the message, when a write failed.
bool FinishOutputFile(WalkContext& walk, const OutputFormatRow& format, OutputFile& output, bool walkRan) {
  int writeError = HandOverText(walk, output);
  if (writeError == 0 && walkRan) writeError = WriteTrailer(format, output);
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

// ---- Standard streams and pipes ---------------------------------------------------------------

// True for an input that is read to its end rather than mapped: standard input that is not a
// regular file (a pipe, a terminal), or a pipe.
bool IsStreamInput(std::FILE* input) {
  struct stat info;
  if (fstat(fileno(input), &info) != 0) return false;
  if (input == stdin) return !S_ISREG(info.st_mode);
#ifdef S_ISSOCK
  if (S_ISSOCK(info.st_mode)) return true;
#endif
  return S_ISFIFO(info.st_mode);
}

// True for a listed input converted beside others (its text held for its turn).
bool ConvertedBesideOthers(const Conversion& run) {
#if ORVALIS_THREADS
  return run.Hold != nullptr;
#else
  (void)run;
  return false;
#endif
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
  return IsStandardStream(settings.InputFileName) ? "standard input" : ConsoleName(settings.InputFileName);
}

// Hands every text of the walk to the output. Returns 0 when all of it was written, else the
// failed write's error (EIO when only the stream noted the failure). A failed write (a full
// disk, say) must not pass for a finished conversion.
int HandOverText(WalkContext& walk, OutputFile& output) {
  const int writeError = FinishOutput(walk);
  if (writeError != 0) return writeError;
  return std::ferror(output.Stream()) != 0 ? EIO : 0;
}

// Writes the format's trailer at the end of the output, after every text handed over. Returns 0,
// or the failed write's error.
int WriteTrailer(const OutputFormatRow& format, OutputFile& output) {
  const std::size_t size = std::strlen(format.Trailer);
  if (size == 0) return 0;
  errno = 0;
  if (std::fwrite(format.Trailer, 1, size, output.Stream()) == size && std::fflush(output.Stream()) == 0) return 0;
  return errno != 0 ? errno : EIO;
}

// Takes the input's size: read to its end when it is a stream, otherwise its length checked now
// and the file mapped or read later (inflated, when it is compressed).
bool TakeInputSize(const RunSettings& settings, Conversion& run) {
  run.In->Streamed = IsStreamInput(run.In->Input.get());
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
  return LoadInputImage(run.In->Input.get(), run.In->InputSize, run.In->Image, !ConvertedBesideOthers(run));
}

// False, after the message that the input's length or nature gives, for a named input that is
// not opened: a named pipe where pipes are not read (`readsPipes`: -i reads them; a list's line
// never does, since it would wait for its writer and hold up the inputs after it), whose opening
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
  const bool standard = IsStandardStream(settings.InputFileName);
  if (!standard && !InputMayBeOpened(settings.InputFileName, true)) return false;
  run.In->Input.reset(standard ? stdin : OpenForReading(settings.InputFileName));
  if (!run.In->Input) {
    PrintErrorForm("Error: can not open input file");
    return false;
  }
  return OutputSparesInput(settings, run.In->Input.get()) && TakeInputSize(settings, run) &&
         OutputSparesUserFiles(settings, run.Early.Configured.FilterFileName) && FormatIsPrepared(run);
}

bool OpenOutput(const RunSettings& settings, OutputFile& output) {
  if (IsStandardStream(settings.OutputFileName)) {
    output.OpenStandardOutput();
  } else if (!output.Open(settings.OutputFileName)) {
    PrintErrorForm("Error: can not open output file");
    if (errno == ENOENT && !FolderOf(settings.OutputFileName).empty()) {
      SayOnErrorStream(MissingOutputFolderHint(settings.OutputFileName));
    }
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
  walkSettings.ConfigName = settings.ConfigFileName;
  if (settings.SourceColumn) walkSettings.SourceName = settings.InputFileName;
  walkSettings.JsonSchema = settings.JsonSchema;
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
  walkSettings.Identifiers = IdentifiersOf(settings, *run.Root);
  walkSettings.Frames = run.In->Frames;
  walkSettings.CdrHeaderMembers = settings.CdrHeaderColumns;
  walkSettings.RecordKindMembers = settings.RecordKindColumn;
  return walkSettings;
}

// Walks the loaded input into the open output (after the text of the inputs before it, with -l:
// `continuesOutput`) and hands its text over. Returns the walk, for the output to be finished.
std::unique_ptr<WalkContext> WalkLoadedInput(const RunSettings& settings, Conversion& run, bool continuesOutput,
                                             RunReport& report, bool& completed) {
  const bool beside = ConvertedBesideOthers(run);
  const InputFaultGuard faultGuard(run.In->Image, EndAfterInputFault);  // none for an image read
  std::FILE* output = run.Output.Stream();
#if ORVALIS_THREADS
  if (beside) output = run.Hold->File();
#endif
  if (!beside) gFaultEnding = {&settings, nullptr, &run.Output, run.Format, fileno(run.Output.Stream())};
  RecogniseFrames(settings, *run.In, IdentifiersOf(settings, *run.Root));
  auto walk = std::make_unique<WalkContext>(WalkSettingsOf(settings, run, continuesOutput), run.In->Image.Bytes(),
                                            run.In->Image.Size, *run.Root, output);
#if ORVALIS_THREADS
  if (beside) {
    walk->Output.HoldForTurn(*run.Hold);
    if (!run.SharesWalk) walk->StretchSize = 0;  // the other cores convert other inputs
  }
#endif
  run.OutputBegun = true;
  if (!beside) gFaultEnding = {&settings, walk.get(), &run.Output, run.Format, fileno(run.Output.Stream())};
  std::FILE* growing = run.In->Streamed || run.In->Compressed != Compression::kNone ? nullptr : run.In->Input.get();
  completed = Walk(*walk, *run.Format, run.Setup, *run.In, growing, settings, report);
  if (!beside) gFaultEnding = {};
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
  if (!FinishOutputFile(*walk, *run.Format, run.Output, report.End != RunEnd::kFailed)) {
    report.End = RunEnd::kFailed;
    return -1;
  }
  return completed ? 0 : -1;
}

}  // namespace orvalis
