// The command line: -d, -i, -o, -c, -f, -q, -s, -t, -x, -l, -m, -g.
#pragma once

#include "driver/run_settings.h"

namespace orvalis {

// The longest file name that an option takes. A longer value of -i is dropped without a message
// (the usage text follows, unless another -i names the input); a longer value of any other option
// is refused.
constexpr std::size_t kMaxFileNameLength = 255;

// What the command line held besides the settings.
struct CommandLineFaults {
  bool Unknown = false;    // an argument that is not an option: the usage text
  char LongValue = '\0';   // the first option other than -i whose value was too long
};

// Reads the process arguments (argv[0] being the program) into the settings; every argument is
// read, whatever comes before it, so that -q counts wherever it stands. Returns 0 when every
// argument was understood, -1 otherwise; prints nothing.
int ParseCommandLine(int argc, const char* const* argv, RunSettings& settings,
                     CommandLineFaults* faults = nullptr);

// Prints the banner and then how to call the program, on standard output; in quiet mode the
// usage text alone, on standard error.
void PrintUsage();

// Prints the banner: two lines and an empty line (nothing in quiet mode).
void PrintBanner();

// Prints, on standard error, that the value of an option is too long.
void PrintLongValue(char option);

}  // namespace orvalis
