#include "driver/command_line.h"

#include <cstdio>
#include <cstring>

#include "common/console.h"
#include "driver/output_formats.h"

namespace orvalis {
namespace {

constexpr const char kBanner[] =
    "Alcatel S-12 WR1A billing file parser, version 2.01 beta\n"
    "Written by the Orvalis team <billing-tools@example.org>, 23 Apr, 2006.\n"
    "\n";

// The usage text around the line of -x, whose list of formats comes from the table of formats.
constexpr const char kUsageBeforeFormats[] =
    "Usage: Orvalis [-d] -i<file name> [-o<file name>] [-c<file name>] [-f<file name>]\n"
    " -d - debug mode (be careful, output file can be huge)\n"
    " -i - input file name\n"
    " -o - output file name\n"
    " -c - config file name (default Orvalis.cfg)\n"
    " -f - filter file name (no filter by default)\n"
    " -q - quiet: messages on standard error, a summary line at the end\n"
    " -s - strict: exit status 1 when the run completed with problems\n"
    " -t - tag dictionary file name (default Tags.cfg)\n"
    " -x - output format: ";
constexpr const char kUsageAfterFormats[] =
    "\n"
    " -l - list file: the input files, one name a line, into one output (instead of -i; needs -o)\n"
    " -m - manifest file: a JSON line for each input, telling what it gave\n"
    " -g - print the database table of the CSV: postgresql or sqlite (no input)\n";

std::string* FieldOf(char option, RunSettings& settings) {
  switch (option) {
    case 'i': return &settings.InputFileName;
    case 'o': return &settings.OutputFileName;
    case 'c': return &settings.ConfigFileName;
    case 'f': return &settings.FilterFileName;
    case 't': return &settings.TagsFileName;
    case 'x': return &settings.OutputFormatName;
    case 'g': return &settings.TableDialect;
    case 'l': return &settings.ListFileName;
    case 'm': return &settings.ManifestFileName;
    default: return nullptr;
  }
}

}  // namespace

void PrintBanner() { SayChrome(kBanner); }

void PrintUsage() {
  PrintBanner();
  Say(kUsageBeforeFormats + OutputFormatUsage() + kUsageAfterFormats);
}

void PrintLongValue(char option) {
  char text[96];
  std::snprintf(text, sizeof text, "Error: the value of option -%c is longer than %zu characters\n", option,
                kMaxFileNameLength);
  SayOnErrorStream(text);
}

int ParseCommandLine(int argc, const char* const* argv, RunSettings& settings, CommandLineFaults* faults) {
  CommandLineFaults unused;
  CommandLineFaults& found = faults != nullptr ? *faults : unused;
  found = CommandLineFaults{};
  settings.InputFileName.clear();
  settings.OutputFileName.clear();
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const char option = argument[0] == '-' ? argument[1] : '\0';
    if (option == 'd' || option == 'q' || option == 's') {
      (option == 'd' ? settings.DebugMode : option == 'q' ? settings.Quiet : settings.Strict) = true;
      continue;
    }
    std::string* field = option != '\0' ? FieldOf(option, settings) : nullptr;
    if (field == nullptr) {
      found.Unknown = true;  // the rest is still read, for -q
      continue;
    }
    const char* value = argument + 2;
    if (*value == '\0') {
      if (i + 1 >= argc) break;  // a value-less last option stores nothing
      value = argv[++i];
    }
    if (std::strlen(value) <= kMaxFileNameLength) {
      *field = value;
    } else if (option != 'i' && found.LongValue == '\0') {
      found.LongValue = option;
    }
  }
  return found.Unknown ? -1 : 0;
}

}  // namespace orvalis
