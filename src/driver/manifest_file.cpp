// The manifest (-m): opened, its walk of the fields outside records, a line per input, its name.
#include <new>
#include <string>
#include <string_view>

#include "common/text_file.h"
#include "driver/run_parts.h"
#include "driver/whole_walk.h"

namespace orvalis {
namespace {

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

}  // namespace

// Opens the manifest that -m names, once the output has its name. False, after the message, when
// it would overwrite the output, the input or a file of the user's, or cannot be opened.
bool OpenManifest(const RunSettings& settings, Conversion& run) {
  const std::string& name = settings.ManifestFileName;
  if (name.empty() || run.Manifest == nullptr) return true;
  const char* same = nullptr;
  if (IsStandardStream(name)) {
    if (IsStandardStream(settings.OutputFileName)) same = "output file";
  } else if (!IsStandardStream(settings.OutputFileName) && SameFileOrName(name, settings.OutputFileName)) {
    same = "output file";
  } else if (IsStandardStream(settings.InputFileName) ? IsStandardInputFile(name)
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
  if (IsStandardStream(name)) {
    manifest.File.OpenStandardOutput();
  } else if (!manifest.File.Open(name)) {
    PrintErrorForm("Error: can not open manifest file");
    return false;
  }
  manifest.Open = true;
  return true;
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
  if (report.Format != nullptr) entry.Format = report.Format->Title;
  entry.RecordsRead = report.RecordsRead;
  entry.RecordsWritten = report.RecordsRead - report.Counts.RecordsOutOfRange - report.Counts.RecordsFilteredOut;
  entry.Counts = report.Counts;
  entry.Csv = report.Format != nullptr && report.Format->HasColumns;
  entry.FieldsWithoutColumn = &report.FieldsWithoutColumn;
  entry.Status = status == -1 ? 255 : status;
  FixedLine end;
  FormatEnd(report, end);
  entry.End = std::string_view(end.Text(), end.Size());
  entry.OutsideRead = in.OutsideRead;
  entry.Outside = in.Outside;
  entry.OutsideCut = in.OutsideCut;
  entry.OutsideFault = in.OutsideFault;
  if (in.Frames.Cdr) entry.CdrFile = &in.FileHeader;
  entry.CdrFileMissing = in.FileHeaderMissing;
  if (!in.Frames.Cdr && in.Frames.Start > 0 && in.Image.Bytes() != nullptr) {
    entry.Leading = std::string_view(reinterpret_cast<const char*>(in.Image.Bytes()), in.Frames.Start);
  }
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

}  // namespace orvalis
