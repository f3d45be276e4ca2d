// One conversion from the command line to the exit status.
#pragma once

namespace orvalis {

// Runs the program with the process arguments (argv[0] being the program itself). Returns the
// exit status: 0, or -1 when the run could not start or the walk was cut short.
int RunOrvalis(int argc, const char* const* argv);

}  // namespace orvalis
