// What the driver's rooms share: the run's state and the functions one room calls in another.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/block_writer.h"
#include "common/console.h"
#include "common/text_buffer.h"
#include "common/text_format.h"
#include "decode/walk/walk_counts.h"
#include "decode/walk/walk_state.h"
#include "decode/writers/csv_layout.h"
#include "driver/compressed_input.h"
#include "driver/input_image.h"
#include "driver/manifest.h"
#include "driver/output_file.h"
#include "driver/output_formats.h"
#include "driver/run_settings.h"
#include "tags/tag_tree.h"

namespace orvalis {

// Closes a file the run opened; the standard streams stay open.
struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != stdin && file != stdout) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// For tests (driver.h): called as an input's walk begins, and as the manifest's walk begins.
extern void (*gInputLoadedHook)(const std::string& inputName);
extern void (*gOutsideWalkHook)(const std::string& inputName);

// The largest input that the walk's 32-bit offsets can address.
constexpr uint64_t kMaxInputSize = UINT32_MAX;

// The name that stands for a standard stream (-i -, -o -, -l -, -m -).
constexpr const char kStandardStream[] = "-";

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
  bool NothingNew = false;  // SkipConverted left out every input: nothing written, no summary
  // Of one input: the fields whose values had no column (Counts.ValuesWithoutColumn), for the manifest.
  std::vector<FieldWithoutColumn> FieldsWithoutColumn;
};

// What the ending after a fault in reading a mapped input needs, set while the walk goes on. The
// ending runs in the signal handler (EndAfterInputFault, fault_ending.cpp).
struct FaultEnding {
  const RunSettings* Settings = nullptr;
  const WalkContext* Walk = nullptr;
  const OutputFile* Output = nullptr;
  const OutputFormatRow* Format = nullptr;
  int OutputDescriptor = -1;  // the output's, for the format's trailer
};
extern FaultEnding gFaultEnding;

// The three text files are read before any output is opened: the main configuration file for what
// must be known by then (the filter file in force, the output format, the CSV columns), the
// dictionary and the filter file so that a run that cannot read them leaves an earlier output as
// it was. What they say is held and shown at their turn, after the output has been opened, or
// never when the run ends before it.
// A file that was not read because it is not there gets a hint at its turn (`...Missing`).
struct EarlyFiles {
  RunSettings Configured;  // the command line with the main configuration file applied
  bool ConfigRead = false;
  bool ConfigMissing = false;
  HeldMessages ConfigSaid;
  std::unique_ptr<TBranch> Root;  // the dictionary, when it was read whole
  bool TagsRead = false;
  bool TagsMissing = false;
  HeldMessages TagsSaid;
  bool FilterRead = false;   // the filter file in force was read whole (none: false)
  bool FilterMissing = false;
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
  // Where its records lie (a file of CDRs, a leading header), once it is loaded, and the file header.
  InputFrames Frames;
  CdrFileHeader FileHeader;
  bool FileHeaderMissing = false;  // Framing=3gpp, and no file header reads
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
  std::shared_ptr<TBranch> Root;  // shared by the inputs of a list converted side by side
  FormatSetup Setup;  // what the format made before the output was opened (the CSV columns)
  bool OutputBegun = false;  // a walk began to write into the output (-l: an earlier input's)
  uint32_t FilterCount = 0;
  // The bounds of gzip contents, from the main configuration file: kept here, since an input may
  // be loaded before or after the file's settings are taken over (TakeTextFiles).
  uint64_t GzipMaxContents = kMaxInputSize;
  uint32_t GzipMaxRatio = 0;
#if ORVALIS_THREADS
  // A listed input converted beside others: its text waits here for its turn (the output is
  // Hold->File()), its file is read rather than mapped, and its walk is shared by two threads only
  // when `SharesWalk`.
  TurnHold* Hold = nullptr;
  bool SharesWalk = true;
#endif
};

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

// ---- The run's phases (text_files.cpp, conversion.cpp) ---------------------------------------

void ReadMainConfigEarly(const RunSettings& settings, EarlyFiles& early);
void ReadTextFilesEarly(const RunSettings& settings, Conversion& run);
const OutputFormatRow* ChooseOutputFormat(const RunSettings& configured);
bool FormatIsPrepared(Conversion& run);
bool TakeTextFiles(RunSettings& settings, Conversion& run);

// The hints after the message of a file that is not there (errno ENOENT): the file looked for,
// where (a relative name in the working directory), and what names another. Each is a line.
std::string WhereLookedFor(const std::string& name);
std::string MissingConfigHint(const RunSettings& settings);
std::string MissingDictionaryHint(const RunSettings& settings);
std::string MissingFilterHint(const RunSettings& settings);
std::string MissingOutputFolderHint(const std::string& outputName);

std::string InputTitle(const RunSettings& settings);
int HandOverText(WalkContext& walk, OutputFile& output);
int WriteTrailer(const OutputFormatRow& format, OutputFile& output);
bool TakeInputSize(const RunSettings& settings, Conversion& run);
bool LoadInput(Conversion& run);
bool InputMayBeOpened(const std::string& name, bool readsPipes);
bool OpenInput(const RunSettings& settings, Conversion& run);
bool OpenOutput(const RunSettings& settings, OutputFile& output);
bool BeginOutput(OutputFile& output);
WalkSettings WalkSettingsOf(const RunSettings& settings, const Conversion& run, bool continuesOutput);
std::unique_ptr<WalkContext> WalkLoadedInput(const RunSettings& settings, Conversion& run, bool continuesOutput,
                                             RunReport& report, bool& completed);
