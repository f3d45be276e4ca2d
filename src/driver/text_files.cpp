// The three text files, read before the output is opened and taken at their turn; format, columns;
// the hints at files that are not there.
#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "decode/writers/json_lines_writer.h"
#include "driver/config_files.h"
#include "driver/run_parts.h"
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

// Says that a text file could not be read and the run ends there, and the hint when there is one
// (the file is not there; made only then, since memory may have run out): the message ends
// without a line feed, the hint begins a line of its own.
void SayNotRead(const char* message, const std::string& hint) {
  Say(message);
  if (!hint.empty()) Say("\n" + hint);
}

// The dictionary at its turn: the one read early, its messages shown now.
bool TakeDictionary(const RunSettings& settings, Conversion& run) {
  EarlyFiles& early = run.Early;
  ShowHeld(early.TagsSaid);
  run.Root = std::move(early.Root);
  if (!early.TagsRead) {
    SayNotRead(settings.ModuleFileNames.empty() ? "Error when reading TagsConfigFile. Exiting..."
                                                : "Error when making the dictionary of the ASN.1 modules. Exiting...",
               early.TagsMissing ? MissingDictionaryHint(settings) : std::string());
  }
  return early.TagsRead;
}

// True for a name that does not lead from the working directory.
bool IsAbsoluteName(const std::string& name) {
#ifdef _WIN32
  if (name.size() >= 2 && name[1] == ':') return true;
  if (!name.empty() && name[0] == '\\') return true;
#endif
  return !name.empty() && name[0] == '/';
}

}  // namespace

// ---- Hints at files that are not there -------------------------------------------------------

std::string WhereLookedFor(const std::string& name) {
  return ConsoleName(name) + (IsAbsoluteName(name) ? "" : " in the working directory");
}

std::string MissingConfigHint(const RunSettings& settings) {
  return "Hint: no main configuration file " + WhereLookedFor(settings.ConfigFileName) +
         " (one must exist, even empty); -c names another\n";
}

std::string MissingDictionaryHint(const RunSettings& settings) {
  return "Hint: no dictionary " + WhereLookedFor(settings.TagsFileName) + "; -t names another\n";
}

std::string MissingFilterHint(const RunSettings& settings) {
  return "Hint: no filter file " + WhereLookedFor(settings.FilterFileName) + "; " +
         (settings.FilterFileFromConfig ? "the FilterFile line of " + ConsoleName(settings.ConfigFileName) + " names it"
                                        : std::string("-f names another")) +
         "\n";
}

std::string MissingOutputFolderHint(const std::string& outputName) {
  return "Hint: no folder " + WhereLookedFor(FolderOf(outputName)) + " for the output file " +
         ConsoleName(outputName) + "; make it, or name another output with -o\n";
}

// ---- The text files read before their turn ------------------------------------------------------

void ReadMainConfigEarly(const RunSettings& settings, EarlyFiles& early) {
  early.Configured = settings;
  const ConsoleToHeld hold(early.ConfigSaid);
  early.ConfigRead = ReadMainConfig(early.Configured) == 0;
  early.ConfigMissing = !early.ConfigRead && errno == ENOENT;
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
    if (!settings.ModuleFileNames.empty()) {
      early.TagsRead = ReadModuleDictionary(settings, *early.Root);
    } else {
      early.TagsRead = ReadTagsConfig(*early.Root, settings.TagsFileName) == 0;
      early.TagsMissing = !early.TagsRead && errno == ENOENT;
    }
  }
  if (!early.TagsRead) early.Root.reset();  // what was built gives its memory back (it may be all there was)
  if (!early.ConfigRead || !early.TagsRead || early.Configured.FilterFileName.empty()) return;
  MakeRoomToHold(early.FilterSaid);
  const ConsoleToHeld hold(early.FilterSaid);
  early.FilterRead = ReadFilterFile(early.Configured, *early.Root, early.FilterCount) == 0;
  early.FilterMissing = !early.FilterRead && errno == ENOENT;
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

// What the format makes or checks before the output is created (the CSV columns, the JSON Lines
// keys), from the dictionary read early (its messages held for its turn, a warning of what it
// lacks for the format among them). False, after the message, when the format cannot be written
// from it: every format but the debug dump needs a path that an element can have.
bool FormatIsPrepared(Conversion& run) {
  EarlyFiles& early = run.Early;
  if (!early.TagsRead) return true;  // its failure comes at its turn
  if (!run.Format->Dump && !DictionaryNamesElements(early.Configured, *early.Root)) return false;
  if (run.Format->Prepare != nullptr && !run.Format->Prepare(early.Configured, *early.Root, run.Setup)) return false;
  const ConsoleToHeld hold(early.TagsSaid);
  WarnOfWhatDictionaryLacks(*run.Format, early.Configured, *early.Root);
  return true;
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
    SayNotRead("Error when reading ConfigFile. Exiting...",
               early.ConfigMissing ? MissingConfigHint(settings) : std::string());
    return false;
  }
  FixUpRange(settings);
  if (!TakeDictionary(settings, run)) return false;
  if (!settings.FilterFileName.empty()) {
    ShowHeld(early.FilterSaid);
    // Without its filter the run would write the records that the filter was to keep out.
    if (!early.FilterRead) {
      SayNotRead("Error when reading FilterFile. Exiting...",
                 early.FilterMissing ? MissingFilterHint(settings) : std::string());
      return false;
    }
    run.FilterCount = early.FilterCount;
  }
  return true;  // what the format makes was made before the output was opened
}

}  // namespace orvalis
