// The command line: -d, -i, -o, -c, -f.
#pragma once

#include "driver/run_settings.h"

namespace orvalis {

// The longest file name that an option takes; a longer value is dropped without a message.
constexpr std::size_t kMaxFileNameLength = 255;

// Reads the process arguments (argv[0] being the program) into the settings. Returns 0 when every
// argument was understood, -1 otherwise; prints nothing.
int ParseCommandLine(int argc, const char* const* argv, RunSettings& settings);

// Prints the banner and then how to call the program, on standard output.
void PrintUsage();

// Prints the banner: two lines and an empty line.
void PrintBanner();

}  // namespace orvalis