int WalkInput(const RunSettings& settings, Conversion& run, RunReport& report);

// ---- A file of CDRs (cdr_file.cpp) ------------------------------------------------------------

// Tells the loaded input's framing by its structure, as Framing and LeadingOctets say.
void RecogniseFrames(const RunSettings& settings, InputPart& in, IdentifierRule rule);
// Before the walk: the file header's console line (normal mode), and its promises that the file
// breaks (its length, lost CDRs, a closure on a fault), or that Framing=3gpp found no header; each
// a message, counted.
void TellFileHeader(const RunSettings& settings, const InputPart& in, FrameCounts& counts);
// After the walk: the CDRs of another format passed over, and the number of CDRs the header gives
// against those read (when the walk reached the end, `walkedWhole`); each a message, counted.
void TellCdrsRead(const InputPart& in, bool walkedWhole, FrameCounts& counts);

// ---- The files of the user's that the output must not be (spared_files.cpp) -------------------

bool IsStandardStream(const std::string& name);
bool SameFileOrName(const std::string& a, const std::string& b);
bool IsUserFile(const std::string& output, const std::string& name);
bool OutputSparesInput(const RunSettings& settings, std::FILE* input);
const char* UserFileNamed(const RunSettings& settings, const std::string& filterFile, const std::string& name);
bool OutputSparesUserFiles(const RunSettings& settings, const std::string& filterFile);
bool SparesListedInputs(const std::string& file, const char* what, const std::vector<std::string>& names);

// ---- The dictionary from ASN.1 modules (module_dictionary.cpp) --------------------------------

// The dictionary that --dictionary-from's modules give, as Tags.cfg text (its notes told when
// `tellNotes`). False after the message.
bool DictionaryOfModules(const RunSettings& settings, std::string& text, bool tellNotes);
// The same dictionary read into `root`, in place of -t's. False after the message.
bool ReadModuleDictionary(const RunSettings& settings, TBranch& root);
// --dictionary-from without an input nor -g: prints the dictionary on standard output, or with
// --compare where a hand-written one disagrees with it. Returns 0 (1: --compare found
// disagreements), -1 after the message.
int PrintModuleDictionary(const RunSettings& settings);

// ---- Many inputs (listed_inputs.cpp) ----------------------------------------------------------

// SkipConverted: leaves out of `names` the inputs that the manifest of earlier runs tells as
// converted whole (the same name, the same size, an end beginning "completed"), and says how many
// are new. False, after its message, when that manifest cannot be read. (-m never names it: the
// manifest spares it as a file of the user's.)
bool KeepNewInputs(const RunSettings& settings, std::vector<std::string>& names);
int ConvertList(RunSettings& settings, Conversion& run, RunReport& total);
bool LoadListedInput(const RunSettings& settings, Conversion& run);
// The line that names a listed input before its messages: "Input K of N: NAME".
void SayListedInput(std::size_t index, const std::vector<std::string>& names);
// After a listed input's conversion (`converted`: its status before strictness), at its turn: its
// summary line (quiet mode), its manifest line, and its counts added to the run's.
void AccountListedInput(const RunSettings& settings, const Conversion& run, const RunReport& report, int converted,
                        RunReport& total, int& worst);

// ---- Many inputs side by side (listed_side_by_side.cpp) ---------------------------------------

// How many listed inputs are converted at once: ListJobs (0: one per processor), at most one per
// input, and 1 where the build has no threads.
uint32_t ListJobsFor(const RunSettings& settings, std::size_t inputs);
// Converts the listed inputs `jobs` at a time, each on a thread of its own, while the turns pass
// in the list's order: at its turn an input's messages are shown and its text, held until then,
// written; after that its walk writes straight into the output. Every console line, output octet,
// summary and manifest line is that of the inputs converted one after another.
void ConvertListBesideOthers(RunSettings& settings, Conversion& run, const std::vector<std::string>& names,
                             uint32_t jobs, RunReport& total, int& worst, bool& outputFailed);

// ---- The manifest (manifest_file.cpp) ---------------------------------------------------------

bool OpenManifest(const RunSettings& settings, Conversion& run);
void ReadOutsideFields(const RunSettings& settings, Conversion& run, RunReport& report);
void WriteManifestLine(const RunSettings& settings, const Conversion& run, const RunReport& report, int status);
bool FinishManifest(ManifestFile& manifest);

// ---- The summary and the status (run_summary.cpp) ---------------------------------------------

void FormatSummary(const RunSettings& settings, const RunReport& report, FixedLine& line);
void FormatEnd(const RunReport& report, FixedLine& line);
void PrintSummary(const RunSettings& settings, const RunReport& report);
int FinalStatus(const RunSettings& settings, const RunReport& report, int status);
int WorseStatus(int a, int b);

// ---- After a fault in reading a mapped input (fault_ending.cpp) -------------------------------

void EndAfterInputFault();

}  // namespace orvalis
