// The user's files that the output and the manifest must not be: inputs, text files, the list.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "driver/run_parts.h"

namespace orvalis {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

bool IsStandardStream(const std::string& name) { return name == kStandardStream; }

// True when two names name one file, also one that does not exist yet (two files a run creates).
bool SameFileOrName(const std::string& a, const std::string& b) {
  if (a == b || SameFile(a, b)) return true;
  std::error_code error;
  const std::filesystem::path first = std::filesystem::absolute(a, error).lexically_normal();
  if (error) return false;
  const std::filesystem::path second = std::filesystem::absolute(b, error).lexically_normal();
  return !error && first == second;
}

bool IsUserFile(const std::string& output, const std::string& name) {
  return !name.empty() && (output == name || SameFile(output, name));
}

// False, after its message, when the output would overwrite the input.
bool OutputSparesInput(const RunSettings& settings, std::FILE* input) {
  if (IsStandardStream(settings.OutputFileName)) return true;
  const bool same = input == stdin ? IsStandardInputFile(settings.OutputFileName)
                                   : SameFile(settings.InputFileName, settings.OutputFileName);
  if (same) SayOnErrorStream("Error: output file is the same as input file\n");
  return !same;
}

// Which of the files the run reads `name` is: the main configuration file, the dictionary, the
// filter file in force (`filterFile`) or the one -f names, the list of inputs, or the manifest of
// the inputs converted before; null for none.
const char* UserFileNamed(const RunSettings& settings, const std::string& filterFile, const std::string& name) {
  if (IsUserFile(name, settings.ConfigFileName)) return "configuration file";
  if (IsUserFile(name, settings.TagsFileName)) return "dictionary file";
  if (IsUserFile(name, filterFile) || IsUserFile(name, settings.FilterFileName)) return "filter file";
  if (!IsStandardStream(settings.ListFileName) && IsUserFile(name, settings.ListFileName)) {
    return "list file";
  }
  if (IsUserFile(name, settings.SkipConvertedFileName)) return "manifest of converted inputs";
  for (const std::string& module : settings.ModuleFileNames) {
    if (IsUserFile(name, module)) return "module file";
  }
  if (IsUserFile(name, settings.SemanticTypesFileName)) return "semantic table";
  return nullptr;
}

// False, after its message, when the output would overwrite one of the files the run reads.
bool OutputSparesUserFiles(const RunSettings& settings, const std::string& filterFile) {
  if (IsStandardStream(settings.OutputFileName)) return true;
  const char* same = UserFileNamed(settings, filterFile, settings.OutputFileName);
  if (same == nullptr) return true;
  SayOnErrorStream(std::string("Error: output file is the same as ") + same + "\n");
  return false;
}

// False, after its message, when the output (`what`: "output", or "manifest") is one of the
// inputs listed.
bool SparesListedInputs(const std::string& file, const char* what, const std::vector<std::string>& names) {
  if (file.empty() || IsStandardStream(file)) return true;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (IsUserFile(file, names[i])) {
      SayOnErrorStream(std::string("Error: ") + what + " file is the same as input file " + ConsoleName(names[i]) + " (line " +
                       std::to_string(i + 1) + " of the list's names)\n");
      return false;
    }
  }
  return true;
}

}  // namespace orvalis
