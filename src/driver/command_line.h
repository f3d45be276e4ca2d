// The command line: -d, -i, -o, -c, -f, -q, -s, -t, -x, -l, -m, -g, -h, their long forms
// (--input ...), and the long options that set keys of the main configuration file (--start ...).
#pragma once

#include <string>
#include <vector>

#include "driver/run_settings.h"

namespace orvalis {

// The longest file name that an option takes. A longer value of -i is dropped without a message
// (the usage text follows, unless another -i names the input); a longer value of any other option
// is refused.
constexpr std::size_t kMaxFileNameLength = 255;

// What the command line asks for instead of a conversion: the usage text or the version.
enum class Asked { kConversion, kHelp, kVersion };

// What the command line held besides the settings.
struct CommandLineFaults {
  bool Unknown = false;      // an argument that is not an option: the usage text
  std::string RefusedWord;   // the first word of letters that do not combine (-qx), named after the usage text
  std::string NotUnderstood;  // else the first argument that is no option (--inp, day1.ber), named in a hint
  std::string RefusedValue;  // the message of the first option whose value was refused (too long, not a number)
  Asked Asks = Asked::kConversion;  // the first of --help, -h and --version
};

// Reads the process arguments (argv[0] being the program) into the settings; every argument is
// read, whatever comes before it, so that -q counts wherever it stands. Returns 0 when every
// argument was understood, -1 otherwise; prints nothing.
int ParseCommandLine(int argc, const char* const* argv, RunSettings& settings,
                     CommandLineFaults* faults = nullptr);

// An option's names: its letter ('\0' for none) and its long name (null for none).
struct OptionNames {
  char Short;
  const char* Long;
};
// Every option, in the order of the usage text.
std::vector<OptionNames> CommandLineOptions();

// How to call the program, as the usage text gives it.
std::string UsageText();

// Prints the banner and then how to call the program, on standard output; in quiet mode the
// usage text alone, on standard error.
void PrintUsage();

// --help and --version: the usage text or the program's version on standard output. Returns 0,
// or -1 after the message when standard output cannot be written.
int PrintAsked(Asked asked);

// Prints the banner: two lines and an empty line (nothing in quiet mode).
void PrintBanner();

}  // namespace orvalis
