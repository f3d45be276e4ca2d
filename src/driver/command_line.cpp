#include "driver/command_line.h"

#include <cstdio>
#include <cstring>

namespace orvalis {
namespace {

constexpr const char kBanner[] =
    "Alcatel S-12 WR1A billing file parser, version 2.01 beta\n"
    "Written by the Orvalis team <billing-tools@example.org>, 23 Apr, 2006.\n"
    "\n";

constexpr const char kUsage[] =
    "Usage: Orvalis [-d] -i<file name> [-o<file name>] [-c<file name>] [-f<file name>]\n"
    " -d - debug mode (be careful, output file can be huge)\n"
    " -i - input file name\n"
    " -o - output file name\n"
    " -c - config file name (default Orvalis.cfg)\n"
    " -f - filter file name (no filter by default)\n";

std::string* FieldOf(char option, RunSettings& settings) {
  switch (option) {
    case 'i': return &settings.InputFileName;
    case 'o': return &settings.OutputFileName;
    case 'c': return &settings.ConfigFileName;
    case 'f': return &settings.FilterFileName;
    default: return nullptr;
  }
}

}  // namespace

void PrintBanner() { std::fputs(kBanner, stdout); }

void PrintUsage() {
  PrintBanner();
  std::fputs(kUsage, stdout);
}

int ParseCommandLine(int argc, const char* const* argv, RunSettings& settings) {
  settings.InputFileName.clear();
  settings.OutputFileName.clear();
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] != '-') return -1;
    const char option = argument[1];
    if (option == 'd') {
      settings.DebugMode = true;
      continue;
    }
    std::string* field = option != '\0' ? FieldOf(option, settings) : nullptr;
    if (field == nullptr) return -1;
    const char* value = argument + 2;
    if (*value == '\0') {
      if (i + 1 >= argc) return 0;  // a value-less last option stores nothing
      value = argv[++i];
    }
    if (std::strlen(value) <= kMaxFileNameLength) *field = value;
  }
  return 0;
}

}  // namespace orvalis
