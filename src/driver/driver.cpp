// The run from the command line to the exit status: -g, one input or a list, manifest, summary.
#include "driver/driver.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "decode/writers/table_definition.h"
#include "driver/command_line.h"
#include "driver/config_files.h"
#include "driver/run_parts.h"
#include "tags/tags_reader.h"

namespace orvalis {

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
  if (ReadMainConfig(settings) != 0) {
    if (errno == ENOENT) SayOnErrorStream(MissingConfigHint(settings));
    return -1;
  }
  const std::unique_ptr<TBranch> dictionary = NewDictionary();
  TBranch& root = *dictionary;
  if (!settings.ModuleFileNames.empty()) {
    if (!ReadModuleDictionary(settings, root)) return -1;
  } else if (ReadTagsConfig(root, settings.TagsFileName) != 0) {
    const bool missing = errno == ENOENT;
    SayOnErrorStream("Error when reading TagsConfigFile.\n");
    if (missing) SayOnErrorStream(MissingDictionaryHint(settings));
    return -1;
  }
  if (!DictionaryNamesElements(settings, root)) return -1;
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
  SetConsoleOnErrorStream(IsStandardStream(settings.OutputFileName) || IsStandardStream(settings.ManifestFileName));
  PrintBanner();
  const bool listed = !settings.ListFileName.empty();
  if (parsed != 0 || (settings.InputFileName.empty() && !listed)) {
    PrintUsage();
    if (!faults.RefusedWord.empty()) {
      SayOnErrorStream("Error: unknown option " + ConsoleName(faults.RefusedWord) +
                       ": only the letters q, s and d combine in one word (-qs is -q -s)\n");
    }
    if (faults.Unknown && faults.RefusedWord.empty()) {
      const std::string& word = faults.NotUnderstood;
      SayOnErrorStream("Hint: \"" + ConsoleName(word) + "\" is not an option of the usage text above" +
                       (word.empty() || word[0] != '-' ? "; an input is named with -i (-i " + ConsoleName(word) + ")\n"
                                                       : "\n"));
    }
    return false;
  }
  if (!faults.RefusedValue.empty()) {
    SayOnErrorStream(faults.RefusedValue);
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
  settings.SkipConvertedFileName = run.Early.Configured.SkipConvertedFileName;  // a file the outputs spare
  run.GzipMaxContents = run.Early.Configured.GzipMaxContents;
  run.GzipMaxRatio = run.Early.Configured.GzipMaxRatio;
  run.Format = ChooseOutputFormat(run.Early.Configured);
  if (run.Format == nullptr) return false;
  if (settings.OutputFileName.empty()) {
    if (IsStandardStream(settings.InputFileName)) {
      SayOnErrorStream("Error: standard input has no output file name: name one with -o (-o - for standard output)\n");
      return false;
    }
    settings.OutputFileName = settings.InputFileName + run.Format->Extension;
  }
  ReadTextFilesEarly(settings, run);
  return true;
}

// --dictionary-from without an input nor -g prints the dictionary (or compares it).
bool PrintsModuleDictionary(const RunSettings& settings, int parsed) {
  return parsed == 0 && !settings.ModuleFileNames.empty() && settings.TableDialect.empty() &&
         settings.InputFileName.empty() && settings.ListFileName.empty();
}

int Run(RunSettings& settings, int parsed, const CommandLineFaults& faults, RunReport& report, ManifestFile& manifest) {
  if (PrintsModuleDictionary(settings, parsed)) {
    if (faults.RefusedValue.empty()) return PrintModuleDictionary(settings);
    SetQuiet(true);
    SayOnErrorStream(faults.RefusedValue);
    return -1;
  }
  if (!settings.TableDialect.empty() && parsed == 0) {
    if (faults.RefusedValue.empty()) return DefineTable(settings);
    SayOnErrorStream(faults.RefusedValue);
    return -1;
  }
  settings.TableDialect.clear();
  Conversion run;
  if (!ReadCommandLine(parsed, faults, settings, run)) return -1;
  report.Format = run.Format;
  run.Manifest = &manifest;
  if (!OpenManifest(settings, run)) return -1;
  if (!settings.ListFileName.empty()) return ConvertList(settings, run, report);
  std::vector<std::string> names{settings.InputFileName};
  if (!KeepNewInputs(settings, names)) return -1;
  if (names.empty()) {
    report.NothingNew = true;
    return 0;
  }
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
  bool converts = true;  // not for --help and --version, nor -g: no summary, no strictness
  RemoveTemporariesOnSignals();
  try {
    CommandLineFaults faults;
    const int parsed = ParseCommandLine(argc, argv, settings, &faults);
    if (faults.Asks != Asked::kConversion) {
      converts = false;
      status = PrintAsked(faults.Asks);
    } else if (PrintsModuleDictionary(settings, parsed)) {
      converts = false;  // no summary, no strictness
      status = Run(settings, parsed, faults, report, manifest);
    } else {
      status = Run(settings, parsed, faults, report, manifest);
    }
  } catch (const std::bad_alloc&) {
    // What the run needs beside the input (the walk's buffers, the dictionary's filter texts) was
    // not to be had: an honest end instead of an abort.
    errno = ENOMEM;
    PrintErrorForm("Error: memory allocation fault");
    report.End = RunEnd::kFailed;
  }
  if (!settings.TableDialect.empty()) converts = false;  // -g converts nothing
  if (converts) status = FinalStatus(settings, report, status);
  if (manifest.Open && !manifest.Wrote && !report.NothingNew) {  // a run that did not start, or failed before its line
    Conversion none;
    none.Manifest = &manifest;
    WriteManifestLine(settings, none, report, status);
  }
  if (!FinishManifest(manifest)) status = -1;
  if (settings.Quiet && converts && !report.NothingNew) PrintSummary(settings, report);
  std::fflush(stdout);
  std::fflush(stderr);
  return status;
}

}  // namespace orvalis
