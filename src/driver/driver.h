// One conversion from the command line to the exit status.
#pragma once

namespace orvalis {

// Runs the program with the process arguments (argv[0] being the program itself). Returns the
// exit status: 0; 1 in strict mode when the run completed with problems; -1 when the run could
// not start or the walk was cut short. In quiet mode one summary line ends every run.
int RunOrvalis(int argc, const char* const* argv);

}  // namespace orvalis
